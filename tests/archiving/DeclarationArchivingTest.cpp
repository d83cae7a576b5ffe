// Declaration receipts archived end to end, one layout per row, on SQLite and PostgreSQL.
#include "archiving/F24Test.h"
#include "archiving/WritersTestSupport.h"

#include "engine/RuntimeError.h"

#include <gmock/gmock.h>

#include <filesystem>
#include <fstream>

namespace quorvin::test {
namespace {

using ::testing::HasSubstr;

constexpr const char* kStore = "StorePagesDich()";

struct Single {
    Record fields; // besides the receipt's common ones
    std::string label;
    long pages;
    std::string printed;  // a line of its stored PDF
    std::string original; // type and tax code of the originals it is linked to; "" none
};

struct Case {
    std::string what;
    std::string templ;
    std::string file;
    // Originals in the archive before the receipt comes: type, tax code, Periodo.
    std::vector<std::tuple<std::string, std::string, std::string>> originals;
    Record summary; // empty: no summary record
    Record common;
    std::vector<Single> singles;
    // The priority-1 lines of the file, in order.
    std::vector<std::string> lines;
};

const std::vector<std::string> kCompleted = {"Inizio elaborazione", "Archiviazione completata",
                                             "Elaborazione terminata"};

// clang-format off
const std::vector<Case> kCases = {
    {"770 with a declaration over two pages and a supplementary one",
     "r09_770_dichiarazione_due_pagine.txt", "770.pdf",
     {{"117", "04561237894", ""}},
     {{"cod_tipo_doc_f", "136"}, {"protocollo_attribuito", "11103109151234567"},
      {"data_doc", "31/10/2011"}, {"anno", "2011"}, {"file", "770O_2011_0007.rel"},
      {"descrizione", "DICHIARAZIONE 770/2011 ORDINARIO"}, {"num_trasmissioni", "2"}},
     {{"cod_tipo_doc_f", "137"}, {"data_doc", "31/10/2011"}, {"anno", "2011"},
      {"file", "770O_2011_0007.rel"}, {"protocollo_attribuito", "11103109151234567"},
      {"data_ricevimento", "04/11/2011"}, {"periodo", "01/01/2010 - 31/12/2010"},
      {"dal", "01/01/2010"}, {"al", "31/12/2010"}, {"esito", "ACQUISITO"}},
     {{{{"progressivo_invio", "000001"}, {"cod_fiscale", "04561237894"},
        {"ditta", "D'ANGELO COSTRUZIONI S.R.L."},
        {"descrizione", "DICHIARAZIONE 770/2011 ORDINARIO"}},
       "progressivo 000001", 2, "Quadro SX rigo 1", "117 04561237894"},
      {{{"progressivo_invio", "000002"}, {"cod_fiscale", "01987654322"},
        {"ditta", "SOCIETA' COOPERATIVA \"LA SORGENTE\""},
        {"descrizione", "DICHIARAZIONE 770/2011 ORDINARIO integrativa"}},
       "progressivo 000002", 1, "Dichiarazione integrativa : SI", ""}},
     kCompleted},

    {"UNICO with a rejected declaration", "r13_unico_persone_fisiche.txt", "unico.pdf",
     {{"102", "RSSMRA80A01H501U", ""}, {"102", "RSSFNC90P63G273X", ""}},
     {{"cod_tipo_doc_f", "140"}, {"descrizione", "DICHIARAZIONE UNICO 2010 PERSONE FISICHE"}},
     {{"cod_tipo_doc_f", "141"}, {"data_doc", "30/09/2010"}, {"anno", "2010"},
      {"file", "UNICO10_PF_0001.rel"}, {"protocollo_attribuito", "10093016411234567"},
      {"data_ricevimento", "02/10/2010"}, {"periodo", "01/01/2009 - 31/12/2009"},
      {"dal", "01/01/2009"}, {"al", "31/12/2009"},
      {"descrizione", "DICHIARAZIONE UNICO 2010 PERSONE FISICHE"}},
     {{{{"progressivo_invio", "000001"}, {"cod_fiscale", "RSSMRA80A01H501U"},
        {"ditta", "ROSSI MARIO"}, {"esito", "ACQUISITO"}},
       "progressivo 000001", 1, "Cognome e nome : ROSSI MARIO", "102 RSSMRA80A01H501U"},
      {{{"progressivo_invio", "000002"}, {"cod_fiscale", "FRRGLI85E50A944Z"},
        {"ditta", "FERRARI GIULIA"}, {"esito", "ACQUISITO"}},
       "progressivo 000002", 1, "Cognome e nome : FERRARI GIULIA", ""},
      {{{"progressivo_invio", "000003"}, {"cod_fiscale", "RSSFNC90P63G273X"},
        {"ditta", "RUSSO FRANCESCA"}, {"esito", "SCARTATO"}},
       "progressivo 000003", 1, "DICHIARAZIONE SCARTATA", "102 RSSFNC90P63G273X"}},
     kCompleted},

    {"730 of the assistance centres, alternative layout without summary",
     "r11_730_alternativo.txt", "730alt.pdf",
     {{"115", "RSSMRA80A01H501U", ""}},
     {},
     {{"cod_tipo_doc_f", "187"}, {"data_doc", "12/07/2011"}, {"anno", "2011"}, {"file", ""},
      {"protocollo_attribuito", "11071214301234567"}, {"data_ricevimento", ""},
      {"descrizione", "730/11"}, {"esito", "acquisito"},
      {"periodo", "730-3 SI 730-4 SI 730-4 integrativo NO"},
      {"dal", "01/01/2011"}, {"al", "31/12/2011"}},
     {{{{"progressivo_invio", "000001"}, {"cod_fiscale", "RSSMRA80A01H501U"},
        {"ditta", "ROSSI MARIO"}},
       "progressivo 000001", 1, "ROSSI MARIO", "115 RSSMRA80A01H501U"},
      {{{"progressivo_invio", "000002"}, {"cod_fiscale", "VRDNNA75C45L219T"},
        {"ditta", "VERDI ANNA"}},
       "progressivo 000002", 1, "VERDI ANNA", ""}},
     kCompleted},

    {"730 sent by an assistance centre with its summary", "r11_730.txt", "730.pdf",
     {{"115", "MRNLNE82L58D612H", ""}},
     {{"cod_tipo_doc_f", "186"}, {"protocollo_attribuito", "11061209301234567"}},
     {{"cod_tipo_doc_f", "187"}, {"data_doc", "12/06/2011"}, {"anno", "2011"},
      {"file", "730_2011_CAF_0012.rel"}, {"protocollo_attribuito", "11061209301234567"},
      {"data_ricevimento", "14/06/2011"}, {"descrizione", "DICHIARAZIONE 730/2011"},
      {"esito", "ACQUISITO"}, {"periodo", "01/01/2010 - 31/12/2010"},
      {"dal", "01/01/2010"}, {"al", "31/12/2010"}},
     {{{{"progressivo_invio", "000001"}, {"cod_fiscale", "CLMPLA58H12B157Q"},
        {"ditta", "COLOMBO PAOLO"}},
       "progressivo 000001", 1, "COLOMBO PAOLO", ""},
      {{{"progressivo_invio", "000002"}, {"cod_fiscale", "MRNLNE82L58D612H"},
        {"ditta", "MARINO ELENA"}},
       "progressivo 000002", 1, "MARINO ELENA", "115 MRNLNE82L58D612H"}},
     kCompleted},

    {"declarations of intent received, first layout", "r19_intento_comunicazione_dati.txt",
     "intento.pdf",
     {{"71", "03124578968", "2011"}},
     {{"cod_tipo_doc_f", "156"}, {"protocollo_attribuito", "11021615001234567"}},
     {{"cod_tipo_doc_f", "157"}, {"data_doc", "16/02/2011"}, {"anno", "2011"},
      {"file", "DINT_2011_0001.rel"}, {"protocollo_attribuito", "11021615001234567"},
      {"data_ricevimento", "18/02/2011"}, {"cod_fiscale", "03124578968"},
      {"ditta", "TRASPORTI BRIANZA S.P.A."}, {"periodo", ""},
      {"dal", "01/01/2011"}, {"al", "31/12/2011"}, {"esito", "ACQUISITO"},
      {"descrizione", "COMUNICAZIONE DICHIARAZIONI DI INTENTO RICEVUTE"}},
     {{{{"progressivo_invio", "000001"}}, "progressivo 000001", 1, "OFFICINA MECCANICA COLOMBO", "71 03124578968"},
      {{{"progressivo_invio", "000002"}}, "progressivo 000002", 1, "TIPOGRAFIA MODERNA", "71 03124578968"}},
     kCompleted},

    {"declarations of intent acknowledged one by one", "r19_intento_ricevimento.txt",
     "intento1.pdf",
     {{"71", "10243658795", "2011"}},
     {{"cod_tipo_doc_f", "156"}, {"protocollo_attribuito", "11012010301234567"}},
     {{"cod_tipo_doc_f", "157"}, {"data_doc", "20/01/2011"}, {"anno", "2011"},
      {"protocollo_attribuito", "11012010301234567"}, {"progressivo_invio", ""},
      {"ditta", ""}, {"esito", ""}, {"dal", ""}, {"al", ""}, {"periodo", ""}},
     {{{{"cod_fiscale", "10243658795"}}, "singolo n. 1", 1, "presentata da 10243658795", "71 10243658795"},
      {{{"cod_fiscale", "GLLNTN66T07A662S"}}, "singolo n. 2", 1, "presentata da GLLNTN66T07A662S",
       ""}},
     kCompleted},

    {"IRAP whose original is of the UNICO it goes with", "r37_dichiarazione_irap.txt",
     "irap.pdf",
     {{"98", "03124578968", ""}, {"87", "04567891231", ""}, {"105", "04567891231", ""}},
     {{"cod_tipo_doc_f", "168"}, {"protocollo_attribuito", "10093019121234567"}},
     {{"cod_tipo_doc_f", "169"}, {"data_doc", "30/09/2010"}, {"anno", "2010"},
      {"protocollo_attribuito", "10093019121234567"}, {"esito", "ACQUISITO"},
      {"periodo", "01/01/2009 - 31/12/2009"}, {"dal", "01/01/2009"}, {"al", "31/12/2009"}},
     {{{{"progressivo_invio", "000001"}, {"cod_fiscale", "03124578968"},
        {"ditta", "TRASPORTI BRIANZA S.P.A."}},
       "progressivo 000001", 1, "Dichiarazione UNICO : 3", "98 03124578968"},
      // UNICO 3 looks for 98 first, then an IRAP receipt falls back to 105.
      {{{"progressivo_invio", "000002"}, {"cod_fiscale", "04567891231"},
        {"ditta", "IMMOBILIARE LAGO MAGGIORE S.R.L."}},
       "progressivo 000002", 1, "IMMOBILIARE LAGO MAGGIORE", "105 04567891231"}},
     kCompleted},

    {"single certifications of one employer", "r17_certificazione_unica.txt", "cu.pdf",
     {{"380", "03124578968", ""}},
     {{"cod_tipo_doc_f", "381"}, {"protocollo_attribuito", "15030611201234567"}},
     {{"cod_tipo_doc_f", "382"}, {"data_doc", "06/03/2015"}, {"anno", "2015"},
      {"file", "CU2015_0001.rel"}, {"protocollo_attribuito", "15030611201234567"},
      {"data_ricevimento", "09/03/2015"}, {"descrizione", "CERTIFICAZIONE UNICA 2015"},
      {"dal", "01/01/2015"}, {"al", "31/12/2015"}, {"periodo", ""}},
     {{{{"progressivo_invio", "000002"}, {"cod_fiscale", "03124578968"},
        {"ditta", "TRASPORTI BRIANZA S.P.A."}, {"esito", "ACQUISITO"}},
       "progressivo 000002", 2, "GALLO ANTONIO", "380 03124578968"}},
     kCompleted},

    {"Intrastat customs receipt without summary", "r47_intrastat_codice_file.txt", "intra.pdf",
     {},
     {},
     {{"cod_tipo_doc_f", "96"}, {"data_doc", "26/07/2010"}, {"anno", "2010"},
      {"file", "INTRA_0710.rel"}, {"protocollo_attribuito", "1234567-A1"},
      {"progressivo_invio", "A1"}, {"cod_fiscale", ""}, {"ditta", "L'ANGOLO DEL CAFFE' S.R.L."},
      {"periodo", "2010 Trim. 2"}, {"dal", "01/04/2010"}, {"al", "30/06/2010"},
      {"esito", "ACQUISITO"}, {"descrizione", "Dichiarazioni Intrastat"}},
     {{{}, "progressivo A1", 1, "Esito dei controlli sostanziali : ACQUISITO", ""}},
     kCompleted},

    {"Intrastat lists checked in substance, with their summary",
     "r47_intrastat_controlli_sostanziali.txt", "intra sostanziali.pdf",
     {},
     {{"cod_tipo_doc_f", "95"}, {"protocollo_attribuito", "10072609151234567"}},
     {{"cod_tipo_doc_f", "96"}, {"data_doc", "26/04/2010"}, {"anno", "2010"},
      {"file", "INTRA_0710.rel"}, {"protocollo_attribuito", "10072609151234567"},
      {"progressivo_invio", "000001"}, {"ditta", "L'ANGOLO DEL CAFFE' S.R.L."},
      {"periodo", "2010 Trim. 2"}, {"dal", "01/04/2010"}, {"al", "30/06/2010"},
      {"esito", "ACQUISITO"}},
     {{{}, "progressivo 000001", 1, "attribuito il protocollo 10072609151234567-000001", ""}},
     {"Inizio elaborazione", "Tipo doc. 93 - Protocollo 10072609151234567: non trovato",
      "Archiviazione completata", "Elaborazione terminata"}},

    // A heading whose year is no number: the line under it still gives the declaration.
    {"730 of the assistance centres whose heading prints no year",
     "r11_730_alternativo_senza_anno.txt", "730 senza anno.pdf",
     {},
     {},
     {{"cod_tipo_doc_f", "187"}, {"data_doc", "25/10/2011"}, {"anno", "2011"},
      {"protocollo_attribuito", "11102510151234567"}, {"progressivo_invio", "000001"},
      {"cod_fiscale", "SPSGPP62D10F839H"}, {"ditta", "ESPOSITO GIUSEPPE"},
      {"descrizione", "730 INTEGRATIVO"}, {"esito", "acquisito"}},
     {{{}, "progressivo 000001", 1, "ESPOSITO GIUSEPPE", ""}},
     kCompleted},

    // Bad input: no list page, so the outcome comes from each page's own wording. The
    // originals are those the UNICO row brought.
    {"UNICO without its list page", "r13_unico_senza_elenco.txt", "senza elenco.pdf",
     {},
     {{"cod_tipo_doc_f", "140"}, {"descrizione", "UNICO 2010 PERSONE FISICHE"}},
     {{"cod_tipo_doc_f", "141"}, {"descrizione", "UNICO 2010 PERSONE FISICHE"},
      {"file", "UNICO10_PF_0001.rel"}},
     {{{{"ditta", "ROSSI MARIO"}, {"esito", "acquisito"}}, "progressivo 000001", 1, "ROSSI",
       "102 RSSMRA80A01H501U"},
      {{{"ditta", "D'ANGELO GIULIA"}, {"esito", "acquisito"}}, "progressivo 000002", 1,
       "D'ANGELO GIULIA", ""},
      {{{"ditta", "RUSSO FRANCESCA"}, {"esito", "scartato"}}, "progressivo 000003", 1, "RUSSO",
       "102 RSSFNC90P63G273X"}},
     kCompleted},

    // Bad input: a page whose key cannot be read ends the walk after the declaration before.
    {"UNICO with an unreadable protocol line", "r13_unico_chiave_illeggibile.txt",
     "illeggibile.pdf",
     {},
     {{"cod_tipo_doc_f", "140"}},
     {{"cod_tipo_doc_f", "141"}},
     {{{{"progressivo_invio", "000001"}, {"ditta", "ROSSI MARIO"}}, "progressivo 000001", 1,
       "ROSSI MARIO", "102 RSSMRA80A01H501U"}},
     kCompleted},
};
// clang-format on

void ExpectFields(const Record& record, const Record& expected, const std::string& what) {
    for (const auto& [field, value] : expected) {
        const auto it = record.find(field);
        ASSERT_NE(it, record.end()) << what << ": no field " << field;
        EXPECT_EQ(it->second, value) << what << ": " << field;
    }
}

class DeclarationArchivingTest : public F24Test {
protected:
    void Check(const Case& c) {
        SCOPED_TRACE(c.what);
        const size_t summariesBefore = Records(kStdSummary).size();
        const size_t singlesBefore = Records(kStdSingle).size();
        std::set<LinkRow> expectedLinks = Links();
        for (const auto& [type, taxCode, period] : c.originals) {
            AddRecord(kStdOriginals, {{"Cod_Tipo_doc_F", type},
                                      {"Cod_Fiscale", taxCode},
                                      {"Periodo", period},
                                      {"Anno", "2011"}});
        }

        ASSERT_TRUE(Archive(c.templ, c.file));

        const auto summaries = Records(kStdSummary);
        long summary = -1;
        if (c.summary.empty()) {
            EXPECT_EQ(summaries.size(), summariesBefore) << "no summary record";
        } else {
            ASSERT_EQ(summaries.size(), summariesBefore + 1);
            ExpectFields(summaries.back(), c.summary, "summary");
            summary = std::stol(summaries.back().at("sys_record"));
        }
        const auto all = Records(kStdSingle);
        ASSERT_EQ(all.size(), singlesBefore + c.singles.size());
        for (size_t i = 0; i < c.singles.size(); ++i) {
            const Record& record = all[singlesBefore + i];
            const Single& expected = c.singles[i];
            const std::string what = "single " + std::to_string(i + 1);
            ExpectFields(record, c.common, what);
            ExpectFields(record, expected.fields, what);
            const auto [pages, text] = ReadPdf(record.at("sys_file"));
            EXPECT_EQ(pages, expected.pages) << what;
            EXPECT_THAT(text, HasSubstr(expected.printed)) << what;
            const long stored = std::stol(record.at("sys_record"));
            if (summary >= 0) {
                expectedLinks.insert({kStdSummary, summary, kStdSingle, stored});
            }
            // Every original of that type and taxpayer, whichever case brought it.
            for (const Record& original : Records(kStdOriginals)) {
                if (original.at("cod_tipo_doc_f") + " " + original.at("cod_fiscale") ==
                    expected.original) {
                    expectedLinks.insert(
                        {kStdSingle, stored, kStdOriginals, std::stol(original.at("sys_record"))});
                }
            }
            EXPECT_EQ(CountLines(kStore, "Archiviazione " + expected.label + " riuscita"), 1)
                << what;
        }
        EXPECT_EQ(Links(), expectedLinks);
        EXPECT_EQ(Messages(), c.lines);
        EXPECT_EQ(m_log.back(), (LogLine{1, c.file, "Process()", "Elaborazione terminata"}));
    }
};

TEST_P(DeclarationArchivingTest, EachLayoutIsArchivedFieldByField) {
    for (const Case& c : kCases) {
        Check(c);
    }
}

TEST_P(DeclarationArchivingTest, FileWithoutAnyReadableDeclarationStaysInTheFolder) {
    // An Intrastat receipt without summary whose protocol line lost its value: no page
    // gives a key, so nothing would be archived of it.
    const auto pages =
        Replaced(TemplatePages("r47_intrastat_codice_file.txt"),
                 "Numero di protocollo/CIN : 1234567-A1", "Numero di protocollo/CIN :");
    const std::string pdf = MakePdf(m_dir, "senza protocollo.pdf", pages);
    m_log.clear();
    m_engine->File(pdf);
    m_engine->FileNameOrig("senza protocollo.pdf");
    EXPECT_FALSE(m_engine->Process());
    EXPECT_EQ(RecordCount(kStdSingle), 0);
    EXPECT_EQ(CountLines(kStore, "Nessuna ricevuta singola trovata nel file"), 1);
    EXPECT_EQ(CountLines("m_cJob_OnJob()", "Archiviazione non completata"), 1);
    EXPECT_EQ(m_log.back(),
              (LogLine{1, "senza protocollo.pdf", "Process()", "Elaborazione interrotta"}));
}

TEST_P(DeclarationArchivingTest, WordingsOfTheFirstPageAndOfSupplementaryDeclarations) {
    struct Wording {
        std::string templ, find, with;
        std::string paymentDate; // read on the first declaration page
        std::string description; // of the first single record
    };
    const std::string intent = "Operazioni da effettuare:";
    const std::string unico = "DICHIARAZIONE UNICO 2010 PERSONE FISICHE";
    const std::vector<Wording> rows = {
        {"r19_intento_ricevimento.txt", "", "", "20/01/2011", ""},
        {"r19_intento_comunicazione_dati.txt", intent, "Data dell’impegno: 14/01/2011\n" + intent,
         "14/01/2011", "COMUNICAZIONE DICHIARAZIONI DI INTENTO RICEVUTE"},
        {"r19_intento_comunicazione_dati.txt", intent, "Data dell'impegno: 15/01/2011\n" + intent,
         "15/01/2011", "COMUNICAZIONE DICHIARAZIONI DI INTENTO RICEVUTE"},
        {"r13_unico_persone_fisiche.txt", "Dichiarazione integrativa : NO",
         "Dichiarazione integrativa a favore: SI", "", unico + " integrativa"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.templ + " " + row.with);
        auto pages = TemplatePages(row.templ);
        if (!row.find.empty()) {
            pages = Replaced(pages, row.find, row.with);
            // A replacement that spans lines becomes lines of its own.
            for (auto& page : pages) {
                std::vector<std::string> split;
                for (const auto& line : page) {
                    std::vector<std::string> parts;
                    DorvaneText::SplitLines(line, "\n", &parts);
                    split.insert(split.end(), parts.begin(), parts.end());
                }
                page = split;
            }
        }
        const size_t before = Records(kStdSingle).size();
        const std::string pdf = MakePdf(m_dir, "variante.pdf", pages);
        m_log.clear();
        m_engine->File(pdf);
        m_engine->FileNameOrig("variante.pdf");
        ASSERT_TRUE(m_engine->Process());
        EXPECT_EQ(m_engine->Info().PaymentDate, row.paymentDate);
        const auto singles = Records(kStdSingle);
        ASSERT_GT(singles.size(), before);
        EXPECT_EQ(singles[before].at("descrizione"), row.description);
    }
}

TEST_P(DeclarationArchivingTest, RunTimeErrorNamesThePageToCheck) {
    bool thrown = false;
    m_engine->ConnectTelLogEvent(
        [&thrown](long, const std::string&, const std::string&, const std::string& sMsg) {
            if (!thrown && sMsg == "Archiviazione progressivo 000002 riuscita") {
                thrown = true;
                Raise(kErrArchive, "guasto simulato");
            }
        });
    EXPECT_FALSE(Archive("r13_unico_persone_fisiche.txt", "unico.pdf"));
    EXPECT_EQ(CountLines(kStore, "3001: guasto simulato"), 1);
    EXPECT_EQ(CountLines(kStore, "Controllare la pagina 2: Probabile file malformato."), 1);
    EXPECT_EQ(CountLines("m_cJob_OnJob()", "Archiviazione non completata"), 1);
    EXPECT_EQ(RecordCount(kStdSummary), 0) << "nothing of the file is kept";
    EXPECT_EQ(RecordCount(kStdSingle), 0);
}

TEST_P(DeclarationArchivingTest, SummaryFileThatCannotBeReadSaysWhy) {
    // The receipt disappears between its reading and its archiving.
    const std::string pdf = MakeReceipt(m_dir, "r09_770_ordinario.txt", "770.pdf");
    m_engine->File(pdf);
    m_engine->FileNameOrig("770.pdf");
    std::filesystem::remove(pdf);
    m_log.clear();
    EXPECT_FALSE(m_engine->Process());
    const auto lines = LinesOf("m_cJob_OnJob()");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_THAT(lines[0].msg, HasSubstr("non riuscita"));
    EXPECT_THAT(lines[0].msg, HasSubstr(pdf));
    EXPECT_EQ(lines[1].msg, "Archiviazione non completata");
    EXPECT_EQ(RecordCount(kStdSummary), 0);
}

INSTANTIATE_TEST_SUITE_P(Backends, DeclarationArchivingTest,
                         ::testing::Values(BackendKind::Sqlite, BackendKind::Postgres),
                         BackendName);

} // namespace
} // namespace quorvin::test
