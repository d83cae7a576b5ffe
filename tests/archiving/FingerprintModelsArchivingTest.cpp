// Fingerprint-communication outcomes and printed refund models archived end to end on
// both back ends: the outcome record, the communication it updates, and the originals
// of a model file without their copies.
#include "archiving/F24Test.h"

#include "archive/DorvaneFiles.h"
#include "archive/Utf8.h"
#include "support/TestSupport.h"

#include <gmock/gmock.h>

#include <cstdio>

namespace quorvin::test {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

constexpr const char* kComAgen = "StoreComAgen()";
constexpr const char* kModelli = "StorePagesModelli()";

void ExpectFields(const Record& record, const Record& expected, const std::string& what) {
    for (const auto& [field, value] : expected) {
        const auto it = record.find(field);
        ASSERT_NE(it, record.end()) << what << ": no field " << field;
        EXPECT_EQ(it->second, value) << what << ": " << field;
    }
}

// The name the console gives a communication's outcome: two letters, the archive code
// and the record number.
std::string OutcomeName(long record) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%08ld", record);
    return std::string("IM") + kStdOriginals + digits + ".pdf";
}

class FingerprintModelsTest : public F24Test {
protected:
    // Three fingerprint communications waiting for their outcome.
    void AddCommunications() {
        for (const char* taxCode : {"09876543217", "03124578968", "02456789011"}) {
            m_communications.push_back(AddRecord(
                kStdOriginals,
                {{"Cod_Fiscale", taxCode}, {"Descrizione", "Impronta 2010"}, {"Anno", "2010"}}));
        }
    }
    Record Communication(long record) {
        for (const auto& row : Records(kStdOriginals)) {
            if (row.at("sys_record") == std::to_string(record)) {
                return row;
            }
        }
        return {};
    }
    std::vector<long> m_communications;
};

struct OutcomeCase {
    const char* templateName;
    size_t communication; // which of the three the file name names
    Record outcome;
    Record updated;
    bool lowerCaseName = false;
};

TEST_P(FingerprintModelsTest, OutcomeIsStoredWholeAndUpdatesItsCommunication) {
    AddCommunications();
    // clang-format off
    const std::vector<OutcomeCase> cases = {
        {"r50_impronta_documenti.txt", 0,
         {{"cod_tipo_doc_f", "82"}, {"cod_fiscale", "09876543217"},
          {"ditta", "L'ANGOLO DEL CAFFE' S.R.L."}, {"data_doc", "28/01/2011"},
          {"data_ricevimento", "28/01/2011"}, {"data_ricezione", "28/01/2011"},
          {"anno", "2011"}, {"esito", "acquisito"}, {"file", "IMPRONTA_2010_0001.rel"},
          {"protocollo_attribuito", "11012810141234567"}, {"periodo", "2010"},
          {"descrizione", ""}},
         {{"esito", "acquisito"}, {"protocollo_telematico", "11012810141234567"},
          {"scartato", "0"}, {"scartato_descrizione", ""}}},
        {"r51_impronta_documenti_scartata.txt", 1,
         {{"cod_tipo_doc_f", "83"}, {"cod_fiscale", "03124578968"},
          {"ditta", "TRASPORTI BRIANZA S.P.A."}, {"data_doc", "31/01/2011"},
          {"data_ricevimento", "31/01/2011"}, {"anno", "2011"}, {"esito", "scartato"},
          {"file", ""}, {"protocollo_attribuito", ""}, {"periodo", ""}},
         {{"esito", "scartato"}, {"protocollo_telematico", ""}, {"scartato", "1"},
          {"scartato_descrizione",
           "impronta dell'archivio non conforme alle specifiche tecniche"}}},
        // Quotes in the name and the reason are text: only the named communication changes.
        {"r51_impronta_documenti_scartata_apici.txt", 2,
         {{"cod_tipo_doc_f", "83"}, {"ditta", "L'OSTERIA DELL'ORSO ' OR '1'='1"},
          {"esito", "scartato"}},
         {{"esito", "scartato"}, {"scartato", "1"},
          {"scartato_descrizione",
           "impronta dell'archivio 'LIBRO GIORNALE' non conforme'; update x set y='1"}}},
        // A later outcome of the first one, its file name lower-cased on the way.
        {"r51_impronta_documenti_scartata.txt", 0,
         {{"cod_tipo_doc_f", "83"}, {"esito", "scartato"}},
         {{"esito", "scartato"}, {"protocollo_telematico", ""}, {"scartato", "1"}},
         true},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.templateName);
        const long communication = m_communications[c.communication];
        const std::string name =
            c.lowerCaseName ? Lower(OutcomeName(communication)) : OutcomeName(communication);
        const auto before = Records(kStdOriginals);
        const auto linksBefore = Links();
        const long singles = RecordCount(kStdSingle);
        EXPECT_EQ(Communication(communication).at("esito"), c.lowerCaseName ? "acquisito" : "")
            << "as answered before";

        ASSERT_TRUE(Archive(c.templateName, name));
        EXPECT_EQ(m_engine->DocumentCount(), 1);
        EXPECT_EQ(RecordCount(kStdSummary), 0);
        ASSERT_EQ(RecordCount(kStdSingle), singles + 1);
        const Record outcome = Records(kStdSingle).back();
        ExpectFields(outcome, c.outcome, "outcome");
        // The receipt itself, under its own name.
        const std::string stored = outcome.at("sys_file");
        EXPECT_EQ(DorvaneFiles::FileName(stored, true), name);
        EXPECT_EQ(ReadAll(stored), ReadAll(m_engine->File()));

        ExpectFields(Communication(communication), c.updated, "communication");
        for (const auto& row : before) {
            if (row.at("sys_record") != std::to_string(communication)) {
                EXPECT_EQ(Communication(std::stol(row.at("sys_record"))), row);
            }
        }
        auto links = linksBefore;
        links.insert(
            {kStdSingle, std::stol(outcome.at("sys_record")), kStdOriginals, communication});
        EXPECT_EQ(Links(), links);
        EXPECT_EQ(Messages(),
                  (std::vector<std::string>{"Inizio elaborazione", "Archiviazione completata",
                                            "Elaborazione terminata"}));
        EXPECT_EQ(CountLines(kComAgen, "Archiviazione esito " + name + " riuscita"), 1);
    }
}

TEST_P(FingerprintModelsTest, OutcomeRejectedOnItsSecondPageGivesTheReasonsThere) {
    AddCommunications();
    const long communication = m_communications[0];
    ASSERT_TRUE(ProcessReceipt(
        OutcomeName(communication),
        {{kHeaderAG, "COMUNICAZIONE DELL'IMPRONTA DEI DOCUMENTI INFORMATICI",
          "In data 02/05/2011 alle ore 10:00 il sistema informativo dell'Agenzia delle Entrate",
          "ha acquisito con protocollo 11050210001234567", "il file IMPRONTA.rel",
          "Il file e' stato scartato", "Dati dell'intermediario",
          "Codice fiscale : BNCLCU70B15F205E", "Dati del titolare della contabilita' ROSSI MARIO",
          "Codice fiscale : RSSMRA80A01H501U", "Li, 02/05/2011"},
         {"Impronte dei documenti informatici relativi al periodo di imposta 2010",
          "per i seguenti motivi:", "impronta non conforme", "firma digitale non valida",
          "Li, 02/05/2011"}}));
    ASSERT_EQ(m_tel->ArchTipoDoc(), 82);
    ExpectFields(Records(kStdSingle).back(),
                 {{"esito", "scartato"}, {"periodo", "2010"}, {"ditta", "ROSSI MARIO"}}, "outcome");
    ExpectFields(Communication(communication),
                 {{"esito", "scartato"},
                  {"protocollo_telematico", "11050210001234567"},
                  {"scartato", "1"},
                  {"scartato_descrizione", "impronta non conforme firma digitale non valida"}},
                 "communication");
}

struct BadNameCase {
    std::string fileName;
    std::string message;
};

TEST_P(FingerprintModelsTest, OutcomeNamingNoCommunicationIsStoredWithoutUpdate) {
    AddCommunications();
    const std::string originals = "Archivio 'Documenti trasmessi', record ";
    const std::vector<BadNameCase> cases = {
        {"impronta.pdf", "Impossibile determinare la comunicazione da aggiornare."},
        {"IMQUORVINTRASMESSI0000000X.pdf",
         "Impossibile determinare la comunicazione da aggiornare."},
        {"IMQUORVINNESSUNO0000000001.pdf",
         "Archivio della comunicazione da aggiornare non trovato."},
        {"IM' OR SYS_RECORD00000001.pdf",
         "Archivio della comunicazione da aggiornare non trovato."},
        {OutcomeName(99), originals + "99 non trovato."},
    };
    const auto communications = Records(kStdOriginals);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fileName);
        const long singles = RecordCount(kStdSingle);
        ASSERT_TRUE(Archive("r51_impronta_documenti_scartata.txt", c.fileName));
        EXPECT_EQ(RecordCount(kStdSingle), singles + 1);
        EXPECT_EQ(Records(kStdOriginals), communications);
        EXPECT_TRUE(Links().empty());
        EXPECT_EQ(Messages(),
                  (std::vector<std::string>{"Inizio elaborazione", c.message,
                                            "Archiviazione completata", "Elaborazione terminata"}));
    }
}

// ---- Printed refund models ----

struct ModelCase {
    const char* templateName;
    std::vector<Record> documents;
    std::vector<long> pages;
};

TEST_P(FingerprintModelsTest, EachOriginalModelIsOneRecordAndCopiesAreLeftOut) {
    const Record common = {{"cod_tipo_doc_f", "99"}, {"data_doc", "28/02/2013"}, {"anno", "2013"}};
    const Record angolo = {{"cod_fiscale", "09876543217"},
                           {"ditta", "L'ANGOLO DEL CAFFE' S.R.L."},
                           {"dal", "01/01/2007"},
                           {"al", "31/12/2007"},
                           {"periodo", "01/01/2007 - 31/12/2007"}};
    const Record rossi = {{"cod_fiscale", "RSSMRA80A01H501U"},
                          {"ditta", "ROSSI MARIO"},
                          {"dal", "01/01/2008"},
                          {"al", "31/12/2008"},
                          {"periodo", "01/01/2008 - 31/12/2008"}};
    const std::vector<ModelCase> cases = {
        {"r38_modello_istanza_rimborso_irap.txt", {angolo}, {1}},
        {"r38_modello_istanza_rimborso_irap_due_originali.txt", {angolo, rossi}, {2, 1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.templateName);
        const size_t before = Records(kStdOriginals).size();
        ASSERT_TRUE(Archive(c.templateName, "modelli.pdf"));
        EXPECT_EQ(m_engine->SingleArchive(), kStdOriginals);
        EXPECT_EQ(RecordCount(kStdSummary), 0);
        const auto records = Records(kStdOriginals);
        ASSERT_EQ(records.size(), before + c.documents.size());
        for (size_t i = 0; i < c.documents.size(); ++i) {
            const std::string what = "documento n. " + std::to_string(i + 1);
            const Record& record = records[before + i];
            ExpectFields(record, common, what);
            ExpectFields(record, c.documents[i], what);
            const auto [pages, text] = ReadPdf(record.at("sys_file"));
            EXPECT_EQ(pages, c.pages[i]) << what;
            EXPECT_THAT(text, HasSubstr("originale")) << what;
            EXPECT_THAT(text, Not(HasSubstr("COPIA AD USO DEL CONTRIBUENTE"))) << what;
            EXPECT_EQ(CountLines(kModelli, "Archiviazione " + what + " riuscita"), 1);
        }
        EXPECT_TRUE(Links().empty());
        EXPECT_EQ(Messages(),
                  (std::vector<std::string>{"Inizio elaborazione", "Archiviazione completata",
                                            "Elaborazione terminata"}));
    }
}

TEST_P(FingerprintModelsTest, ModelFileWithoutOriginalsStaysInTheFolder) {
    EXPECT_FALSE(ProcessReceipt(
        "copia.pdf",
        {{"COPIA AD USO DEL CONTRIBUENTE",
          "MODELLO PER L’ISTANZA DI RIMBORSO IRPEF/IRES PER MANCATA",
          "DEDUZIONE DELL’IRAP RELATIVA ALLE SPESE PER IL PERSONALE DIPENDENTE E ASSIMILATO",
          "Codice fiscale: 09876543217", "28 2 2013"}}));
    EXPECT_EQ(m_tel->ArchTipoDoc(), 99);
    EXPECT_EQ(Messages(), (std::vector<std::string>{"Nessun documento originale trovato nel file",
                                                    "Archiviazione non completata",
                                                    "Elaborazione interrotta"}));
    EXPECT_EQ(RecordCount(kStdOriginals), 0);
}

INSTANTIATE_TEST_SUITE_P(Backends, FingerprintModelsTest,
                         ::testing::Values(BackendKind::Sqlite, BackendKind::Postgres),
                         BackendName);

} // namespace
} // namespace quorvin::test
