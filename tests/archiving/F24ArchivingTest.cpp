// F24 transmissions and outcomes archived end to end, on SQLite and PostgreSQL.
#include "archiving/F24Test.h"

#include "archive/DorvaneFiles.h"

#include <gmock/gmock.h>

namespace quorvin::test {
namespace {

using ::testing::Contains;
using ::testing::HasSubstr;

constexpr const char* kStore = "StorePagesF24()";
constexpr const char* kProtocol = "10061610424512345";
constexpr const char* kSentFile = "F24_20100616_01.rel";

// The fields a record must hold (names in lower case).
void ExpectFields(const Record& record, const Record& expected, const std::string& what) {
    for (const auto& [field, value] : expected) {
        const auto it = record.find(field);
        ASSERT_NE(it, record.end()) << what << ": no field " << field;
        EXPECT_EQ(it->second, value) << what << ": " << field;
    }
}

class F24ArchivingTest : public F24Test {
protected:
    // The original F24 models of r01's payments; a second model of the first taxpayer on
    // the same day differs by its amount only.
    void AddOriginals() {
        m_original1 = AddRecord(kStdOriginals, {{"Cod_Tipo_doc_F", "111"},
                                                {"Cod_Fiscale", "RSSMRA80A01H501U"},
                                                {"Data_vers", "16/06/2010"},
                                                {"Importo", "1250,00"},
                                                {"Anno", "2010"}});
        AddRecord(kStdOriginals, {{"Cod_Tipo_doc_F", "111"},
                                  {"Cod_Fiscale", "RSSMRA80A01H501U"},
                                  {"Data_vers", "16/06/2010"},
                                  {"Importo", "480,00"},
                                  {"Anno", "2010"}});
        m_original2 = AddRecord(kStdOriginals, {{"Cod_Tipo_doc_F", "111"},
                                                {"Cod_Fiscale", "09876543217"},
                                                {"Data_vers", "16/06/2010"},
                                                {"Importo", "3418,72"},
                                                {"Anno", "2010"}});
    }

    long m_original1 = -1;
    long m_original2 = -1;
};

TEST_P(F24ArchivingTest, TransmissionBecomesSummaryAndOneRecordPerPayment) {
    AddOriginals();
    ASSERT_TRUE(Archive("r01_f24_trasmissione.txt", "f24.pdf"));

    const auto summaries = Records(kStdSummary);
    ASSERT_EQ(summaries.size(), 1u);
    ExpectFields(summaries[0],
                 {{"cod_tipo_doc_f", "130"},
                  {"data_doc", "16/06/2010"},
                  {"anno", "2010"},
                  {"trasmesso_cod", "BNCLCU70B15F205E"},
                  {"ora_doc", "10:42"},
                  {"protocollo_attribuito", kProtocol},
                  {"file", kSentFile},
                  {"descrizione", "F24 - RICHIESTE DI PAGAMENTO TELEMATICO"},
                  {"num_pagamenti", "4"},
                  {"vers_positivo", "2"},
                  {"vers_zero", "1"},
                  {"scartati", "1"}},
                 "summary");
    const long summary = std::stol(summaries[0].at("sys_record"));
    EXPECT_EQ(ReadPdf(summaries[0].at("sys_file")).first, 6);

    const Record common = {{"cod_tipo_doc_f", "131"},
                           {"data_doc", "16/06/2010"},
                           {"data_vers", "16/06/2010"},
                           {"anno", "2010"},
                           {"protocollo_attribuito", kProtocol},
                           {"protocollo_pag", kProtocol},
                           {"file", kSentFile},
                           {"ora_doc", "10:42"},
                           {"trasmesso_cod", "BNCLCU70B15F205E"},
                           {"abi", "03069"},
                           {"cab", "01600"},
                           {"cc", "000012345678"},
                           {"progressivo_invio", ""},
                           {"descrizione", "F24 - RICHIESTE DI PAGAMENTO TELEMATICO"}};
    const std::vector<Record> payments = {
        {{"progressivo_pag", "000001"},
         {"cod_fiscale", "RSSMRA80A01H501U"},
         {"ditta", "ROSSI MARIO"},
         {"importo", "1250.00"},
         {"esito", "ACQUISITO"}},
        {{"progressivo_pag", "000002"},
         {"cod_fiscale", "09876543217"},
         {"ditta", "L'ANGOLO DEL CAFFE' S.R.L."},
         {"importo", "3418.72"},
         {"esito", "ACQUISITO"}},
        {{"progressivo_pag", "000003"},
         {"cod_fiscale", "02456789011"},
         {"ditta", "FERRAMENTA \"IL CHIODO\" S.N.C. DI GALLO ANTONIO & C."},
         {"importo", "0.00"},
         {"esito", "ACQUISITO"}},
        {{"progressivo_pag", "000004"},
         {"cod_fiscale", "03124578968"},
         {"ditta", "TRASPORTI BRIANZA S.P.A."},
         {"importo", "12904.50"},
         {"esito", "SCARTATO"}},
    };
    const auto singles = Records(kStdSingle);
    ASSERT_EQ(singles.size(), payments.size());
    std::set<LinkRow> expectedLinks;
    std::vector<long> records;
    for (size_t i = 0; i < singles.size(); ++i) {
        const std::string what = "payment " + std::to_string(i + 1);
        ExpectFields(singles[i], common, what);
        ExpectFields(singles[i], payments[i], what);
        // Each payment's own one-page PDF, stored under the receipt's name.
        const auto [pages, text] = ReadPdf(singles[i].at("sys_file"));
        EXPECT_EQ(pages, 1) << what;
        EXPECT_THAT(text, HasSubstr("Codice fiscale : " + singles[i].at("cod_fiscale"))) << what;
        EXPECT_THAT(DorvaneFiles::FileName(singles[i].at("sys_file"), true), HasSubstr("f24"));
        records.push_back(std::stol(singles[i].at("sys_record")));
        expectedLinks.insert({kStdSummary, summary, kStdSingle, records.back()});
        EXPECT_EQ(CountLines(kStore, "Archiviazione progressivo " +
                                         payments[i].at("progressivo_pag") + " riuscita"),
                  1);
    }
    EXPECT_EQ(singles[0].at("sys_descr"), "ROSSI MARIO RSSMRA80A01H501U F24 - RICHIESTE DI "
                                          "PAGAMENTO TELEMATICO 10061610424512345");
    // Originals found by tax code, date and, between two of the same day, amount.
    expectedLinks.insert({kStdSingle, records[0], kStdOriginals, m_original1});
    expectedLinks.insert({kStdSingle, records[1], kStdOriginals, m_original2});
    EXPECT_EQ(Links(), expectedLinks);

    EXPECT_THAT(
        m_log, Contains(LogLine{1, "f24.pdf", kStore, "Previste 4 ricevute singole, presenti 4."}));
    EXPECT_EQ(m_log.back(), (LogLine{1, "f24.pdf", "Process()", "Elaborazione terminata"}));
    EXPECT_THAT(m_log,
                Contains(LogLine{1, "f24.pdf", "m_cJob_OnJob()", "Archiviazione completata"}));
}

TEST_P(F24ArchivingTest, OutcomesAreLinkedToThePaymentsOfTheirTransmission) {
    AddOriginals();
    ASSERT_TRUE(Archive("r01_f24_trasmissione.txt", "f24.pdf"));
    const auto payments = Records(kStdSingle);
    const auto before = Links();
    ASSERT_TRUE(Archive("r02_f24_esito.txt", "esito.pdf"));

    const auto summaries = Records(kStdSummary);
    ASSERT_EQ(summaries.size(), 2u);
    ExpectFields(summaries[1], {{"cod_tipo_doc_f", "132"}, {"num_pagamenti", "4"}}, "summary");
    const long summary = std::stol(summaries[1].at("sys_record"));

    const auto singles = Records(kStdSingle);
    ASSERT_EQ(singles.size(), 8u);
    const Record common = {{"cod_tipo_doc_f", "133"},
                           {"data_doc", "18/06/2010"},
                           {"data_vers", "16/06/2010"},
                           {"anno", "2010"},
                           {"protocollo_attribuito", kProtocol},
                           {"protocollo_pag", kProtocol},
                           {"file", kSentFile},
                           {"descrizione", "F24 - ESITO DEI VERSAMENTI"}};
    const std::vector<Record> outcomes = {
        {{"progressivo_pag", "000001"},
         {"cod_fiscale", "RSSMRA80A01H501U"},
         {"ditta", "ROSSI MARIO"},
         {"importo", "1250.00"},
         {"abi", "03069"},
         {"esito", "ADDEBITATO"}},
        {{"progressivo_pag", "000002"},
         {"cod_fiscale", "09876543217"},
         {"ditta", "L'ANGOLO DEL CAFFE' S.R.L."},
         {"esito", "ADDEBITATO"}},
        // Printed as "La delega con protocollo P-N del ..." with the bank in brackets.
        {{"progressivo_pag", "000003"},
         {"cod_fiscale", "02456789011"},
         {"abi", "03069"},
         {"importo", "0.00"},
         {"esito", "ESEGUITO"}},
        // No outcome line: the list row of the same progressive number gives it.
        {{"progressivo_pag", "000004"},
         {"cod_fiscale", "03124578968"},
         {"abi", "05584"},
         {"esito", "SCARTATO"}},
    };
    auto expectedLinks = before;
    for (size_t i = 0; i < outcomes.size(); ++i) {
        const Record& outcome = singles[4 + i];
        const std::string what = "outcome " + std::to_string(i + 1);
        ExpectFields(outcome, common, what);
        ExpectFields(outcome, outcomes[i], what);
        EXPECT_EQ(ReadPdf(outcome.at("sys_file")).first, 1) << what;
        const long record = std::stol(outcome.at("sys_record"));
        expectedLinks.insert({kStdSummary, summary, kStdSingle, record});
        expectedLinks.insert(
            {kStdSingle, std::stol(payments[i].at("sys_record")), kStdSingle, record});
    }
    // The outcome's summary answers the transmission's; the debited payments point to
    // their originals as the payments did.
    expectedLinks.insert(
        {kStdSummary, std::stol(summaries[0].at("sys_record")), kStdSummary, summary});
    expectedLinks.insert(
        {kStdSingle, std::stol(singles[4].at("sys_record")), kStdOriginals, m_original1});
    expectedLinks.insert(
        {kStdSingle, std::stol(singles[5].at("sys_record")), kStdOriginals, m_original2});
    EXPECT_EQ(Links(), expectedLinks);
    EXPECT_THAT(m_log,
                Contains(LogLine{1, "esito.pdf", kStore, "Previsti 4 esiti singoli, presenti 4."}));
    EXPECT_EQ(CountLines(kStore, "Progressivo 000001: Trasmissione singola non trovata"), 0);
}

TEST_P(F24ArchivingTest, OutcomeWithoutArchivedTransmissionIsStoredAndSaysSo) {
    ASSERT_TRUE(Archive("r02_f24_esito.txt", "esito.pdf"));
    EXPECT_EQ(RecordCount(kStdSummary), 1);
    EXPECT_EQ(RecordCount(kStdSingle), 4);
    for (const char* number : {"000001", "000002", "000003", "000004"}) {
        EXPECT_EQ(CountLines(kStore, std::string("Progressivo ") + number +
                                         ": Trasmissione singola non trovata"),
                  1)
            << number;
    }
    // Linked to their summary only.
    EXPECT_EQ(Links().size(), 4u);
}

TEST_P(F24ArchivingTest, ListBeforeTheAnnouncedCountEndsThePayments) {
    ASSERT_TRUE(Archive("f24_trasmissione_elenco_anticipato.txt", "anticipato.pdf"));
    const auto singles = Records(kStdSingle);
    ASSERT_EQ(singles.size(), 2u);
    EXPECT_EQ(singles[1].at("ditta"), "PANIFICIO SANT'ANNA S.N.C.");
    EXPECT_THAT(m_log, Contains(LogLine{1, "anticipato.pdf", kStore,
                                        "Previste 3 ricevute singole, presenti 3."}));
}

TEST_P(F24ArchivingTest, QuotesInProtocolsAndNamesAreStoredAsPrintedAndTouchNothingElse) {
    AddOriginals();
    ASSERT_TRUE(Archive("r01_f24_trasmissione.txt", "f24.pdf"));
    const auto summariesBefore = Records(kStdSummary);
    const auto singlesBefore = Records(kStdSingle);
    const auto originalsBefore = Records(kStdOriginals);
    const auto linksBefore = Links();

    ASSERT_TRUE(Archive("f24_trasmissione_apici.txt", "apici.pdf"));
    ASSERT_TRUE(Archive("f24_esito_apici.txt", "esito apici.pdf"));

    const auto summaries = Records(kStdSummary);
    const auto singles = Records(kStdSingle);
    ASSERT_EQ(summaries.size(), summariesBefore.size() + 2);
    ASSERT_EQ(singles.size(), singlesBefore.size() + 4);
    EXPECT_EQ(std::vector<Record>(summaries.begin(), summaries.begin() + 1), summariesBefore);
    EXPECT_EQ(std::vector<Record>(singles.begin(), singles.begin() + 4), singlesBefore);
    EXPECT_EQ(Records(kStdOriginals), originalsBefore);

    ExpectFields(summaries[1],
                 {{"protocollo_attribuito", "11031615304'12345"}, {"file", "F24_D'AMICO.rel"}},
                 "summary");
    const Record& hostile = singles[5];
    ExpectFields(hostile,
                 {{"protocollo_pag", "11031615304'12345"},
                  {"progressivo_pag", "000002"},
                  {"cod_fiscale", "0987654321'"},
                  {"ditta", "L'OSTERIA DELL'ORSO ' OR '1'='1"},
                  {"importo", "99.50"}},
                 "payment");
    ExpectFields(singles[7],
                 {{"cod_tipo_doc_f", "133"},
                  {"cod_fiscale", "0987654321'"},
                  {"ditta", "L'OSTERIA DELL'ORSO ' OR '1'='1"}},
                 "outcome");
    // Each outcome found its payment through the quoted protocol and tax code.
    const auto links = Links();
    for (size_t i = 0; i < 2; ++i) {
        EXPECT_TRUE(links.count({kStdSingle, std::stol(singles[4 + i].at("sys_record")), kStdSingle,
                                 std::stol(singles[6 + i].at("sys_record"))}))
            << "outcome " << i + 1;
    }
    for (const auto& link : linksBefore) {
        EXPECT_TRUE(links.count(link));
    }
    EXPECT_EQ(CountLines(kStore, "Progressivo 000002: Trasmissione singola non trovata"), 0);
}

TEST_P(F24ArchivingTest, AFailingPaymentIsLoggedAndItsSummaryKeepsTheWholeFile) {
    // The last payment fails here; wherever it is, the summary record holds the whole PDF
    // and the file is archived with errors.
    EXPECT_TRUE(Archive("f24_trasmissione_importo_illeggibile.txt", "illeggibile.pdf"));
    EXPECT_TRUE(m_engine->ArchivedWithErrors());
    EXPECT_EQ(CountLines(kStore, "Memorizzazione dati non riuscita"), 1);
    EXPECT_EQ(CountLines(kStore, "Archiviazione progressivo 000001 riuscita"), 1);
    EXPECT_THAT(m_log, Contains(LogLine{1, "illeggibile.pdf", "m_cJob_OnJob()",
                                        "Archiviazione completata"}));
    EXPECT_EQ(RecordCount(kStdSummary), 1);
    EXPECT_EQ(RecordCount(kStdSingle), 1);
    EXPECT_EQ(Links().size(), 1u);
    EXPECT_EQ(StoredFiles(kStdSummary), (std::vector<std::string>{"illeggibile.pdf"}));
    EXPECT_EQ(StoredFiles(kStdSingle), (std::vector<std::string>{"illeggibile.pdf"}));
}

TEST_P(F24ArchivingTest, PaymentsAreStoredEvenWithoutAnArchiveForTheirOriginals) {
    ASSERT_TRUE(Run("delete from SYS_TATD where ID_TIPODOC=111"));
    ASSERT_TRUE(Archive("r01_f24_trasmissione.txt", "f24.pdf"));
    EXPECT_EQ(RecordCount(kStdSingle), 4);
    EXPECT_THAT(m_log, Contains(LogLine{1, "f24.pdf", kStore,
                                        "Archiviazione progressivo 000001: Archivio documento "
                                        "di riferimento non trovato"}));
    EXPECT_EQ(CountLines(kStore, "Archiviazione progressivo 000004 riuscita"), 1);
}

TEST_P(F24ArchivingTest, StopAfterThePaymentBeingStored) {
    m_engine->ConnectTelLogEvent(
        [this](long, const std::string&, const std::string& sFunc, const std::string& sMsg) {
            if (sFunc == kStore && sMsg == "Archiviazione progressivo 000002 riuscita") {
                m_engine->StopProcess();
            }
        });
    EXPECT_FALSE(Archive("r01_f24_trasmissione.txt", "f24.pdf"));
    EXPECT_EQ(RecordCount(kStdSummary), 0) << "a stopped file is rolled back whole";
    EXPECT_EQ(RecordCount(kStdSingle), 0);
    EXPECT_TRUE(Links().empty());
    EXPECT_EQ(CountLines(kStore, "Previste 4 ricevute singole, presenti 4."), 0);
    EXPECT_THAT(m_log, Contains(LogLine{1, "f24.pdf", "m_cJob_OnJob()",
                                        "Archiviazione interrotta dall'utente"}));
}

INSTANTIATE_TEST_SUITE_P(Backends, F24ArchivingTest,
                         ::testing::Values(BackendKind::Sqlite, BackendKind::Postgres),
                         BackendName);

} // namespace
} // namespace quorvin::test
