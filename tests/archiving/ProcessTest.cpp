// Process over a real archive: its log lines, the earlier-receipt search, the years of
// receipts without a summary record, and what one file leaves to the next.
#include "archiving/ArchivingTestSupport.h"

#include <algorithm>

namespace quorvin::test {
namespace {

const FakeReader::Pages kOutcome = {
    {kHeaderAG, "RICHIESTA DI PAGAMENTO TELEMATICO - ESITO DEL VERSAMENTO",
     "relativa alla richiesta del 12/03/2010 con protocollo 10031212345678/000001",
     "Roma, Li, 14/03/2010"}};

class ProcessTest : public ArchivingTest {
protected:
    bool Logged(const LogLine& line) const {
        return std::find(m_log.begin(), m_log.end(), line) != m_log.end();
    }
    // The Anno of the selection line for the type.
    std::string SelectionOf(long type) const {
        const std::string key = "TipoDoc=" + std::to_string(type) + ";";
        for (const auto& line : m_log) {
            if (line.func == "SelectArchive()" && line.file.rfind(key, 0) == 0) {
                return line.file;
            }
        }
        return "no selection of " + std::to_string(type);
    }
};

TEST_P(ProcessTest, AFileThatDidNotOpenIsNotProcessed) {
    m_tel->File(m_dir.File("assente.pdf"));
    ASSERT_FALSE(m_tel->IsOpen());
    m_log.clear();
    EXPECT_FALSE(m_tel->Process());
    EXPECT_TRUE(m_log.empty());
}

TEST_P(ProcessTest, MissingFirstPageDataNamesThePieceBeingRead) {
    Load("ricevuta_1.pdf",
         {{kHeaderAG, "ATTESTAZIONE DI AVVENUTA TRASMISSIONE", "trasmesso da: RSSMRA80A01H501U"}});
    m_tel->FileNameOrig("ricevuta.pdf"); // the file this piece was split from
    m_log.clear();
    EXPECT_FALSE(m_tel->Process());
    EXPECT_EQ(m_log,
              (std::vector<LogLine>{{2, "ricevuta_1.pdf", "ProcessSingleFile()",
                                     "Dati della ricezione non individuati nella prima pagina"},
                                    {1, "ricevuta.pdf", "Process()", "Elaborazione interrotta"}}));
}

TEST_P(ProcessTest, OutcomeOfATransmissionNotArchivedIsArchivedWithoutTheLink) {
    ProcessReceipt("esito.pdf", kOutcome);
    EXPECT_EQ(m_tel->DocType(), 132);
    EXPECT_TRUE(
        Logged({1, "", "FindTelDoc()", "Tipo doc. 130 - Protocollo 10031212345678: non trovato"}));
    EXPECT_EQ(m_tel->Info().ReceiptDate, "14/03/2010");
    EXPECT_EQ(SelectionOf(132), "TipoDoc=132;Anno=2010;Mittente=");
    EXPECT_FALSE(LinesOf("m_cJob_OnJob()").empty()) << "the job ran";
    EXPECT_TRUE(LinesOf("ProcessSingleFile()").empty());
}

TEST_P(ProcessTest, OutcomeIsLinkedToItsArchivedTransmissionInTheSameTransaction) {
    const long transmission = AddRecord(
        kStdSummary, {{"Protocollo_Attribuito", "10061610424512345"}, {"Cod_Tipo_doc_F", "130"}});
    auto tel = RealEngine("r02_f24_esito.txt", "esito.pdf");
    ASSERT_EQ(tel->DocType(), 132);
    EXPECT_TRUE(tel->Process()) << ::testing::PrintToString(m_log);
    ASSERT_GE(tel->SummaryRecord(), 0);
    const std::string link = "select * from DB_COLLEGAMENTI where DB_PAR_SERIALE='QUORVINRIEPILOGO'"
                             " and DB_PAR_RECORD=" +
                             std::to_string(transmission) +
                             " and DB_SON_SERIALE='QUORVINRIEPILOGO' and DB_SON_RECORD=" +
                             std::to_string(tel->SummaryRecord());
    EXPECT_EQ(CountRows(link), 1);
}

TEST_P(ProcessTest, AnEarlierReceiptSearchThatCannotRunStopsTheReceipt) {
    ASSERT_TRUE(Run("delete from SYS_TATD where ID_TIPODOC=130"));
    EXPECT_FALSE(ProcessReceipt("esito.pdf", kOutcome));
    EXPECT_EQ(m_log,
              (std::vector<LogLine>{
                  {1, "", "FindTelDoc()", "Tipo doc. 130 - Protocollo 10031212345678: non trovato"},
                  {2, "esito.pdf", "ProcessSingleFile()",
                   "Dati della ricezione non individuati nella prima pagina"},
                  {1, "esito.pdf", "Process()", "Elaborazione interrotta"}}));
}

TEST_P(ProcessTest, ReceiptsWithoutSummaryTakeTheYearFromTheirOwnText) {
    ProcessReceipt("730.pdf", {{kHeaderSD, "MODELLO DI DICHIARAZIONE 730 2011",
                                "Dichiarazione presentata il 15/06/2012",
                                "DICHIARAZIONE PROTOCOLLO N. 11061500001 - 000001"}});
    EXPECT_EQ(SelectionOf(187), "TipoDoc=187;Anno=2011;Mittente=");
    EXPECT_EQ(SelectionOf(186), "no selection of 186") << "no summary record";
    EXPECT_EQ(m_tel->RefTipoDoc(), 115);

    ProcessReceipt("intra.pdf", {{kHeaderAG, "DICHIARAZIONI INTRASTAT - CODICE ASSEGNATO AL FILE",
                                  "Data di protocollazione : 20/01/2011",
                                  "Numero di protocollo/CIN : 11012000123",
                                  "Anno di riferimento : 2010 Tipo di riepilogo : CESSIONI"}});
    EXPECT_EQ(m_tel->DocType(), 95);
    EXPECT_EQ(m_tel->Info().Protocol, "11012000123");
    EXPECT_EQ(SelectionOf(96), "TipoDoc=96;Anno=2010;Mittente=");
    EXPECT_EQ(m_tel->RefTipoDoc(), 88);
}

TEST_P(ProcessTest, TheReferenceTypeStartsAgainWithEveryFile) {
    ProcessReceipt("f24.pdf", {{kHeaderAG, "ATTESTAZIONE DI AVVENUTA TRASMISSIONE",
                                "In data 12/03/2010 trasmesso da: RSSMRA80A01H501U"}});
    EXPECT_EQ(m_tel->RefTipoDoc(), 111);
    ProcessReceipt("esito.pdf",
                   {{"Elenco dei quadri della dichiarazione che", "risultano compilati: FR RN",
                     "La dichiarazione risulta regolare.", "28/10/2010"}});
    EXPECT_EQ(m_tel->DocType(), 80);
    EXPECT_EQ(SelectionOf(80), "TipoDoc=80;Anno=2010;Mittente=");
    EXPECT_EQ(m_tel->RefTipoDoc(), 0);
}

INSTANTIATE_TEST_SUITE_P(Backends, ProcessTest,
                         ::testing::Values(BackendKind::Sqlite, BackendKind::Postgres),
                         BackendName);

} // namespace
} // namespace quorvin::test
