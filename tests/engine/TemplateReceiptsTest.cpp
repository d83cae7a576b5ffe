// Every receipt template, end to end: generated PDF -> page reader -> classification,
// checked against the expectations written in the template's header.
#include "archive/DorvaneFiles.h"
#include "engine/bvTel.h"
#include "support/TestSupport.h"
#include "tools/fixture/FixtureWriter.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <set>

namespace quorvin {
namespace {

fixture::Template Load(const std::string& name) {
    return fixture::ParseTemplate(test::ReadAll(test::TemplateFile(name)));
}

long Expected(const fixture::Template& t, const std::string& key, long fallback) {
    const auto it = t.expect.find(key);
    return it == t.expect.end() ? fallback : std::stol(it->second);
}

class TemplateReceipt : public ::testing::TestWithParam<std::string> {};

TEST_P(TemplateReceipt, IsClassifiedAsItsHeaderSays) {
    const std::string name = GetParam();
    const fixture::Template t = Load(name);
    ASSERT_TRUE(t.expect.count("DocType")) << name << " has no expectations";
    test::TempDir dir;
    const std::string pdf = test::MakeReceipt(dir, name);
    bvTel tel;
    tel.File(pdf);
    ASSERT_TRUE(tel.IsOpen());
    EXPECT_EQ(tel.PageCount(), Expected(t, "Pages", static_cast<long>(t.pages.size())));
    EXPECT_EQ(tel.DocType(), Expected(t, "DocType", -2));
    EXPECT_EQ(tel.ArchTipoDoc(), Expected(t, "ArchTipoDoc", -2));
    EXPECT_EQ(tel.ClassifiedRow(), Expected(t, "Row", tel.ClassifiedRow()));
    EXPECT_EQ(tel.ListPage(), Expected(t, "ListPage", -1));
    EXPECT_EQ(tel.Is730Alt(), Expected(t, "Is730Alt", 0) != 0);
    EXPECT_EQ(tel.Year730(), Expected(t, "Year730", -1));
    EXPECT_EQ(tel.IntentVariant(), Expected(t, "IntentVariant", 0));
    EXPECT_EQ(tel.OutcomeRegular(), Expected(t, "OutcomeRegular", 0) != 0);

    // Files that carry a list followed by a second receipt are cut where it starts.
    FileTable table = {{pdf, DorvaneFiles::FileName(pdf, true), true}};
    const long split = tel.FileSplit(table, 0);
    EXPECT_EQ(split, Expected(t, "Split", 0));
    if (split == 1) {
        ASSERT_EQ(table.size(), 2u);
        const long at = Expected(t, "SplitAt", -1);
        // The pieces as read from their files are what the engine takes from the source's
        // reading.
        bvTel piece;
        piece.File(table[0].path);
        EXPECT_EQ(piece.PageCount(), at);
        tel.File(table[0].path);
        EXPECT_EQ(tel.PageText(), piece.PageText());
        piece.File(table[1].path);
        EXPECT_EQ(piece.PageCount(), Expected(t, "Pages", 0) - at);
        tel.File(table[1].path);
        EXPECT_EQ(tel.PageText(), piece.PageText());
        EXPECT_EQ(tel.DocType(), piece.DocType());
        piece.PDFClose();
        tel.PDFClose();
        DorvaneFiles::DeleteFile(table[0].path);
        DorvaneFiles::DeleteFile(table[1].path);
    }
}

std::string TestName(const ::testing::TestParamInfo<std::string>& info) {
    std::string name;
    for (char c : info.param.substr(0, info.param.size() - 4)) {
        name.push_back(std::isalnum(static_cast<unsigned char>(c)) ? c : '_');
    }
    return name;
}

INSTANTIATE_TEST_SUITE_P(Templates, TemplateReceipt, ::testing::ValuesIn(test::TemplateNames()),
                         TestName);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(TemplateReceipt);

TEST(TemplateSet, CoversEveryClassificationRow) {
    std::set<long> rows;
    for (const auto& name : test::TemplateNames()) {
        rows.insert(Expected(Load(name), "Row", 0));
    }
    for (long row = 1; row <= 57; ++row) {
        EXPECT_TRUE(rows.count(row)) << "no template for classification row " << row;
    }
}

TEST(Esamina, ReportsEveryFileAsJsonAndSurvivesBadOnes) {
    test::TempDir dir;
    const std::string good = test::MakePdf(
        dir, "f24.pdf",
        {{"AGENZIA DELLE ENTRATE - SERVIZIO TELEMATICO ENTRATEL",
          "ATTESTAZIONE DI AVVENUTA TRASMISSIONE"},
         {"ELENCO DEI DOCUMENTI ACQUISITI E/O SCARTATI", "00001 RSSMRA80A01H501U ACQUISITO"}});
    const std::string full = test::ReadAll(good);
    test::WriteAll(dir.File("troncato.pdf"), full.substr(0, full.size() / 3));
    test::WriteAll(dir.File("vuoto.pdf"), "");
    test::WriteAll(dir.File("testo.pdf"), "Questo non e' un PDF ma un file di testo.\n");
    int status = -1;
    const std::string out = test::RunCommand(
        std::string(QUORVIN_CLI_PATH) + " esamina --json " + good + " " + dir.File("troncato.pdf") +
            " " + dir.File("vuoto.pdf") + " " + dir.File("testo.pdf") + " " +
            dir.File("mancante.pdf") + " 2>/dev/null",
        &status);
    EXPECT_EQ(WEXITSTATUS(status), 1)
        << "unreadable files are examined and reported in the exit status";
    std::vector<nlohmann::json> objects;
    size_t from = 0;
    while (from < out.size()) {
        const size_t nl = out.find('\n', from);
        objects.push_back(nlohmann::json::parse(out.substr(from, nl - from)));
        from = nl + 1;
    }
    ASSERT_EQ(objects.size(), 5u);
    const auto& first = objects[0];
    const std::vector<std::string> keys = {
        "file",     "pages",   "DocType",       "ArchTipoDoc",    "name",    "ListPage",
        "Is730Alt", "Year730", "IntentVariant", "OutcomeRegular", "PageText"};
    EXPECT_EQ(first.size(), keys.size());
    for (const auto& key : keys) {
        EXPECT_TRUE(first.contains(key)) << key;
    }
    EXPECT_EQ(first["pages"], 2);
    EXPECT_EQ(first["DocType"], 130);
    EXPECT_EQ(first["ArchTipoDoc"], 131);
    EXPECT_EQ(first["name"], "Trasmissioni F24");
    EXPECT_EQ(first["ListPage"], 1);
    EXPECT_EQ(first["PageText"].size(), 2u);
    for (size_t i = 1; i < objects.size(); ++i) {
        EXPECT_EQ(objects[i]["DocType"], -1);
        EXPECT_EQ(objects[i]["pages"], 0);
    }
    test::RunCommand(std::string(QUORVIN_CLI_PATH) + " esamina " + good + " >/dev/null", &status);
    EXPECT_EQ(status, 0);
    test::RunCommand(std::string(QUORVIN_CLI_PATH) + " esamina 2>/dev/null", &status);
    EXPECT_EQ(WEXITSTATUS(status), 2) << "no file is a usage error";
}

// A file the run cuts in two is shown whole and as each part is recognised, and the
// scratch pieces are gone afterwards.
TEST(Esamina, ShowsHowAFileWithAListAndASecondReceiptIsCut) {
    test::TempDir dir;
    const std::string name = "x_split_f24_e_unico.txt";
    const fixture::Template t = Load(name);
    const std::string pdf = test::MakeReceipt(dir, name);
    const long at = Expected(t, "SplitAt", -1);
    const std::string scratch = dir.File("tmp");
    std::filesystem::create_directories(scratch);
    int status = -1;
    const std::string out = test::RunCommand(
        "TMPDIR=" + scratch + " " + QUORVIN_CLI_PATH + " esamina --json " + pdf, &status);
    ASSERT_EQ(status, 0) << out;
    const auto json = nlohmann::json::parse(out);
    EXPECT_EQ(json["DocType"], Expected(t, "DocType", -2));
    ASSERT_EQ(json["parti"].size(), 2u) << out;
    const auto& first = json["parti"][0];
    const auto& second = json["parti"][1];
    EXPECT_EQ(first["firstPage"], 1);
    EXPECT_EQ(first["lastPage"], at);
    EXPECT_EQ(first["DocType"], Expected(t, "DocType", -2));
    EXPECT_EQ(second["firstPage"], at + 1);
    EXPECT_EQ(second["lastPage"], Expected(t, "Pages", -2));
    EXPECT_GE(second["DocType"], 0);
    EXPECT_NE(second["DocType"], first["DocType"]);
    const std::string text =
        test::RunCommand("TMPDIR=" + scratch + " " + QUORVIN_CLI_PATH + " esamina " + pdf, &status);
    EXPECT_NE(text.find("Parte 2, pagine " + std::to_string(at + 1) + "-"), std::string::npos)
        << text;
    EXPECT_TRUE(std::filesystem::is_empty(scratch));
    // A file kept whole has no parts.
    const std::string whole =
        test::RunCommand(std::string(QUORVIN_CLI_PATH) + " esamina --json " +
                             test::MakeReceipt(dir, "r01_f24_trasmissione.txt"),
                         &status);
    EXPECT_FALSE(nlohmann::json::parse(whole).contains("parti"));
}

TEST(Esamina, ShowsTheCodesAMultiPurposeCommunicationIsArchivedUnder) {
    test::TempDir dir;
    // Template, and the DocType the run archives it under (0: it stays 386).
    const struct {
        const char* name;
        long docType;
        long archTipoDoc;
    } cases[] = {{"r53_polivalente_san_marino.txt", 318, 319},
                 {"r53_polivalente_black_list.txt", 316, 317},
                 {"r53_polivalente_annuale.txt", 0, 0},
                 {"r01_f24_trasmissione.txt", 0, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string pdf = test::MakeReceipt(dir, c.name);
        int status = -1;
        const auto json = nlohmann::json::parse(
            test::RunCommand(std::string(QUORVIN_CLI_PATH) + " esamina --json " + pdf, &status));
        const std::string text =
            test::RunCommand(std::string(QUORVIN_CLI_PATH) + " esamina " + pdf, &status);
        // What the file is recognised as does not change; how it is archived is apart.
        EXPECT_EQ(json["DocType"], Expected(Load(c.name), "DocType", -2));
        if (c.docType == 0) {
            EXPECT_FALSE(json.contains("archiviatoCome"));
            EXPECT_EQ(text.find("Archiviato come"), std::string::npos) << text;
            continue;
        }
        ASSERT_TRUE(json.contains("archiviatoCome")) << json.dump();
        EXPECT_EQ(json["archiviatoCome"]["DocType"], c.docType);
        EXPECT_EQ(json["archiviatoCome"]["ArchTipoDoc"], c.archTipoDoc);
        EXPECT_NE(json["archiviatoCome"]["name"].get<std::string>().find(
                      c.docType == 318 ? "San Marino" : "Black List"),
                  std::string::npos);
        EXPECT_NE(text.find("Archiviato come: " + std::to_string(c.docType) + " - "),
                  std::string::npos)
            << text;
    }
}

} // namespace
} // namespace quorvin
