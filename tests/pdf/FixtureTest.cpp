#include "archive/Utf8.h"
#include "engine/pdf/PageText.h"
#include "engine/pdf/PdfReader.h"
#include "support/TestSupport.h"
#include "tools/fixture/FixtureWriter.h"

#include <gtest/gtest.h>

#include <sstream>

using quorvin::fixture::ParseTemplate;
using Lines = std::vector<std::string>;

namespace {

// What the page text of a printed line is: its words, one blank apart, and a line break.
std::string Printed(const Lines& lines) {
    std::string text;
    for (const std::string& line : lines) {
        std::istringstream words(line);
        std::string word;
        std::string row;
        while (words >> word) {
            row += (row.empty() ? "" : " ") + word;
        }
        if (!row.empty()) {
            text += row + "\r\n";
        }
    }
    return text;
}

} // namespace

TEST(FixtureTemplate, HeaderLinesHoldExpectationsAndAreNotPrinted) {
    const auto t = ParseTemplate("#! Tipo=F24  Pagine=2\n#!Esito=acquisito\nriga #! non header\n");
    EXPECT_EQ(t.expect.size(), 3u);
    EXPECT_EQ(t.expect.at("Tipo"), "F24");
    EXPECT_EQ(t.expect.at("Pagine"), "2");
    EXPECT_EQ(t.expect.at("Esito"), "acquisito");
    ASSERT_EQ(t.pages.size(), 1u);
    EXPECT_EQ(t.pages[0], Lines{"riga #! non header"});
}

TEST(FixtureTemplate, PagesAndLines) {
    const auto t = ParseTemplate("uno\r\n  due  \n\ntre\n\fpagina 2\n#! resta testo\n\f");
    ASSERT_EQ(t.pages.size(), 2u);
    EXPECT_EQ(t.pages[0], (Lines{"uno", "  due  ", "", "tre"}));
    EXPECT_EQ(t.pages[1], (Lines{"pagina 2", "#! resta testo"}));
    EXPECT_TRUE(t.expect.empty());

    const auto empty = ParseTemplate("");
    ASSERT_EQ(empty.pages.size(), 1u);
    EXPECT_TRUE(empty.pages[0].empty());
}

// Every receipt template prints faithfully: same pages, same words, same characters.
TEST(FixtureTemplate, EveryTemplateReadsBackAsWritten) {
    const auto names = quorvin::test::TemplateNames();
    if (names.empty()) {
        GTEST_SKIP() << "no templates in " << quorvin::test::TemplatesDir();
    }
    quorvin::test::TempDir dir;
    for (const std::string& name : names) {
        const auto parsed =
            ParseTemplate(quorvin::test::ReadAll(quorvin::test::TemplateFile(name)));
        const auto document = quorvin::pdf::DefaultReader().Read(MakeReceipt(dir, name));
        ASSERT_TRUE(document) << name;
        ASSERT_EQ(document->pages.size(), parsed.pages.size()) << name;
        for (size_t p = 0; p < parsed.pages.size(); ++p) {
            const auto runs = quorvin::pdf::PageRuns(document->pages[p], quorvin::pdf::kWholePage);
            EXPECT_EQ(quorvin::pdf::JoinRuns(runs, ""),
                      quorvin::FoldTypography(Printed(parsed.pages[p])))
                << name << ", pagina " << p + 1;
        }
    }
}
