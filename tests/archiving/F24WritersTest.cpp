// The F24 single writers on one payment page, with the file's list behind it.
#include "archiving/ArchivingTestSupport.h"

#include "archive/DorvaneRecordset.h"

namespace quorvin::test {
namespace {

class F24WritersTest : public ArchivingTest {
protected:
    // A transmission whose payment page prints these lines; the record being built is a
    // new one of archive.
    void Payment(const std::vector<std::string>& lines, const std::string& archive = kStdSingle) {
        std::vector<std::string> page = {kHeaderAG, "ATTESTAZIONE DI AVVENUTA TRASMISSIONE"};
        page.insert(page.end(), lines.begin(), lines.end());
        Load("f24.pdf", {{kHeaderAG, "ATTESTAZIONE DI AVVENUTA TRASMISSIONE", "In data 16/06/2010"},
                         page,
                         {"ELENCO DEI DOCUMENTI ACQUISITI E/O SCARTATI",
                          "TIPO DI DOCUMENTO : F24 - RICHIESTE DI PAGAMENTO TELEMATICO",
                          "Esito Protocollo Codice fiscale Denominazione", "documenti",
                          "SCARTATO 000007 RSSMRA80A01H501U ROSSI MARIO"}});
        ASSERT_EQ(m_tel->ListPage(), 2);
        m_tel->Info().ReceiptDate = "16/06/2010";
        DorvaneRecordset& record = m_tel->CurrentRecord();
        ASSERT_TRUE(record.Open(archive, DorvaneRecordset::Mode::Updatable));
        ASSERT_TRUE(record.AddNew());
    }
    bool Write() { return m_tel->WriteFieldsF24Sing(m_tel->PageText()[1]); }
    std::string Value(const std::string& field) { return m_tel->CurrentRecord().Value(field); }
};

TEST_P(F24WritersTest, PaymentProtocolIsSplitAtSlashOrProg) {
    Payment({"Protocollo del pagamento : 10061610424512345/000007"});
    ASSERT_TRUE(Write());
    EXPECT_EQ(Value("Protocollo_pag"), "10061610424512345");
    EXPECT_EQ(Value("Progressivo_pag"), "000007");

    // " prog. " in any case wins over a slash inside the protocol.
    Payment({"Protocollo del pagamento : 1006/1610424512345 PROG. 000008"});
    ASSERT_TRUE(Write());
    EXPECT_EQ(Value("Protocollo_pag"), "1006/1610424512345");
    EXPECT_EQ(Value("Progressivo_pag"), "000008");

    // Without a separator the progressive number of the previous payment stays.
    Payment({"Protocollo del pagamento : 10061610424512399"});
    m_tel->Info().SendNumber = "000008";
    ASSERT_TRUE(Write());
    EXPECT_EQ(Value("Protocollo_pag"), "10061610424512399");
    EXPECT_EQ(Value("Progressivo_pag"), "000008");
}

TEST_P(F24WritersTest, MissingLinesAreTakenFromTheListRow) {
    Payment({"Protocollo del pagamento : 10061610424512345/000007",
             "Codice fiscale : rssmra80a01h501u", "Importo versamento : E. 1.250,00"});
    ASSERT_TRUE(Write());
    EXPECT_EQ(Value("Cod_Fiscale"), "RSSMRA80A01H501U");
    EXPECT_EQ(Value("Esito"), "SCARTATO");
    EXPECT_EQ(Value("Ditta"), "");
    EXPECT_EQ(Value("Importo"), "1250.00");
    EXPECT_EQ(Value("Descrizione"), "F24 - RICHIESTE DI PAGAMENTO TELEMATICO");
}

TEST_P(F24WritersTest, ArchiveWithoutPaymentProtocolFieldGetsTheSendingNumber) {
    // The summary archive has none of the payment fields either: the writer reports it.
    Payment({"Protocollo del pagamento : 10061610424512345/000007"}, kStdSummary);
    EXPECT_FALSE(Write());
    EXPECT_EQ(Value("Progressivo_Invio"), "000007");
    EXPECT_FALSE(m_tel->CurrentRecord().HasField("Protocollo_pag"));
}

TEST_P(F24WritersTest, ReceiptDateThatIsNotADateFailsTheWriter) {
    Payment({"Protocollo del pagamento : 10061610424512345/000007"});
    m_tel->Info().ReceiptDate = "sconosciuta";
    EXPECT_FALSE(Write());
    ASSERT_FALSE(m_log.empty());
    EXPECT_EQ(m_log.back().file, "Estrazione dati");
    EXPECT_EQ(m_log.back().func, "WriteFieldsF24Sing()");
}

INSTANTIATE_TEST_SUITE_P(Backends, F24WritersTest, ::testing::Values(BackendKind::Sqlite),
                         BackendName);

} // namespace
} // namespace quorvin::test
