// The archiving job: summary record or not, its closing lines, and the rollback that
// leaves nothing behind when it fails.
#include "archive/DorvaneFiles.h"
#include "archiving/ArchivingTestSupport.h"

namespace quorvin::test {
namespace {

const std::string kIntraLists = "ELENCHI RIEPILOGATIVI DELLE CESSIONI E DEGLI ACQUISTI";
const std::string kIntraLists2 = "INTRACOMUNITARI DI BENI E DI SERVIZI RESI E RICEVUTI";

class StoreFileTest : public ArchivingTest {
protected:
    void ExpectNothingStored() {
        for (const char* archive : {kStdSummary, kStdSingle}) {
            EXPECT_EQ(RecordCount(archive), 0) << archive;
            EXPECT_TRUE(StoredFiles(archive).empty()) << archive;
        }
        EXPECT_EQ(CountRows("select * from DB_COLLEGAMENTI"), 0);
    }
};

TEST_P(StoreFileTest, NothingToStoreLeavesTheFileInTheFolderAndSaysSo) {
    // Formal checks only, no totals, no list: the file keeps no summary record, and
    // nothing else of it would be archived.
    EXPECT_FALSE(ProcessReceipt(
        "intra.pdf", {{kHeaderSD, kIntraLists, kIntraLists2,
                       "SONO STATI ESEGUITI I CONTROLLI FORMALI PREVISTI DALLE SPECIFICHE",
                       "DATA DI TRASMISSIONE 25/01/2011",
                       "Invio effettuato da : ROSSI codice fiscale : RSSMRA80A01H501U",
                       "INVIO PROTOCOLLO N. 11012500001"}}));
    EXPECT_EQ(m_tel->ArchTipoDoc(), 94);
    EXPECT_FALSE(m_tel->StoreSummary());
    EXPECT_EQ(m_tel->SingleArchive(), kStdSingle);
    EXPECT_EQ(m_tel->SummaryRecord(), -1);
    EXPECT_EQ(Messages(), (std::vector<std::string>{"Nessun dato da archiviare nel file.",
                                                    "Archiviazione non completata",
                                                    "Elaborazione interrotta"}));
    EXPECT_EQ(LinesOf("m_cJob_OnJob()")[0].file, "intra.pdf");
    ExpectNothingStored();
}

TEST_P(StoreFileTest, SummaryRecordWithItsFileAndDescription) {
    EXPECT_TRUE(
        ProcessReceipt("intra 'gennaio'.pdf",
                       {{kHeaderSD, kIntraLists, kIntraLists2,
                         "SONO STATI ESEGUITI I CONTROLLI FORMALI PREVISTI DALLE SPECIFICHE",
                         "DATA DI TRASMISSIONE 25/01/2011",
                         "Invio effettuato da : ROSSI codice fiscale : RSSMRA80A01H501U",
                         "INVIO PROTOCOLLO N. 11012500001", "DICHIARAZIONI TOTALI 3"}}));
    EXPECT_EQ(m_tel->SummaryArchive(), kStdSummary);
    EXPECT_EQ(Messages(),
              (std::vector<std::string>{"Archiviazione completata", "Elaborazione terminata"}));
    ASSERT_EQ(RecordCount(kStdSummary), 1);
    DorvaneRecordset rs(m_env.Connection());
    ASSERT_TRUE(rs.Open("select * from " + Table(kStdSummary)));
    EXPECT_EQ(rs.Value("SYS_RECORD"), std::to_string(m_tel->SummaryRecord()));
    EXPECT_EQ(rs.Value("Protocollo_Attribuito"), "11012500001");
    EXPECT_NE(rs.Value("SYS_DESCR").find("11012500001"), std::string::npos);
    // The stored copy is named after the user's file and lives in the database.
    EXPECT_EQ(rs.Value("SYS_FILE"), "intra 'gennaio'.pdf");
    std::string name;
    std::string bytes;
    ASSERT_TRUE(
        m_env.ArchiveStore().ReadStoredFile(kStdSummary, m_tel->SummaryRecord(), name, bytes));
    EXPECT_EQ(name, "intra 'gennaio'.pdf");
    EXPECT_EQ(bytes, ReadAll(m_tel->File()));
    EXPECT_EQ(StoredFiles(kStdSummary), (std::vector<std::string>{"intra 'gennaio'.pdf"}));
    EXPECT_EQ(RecordCount(kStdSingle), 0);
}

TEST_P(StoreFileTest, AStopDuringThePageStoringEndsTheJobAsInterrupted) {
    // A real F24 transmission read by the real page reader, so that pages can be cut.
    auto engine = RealEngine("r01_f24_trasmissione.txt", "f24.pdf");
    bvTel& tel = *engine;
    tel.ConnectTelLogStatus([&](long) { tel.StopProcess(); });
    ASSERT_EQ(tel.DocType(), 130);
    EXPECT_FALSE(tel.Process());
    EXPECT_TRUE(tel.ProcessStopped());
    EXPECT_EQ(LinesOf("m_cJob_OnJob()"),
              (std::vector<LogLine>{
                  {1, "f24.pdf", "m_cJob_OnJob()", "Archiviazione interrotta dall'utente"}}));
    EXPECT_EQ(LinesOf("Process()"),
              (std::vector<LogLine>{{1, "f24.pdf", "Process()", "Elaborazione interrotta"}}));
    // Nothing of a stopped file is kept: it is archived whole on the next run.
    EXPECT_EQ(RecordCount(kStdSummary), 0);
    EXPECT_EQ(RecordCount(kStdSingle), 0);
}

TEST_P(StoreFileTest, TypesWithoutSummaryRecordCountTheirDocuments) {
    const std::vector<std::string> quadri = {"Elenco dei quadri della dichiarazione che",
                                             "risultano compilati: FR RN",
                                             "La dichiarazione risulta regolare.", "28/10/2010"};
    const std::vector<std::string> dm10 = {
        "ATTESTAZIONE DELLA DENUNCIA CONTRIBUTIVA RELATIVA AL PERIODO:", "MARZO 2010"};
    struct Case {
        std::string name;
        FakeReader::Pages pages;
        long docType;
        long documents;
    };
    const std::vector<Case> cases = {
        {"esiti.pdf", {quadri, quadri, quadri}, 80, 3},
        {"dm10.pdf", {dm10, dm10}, 404, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ProcessReceipt(c.name, c.pages);
        EXPECT_EQ(m_tel->DocType(), c.docType);
        EXPECT_EQ(m_tel->DocumentCount(), c.documents);
        EXPECT_EQ(m_tel->SummaryRecord(), -1);
        EXPECT_TRUE(m_tel->SummaryArchive().empty());
        // The notices' pages are no PDF to cut, and the return's pages carry no
        // attestation: with no single receipt stored the file stays, whole.
        const std::vector<LogLine> expected = {
            {1, c.name, "m_cJob_OnJob()", "Archiviazione non completata"}};
        EXPECT_EQ(LinesOf("m_cJob_OnJob()"), expected);
        ExpectNothingStored();
    }
}

TEST_P(StoreFileTest, AFailedSummaryStepRollsEverythingBack) {
    Load("f24.pdf", {{kHeaderAG, "ATTESTAZIONE DI AVVENUTA TRASMISSIONE",
                      "In data 12/03/2010 alle ore 10:15 trasmesso da: RSSMRA80A01H501U",
                      "ha acquisito con protocollo", "10031212345678 il file F24.rel"}});
    // The PDF is gone from the folder: the copy fails if no earlier step does.
    DorvaneFiles::DeleteFile(m_tel->File(), true);
    m_log.clear();
    EXPECT_FALSE(m_tel->Process());
    const auto lines = LinesOf("m_cJob_OnJob()");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_TRUE(lines[0].msg == "Errore nella scrittura dei dati del riepilogo." ||
                lines[0].msg == "Copia file non riuscita: '" + m_tel->File() + "'.")
        << lines[0].msg;
    EXPECT_EQ(lines[1].msg, "Archiviazione non completata");
    EXPECT_EQ(m_tel->SummaryRecord(), -1);
    EXPECT_EQ(m_log.back(), (LogLine{1, "f24.pdf", "Process()", "Elaborazione interrotta"}));
    ExpectNothingStored();
}

INSTANTIATE_TEST_SUITE_P(Backends, StoreFileTest,
                         ::testing::Values(BackendKind::Sqlite, BackendKind::Postgres),
                         BackendName);

} // namespace
} // namespace quorvin::test
