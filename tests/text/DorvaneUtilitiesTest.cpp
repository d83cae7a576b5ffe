// Text and file utilities the engine and the driver rely on.
#include "archive/DorvaneFiles.h"
#include "archive/DorvaneText.h"
#include "archive/Utf8.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <set>
#include <utility>
#include <vector>

namespace quorvin {
namespace {

TEST(DorvaneText, TokenCountsFromOneAndKeepsEmptyPieces) {
    EXPECT_EQ(DorvaneText::Token("a - b - c", 2, "?", " - "), "b");
    EXPECT_EQ(DorvaneText::Token("a,,c", 2, "?", ","), "");
    EXPECT_EQ(DorvaneText::Token("a,,c", 3, "?", ","), "c");
    EXPECT_EQ(DorvaneText::Token("a,,c", 4, "?", ","), "?");
    EXPECT_EQ(DorvaneText::Token("a,,c", 0, "?", ","), "?");
    EXPECT_EQ(DorvaneText::Token("solo", 1, "?", ","), "solo");
}

TEST(DorvaneText, SplitLinesReplaceAndSearches) {
    std::vector<std::string> lines;
    EXPECT_EQ(DorvaneText::SplitLines("uno\r\ndue\r\n", "\r\n", &lines), 3);
    EXPECT_EQ(lines[1], "due");
    EXPECT_EQ(lines[2], "");
    EXPECT_EQ(DorvaneText::Replace("a\r\nb\r\n", "\r\n", " "), "a b ");
    EXPECT_EQ(DorvaneText::Replace("aaa", "a", "aa"), "aaaaaa");
    EXPECT_EQ(DorvaneText::FindAnyChar(1, std::string("abc def\r\n"), std::string(" \r\n")), 4);
    EXPECT_EQ(DorvaneText::FindAnyChar(5, std::string("abc def\r\n"), std::string(" \r\n")), 8);
    EXPECT_EQ(DorvaneText::FindAnyChar(1, std::string("abc"), std::string("")), 0);
    // Positions count characters, not bytes.
    EXPECT_EQ(DorvaneText::FindAnyChar(1, std::string("attività x"), std::string(" ")), 9);
    EXPECT_EQ(DorvaneText::FindAnyWord(1, "0001 cf acquisito", "acquisito|scartato"), 9);
    EXPECT_EQ(DorvaneText::FindAnyWord(1, "0001 scartato acquisito", "acquisito|scartato"), 6);
    EXPECT_EQ(DorvaneText::FindAnyWord(1, "nessuno", "acquisito|scartato"), 0);
    EXPECT_TRUE(DorvaneText::InList({"LastFolder", "LastFolderNolva"}, "lastfoldernolva"));
    EXPECT_FALSE(DorvaneText::InList({"LastFolder"}, "LastFolderNolva"));
    EXPECT_TRUE(DorvaneText::IsEmptyArray(std::vector<long>{}));
    EXPECT_FALSE(DorvaneText::IsEmptyArray(std::vector<long>{0}));
}

TEST(DorvaneText, DatesOfTheCalendar) {
    EXPECT_EQ(DorvaneText::LastDayOfMonth(2, 2012), (Date{2012, 2, 29}));
    EXPECT_EQ(DorvaneText::LastDayOfMonth(2, 2100), (Date{2100, 2, 28}));
    EXPECT_EQ(DorvaneText::LastDayOfMonth(4, 2010), (Date{2010, 4, 30}));
    int year = 9;
    DorvaneText::WidenYear(year);
    EXPECT_EQ(year, 2009);
}

TEST(Utf8, FoldTypographyGivesThePlainFormOfWhatProducersPrint) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"dell’Agenzia dell‘ dell‛ dellʼ dell´ dell`",
         "dell'Agenzia dell' dell' dell' dell' dell'"},
        {"“IL CHIODO” „X”", "\"IL CHIODO\" \"X\""},
        {"1\u00a0250,00\u2002EUR\u2009a\u202fb\u3000c", "1 250,00 EUR a b c"},
        {"\ufb00\ufb01\ufb02\ufb03\ufb04\ufb05\ufb06", "fffiflffifflstst"},
        // Accented letters, the euro sign and plain text stay as they are.
        {"città perché € ° 'x' \"y\"", "città perché € ° 'x' \"y\""},
        {"", ""},
    };
    for (const auto& [printed, plain] : cases) {
        EXPECT_EQ(FoldTypography(printed), plain) << printed;
        EXPECT_EQ(ToUtf8(FoldTypography(ToU32(printed))), plain) << printed;
    }
}

TEST(Utf8, CaseMappingAndCodePage) {
    EXPECT_EQ(Upper("attività’ società"), "ATTIVITÀ’ SOCIETÀ");
    EXPECT_EQ(Lower("PERCHÉ È"), "perché è");
    // Plain ASCII, edges of both letter ranges included.
    EXPECT_EQ(Lower("Cod_Fiscale@[`{AZaz09"), "cod_fiscale@[`{azaz09");
    EXPECT_EQ(Upper("Cod_Fiscale@[`{AZaz09"), "COD_FISCALE@[`{AZAZ09");
    EXPECT_EQ(Cp1252ToUtf8("caff\xe8 \x92"), "caffè ’");
    EXPECT_EQ(Utf8ToCp1252("caffè ’ €"), "caff\xe8 \x92 \x80");
    EXPECT_EQ(Trim(" \r\n a b \r\n"), "a b");
}

TEST(DorvaneFiles, NamesAndSeparators) {
    EXPECT_EQ(DorvaneFiles::FileName("/a/b/ricevuta.F24.pdf", true), "ricevuta.F24.pdf");
    EXPECT_EQ(DorvaneFiles::FileName("/a/b/ricevuta.F24.pdf", false), "ricevuta.F24");
    EXPECT_EQ(DorvaneFiles::FileName("C:\\tele\\r.pdf", true, "\\"), "r.pdf");
    EXPECT_EQ(DorvaneFiles::Extension("r.PDF"), "PDF");
    EXPECT_EQ(DorvaneFiles::AddSeparator("/tmp"), "/tmp/");
    EXPECT_EQ(DorvaneFiles::AddSeparator("/tmp/"), "/tmp/");
}

TEST(DorvaneFiles, FindFilesMatchesTheExtensionWithoutRegardToCase) {
    test::TempDir dir;
    for (const char* name : {"b.pdf", "a.PDF", "c.Pdf", "d.pdf.txt", "e.wri"}) {
        test::WriteAll(dir.File(name), "x");
    }
    const auto found = DorvaneFiles::FindFiles(dir.Path().string(), "*.pdf");
    ASSERT_EQ(found.size(), 3u);
    EXPECT_EQ(DorvaneFiles::FileName(found[0], true), "a.PDF");
    EXPECT_EQ(DorvaneFiles::FindFiles(dir.Path().string(), "*.wri").size(), 1u);
    EXPECT_TRUE(DorvaneFiles::FindFiles(dir.File("missing"), "*.pdf").empty());
}

TEST(DorvaneFiles, TempFileNamesAreNeverTakenTwice) {
    test::TempDir dir;
    std::set<std::string> names;
    for (int i = 0; i < 200; ++i) {
        const std::string name = DorvaneFiles::TempFileName(dir.Path().string(), "ricevuta", "pdf");
        ASSERT_FALSE(name.empty());
        EXPECT_TRUE(DorvaneFiles::FileExists(name)) << "the name is reserved on disk";
        EXPECT_EQ(DorvaneFiles::Extension(name), "pdf");
        names.insert(name);
    }
    EXPECT_EQ(names.size(), 200u);
    EXPECT_TRUE(DorvaneFiles::TempFileName(dir.File("missing/sub"), "x", "pdf").empty());
}

TEST(DorvaneFiles, CopyLeavesNoPartialFile) {
    test::TempDir dir;
    test::WriteAll(dir.File("src.pdf"), "%PDF-1.4 contenuto");
    EXPECT_TRUE(DorvaneFiles::CopyFile(dir.File("src.pdf"), dir.File("dst.pdf")));
    EXPECT_EQ(test::ReadAll(dir.File("dst.pdf")), "%PDF-1.4 contenuto");
    EXPECT_FALSE(DorvaneFiles::CopyFile(dir.File("src.pdf"), dir.File("dst.pdf"), false));
    EXPECT_FALSE(DorvaneFiles::CopyFile(dir.File("missing.pdf"), dir.File("other.pdf")));
    EXPECT_FALSE(DorvaneFiles::FileExists(dir.File("other.pdf")));
    EXPECT_FALSE(DorvaneFiles::CopyFile(dir.File("src.pdf"), dir.File("no/such/dir.pdf")));
    EXPECT_TRUE(DorvaneFiles::DeleteFile(dir.File("dst.pdf")));
    EXPECT_FALSE(DorvaneFiles::FileExists(dir.File("dst.pdf")));
}

} // namespace
} // namespace quorvin
