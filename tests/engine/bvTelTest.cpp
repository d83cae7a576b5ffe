// The receipt object: opening, page reading with list words, events, splitting.
#include "engine/bvTel.h"
#include "archive/DorvaneFiles.h"
#include "engine/FakeReader.h"
#include "support/TestSupport.h"

#include <cstdlib>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace quorvin {
namespace {

using Pages = test::FakeReader::Pages;
using ::testing::ElementsAre;

struct LogLine {
    long priority;
    std::string file;
    std::string func;
    std::string msg;
    bool operator==(const LogLine&) const = default;
};

std::ostream& operator<<(std::ostream& os, const LogLine& l) {
    return os << l.priority << "|" << l.file << "|" << l.func << "|" << l.msg;
}

class TelFixture : public ::testing::Test {
protected:
    TelFixture() {
        tel.ConnectTelLogEvent(
            [this](long p, const std::string& f, const std::string& fn, const std::string& m) {
                log.push_back({p, f, fn, m});
            });
    }
    test::FakeReader reader;
    bvTel tel{reader};
    std::vector<LogLine> log;
};

const std::string kList = "ELENCO DEI DOCUMENTI ACQUISITI E/O SCARTATI";

TEST_F(TelFixture, OpeningLogsTheFileNameOnly) {
    reader.Add("/cartella/ricevuta.pdf", Pages{{"testo"}});
    tel.File("/cartella/ricevuta.pdf");
    tel.File("/cartella/illeggibile.pdf");
    EXPECT_FALSE(tel.IsOpen());
    EXPECT_EQ(tel.DocType(), -1);
    EXPECT_EQ(tel.ArchTipoDoc(), -1);
    EXPECT_EQ(tel.File(), "/cartella/illeggibile.pdf");
    EXPECT_THAT(
        log, ElementsAre(LogLine{1, "ricevuta.pdf", "PDFOpen()", "Inizio elaborazione"},
                         LogLine{1, "illeggibile.pdf", "PDFOpen()", "Impossibile aprire il file"}));
    EXPECT_TRUE(tel.PDFOpen("/cartella/ricevuta.pdf", true));
    EXPECT_EQ(log.size(), 2u) << "a quiet open logs nothing";
}

TEST_F(TelFixture, PagesFromTheListPageOnAreReadWithTheListWords) {
    // A word holding a list word inside gets a line break before it only in list mode.
    const std::vector<std::string> marked = {"riga 00001-ACQUISITO"};
    reader.Add("r.pdf", Pages{marked, {kList, marked[0]}, marked});
    tel.File("r.pdf");
    EXPECT_EQ(tel.PageCount(), 3);
    EXPECT_EQ(tel.ListPage(), 1);
    ASSERT_EQ(tel.PageText().size(), 3u);
    EXPECT_EQ(tel.PageText()[0], "riga 00001-ACQUISITO\r\n");
    EXPECT_EQ(tel.PageText()[1], kList + "\r\nriga 00001-\r\nACQUISITO ");
    EXPECT_EQ(tel.PageText()[2], "riga 00001-\r\nACQUISITO ");

    reader.Add("s.pdf", Pages{{"ELENCO CERTIFICAZIONI ACQUISITE E/O SCARTATE", marked[0]}});
    tel.File("s.pdf");
    EXPECT_EQ(tel.ListPage(), 0);
    EXPECT_EQ(tel.PageText()[0],
              "ELENCO CERTIFICAZIONI ACQUISITE E/O SCARTATE\r\nriga 00001-\r\nACQUISITO ");

    reader.Add("t.pdf", Pages{marked});
    tel.File("t.pdf");
    EXPECT_EQ(tel.ListPage(), -1) << "each file starts without a list page";
}

TEST_F(TelFixture, FindInfoInSummaryStartsAtTheListPage) {
    reader.Add("r.pdf", Pages{{"NOME DEL FILE : prima.txt"},
                              {kList, "NOME DEL FILE : seconda.txt"},
                              {"nome del file : terza.txt"}});
    tel.File("r.pdf");
    std::string value = "invariato";
    EXPECT_TRUE(tel.FindInfoInSummary("NOME DEL FILE : ", "\r\n", false, value));
    EXPECT_EQ(value, "seconda.txt");
    EXPECT_FALSE(tel.FindInfoInSummary("ASSENTE : ", "\r\n", false, value));
    EXPECT_EQ(value, "seconda.txt") << "left untouched when not found";

    reader.Add("n.pdf", Pages{{"NOME DEL FILE : prima.txt"}});
    tel.File("n.pdf");
    EXPECT_TRUE(tel.FindInfoInSummary("nome del file : ", "\r\n", false, value));
    EXPECT_EQ(value, "prima.txt") << "without a list page the search starts at page 0";
}

TEST_F(TelFixture, PageRangeChecksLogTheirRange) {
    reader.Add("uno.pdf", Pages{{"pagina"}});
    tel.File("uno.pdf");
    tel.FileNameOrig("originale.pdf");
    log.clear();
    test::TempDir dir;
    EXPECT_FALSE(tel.PDFExtractPages(1, 1, dir.File("x.pdf")));
    EXPECT_FALSE(tel.PDFExtractPages(2, 1, dir.File("x.pdf")));
    EXPECT_FALSE(tel.PDFExtractPages(-1, 0, dir.File("x.pdf")));
    EXPECT_THAT(
        log,
        ElementsAre(
            LogLine{2, "originale.pdf", "PDFExtractPages()", "Range pagine (1-1) non valido"},
            LogLine{2, "originale.pdf", "PDFExtractPages()", "Range pagine (2-1) non valido"},
            LogLine{2, "originale.pdf", "PDFExtractPages()", "Range pagine (-1-0) non valido"}));
    EXPECT_FALSE(DorvaneFiles::FileExists(dir.File("x.pdf")));
}

TEST_F(TelFixture, APieceThatCannotBeSavedSaysWhy) {
    test::TempDir dir;
    const std::string pdf = test::MakePdf(dir, "due.pdf", {{"uno"}, {"due"}});
    reader.Add(pdf, Pages{{"uno"}, {"due"}});
    tel.File(pdf);
    tel.FileNameOrig("due.pdf");
    log.clear();
    const std::string destination = dir.File("manca/pezzo.pdf");
    EXPECT_FALSE(tel.PDFExtractPages(0, 0, destination));
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].msg, "Salvataggio file " + destination +
                              " non riuscito: impossibile creare un file temporaneo accanto a " +
                              destination);
    std::string bytes;
    EXPECT_TRUE(tel.PDFPagesToMemory(1, 1, bytes));
    EXPECT_TRUE(bytes.starts_with("%PDF-"));
}

TEST_F(TelFixture, StopWithoutAJobKeepsTheFlag) {
    tel.Init();
    EXPECT_FALSE(tel.StopProcess());
    EXPECT_FALSE(tel.ProcessStopped());
}

TEST_F(TelFixture, SplitThatCannotWriteLeavesTheTableAndNoTemporaryFiles) {
    // The fake document has no file behind it, so the pieces cannot be cut.
    reader.Add("fake.pdf", Pages{{"ricevuta"},
                                 {kList},
                                 {"SERVIZIO TELEMATICO DI PRESENTAZIONE "
                                  "DELLE DICHIARAZIONI"}});
    FileTable table = {{"fake.pdf", "fake.pdf", true}};
    test::TempDir tmp;
    const char* oldTmp = std::getenv("TMPDIR");
    const std::string saved = oldTmp ? oldTmp : "";
    setenv("TMPDIR", tmp.Path().c_str(), 1);
    EXPECT_EQ(tel.FileSplit(table, 0), 0);
    EXPECT_TRUE(DorvaneFiles::FindFiles(tmp.Path().string(), "*").empty());
    if (oldTmp) {
        setenv("TMPDIR", saved.c_str(), 1);
    } else {
        unsetenv("TMPDIR");
    }
    ASSERT_EQ(table.size(), 1u);
    EXPECT_EQ(table[0].path, "fake.pdf");
    EXPECT_TRUE(table[0].found);
    EXPECT_EQ(tel.FileSplit(table, 5), 0);
    FileTable unreadable = {{"missing.pdf", "missing.pdf", true}};
    EXPECT_EQ(tel.FileSplit(unreadable, 0), 0);
}

TEST_F(TelFixture, FileSplitAndFileShareOneReadingOfTheFile) {
    reader.Add("a.pdf", Pages{{"ricevuta"}, {kList, "00001 RSSMRA80A01H501U ACQUISITO:"}});
    reader.Add("b.pdf", Pages{{"altra ricevuta"}});
    const struct {
        const char* path;
        bool opened;
        int reads; // by FileSplit and File together
    } cases[] = {{"a.pdf", true, 1}, {"illeggibile.pdf", false, 1}, {"b.pdf", true, 1}};
    for (const auto& c : cases) {
        reader.reads = 0;
        log.clear();
        FileTable table = {{c.path, c.path, true}};
        EXPECT_EQ(tel.FileSplit(table, 0), 0) << c.path;
        tel.File(c.path);
        EXPECT_EQ(reader.reads, c.reads) << c.path;
        EXPECT_EQ(tel.IsOpen(), c.opened) << c.path;
        // The open is logged once, by File, as when it read the file itself.
        EXPECT_THAT(log, ElementsAre(LogLine{1, c.path, "PDFOpen()",
                                             c.opened ? "Inizio elaborazione"
                                                      : "Impossibile aprire il file"}));
    }
    // What File takes from FileSplit is what it would have read: list words included.
    tel.File("a.pdf");
    const std::vector<std::string> direct = tel.PageText();
    FileTable table = {{"a.pdf", "a.pdf", true}};
    tel.FileSplit(table, 0);
    tel.File("a.pdf");
    EXPECT_EQ(tel.PageText(), direct);
    EXPECT_EQ(tel.ListPage(), 1);
    // A file read ahead and then not opened is forgotten: the next file is read afresh.
    reader.reads = 0;
    tel.FileSplit(table, 0);
    tel.File("b.pdf");
    tel.File("a.pdf");
    EXPECT_EQ(reader.reads, 3);
}

TEST(FileSplit, CutsAListFollowedByASecondReceipt) {
    test::TempDir dir;
    const std::string path = test::MakePdf(
        dir, "doppia.pdf",
        {{"AGENZIA DELLE ENTRATE - SERVIZIO TELEMATICO ENTRATEL", "prima"},
         {kList, "00001 RSSMRA80A01H501U ACQUISITO"},
         {"SERVIZIO TELEMATICO ENTRATEL DI PRESENTAZIONE DELLE DICHIARAZIONI", "seconda"},
         {"seconda, pagina 2"}});
    const std::string original = test::ReadAll(path);
    FileTable table = {{path, "doppia.pdf", true}, {"altro.pdf", "altro.pdf", true}};
    bvTel tel;
    ASSERT_EQ(tel.FileSplit(table, 0), 1);
    ASSERT_EQ(table.size(), 3u);
    EXPECT_EQ(table[0].name, "doppia.pdf");
    EXPECT_EQ(table[1].name, "doppia.pdf");
    EXPECT_FALSE(table[0].found);
    EXPECT_FALSE(table[1].found);
    EXPECT_EQ(table[2].path, "altro.pdf");
    EXPECT_NE(table[0].path, table[1].path);
    EXPECT_EQ(DorvaneFiles::Extension(table[0].path), "pdf");
    EXPECT_EQ(test::ReadAll(path), original) << "the original is never changed";

    tel.File(table[0].path);
    EXPECT_EQ(tel.PageCount(), 2);
    EXPECT_NE(tel.PageText()[1].find("00001"), std::string::npos);
    tel.File(table[1].path);
    EXPECT_EQ(tel.PageCount(), 2);
    EXPECT_NE(tel.PageText()[0].find("seconda"), std::string::npos);
    EXPECT_NE(tel.PageText()[1].find("pagina 2"), std::string::npos);
    tel.PDFClose();
    DorvaneFiles::DeleteFile(table[0].path);
    DorvaneFiles::DeleteFile(table[1].path);
}

TEST(FileSplit, LeavesFilesWithoutASecondReceiptAlone) {
    test::TempDir dir;
    const std::string listLast = test::MakePdf(
        dir, "lista.pdf",
        {{"AGENZIA DELLE ENTRATE - SERVIZIO TELEMATICO ENTRATEL"}, {kList, "00001 ACQUISITO"}});
    const std::string noHeader = test::MakePdf(
        dir, "senza.pdf", {{"ricevuta"}, {kList}, {"pagina successiva senza intestazione"}});
    const std::string noList =
        test::MakePdf(dir, "nolista.pdf",
                      {{"ricevuta"}, {"SERVIZIO TELEMATICO DI PRESENTAZIONE DELLE DICHIARAZIONI"}});
    bvTel tel;
    for (const auto& path : {listLast, noHeader, noList}) {
        FileTable table = {{path, DorvaneFiles::FileName(path, true), true}};
        EXPECT_EQ(tel.FileSplit(table, 0), 0) << path;
        EXPECT_EQ(table.size(), 1u);
        EXPECT_EQ(table[0].path, path);
    }
}

TEST(PdfPages, SavingTheWholeDocumentCopiesItByteForByte) {
    test::TempDir dir;
    const std::string path = test::MakePdf(dir, "r.pdf", {{"uno"}, {"due"}, {"tre"}});
    bvTel tel;
    tel.File(path);
    ASSERT_TRUE(tel.IsOpen());
    EXPECT_TRUE(tel.PDFSavePages(1, 2, dir.File("parte.pdf")));
    EXPECT_TRUE(tel.PDFExtractPages(0, 0, dir.File("prima.pdf")));
    EXPECT_TRUE(tel.PDFSavePages(0, 2, dir.File("tutto.pdf")));
    EXPECT_EQ(test::ReadAll(dir.File("tutto.pdf")), test::ReadAll(path));

    bvTel other;
    other.File(dir.File("parte.pdf"));
    ASSERT_EQ(other.PageCount(), 2);
    EXPECT_EQ(other.PageText()[0], "due\r\n");
    other.File(dir.File("prima.pdf"));
    ASSERT_EQ(other.PageCount(), 1);
    EXPECT_EQ(other.PageText()[0], "uno\r\n");
}

} // namespace
} // namespace quorvin
