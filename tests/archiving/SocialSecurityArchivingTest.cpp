// Social-security receipts on both back ends: INAIL wages sheets archived end to end,
// each in the archive of its year; the INPS and ENPALS single writers on the pages of
// real receipts; the search of the INPS returns they acknowledge.
#include "archiving/F24Test.h"

#include "archive/DorvaneRecordset.h"
#include "engine/archive/FirstPageRules.h"

#include <gmock/gmock.h>

namespace quorvin::test {
namespace {

using ::testing::Contains;
using ::testing::HasSubstr;
using ::testing::Not;

constexpr const char* kInail = "StorePagesINAILAutoliq()";

void ExpectFields(const Record& record, const Record& expected, const std::string& what) {
    for (const auto& [field, value] : expected) {
        const auto it = record.find(field);
        ASSERT_NE(it, record.end()) << what << ": no field " << field;
        EXPECT_EQ(it->second, value) << what << ": " << field;
    }
}

class SocialSecurityTest : public F24Test {
protected:
    // The record a single writer makes of page `page` of the receipt the engine holds.
    Record WriteSingle(bool (bvTel::*writer)(const std::string&), long page) {
        DorvaneRecordset& record = m_engine->CurrentRecord();
        EXPECT_TRUE(record.Open(kStdSingle, DorvaneRecordset::Mode::Updatable));
        EXPECT_TRUE(record.AddNew());
        EXPECT_TRUE((m_engine.get()->*writer)(m_engine->PageText().at(static_cast<size_t>(page))));
        EXPECT_TRUE(record.Update()) << m_env.Connection()->LastError();
        return Records(kStdSingle).back();
    }

    // What the first page and the summary writer leave for the single writers.
    void LoadReceipt(const std::string& templateName) {
        m_engine->File(MakeReceipt(m_dir, templateName, templateName + ".pdf"));
        m_engine->ClearDocInfo();
        long docType = m_engine->DocType();
        long archTipoDoc = m_engine->ArchTipoDoc();
        bool storeSummary = true;
        const std::string page1 = m_engine->PageText().at(0);
        firstpage::State state{*m_engine, page1, docType, archTipoDoc, storeSummary,
                               false,     -1,    {},      {},          false};
        firstpage::Apply(state, 0);
        DorvaneRecordset& record = m_engine->CurrentRecord();
        ASSERT_TRUE(record.Open(kStdSummary, DorvaneRecordset::Mode::Updatable));
        ASSERT_TRUE(record.AddNew());
        m_engine->WriteSummaryFields(page1);
        record.CancelUpdate();
    }
};

// ---- INPS and ENPALS single writers, page by page ----

struct WriterCase {
    const char* templateName;
    bool (bvTel::*writer)(const std::string&);
    long page;
    Record expected;
};

TEST_P(SocialSecurityTest, SingleWritersIndexEachCompanyAndPeriod) {
    // clang-format off
    const std::vector<WriterCase> cases = {
        {"r42_inps_emens.txt", &bvTel::WriteFieldsEMENSSing, 0,
         {{"cod_fiscale", "03124578968"}, {"cod_tipo_doc_f", "402"},
          {"ditta", "TRASPORTI BRIANZA S.P.A."}, {"periodo", "MARZO 2010"},
          {"mese_desc", "MARZO"}, {"anno", "2010"}}},
        // The company's name runs over two lines.
        {"r42_inps_emens.txt", &bvTel::WriteFieldsEMENSSing, 1,
         {{"cod_fiscale", "04567891231"}, {"cod_tipo_doc_f", "402"},
          {"ditta", "IMMOBILIARE LAGO MAGGIORE S.R.L."}, {"periodo", "MARZO 2010"},
          {"mese_desc", "MARZO"}, {"anno", "2010"}}},
        // The period is the text of the page's box, the rest the heading and practice lines.
        {"r43_inps_dm10.txt", &bvTel::WriteFieldsDM10Sing, 0,
         {{"cod_fiscale", "03124578968"}, {"cod_tipo_doc_f", "404"},
          {"ditta", "TRASPORTI BRIANZA S.P.A."}, {"periodo", "MARZO 2010"},
          {"mese_desc", "MARZO"}, {"anno", "2010"}, {"data_doc", "16/04/2010"},
          {"mat_inps_ditta", "4912345678"}}},
        {"r43_inps_dm10.txt", &bvTel::WriteFieldsDM10Sing, 1,
         {{"cod_fiscale", "10243658795"}, {"cod_tipo_doc_f", "404"},
          {"ditta", "OFFICINA MECCANICA COLOMBO S.R.L."}, {"periodo", "MARZO 2010"},
          {"mese_desc", "MARZO"}, {"anno", "2010"}, {"data_doc", "16/04/2010"},
          {"mat_inps_ditta", "4912399001"}}},
        {"r44_enpals_denuncia_mensile.txt", &bvTel::WriteFieldsENPALSSing, 1,
         {{"cod_fiscale", "11223344554"}, {"cod_tipo_doc_f", "414"},
          {"ditta", "PRODUZIONI MUSICALI ARMONIA S.R.L."}, {"periodo", "2010-03"},
          {"mese_cod", "3"}, {"anno", "2010"}}},
        {"r44_enpals_denuncia_mensile.txt", &bvTel::WriteFieldsENPALSSing, 2,
         {{"cod_fiscale", "11335577992"}, {"cod_tipo_doc_f", "414"},
          {"ditta", "TEATRO STABILE DEL LAGO SOC. COOP."}, {"periodo", "2010-03"},
          {"mese_cod", "3"}, {"anno", "2010"}}},
    };
    // clang-format on
    for (const auto& c : cases) {
        const std::string what = std::string(c.templateName) + " page " + std::to_string(c.page);
        SCOPED_TRACE(what);
        LoadReceipt(c.templateName);
        ExpectFields(WriteSingle(c.writer, c.page), c.expected, what);
    }
    EXPECT_TRUE(LinesOf("WriteFieldsDM10Sing()").empty());
}

TEST_P(SocialSecurityTest, Dm10PracticeLineGivesProtocolDateAndAmount) {
    LoadReceipt("r43_inps_dm10.txt");
    WriteSingle(&bvTel::WriteFieldsDM10Sing, 1);
    const TelInfo& info = m_engine->Info();
    EXPECT_EQ(info.Protocol, "0004567892");
    EXPECT_EQ(info.DocDate, "16/04/2010");
    EXPECT_EQ(info.Amount, "912,40");
    EXPECT_EQ(info.Company, "OFFICINA MECCANICA COLOMBO S.R.L.");
}

// Texts that are no page of the file: no period box, labels missing or short lines.
struct TextCase {
    const char* what;
    bool (bvTel::*writer)(const std::string&);
    std::string text;
    TelInfo before;
    Record expected;
};

TEST_P(SocialSecurityTest, SingleWritersOnIncompleteTexts) {
    TelInfo earlier;
    earlier.TaxCode = "RSSMRA80A01H501U";
    // clang-format off
    const std::vector<TextCase> cases = {
        {"DM10 without the DM10/2 heading, amount without the euro sign",
         &bvTel::WriteFieldsDM10Sing,
         "Matricola azienda: 4912345678\r\nCodice fiscale: 03124578968\r\nNumero di Pratica\r\n"
         "BAR SPORT DI ROSSI MARIO 0004567800 30/04/2010\r\n"
         "Somma a debito del datore di lavoro: 100,50\r\n",
         {},
         {{"ditta", "BAR SPORT DI ROSSI MARIO"}, {"data_doc", "30/04/2010"},
          {"periodo", ""}, {"anno", ""}, {"mat_inps_ditta", "4912345678"}}},
        {"INAIL data line of three parts keeps the tax code read before",
         &bvTel::WriteFieldsINAILAutoliqSing,
         "N. Prog. Invio : 2011000123 N. Prog. Foglio : 2011000123-7\r\n"
         "Anno Codice Ditta C.C. Codice Fiscale Sede Inail\r\n2011 12345678 90\r\n",
         earlier,
         {{"cod_fiscale", "RSSMRA80A01H501U"}, {"pos_inail_ditta", ""}, {"periodo", "2011"},
          {"anno", "2011"}, {"cod_tipo_doc_f", "465"}}},
        {"ENPALS without a period", &bvTel::WriteFieldsENPALSSing,
         "Codice Fiscale Impresa: 11223344554\r\nDenominazione Impresa: A & B S.N.C.\r\n",
         {},
         {{"cod_fiscale", "11223344554"}, {"ditta", "A & B S.N.C."}, {"mese_cod", ""},
          {"anno", ""}}},
    };
    // clang-format on
    LoadReceipt("r45_inail_dichiarazione_salari.txt");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        m_engine->Info() = c.before;
        DorvaneRecordset& record = m_engine->CurrentRecord();
        ASSERT_TRUE(record.Open(kStdSingle, DorvaneRecordset::Mode::Updatable));
        ASSERT_TRUE(record.AddNew());
        EXPECT_TRUE((m_engine.get()->*c.writer)(c.text));
        ASSERT_TRUE(record.Update()) << m_env.Connection()->LastError();
        ExpectFields(Records(kStdSingle).back(), c.expected, c.what);
    }
    EXPECT_EQ(m_engine->Info().SendNumber, "");
}

// ---- INAIL wages declarations end to end ----

struct Sheet {
    std::string archive;
    Record fields;
};

TEST_P(SocialSecurityTest, InailSheetsBecomeSingleRecordsOfTheirSummary) {
    ASSERT_TRUE(Archive("r45_inail_dichiarazione_salari.txt", "inail.pdf"));
    const auto summaries = Records(kStdSummary);
    ASSERT_EQ(summaries.size(), 1u);
    ExpectFields(summaries[0],
                 {{"cod_tipo_doc_f", "126"},
                  {"protocollo_attribuito", "2011000123"},
                  {"data_ricezione", "16/02/2011"},
                  {"anno", "2011"},
                  {"num_trasmissioni", "2"},
                  {"num_accolte", "2"},
                  {"trasmesso_cod", "01234567897"}},
                 "summary");
    const long summary = std::stol(summaries[0].at("sys_record"));

    const Record common = {
        {"cod_tipo_doc_f", "465"}, {"periodo", "2011"}, {"anno", "2011"}, {"ditta", ""}};
    const std::vector<Record> sheets = {
        {{"cod_fiscale", "03124578968"}, {"pos_inail_ditta", "12345678"}},
        {{"cod_fiscale", "05678912345"}, {"pos_inail_ditta", "12345699"}},
    };
    const auto singles = Records(kStdSingle);
    ASSERT_EQ(singles.size(), sheets.size());
    std::set<LinkRow> links;
    for (size_t i = 0; i < sheets.size(); ++i) {
        const std::string what = "sheet " + std::to_string(i + 1);
        ExpectFields(singles[i], common, what);
        ExpectFields(singles[i], sheets[i], what);
        const auto [pages, text] = ReadPdf(singles[i].at("sys_file"));
        EXPECT_EQ(pages, 1) << what;
        EXPECT_THAT(text, HasSubstr("N. Prog. Foglio : 2011000123-" + std::to_string(i + 1)));
        links.insert({kStdSummary, summary, kStdSingle, std::stol(singles[i].at("sys_record"))});
        EXPECT_EQ(
            CountLines(kInail, "Archiviazione progressivo " + std::to_string(i + 1) + " riuscita"),
            1);
    }
    EXPECT_EQ(Links(), links);
    EXPECT_EQ(Messages(),
              (std::vector<std::string>{"Inizio elaborazione", "Archiviazione completata",
                                        "Elaborazione terminata"}));
}

TEST_P(SocialSecurityTest, EachInailSheetGoesToTheArchiveOfItsYear) {
    // The single archive serves 2011 only; another one 2010; none 2009.
    ASSERT_TRUE(
        Run("update DB_ELENCO set ANNO=2011 where SYS_SERIALE='" + std::string(kStdSingle) + "'"));
    AddArchiveLike(kStdSingle, "SINGOLE2010", "Ricevute singole 2010", 2010);

    ASSERT_TRUE(Archive("r45_inail_fogli_di_piu_anni.txt", "inail anni.pdf"));
    const std::vector<Sheet> expected = {
        {kStdSingle, {{"cod_fiscale", "03124578968"}, {"anno", "2011"}}},
        {"SINGOLE2010", {{"cod_fiscale", "05678912345"}, {"anno", "2010"}}},
    };
    for (const auto& sheet : expected) {
        const auto records = Records(sheet.archive);
        ASSERT_EQ(records.size(), 1u) << sheet.archive;
        ExpectFields(records[0], sheet.fields, sheet.archive);
        EXPECT_EQ(ReadPdf(records[0].at("sys_file")).first, 1);
    }
    // The 2009 sheet fails alone; the last sheet decides the file.
    EXPECT_THAT(m_log, Contains(LogLine{1, "TipoDoc=465;Anno=2009;Mittente=", "SelectArchive()",
                                        "Nessun archivio destinazione compatibile"}));
    EXPECT_THAT(m_log, Contains(LogLine{1, "inail anni.pdf", kInail,
                                        "Errore apertura archivio ricevute singole."}));
    EXPECT_EQ(CountLines(kInail, "Archiviazione progressivo 2 riuscita"), 0);
    EXPECT_EQ(CountLines(kInail, "Archiviazione progressivo 3 riuscita"), 1);
    EXPECT_THAT(m_log, Contains(LogLine{1, "inail anni.pdf", "m_cJob_OnJob()",
                                        "Archiviazione completata"}));
    EXPECT_EQ(Links().size(), 2u);

    // Without the 2010 archive the last sheet fails too: nothing of the file is kept.
    ASSERT_TRUE(Run("delete from DB_ELENCO where SYS_SERIALE='SINGOLE2010'"));
    const long summaries = RecordCount(kStdSummary);
    const auto links = Links();
    EXPECT_FALSE(Archive("r45_inail_fogli_di_piu_anni.txt", "inail anni.pdf"));
    EXPECT_EQ(RecordCount(kStdSummary), summaries);
    EXPECT_EQ(RecordCount(kStdSingle), 1);
    EXPECT_EQ(Links(), links);
    EXPECT_THAT(m_log, Contains(LogLine{1, "inail anni.pdf", "m_cJob_OnJob()",
                                        "Archiviazione non completata"}));
}

// ---- INPS and ENPALS returns end to end, one page per company ----

struct ReturnFile {
    const char* templateName;
    Record summary; // empty: the receipt has no summary record
    std::vector<Record> singles;
    std::vector<int> originals; // the original each single record is linked to, -1 none
};

TEST_P(SocialSecurityTest, InpsAndEnpalsReturnsAreArchivedPageByPage) {
    // The monthly returns (401) of March 2010 of the two INPS companies.
    const std::vector<long> originals = {
        AddRecord(kStdOriginals, {{"Cod_Tipo_doc_F", "401"},
                                  {"Cod_Fiscale", "03124578968"},
                                  {"Mese_Cod", "3"},
                                  {"Anno", "2010"}}),
        AddRecord(kStdOriginals, {{"Cod_Tipo_doc_F", "401"},
                                  {"Cod_Fiscale", "04567891231"},
                                  {"Mese_Cod", "3"},
                                  {"Anno", "2010"}}),
        AddRecord(kStdOriginals, {{"Cod_Tipo_doc_F", "401"},
                                  {"Cod_Fiscale", "10243658795"},
                                  {"Mese_Cod", "3"},
                                  {"Anno", "2010"}}),
    };
    // clang-format off
    const std::vector<ReturnFile> files = {
        {"r42_inps_emens.txt",
         {{"cod_tipo_doc_f", "124"}},
         {{{"cod_tipo_doc_f", "402"}, {"cod_fiscale", "03124578968"},
           {"ditta", "TRASPORTI BRIANZA S.P.A."}, {"periodo", "MARZO 2010"},
           {"mese_desc", "MARZO"}, {"anno", "2010"}},
          {{"cod_tipo_doc_f", "402"}, {"cod_fiscale", "04567891231"},
           {"ditta", "IMMOBILIARE LAGO MAGGIORE S.R.L."}, {"periodo", "MARZO 2010"},
           {"mese_desc", "MARZO"}, {"anno", "2010"}}},
         {0, 1}},
        // No summary record: the attestations are the whole file.
        {"r43_inps_dm10.txt",
         {},
         {{{"cod_tipo_doc_f", "404"}, {"cod_fiscale", "03124578968"},
           {"ditta", "TRASPORTI BRIANZA S.P.A."}, {"periodo", "MARZO 2010"},
           {"mese_desc", "MARZO"}, {"anno", "2010"}, {"data_doc", "16/04/2010"},
           {"mat_inps_ditta", "4912345678"}},
          {{"cod_tipo_doc_f", "404"}, {"cod_fiscale", "10243658795"},
           {"ditta", "OFFICINA MECCANICA COLOMBO S.R.L."}, {"periodo", "MARZO 2010"},
           {"mese_desc", "MARZO"}, {"anno", "2010"}, {"data_doc", "16/04/2010"},
           {"mat_inps_ditta", "4912399001"}}},
         {0, 2}},
        // ENPALS returns acknowledge no original.
        {"r44_enpals_denuncia_mensile.txt",
         {{"cod_tipo_doc_f", "125"}},
         {{{"cod_tipo_doc_f", "414"}, {"cod_fiscale", "11223344554"},
           {"ditta", "PRODUZIONI MUSICALI ARMONIA S.R.L."}, {"periodo", "2010-03"},
           {"mese_cod", "3"}, {"anno", "2010"}},
          {{"cod_tipo_doc_f", "414"}, {"cod_fiscale", "11335577992"},
           {"ditta", "TEATRO STABILE DEL LAGO SOC. COOP."}, {"periodo", "2010-03"},
           {"mese_cod", "3"}, {"anno", "2010"}}},
         {-1, -1}},
    };
    // clang-format on
    for (const auto& file : files) {
        SCOPED_TRACE(file.templateName);
        const long summariesBefore = RecordCount(kStdSummary);
        const long singlesBefore = RecordCount(kStdSingle);
        const auto linksBefore = Links();
        ASSERT_TRUE(Archive(file.templateName, "ricevuta.pdf"));
        EXPECT_EQ(Messages(),
                  (std::vector<std::string>{"Inizio elaborazione", "Archiviazione completata",
                                            "Elaborazione terminata"}));

        const auto summaries = Records(kStdSummary);
        long summary = -1;
        if (file.summary.empty()) {
            EXPECT_EQ(static_cast<long>(summaries.size()), summariesBefore);
        } else {
            ASSERT_EQ(static_cast<long>(summaries.size()), summariesBefore + 1);
            ExpectFields(summaries.back(), file.summary, "summary");
            summary = std::stol(summaries.back().at("sys_record"));
        }
        const auto singles = Records(kStdSingle);
        ASSERT_EQ(singles.size(), static_cast<size_t>(singlesBefore) + file.singles.size());
        std::set<LinkRow> expected = linksBefore;
        for (size_t i = 0; i < file.singles.size(); ++i) {
            const Record& single = singles[static_cast<size_t>(singlesBefore) + i];
            const std::string what = "single " + std::to_string(i);
            ExpectFields(single, file.singles[i], what);
            const auto [pages, text] = ReadPdf(single.at("sys_file"));
            EXPECT_EQ(pages, 1) << what;
            EXPECT_THAT(text, HasSubstr(file.singles[i].at("cod_fiscale"))) << what;
            const long record = std::stol(single.at("sys_record"));
            if (summary >= 0) {
                expected.insert({kStdSummary, summary, kStdSingle, record});
            }
            if (file.originals[i] >= 0) {
                expected.insert({kStdSingle, record, kStdOriginals,
                                 originals[static_cast<size_t>(file.originals[i])]});
            }
        }
        EXPECT_EQ(Links(), expected);
    }
}

// ---- The INPS returns a single receipt acknowledges ----

struct ReturnCase {
    const char* what;
    long archTipoDoc;
    std::string receiptDate;
    std::string period;
    std::vector<int> linked; // indexes into the originals below
};

TEST_P(SocialSecurityTest, InpsReturnsAreFoundByTaxCodeAndMonth) {
    const std::vector<long> originals = {
        AddRecord(kStdOriginals,
                  {{"Cod_Tipo_doc_F", "401"}, {"Cod_Fiscale", "03124578968"}, {"Mese_Cod", "3"}}),
        AddRecord(kStdOriginals,
                  {{"Cod_Tipo_doc_F", "401"}, {"Cod_Fiscale", "03124578968"}, {"Mese_Cod", "4"}}),
        AddRecord(kStdOriginals,
                  {{"Cod_Tipo_doc_F", "401"}, {"Cod_Fiscale", "09876543217"}, {"Mese_Cod", "3"}}),
    };
    // clang-format off
    const std::vector<ReturnCase> cases = {
        {"E-MENS: the month of the receipt date", 402, "01/03/2010", "MARZO 2010", {0}},
        {"DM10: the month word of the period", 404, "", "APRILE 2010", {1}},
        {"DM10 without a readable period: the receipt date", 404, "16/03/2010", "2010", {0}},
        {"no month at all: every return of the taxpayer", 402, "", "", {0, 1}},
    };
    // clang-format on
    long receipt = 100;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        // The engine holds the receipt whose single record is being linked.
        LoadReceipt(c.archTipoDoc == 402 ? "r42_inps_emens.txt" : "r43_inps_dm10.txt");
        ASSERT_EQ(m_engine->ArchTipoDoc(), c.archTipoDoc);
        m_engine->Info().TaxCode = "03124578968";
        m_engine->Info().ReceiptDate = c.receiptDate;
        m_engine->Info().Period = c.period;
        bool found = false;
        ++receipt;
        ASSERT_TRUE(m_engine->FindOrigDoc(kStdSingle, receipt, 2010, false, found, 401));
        EXPECT_TRUE(found);
        std::set<LinkRow> expected;
        for (const int i : c.linked) {
            expected.insert(
                {kStdSingle, receipt, kStdOriginals, originals[static_cast<size_t>(i)]});
        }
        std::set<LinkRow> actual;
        for (const auto& link : Links()) {
            if (std::get<1>(link) == receipt) {
                actual.insert(link);
            }
        }
        EXPECT_EQ(actual, expected);
    }
}

INSTANTIATE_TEST_SUITE_P(Backends, SocialSecurityTest,
                         ::testing::Values(BackendKind::Sqlite, BackendKind::Postgres),
                         BackendName);

} // namespace
} // namespace quorvin::test
