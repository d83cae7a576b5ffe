// Receipts printed by other PDF producers: every template, rendered by each producer,
// must give `esamina --json` the same header values as the fixture writer's PDF.
#include "support/TestSupport.h"
#include "tools/fixture/FixtureWriter.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>

namespace quorvin {
namespace {

// What each producer does differently from the fixture writer (see render.py).
const std::vector<std::string> kProducers = {
    "ghostscript",     // the ASCII apostrophe printed as ’ (Latin-1 encoding of Courier)
    "groff",           // ’ for the apostrophe, its own spacing of constant-width text
    "cairo",           // a proportional font, leading blanks as space
    "reportlab-words", // each word placed by itself, heights differ from word to word
    "reportlab-chars", // each character placed by itself: no blank in the text at all
};

// Header keys of a template and the esamina key that must equal each.
const std::vector<std::pair<std::string, std::string>> kKeys = {
    {"Pages", "pages"},
    {"DocType", "DocType"},
    {"ArchTipoDoc", "ArchTipoDoc"},
    {"ListPage", "ListPage"},
    {"Is730Alt", "Is730Alt"},
    {"Year730", "Year730"},
    {"IntentVariant", "IntentVariant"},
    {"OutcomeRegular", "OutcomeRegular"},
};

long JsonNumber(const nlohmann::json& value) {
    return value.is_boolean() ? (value.get<bool>() ? 1 : 0) : value.get<long>();
}

class ProducedReceipts : public ::testing::TestWithParam<std::string> {};

TEST_P(ProducedReceipts, ExamineGivesEveryTemplatesHeaderValues) {
    const std::string producer = GetParam();
    const auto names = test::TemplateNames();
    test::TempDir dir;
    std::string message;
    ASSERT_TRUE(test::RenderWithProducer(dir, producer, names, message))
        << "produttore " << producer << " non disponibile o fallito: " << message;

    const std::filesystem::path folder = dir.Path() / producer;
    std::string command = std::string(QUORVIN_CLI_PATH) + " esamina --json";
    for (const auto& name : names) {
        command += " '" + (folder / (name.substr(0, name.size() - 4) + ".pdf")).string() + "'";
    }
    int status = -1;
    const std::string out = test::RunCommand(command + " 2>/dev/null", &status);
    EXPECT_EQ(status, 0);

    std::map<std::string, nlohmann::json> byFile;
    size_t from = 0;
    while (from < out.size()) {
        const size_t nl = out.find('\n', from);
        const auto object = nlohmann::json::parse(out.substr(from, nl - from));
        byFile[std::filesystem::path(object["file"].get<std::string>()).stem().string()] = object;
        from = nl == std::string::npos ? out.size() : nl + 1;
    }
    for (const auto& name : names) {
        SCOPED_TRACE(producer + ": " + name);
        const auto t = fixture::ParseTemplate(test::ReadAll(test::TemplateFile(name)));
        const auto it = byFile.find(name.substr(0, name.size() - 4));
        ASSERT_NE(it, byFile.end()) << "esamina did not report the file";
        for (const auto& [header, key] : kKeys) {
            const auto expected = t.expect.find(header);
            if (expected == t.expect.end()) {
                continue;
            }
            EXPECT_EQ(JsonNumber(it->second[key]), std::stol(expected->second)) << key;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Producers, ProducedReceipts, ::testing::ValuesIn(kProducers),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                             std::string name = info.param;
                             for (char& c : name) {
                                 c = c == '-' ? '_' : c;
                             }
                             return name;
                         });

} // namespace
} // namespace quorvin
