#include "engine/pdf/PageText.h"
#include "engine/pdf/PdfReader.h"
#include "engine/pdf/PdfWriter.h"
#include "support/TestSupport.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFWriter.hh>

#include <gtest/gtest.h>

#include <filesystem>

using namespace quorvin::pdf;
using quorvin::test::MakePdf;
using quorvin::test::ReadAll;
using quorvin::test::TempDir;
using quorvin::test::WriteAll;

namespace fs = std::filesystem;

namespace {

std::vector<std::string> PageTexts(const std::string& path) {
    std::vector<std::string> texts;
    const auto document = DefaultReader().Read(path);
    if (document) {
        for (const Page& page : document->pages) {
            texts.push_back(JoinRuns(PageRuns(page, kWholePage), ""));
        }
    }
    return texts;
}

std::string MakeNumbered(const TempDir& dir, int pages) {
    std::vector<std::vector<std::string>> lines;
    for (int i = 1; i <= pages; ++i) {
        lines.push_back({"Ricevuta   numero " + std::to_string(i)});
    }
    return MakePdf(dir, "origine.pdf", lines);
}

std::vector<std::string> Numbered(int first, int last) {
    std::vector<std::string> texts;
    for (int i = first; i <= last; ++i) {
        texts.push_back("Ricevuta numero " + std::to_string(i) + "\r\n");
    }
    return texts;
}

} // namespace

TEST(PageCutter, WritesPageRangesAsNewFiles) {
    TempDir dir;
    const std::string source = MakeNumbered(dir, 5);
    const std::string before = ReadAll(source);
    PageCutter cutter(source);
    ASSERT_TRUE(cutter.IsOpen());
    EXPECT_EQ(cutter.PageCount(), 5);

    std::string error;
    ASSERT_TRUE(cutter.Write(0, 0, dir.File("prima.pdf"), &error)) << error;
    ASSERT_TRUE(cutter.Write(1, 3, dir.File("mezzo.pdf"), &error)) << error;
    ASSERT_TRUE(cutter.Write(4, 4, dir.File("ultima.pdf"), &error)) << error;
    ASSERT_TRUE(cutter.Write(0, 4, dir.File("tutte.pdf"), &error)) << error;
    EXPECT_EQ(PageTexts(dir.File("prima.pdf")), Numbered(1, 1));
    EXPECT_EQ(PageTexts(dir.File("mezzo.pdf")), Numbered(2, 4));
    EXPECT_EQ(PageTexts(dir.File("ultima.pdf")), Numbered(5, 5));
    EXPECT_EQ(PageTexts(dir.File("tutte.pdf")), Numbered(1, 5));

    // Overwriting an earlier piece is fine.
    ASSERT_TRUE(cutter.Write(2, 2, dir.File("prima.pdf"), &error)) << error;
    EXPECT_EQ(PageTexts(dir.File("prima.pdf")), Numbered(3, 3));
    EXPECT_EQ(ReadAll(source), before);
}

TEST(PageCutter, RefusesBadRangesAndDestinations) {
    TempDir dir;
    const std::string source = MakeNumbered(dir, 3);
    const std::string before = ReadAll(source);
    PageCutter cutter(source);
    ASSERT_TRUE(cutter.IsOpen());
    const std::pair<int, int> bad[] = {{-1, 0}, {2, 1}, {3, 3}, {1, 3}};
    for (const auto& [first, last] : bad) {
        std::string error;
        EXPECT_FALSE(cutter.Write(first, last, dir.File("pezzo.pdf"), &error)) << first << last;
        EXPECT_FALSE(error.empty());
    }
    std::string error;
    EXPECT_FALSE(cutter.Write(0, 0, source, &error));
    EXPECT_FALSE(cutter.Write(0, 0, (dir.Path() / "." / "origine.pdf").string(), &error));
    EXPECT_FALSE(cutter.Write(0, 0, dir.File("manca/pezzo.pdf"), &error));
    EXPECT_EQ(ReadAll(source), before);
    // Nothing half-written is left behind.
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(dir.Path())) {
        left.push_back(entry.path().filename().string());
    }
    EXPECT_EQ(left, std::vector<std::string>{"origine.pdf"});
}

TEST(PageCutter, UnreadableSourceIsNotOpen) {
    TempDir dir;
    WriteAll(dir.File("rotto.pdf"), "%PDF-1.4\nniente\n");
    for (const std::string& path : {dir.File("rotto.pdf"), dir.File("assente.pdf")}) {
        PageCutter cutter(path);
        EXPECT_FALSE(cutter.IsOpen());
        EXPECT_EQ(cutter.PageCount(), 0);
        std::string error;
        EXPECT_FALSE(cutter.Write(0, 0, dir.File("pezzo.pdf"), &error));
    }
}

// Receipts protected against changes (owner password only) open without a password.
TEST(PageCutter, ProtectedSourceWithoutUserPassword) {
    TempDir dir;
    const std::string plain = MakeNumbered(dir, 3);
    const std::string source = dir.File("protetta.pdf");
    {
        QPDF pdf;
        pdf.processFile(plain.c_str());
        QPDFWriter writer(pdf, source.c_str());
        writer.setR6EncryptionParameters("", "proprietario", true, false, false, false, false,
                                         false, qpdf_r3p_full, true);
        writer.write();
    }
    EXPECT_EQ(PageTexts(source), Numbered(1, 3));
    PageCutter cutter(source);
    std::string error;
    ASSERT_TRUE(cutter.Write(1, 2, dir.File("pezzo.pdf"), &error)) << error;
    EXPECT_EQ(PageTexts(dir.File("pezzo.pdf")), Numbered(2, 3));
}

// Pieces cut ahead on another thread: taken in order they are the pages themselves,
// whatever the budget; one passed over is cut by the caller; nothing ever waits for ever.
TEST(PiecesAhead, GivesEachPageInOrderAndLetsTheCallerCutTheRest) {
    TempDir dir;
    const std::string source = MakeNumbered(dir, 40);
    struct Case {
        const char* what;
        std::size_t budget;
        std::vector<int> asked; // the pages asked for, in this order
        std::vector<bool> given;
    };
    const std::vector<Case> cases = {
        {"in order", 4u << 20, {0, 1, 2, 3, 39}, {true, true, true, true, true}},
        {"a budget of one byte", 1, {0, 1, 2, 20, 21, 39}, {true, true, true, true, true, true}},
        {"back and out of range",
         4u << 20,
         {5, 3, 6, -1, 40, 7},
         {true, false, true, false, false, true}},
    };
    for (const auto& c : cases) {
        PiecesAhead ahead(source, c.budget);
        for (size_t k = 0; k < c.asked.size(); ++k) {
            std::string bytes;
            ASSERT_EQ(ahead.Take(c.asked[k], bytes), c.given[k])
                << c.what << " page " << c.asked[k];
            if (c.given[k]) {
                WriteAll(dir.File("pezzo.pdf"), bytes);
                EXPECT_EQ(PageTexts(dir.File("pezzo.pdf")),
                          Numbered(c.asked[k] + 1, c.asked[k] + 1))
                    << c.what;
            }
        }
    }
    // Gone before anything is asked, and a source qpdf cannot read: no wait, no piece.
    { PiecesAhead unused(source); }
    WriteAll(dir.File("rotto.pdf"), "%PDF-1.4\nniente\n");
    PiecesAhead broken(dir.File("rotto.pdf"));
    std::string bytes;
    EXPECT_FALSE(broken.Take(0, bytes));
}
