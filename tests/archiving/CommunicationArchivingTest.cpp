// Communications, requests, leases and notices of regularity archived end to end from
// their templates, on SQLite and PostgreSQL: the summary, every single record with its
// one-page PDF, the links to the summary and to the originals, and the log.
#include "archiving/F24Test.h"
#include "archiving/WritersTestSupport.h"

#include <gmock/gmock.h>

namespace quorvin::test {
namespace {

using ::testing::HasSubstr;

constexpr const char* kStore = "StorePagesComunicazioni()";
constexpr const char* kFile = "ricevuta.pdf";

struct Single {
    Record fields;        // besides the case's common fields
    std::string label;    // as the log names it
    std::string pageText; // a line of its page, read back from its own PDF
};

struct Original {
    Fields fields;
    std::vector<size_t> singles; // the single records linked to it
};

struct Case {
    const char* templateName;
    Record summary; // no fields: the file has no summary record
    Record common;  // fields every single record of the file holds
    std::vector<Single> singles;
    std::vector<Original> originals{};
    std::vector<std::string> notes{}; // priority-1 lines between the opening and closing ones
};

void ExpectFields(const Record& record, const Record& expected, const std::string& what) {
    for (const auto& [field, value] : expected) {
        const auto it = record.find(field);
        ASSERT_NE(it, record.end()) << what << ": no field " << field;
        EXPECT_EQ(it->second, value) << what << ": " << field;
    }
}

class CommunicationArchivingTest : public F24Test {
protected:
    // Archives each case's file into the same archive, and checks what it added.
    void Check(const std::vector<Case>& cases) {
        for (const Case& c : cases) {
            SCOPED_TRACE(c.templateName);
            CheckCase(c);
        }
    }

    void CheckCase(const Case& c) {
        std::vector<long> originals;
        for (const auto& original : c.originals) {
            originals.push_back(AddRecord(kStdOriginals, original.fields));
        }
        const size_t summariesBefore = Records(kStdSummary).size();
        const size_t singlesBefore = Records(kStdSingle).size();
        const std::set<LinkRow> linksBefore = Links();
        ASSERT_TRUE(Archive(c.templateName, kFile));

        const auto summaries = Records(kStdSummary);
        long summary = -1;
        if (c.summary.empty()) {
            EXPECT_EQ(summaries.size(), summariesBefore);
        } else {
            ASSERT_EQ(summaries.size(), summariesBefore + 1);
            ExpectFields(summaries.back(), c.summary, "summary");
            summary = std::stol(summaries.back().at("sys_record"));
        }

        const auto all = Records(kStdSingle);
        ASSERT_EQ(all.size(), singlesBefore + c.singles.size());
        std::set<LinkRow> expectedLinks;
        std::vector<long> records;
        for (size_t i = 0; i < c.singles.size(); ++i) {
            const Record& single = all[singlesBefore + i];
            const std::string what = c.singles[i].label;
            ExpectFields(single, c.common, what);
            ExpectFields(single, c.singles[i].fields, what);
            const auto [pages, text] = ReadPdf(single.at("sys_file"));
            EXPECT_EQ(pages, 1) << what;
            EXPECT_THAT(text, HasSubstr(c.singles[i].pageText)) << what;
            EXPECT_EQ(CountLines(kStore, "Archiviazione " + what + " riuscita"), 1) << what;
            records.push_back(std::stol(single.at("sys_record")));
            if (summary >= 0) {
                expectedLinks.insert({kStdSummary, summary, kStdSingle, records.back()});
            }
        }
        for (size_t k = 0; k < c.originals.size(); ++k) {
            for (const size_t i : c.originals[k].singles) {
                expectedLinks.insert({kStdSingle, records.at(i), kStdOriginals, originals[k]});
            }
        }
        std::set<LinkRow> added;
        for (const auto& link : Links()) {
            if (linksBefore.count(link) == 0) {
                added.insert(link);
            }
        }
        EXPECT_EQ(added, expectedLinks);

        std::vector<std::string> expected = {"Inizio elaborazione"};
        expected.insert(expected.end(), c.notes.begin(), c.notes.end());
        expected.push_back("Archiviazione completata");
        expected.push_back("Elaborazione terminata");
        EXPECT_EQ(Messages(), expected);
        EXPECT_EQ(m_log.back(), (LogLine{1, kFile, "Process()", "Elaborazione terminata"}));
    }
};

// Entratel's one-sentence acknowledgement of each document: "acquisito con protocollo
// P - N", "presentata da", "In data".
TEST_P(CommunicationArchivingTest, AcknowledgedCommunicationsAndRequests) {
    // clang-format off
    const std::vector<Case> cases = {
        {"r12_comunicazione_cso.txt",
         {{"cod_tipo_doc_f", "127"}, {"protocollo_attribuito", "11011512101234567"},
          {"num_trasmissioni", "2"}},
         {{"cod_tipo_doc_f", "128"}, {"data_doc", "15/01/2011"}, {"data_ricevimento", "15/01/2011"},
          {"anno", "2011"}, {"periodo", ""}, {"protocollo_attribuito", "11011512101234567"},
          {"descrizione", ""}, {"esito", ""}, {"ditta", ""}, {"file", "CSO_2011_01.rel"}},
         {{{{"progressivo_invio", "000001"}, {"cod_fiscale", "03124578968"}},
           "progressivo 000001", "Sostituto d'imposta: TRASPORTI BRIANZA S.P.A."},
          {{{"progressivo_invio", "000002"}, {"cod_fiscale", "09876543217"}},
           "progressivo 000002", "presentata da 09876543217"}},
         {{{{"Cod_Tipo_doc_F", "114"}, {"Cod_Fiscale", "03124578968"}, {"Anno", "2010"}}, {0}}}},
        {"r34_credito_misure_sicurezza.txt",
         {{"cod_tipo_doc_f", "192"}, {"protocollo_attribuito", "10091516001234567"}},
         {{"cod_tipo_doc_f", "193"}, {"data_doc", "15/09/2010"}, {"data_ricevimento", "15/09/2010"},
          {"anno", "2010"}, {"protocollo_attribuito", "10091516001234567"},
          {"file", "CRSIC_0001.rel"}},
         {{{{"progressivo_invio", "000001"}, {"cod_fiscale", "02456789011"}},
           "progressivo 000001", "Credito richiesto: 1.500,00"}}},
        {"r36_bonus_famiglie.txt",
         {{"cod_tipo_doc_f", "198"}, {"num_trasmissioni", "1"}},
         {{"cod_tipo_doc_f", "199"}, {"data_doc", "27/02/2009"}, {"data_ricevimento", "27/02/2009"},
          {"anno", "2009"}, {"protocollo_attribuito", "09022710051234567"},
          {"file", "BONUS_0001.rel"}},
         {{{{"progressivo_invio", "000001"}, {"cod_fiscale", "RSSFNC90P63G273X"}},
           "progressivo 000001", "Importo del bonus richiesto: 500,00"}}},
        // The associations' model is presented for a body.
        {"r41_modello_eas.txt",
         {{"cod_tipo_doc_f", "122"}},
         {{"cod_tipo_doc_f", "123"}, {"data_doc", "15/12/2009"}, {"anno", "2009"},
          {"protocollo_attribuito", "09121511401234567"}, {"file", "EAS_0001.rel"}},
         {{{{"progressivo_invio", "000001"}, {"cod_fiscale", "91234567807"}},
           "progressivo 000001", "ASSOCIAZIONE SPORTIVA DILETTANTISTICA VIRTUS"}}},
        // Linked to the original of the same month: Dal and Al, not the month before.
        {"r48_black_list.txt",
         {{"cod_tipo_doc_f", "78"}, {"protocollo_attribuito", "11043010001234567"},
          {"file", "BLACKLIST_0311.rel"}, {"num_trasmissioni", "2"}},
         {{"cod_tipo_doc_f", "79"}, {"data_doc", "30/04/2011"}, {"data_ricevimento", "30/04/2011"},
          {"anno", "2011"}, {"periodo", "Anno 2011 Mese 03"},
          {"protocollo_attribuito", "11043010001234567"}, {"file", "BLACKLIST_0311.rel"}},
         {{{{"progressivo_invio", "000001"}, {"cod_fiscale", "03124578968"}},
           "progressivo 000001", "presentata da 03124578968"},
          {{{"progressivo_invio", "000002"}, {"cod_fiscale", "10243658795"}},
           "progressivo 000002", "presentata da 10243658795"}},
         {{{{"Cod_Tipo_doc_F", "86"}, {"Cod_Fiscale", "03124578968"}, {"Anno", "2011"},
            {"Dal", "01/03/2011"}, {"Al", "31/03/2011"}}, {0}},
          {{{"Cod_Tipo_doc_F", "86"}, {"Cod_Fiscale", "03124578968"}, {"Anno", "2011"},
            {"Dal", "01/02/2011"}, {"Al", "28/02/2011"}}, {}}}},
        // The act names its taxpayer in the list; the earlier receipt is not archived.
        {"r35_accoglimento_credito_imposta.txt",
         {{"cod_tipo_doc_f", "194"}, {"protocollo_attribuito", "10031009001234567"}},
         {{"cod_tipo_doc_f", "195"}, {"data_doc", "15/03/2010"}, {"data_ricevimento", "15/03/2010"},
          {"anno", "2010"}, {"protocollo_attribuito", "10031009001234567"},
          {"file", "CRED_AREE_0001.rel"}},
         {{{{"progressivo_invio", "000001"}, {"cod_fiscale", "03124578968"},
            {"ditta", "TRASPORTI BRIANZA S.P.A."}, {"esito", "ACQUISITO"},
            {"descrizione", "ISTANZE CREDITO D'IMPOSTA INVESTIMENTI"}},
           "progressivo 000001", "il credito e' ACCOLTO per 25.000,00"}},
         {},
         {"Tipo doc. -1 - Protocollo 10031009001234567: non trovato"}},
        {"r39_istanza_rimborso_irap_2011.txt",
         {{"cod_tipo_doc_f", "100"}, {"protocollo_attribuito", "13022817451234567"}},
         {{"cod_tipo_doc_f", "101"}, {"data_doc", "28/02/2013"}, {"data_ricevimento", "28/02/2013"},
          {"anno", "2013"}, {"protocollo_attribuito", "13022817451234567"},
          {"protocollo_pag", "13022817451234567"}, {"ora_doc", "17:45"},
          {"trasmesso_cod", "01234567897"}, {"file", "RIMB_IRAP_0001.rel"}},
         {{{{"progressivo_invio", "000001"}, {"progressivo_pag", "000001"},
            {"cod_fiscale", "09876543217"}},
           "progressivo 000001", "Denominazione: L'ANGOLO DEL CAFFE' S.R.L."}},
         {{{{"Cod_Tipo_doc_F", "99"}, {"Cod_Fiscale", "09876543217"}, {"Anno", "2012"}}, {0}}}},
        {"r55_riqualificazione_energetica.txt",
         {{"cod_tipo_doc_f", "286"}, {"num_accolte", "2"}},
         {{"cod_tipo_doc_f", "287"}, {"data_doc", "30/03/2010"}, {"anno", "2010"},
          {"periodo", "2009"}, {"protocollo_attribuito", "10033011001234567"},
          {"protocollo_pag", "10033011001234567"}, {"file", "RIQEN_2009.rel"}},
         {{{{"progressivo_pag", "000001"}, {"cod_fiscale", "FRRGLI85E50A944Z"}},
           "progressivo 000001", "soggetto FRRGLI85E50A944Z"},
          {{{"progressivo_pag", "000002"}, {"cod_fiscale", "CLMPLA58H12B157Q"}},
           "progressivo 000002", "soggetto CLMPLA58H12B157Q"}},
         {{{{"Cod_Tipo_doc_F", "279"}, {"Cod_Fiscale", "FRRGLI85E50A944Z"}, {"Anno", "2009"}}, {0}}}},
        {"r56_comunicazione_inpgi.txt",
         {{"cod_tipo_doc_f", "289"}, {"protocollo_attribuito", "11041608501234567"}},
         {{"cod_tipo_doc_f", "290"}, {"data_doc", "16/04/2011"}, {"data_ricevimento", "16/04/2011"},
          {"anno", "2011"}, {"periodo", "03/2011"}, {"protocollo_attribuito", "11041608501234567"},
          {"file", "INPGI_0311.rel"}},
         {{{{"progressivo_invio", "000001"}, {"cod_fiscale", "09132457681"}},
           "progressivo 000001", "EDITORIALE IL CORRIERE DEL LAGO S.R.L."}},
         {{{{"Cod_Tipo_doc_F", "288"}, {"Cod_Fiscale", "09132457681"}, {"Anno", "2011"}}, {0}}}},
        // The printer's supply: the buyer comes from the list.
        {"r57_forniture_documenti_fiscali.txt",
         {{"cod_tipo_doc_f", "293"}, {"protocollo_attribuito", "11013117301234567"}},
         {{"cod_tipo_doc_f", "294"}, {"data_doc", "31/01/2011"}, {"data_ricevimento", "31/01/2011"},
          {"anno", "2011"}, {"protocollo_attribuito", "11013117301234567"},
          {"file", "TIPOGR_2010.rel"}},
         {{{{"progressivo_invio", "000001"}, {"cod_fiscale", "09876543217"},
            {"ditta", "L'ANGOLO DEL CAFFE' S.R.L."}, {"esito", "ACQUISITO"}},
           "progressivo 000001", "la fornitura di 500 ricevute fiscali"}}},
    };
    // clang-format on
    Check(cases);
}

// Communications and requests that print their data their own way.
TEST_P(CommunicationArchivingTest, CertificatesListsInvoicesAnnulmentsAndRefunds) {
    // clang-format off
    const std::vector<Case> cases = {
        // VAT start of companies: found by tax code among the originals of their kind.
        {"r04_inizio_attivita_soggetti_diversi.txt",
         {{"cod_tipo_doc_f", "162"}, {"num_trasmissioni", "2"}},
         {{"cod_tipo_doc_f", "163"}, {"data_doc", "12/04/2010"}, {"anno", "2010"},
          {"descrizione", "CERTIFICATO DI ATTRIBUZIONE DEL NUMERO DI PARTITA IVA"},
          {"file", "AA7_20100412.rel"}},
         {{{{"cod_fiscale", "09876543217"}, {"ditta", "L'ANGOLO DEL CAFFE' S.R.L."}},
           "singolo n. 1", "DATA INIZIO ATTIVITA': 01/04/2010"},
          {{{"cod_fiscale", "10243658795"}, {"ditta", "OFFICINA MECCANICA COLOMBO S.R.L."}},
           "singolo n. 2", "DATA INIZIO ATTIVITA': 06/04/2010"}},
         {{{{"Cod_Tipo_doc_F", "74"}, {"Cod_Fiscale", "09876543217"}}, {0}}}},
        // Before the start of the same sole trader is filed: nothing to link yet.
        {"r07_variazione_ditta_individuale.txt",
         {{"cod_tipo_doc_f", "176"}, {"num_scartate", "1"}},
         {{"cod_tipo_doc_f", "177"}, {"data_doc", "10/11/2010"}, {"anno", "2010"}},
         {{{{"cod_fiscale", "GLLNTN66T07A662S"}, {"descrizione", "CERTIFICATO DI VARIAZIONE DATI"}},
           "singolo n. 1", "NUOVO CODICE ATTIVITA'"},
          {{{"cod_fiscale", "CNTLGU55R30A271Q"}, {"ditta", "CONTI LUIGI"},
            {"descrizione", "CERTIFICATO DI VARIAZIONE DATI - RICHIESTA SCARTATA"}},
           "singolo n. 2", "MOTIVO DELLO SCARTO"}}},
        // Sole traders: the owner's tax code, and the original of the receipt's year.
        {"r05_inizio_attivita_ditta_individuale.txt",
         {{"cod_tipo_doc_f", "174"}},
         {{"cod_tipo_doc_f", "175"}, {"data_doc", "10/05/2010"}, {"anno", "2010"},
          {"file", "AA9_20100510.rel"}},
         {{{{"cod_fiscale", "GLLNTN66T07A662S"}, {"ditta", "GALLO ANTONIO"}},
           "singolo n. 1", "CODICE FISCALE TITOLARE: GLLNTN66T07A662S"}},
         {{{{"Cod_Tipo_doc_F", "76"}, {"Cod_Fiscale", "GLLNTN66T07A662S"}, {"Anno", "2010"}}, {0}},
          {{{"Cod_Tipo_doc_F", "76"}, {"Cod_Fiscale", "GLLNTN66T07A662S"}, {"Anno", "2009"}}, {}}}},
        {"r08_cessazione_attivita.txt",
         {{"cod_tipo_doc_f", "166"}},
         {{"cod_tipo_doc_f", "167"}, {"data_doc", "31/12/2010"}},
         {{{{"cod_fiscale", "CNTLGU55R30A271Q"}, {"descrizione", "CERTIFICATO DI CESSAZIONE ATTIVITA'"}},
           "singolo n. 1", "DATA CESSAZIONE: 31/12/2010"}}},
        {"r20_elenco_clienti_fornitori.txt",
         {{"cod_tipo_doc_f", "170"}, {"num_trasmissioni", "2"}},
         {{"cod_tipo_doc_f", "171"}, {"data_doc", "29/04/2009"}, {"anno", "2009"}},
         {{{{"cod_fiscale", "09876543217"}, {"ditta", "L'ANGOLO DEL CAFFE' S.R.L."}},
           "singolo n. 1", "14 clienti, 22 fornitori"},
          {{{"cod_fiscale", "RSSMRA80A01H501U"}, {"ditta", "ROSSI MARIO"}},
           "singolo n. 2", "L'elenco e' stato scartato"}},
         {{{{"Cod_Tipo_doc_F", "70"}, {"Cod_Fiscale", "RSSMRA80A01H501U"}}, {1}}}},
        // Intermediaries' invoices and registry communications: "protocol-number".
        {"r22_fattura_compensi_f24.txt",
         {{"cod_tipo_doc_f", "158"}, {"protocollo_attribuito", "10011811001234567"}},
         {{"cod_tipo_doc_f", "159"}, {"data_doc", "18/01/2010"}, {"data_ricevimento", "18/01/2010"},
          {"protocollo_attribuito", "10011811001234567"}, {"protocollo_pag", "10011811001234567"},
          {"progressivo_pag", "000001"}, {"progressivo_invio", "000001"}, {"esito", "acquisito"},
          {"file", "FATT_F24_2009.rel"}, {"ora_doc", "11:00"}, {"trasmesso_cod", "01234567897"},
          {"anno", "2010"}, {"periodo", "2009"}},
         {{{{"cod_fiscale", "01234567897"}, {"ditta", "STUDIO ASSOCIATO BIANCHI & VERDI"}},
           "progressivo 000001", "per la trasmissione degli f24"}}},
        {"r23_fattura_compensi_dichiarazioni.txt",
         {{"cod_tipo_doc_f", "160"}},
         {{"cod_tipo_doc_f", "161"}, {"protocollo_pag", "10011811051234567"},
          {"progressivo_pag", "000001"}, {"file", "FATT_DICH_2009.rel"}},
         {{{{"cod_fiscale", "01234567897"}}, "progressivo 000001",
           "per la trasmissione delle dichiarazioni"}}},
        {"r40_comunicazioni_anagrafe_tributaria.txt",
         {{"cod_tipo_doc_f", "120"}},
         {{"cod_tipo_doc_f", "121"}, {"data_doc", "30/04/2010"}, {"protocollo_pag", "10043019021234567"},
          {"esito", "acquisito"}, {"periodo", "2009"}, {"ora_doc", "19:02"},
          {"trasmesso_cod", "BNCLCU70B15F205E"}, {"file", "UTENZE_2009.rel"}},
         {{{{"cod_fiscale", "11335577992"}, {"ditta", "ACQUEDOTTO DEL LAGO S.P.A."},
            {"progressivo_invio", "000001"}},
           "progressivo 000001", "Contratti comunicati: 1.204"}}},
        // The summary's protocol ends with its line, as the single records show it.
        {"r24_annullamento_dichiarazioni.txt",
         {{"cod_tipo_doc_f", "152"}, {"protocollo_attribuito", "10100509401234567"},
          {"num_accolte", "1"}, {"num_scartate", "1"}},
         {{"cod_tipo_doc_f", "153"}, {"data_doc", "05/10/2010"}, {"data_ricevimento", "06/10/2010"},
          {"anno", "2010"}, {"protocollo_attribuito", "10100509401234567"}, {"esito", ""},
          {"progressivo_pag", ""}, {"file", "ANN_DICH_01.rel"}, {"trasmesso_cod", "BNCLCU70B15F205E"}},
         {{{{"cod_fiscale", "RSSMRA80A01H501U"}, {"progressivo_invio", "000001"}},
           "progressivo 000001", "la dichiarazione e' stata annullata"},
          {{{"cod_fiscale", "FRRGLI85E50A944Z"}, {"progressivo_invio", "000002"}},
           "progressivo 000002", "la dichiarazione risulta gia' liquidata"}}},
        // F24 annulments: the outcome from the list, the payment among the F24 models.
        {"r25_annullamento_f24.txt",
         {{"cod_tipo_doc_f", "196"}, {"protocollo_attribuito", "10062015021234567"},
          {"num_accolte", "2"}},
         {{"cod_tipo_doc_f", "197"}, {"data_doc", "20/06/2010"}, {"data_ricevimento", ""},
          {"protocollo_attribuito", "10062015021234567"}, {"esito", "ACQUISITO"},
          {"file", "ANN_F24_01.rel"}},
         {{{{"cod_fiscale", "RSSMRA80A01H501U"}, {"progressivo_pag", "000001"},
            {"progressivo_invio", "000001"}},
           "progressivo 000001", "10061610424512345-000001 del 16/06/2010"},
          {{{"cod_fiscale", "09876543217"}, {"progressivo_pag", "000002"}},
           "progressivo 000002", "10061610424512345-000002 del 16/06/2010"}},
         {{{{"Cod_Tipo_doc_F", "111"}, {"Cod_Fiscale", "RSSMRA80A01H501U"},
            {"Data_vers", "16/06/2010"}, {"Importo", "1250,00"}}, {0}}}},
        {"r30_questionari.txt",
         {{"cod_tipo_doc_f", "148"}, {"protocollo_attribuito", "10051809451234567"}},
         {{"cod_tipo_doc_f", "149"}, {"data_doc", "18/05/2010"}, {"anno", "2010"},
          {"protocollo_attribuito", "10051809451234567"}, {"file", "QUEST_SDS_2010.rel"}},
         {{{{"cod_fiscale", "10243658795"}, {"ditta", "OFFICINA MECCANICA COLOMBO S.R.L."},
            {"progressivo_invio", "000001"}},
           "progressivo 000001", "Codice fiscale : 10243658795"},
          {{{"cod_fiscale", "08912345678"}, {"ditta", "TIPOGRAFIA MODERNA S.R.L."},
            {"progressivo_invio", "000002"}},
           "progressivo 000002", "Codice fiscale : 08912345678"}},
         {{{{"Cod_Tipo_doc_F", "73"}, {"Cod_Fiscale", "08912345678"}}, {1}}}},
        // A quarter printed as a number cannot be turned into dates: the model not
        // found by its date is reported.
        {"r33_iva_trimestrale.txt",
         {{"cod_tipo_doc_f", "184"}, {"file", "IVATR_0410.rel"}},
         {{"cod_tipo_doc_f", "185"}, {"data_doc", "28/04/2010"}, {"data_ricevimento", "29/04/2010"},
          {"anno", "2010"}, {"periodo", "1 TRIMESTRE 2010"},
          {"protocollo_attribuito", "10042810101234567"}, {"file", "IVATR_0410.rel"}},
         {{{{"cod_fiscale", "09876543217"}, {"ditta", "L'ANGOLO DEL CAFFE' S.R.L."},
            {"progressivo_invio", "000001"}},
           "progressivo 000001", "Credito richiesto a rimborso"},
          {{{"cod_fiscale", "03124578968"}, {"ditta", "TRASPORTI BRIANZA S.P.A."},
            {"progressivo_invio", "000002"}},
           "progressivo 000002", "Credito da utilizzare in compensazione"}},
         {{{{"Cod_Tipo_doc_F", "109"}, {"Cod_Fiscale", "09876543217"}, {"Data_doc", "28/04/2010"}}, {0}}},
         {"Archiviazione progressivo 000002: Archivio documento di riferimento non trovato"}},
        {"r32_anagrafe_rapporti.txt",
         {{"cod_tipo_doc_f", "190"}, {"protocollo_attribuito", "11013112001234567"}},
         {{"cod_tipo_doc_f", "191"}, {"data_doc", "31/01/2011"}, {"anno", "2011"},
          {"cod_fiscale", "09132457681"}, {"protocollo_attribuito", "11013112001234567"},
          {"file", "ANARAPP_201101.rel"}, {"esito", ""}},
         {{{{"progressivo_invio", "000001"}, {"periodo", "01/2011"}},
           "progressivo 000001", "contiene: 42 rapporti"},
          {{{"progressivo_invio", "000002"}, {"periodo", "12/2010"}},
           "progressivo 000002", "contiene: 7 rapporti"}}},
    };
    // clang-format on
    Check(cases);
}

// Multi-purpose communications: a 386 receipt becomes Black List (316) or San Marino
// (318) by its pages, or stays what it is; the original is found by the year of its
// period, compared as a number with a text field on both back ends.
TEST_P(CommunicationArchivingTest, MultiPurposeCommunications) {
    // clang-format off
    const std::vector<Case> cases = {
        {"r53_polivalente_black_list.txt",
         {{"cod_tipo_doc_f", "316"}, {"descrizione", "Comunicazione polivalente Black List"},
          {"protocollo_attribuito", "13112017101234567"}, {"num_trasmissioni", "2"},
          {"num_accolte", "1"}, {"num_scartate", "1"}},
         {{"cod_tipo_doc_f", "317"}, {"data_ricevimento", "20/11/2013"}, {"anno", "2013"},
          {"descrizione", "Comunicazione polivalente Black List"},
          {"protocollo_attribuito", "13112017101234567"}, {"file", "BLACKLIST_1013.rel"}},
         {{{{"data_doc", "21/11/2013"}, {"cod_fiscale", "09876543217"},
            {"ditta", "L'ANGOLO DEL CAFFE' S.R.L."}, {"progressivo_invio", "000001"},
            {"esito", "ACQUISITO"}},
           "progressivo 000001", "Esito: acquisita"},
          {{{"data_doc", "22/11/2013"}, {"cod_fiscale", "GLLNTN66T07A662S"},
            {"ditta", "GALLO ANTONIO"}, {"progressivo_invio", "000002"}, {"esito", "SCARTATO"}},
           "progressivo 000002", "Esito: scartata"}},
         {{{{"Cod_Tipo_doc_F", "312"}, {"Cod_Fiscale", "09876543217"}, {"Periodo", "2013"}}, {0}},
          {{{"Cod_Tipo_doc_F", "312"}, {"Cod_Fiscale", "09876543217"}, {"Periodo", "2012"}}, {}}}},
        {"r53_polivalente_san_marino.txt",
         {{"cod_tipo_doc_f", "318"}, {"descrizione", "Comunicazione polivalente San Marino"}},
         {{"cod_tipo_doc_f", "319"}, {"data_doc", "31/07/2013"}, {"anno", "2013"},
          {"descrizione", "Comunicazione polivalente San Marino"}, {"esito", ""}},
         {{{{"cod_fiscale", "03124578968"}, {"ditta", "TRASPORTI BRIANZA S.P.A."},
            {"progressivo_invio", "000001"}},
           "progressivo 000001", "Trimestre: 2 Formato: dati analitici"}},
         {{{{"Cod_Tipo_doc_F", "311"}, {"Cod_Fiscale", "03124578968"}, {"Periodo", "2013"}}, {0}}}},
        {"r53_polivalente_annuale.txt",
         {{"cod_tipo_doc_f", "386"}},
         {{"cod_tipo_doc_f", "387"}, {"data_doc", "11/04/2013"}, {"data_ricevimento", "10/04/2013"},
          {"anno", "2012"}, {"descrizione", ""}},
         {{{{"cod_fiscale", "10243658795"}, {"ditta", "OFFICINA MECCANICA COLOMBO S.R.L."}},
           "progressivo 000001", "Anno di riferimento: 2012"}},
         {{{{"Cod_Tipo_doc_F", "385"}, {"Cod_Fiscale", "10243658795"}}, {0}}}},
        {"r52_comunicazioni_art21.txt",
         {{"cod_tipo_doc_f", "350"}, {"num_trasmissioni", "3"}},
         {{"cod_tipo_doc_f", "351"}, {"data_doc", "21/04/2012"}, {"data_ricevimento", "20/04/2012"},
          {"anno", "2011"}, {"descrizione", "COMUNICAZIONE OPERAZIONI RILEVANTI AI FINI IVA"},
          {"file", "SPESOM_2011_0001.rel"}},
         {{{{"cod_fiscale", "09876543217"}, {"progressivo_invio", "000001"}, {"esito", "ACQUISITO"}},
           "progressivo 000001", "Codice fiscale : 09876543217"},
          {{{"cod_fiscale", "03124578968"}, {"progressivo_invio", "000002"}, {"esito", "ACQUISITO"}},
           "progressivo 000002", "Codice fiscale : 03124578968"},
          // Its row is on the list's second page.
          {{{"cod_fiscale", "04567891231"}, {"ditta", "IMMOBILIARE LAGO MAGGIORE S.R.L."},
            {"progressivo_invio", "000003"}, {"esito", "SCARTATO"}},
           "progressivo 000003", "Codice fiscale : 04567891231"}},
         {{{{"Cod_Tipo_doc_F", "77"}, {"Cod_Fiscale", "03124578968"}}, {1}}}},
        {"r54_beni_concessi_godimento.txt",
         {{"cod_tipo_doc_f", "388"}},
         {{"cod_tipo_doc_f", "389"}, {"data_doc", "31/10/2013"}, {"anno", "2012"}},
         {{{{"cod_fiscale", "05678912345"}, {"ditta", "EDILIZIA CONTI S.A.S. DI CONTI LUIGI & C."}},
           "progressivo 000001", "Codice fiscale : 05678912345"}},
         {{{{"Cod_Tipo_doc_F", "310"}, {"Cod_Fiscale", "05678912345"}}, {0}}}},
    };
    // clang-format on
    Check(cases);
}

// Leases: payment requests of registered contracts, later payments (one rejected), and
// the outcomes of both, whose earlier receipts are not archived.
TEST_P(CommunicationArchivingTest, LeaseContractsAndTheirPayments) {
    // clang-format off
    const std::vector<Case> cases = {
        {"r26_contratti_locazione.txt",
         {{"cod_tipo_doc_f", "172"}, {"protocollo_attribuito", "10030311203456789"},
          {"num_trasmissioni", "2"}},
         {{"cod_tipo_doc_f", "173"}, {"data_doc", "03/03/2010"}, {"anno", "2010"},
          {"protocollo_attribuito", "10030311203456789"}, {"file", "LOC_20100303_01.rel"},
          {"progressivo_pag", ""}},
         {{{{"protocollo_pag", "000001"}, {"cod_fiscale", "04567891231"},
            {"trasmesso_cod", "04567891231"}, {"ditta", "IMMOBILIARE LAGO MAGGIORE S.R.L."},
            {"abi", "03069"}, {"cab", "01600"}},
           "singolo n. 1", "Imposta di registro: 512,00"},
          // The landlord of the second contract is the second row of the lease list.
          {{{"protocollo_pag", "000002"}, {"cod_fiscale", "VRDNNA75C45L219T"},
            {"ditta", "VERDI ANNA"}, {"abi", "02008"}, {"cab", "09400"}},
           "singolo n. 2", "Imposta di registro: 210,00"}}},
        {"r28_locazioni_tipo_documento.txt",
         {{"cod_tipo_doc_f", "178"}, {"num_accolte", "1"}, {"num_scartate", "1"}},
         {{"cod_tipo_doc_f", "179"}, {"data_doc", "11/03/2011"}, {"anno", "2011"},
          {"protocollo_attribuito", "11031109154567890"}, {"protocollo_pag", "11031109154567890"},
          {"protocollo_utente", "11031109154567890"}, {"file", "LOCSUCC_0311.rel"},
          {"descrizione", "Locazioni - Pagamenti successivi"}},
         {{{{"cod_fiscale", "04567891231"}, {"ditta", "IMMOBILIARE LAGO MAGGIORE S.R.L."},
            {"progressivo_pag", "000001"}, {"progressivo_invio", "000001"}, {"esito", "acquisito"}},
           "progressivo 000001", "RICEVUTA DELLA RICHIESTA DI PAGAMENTO"},
          {{{"cod_fiscale", "VRDNNA75C45L219T"}, {"ditta", "VERDI ANNA"},
            {"progressivo_pag", "000002"}, {"progressivo_invio", "000002"}, {"esito", "scartato"}},
           "progressivo 000002", "DIAGNOSTICI RELATIVI AD UNA RICHIESTA DI PAGAMENTO SCARTATA"}}},
        {"r27_locazione_registrata_esito.txt",
         {{"cod_tipo_doc_f", "180"}, {"num_trasmissioni", "1"}},
         {{"cod_tipo_doc_f", "181"}, {"data_doc", "05/03/2010"}, {"anno", "2010"},
          {"protocollo_attribuito", "10030311203456789"}, {"file", "LOC_20100303_01.rel"},
          {"trasmesso_cod", ""}, {"cc", "000087654321"}, {"esito", ""}},
         {{{{"protocollo_pag", "10030311203456789/000001"}, {"cod_fiscale", "04567891231"},
            {"ditta", "IMMOBILIARE LAGO MAGGIORE S.R.L."}, {"abi", "03069"}, {"cab", "01600"}},
           "singolo n. 1", "Esito: ADDEBITATO"}},
         {},
         {"Tipo doc. 130 - Protocollo 10030311203456789: non trovato"}},
        {"r29_imposte_successive_esito.txt",
         {{"cod_tipo_doc_f", "182"}, {"num_trasmissioni", "2"}},
         {{"cod_tipo_doc_f", "183"}, {"data_doc", "14/03/2011"}, {"anno", "2011"},
          {"protocollo_attribuito", "11031109154567890"}, {"cc", "000087654321"}},
         {{{{"protocollo_pag", "11031109154567890/000001"}, {"cod_fiscale", "04567891231"},
            {"abi", "03069"}, {"cab", "01600"}},
           "singolo n. 1", "Importo addebitato: 67,00"},
          {{{"protocollo_pag", "11031109154567890/000002"}, {"cod_fiscale", "VRDNNA75C45L219T"},
            {"ditta", "VERDI ANNA"}, {"abi", "02008"}, {"cab", "09400"}},
           "singolo n. 2", "Importo addebitato: 104,50"}},
         {},
         {"Tipo doc. 130 - Protocollo 11031109154567890: non trovato"}},
    };
    // clang-format on
    Check(cases);
}

// Notices of the declaration check: no summary record, every page its own notice,
// judged regular or with errors by itself.
TEST_P(CommunicationArchivingTest, NoticesOfRegularityAreJudgedPageByPage) {
    // clang-format off
    const std::vector<Case> cases = {
        {"r49_controllo_errori.txt", {},
         {{"cod_tipo_doc_f", "80"}, {"data_doc", ""}, {"data_ricevimento", "04/11/2010"},
          {"anno", "2010"}, {"periodo", "2010"}, {"ditta", "STUDIO ASSOCIATO BIANCHI & VERDI"}},
         {{{{"esito", "NON REGOLARE"}, {"descrizione", "770S/2010 semplificato"},
            {"protocollo_attribuito", "10102918021234567"}, {"progressivo_invio", "000002"},
            {"cod_fiscale", "08912345678"}},
           "progressivo 000002", "presenta gli errori"},
          {{{"esito", "REGOLARE"}, {"descrizione", "UNICO SC/2010"},
            {"protocollo_attribuito", "10093018051234569"}, {"progressivo_invio", "000001"},
            {"cod_fiscale", "09876543217"}},
           "progressivo 000001", "risulta regolare"}}},
        {"r49_controllo_regolare.txt", {},
         {{"cod_tipo_doc_f", "80"}, {"data_ricevimento", "05/10/2010"}, {"anno", "2010"}},
         {{{{"esito", "REGOLARE"}, {"descrizione", "UNICO PF/2010"}, {"periodo", "2010"},
            {"protocollo_attribuito", "10093016411234567"}, {"progressivo_invio", "000001"},
            {"cod_fiscale", "RSSMRA80A01H501U"}, {"ditta", "STUDIO ASSOCIATO BIANCHI & VERDI"}},
           "progressivo 000001", "Contribuente: ROSSI MARIO"}}},
    };
    // clang-format on
    Check(cases);
}

// How the pages of a file become documents, and what is said when one cannot be stored.
class CommunicationPagesTest : public CommunicationArchivingTest {
protected:
    // A template's pages, changed, printed into a real PDF and archived.
    bool ArchivePages(const FakeReader::Pages& pages) {
        const std::string pdf = MakePdf(m_dir, kFile, pages);
        m_log.clear();
        m_engine->File(pdf);
        m_engine->FileNameOrig(kFile);
        return m_engine->Process();
    }
    // The messages of the routine's priority-1 lines, temporary file names left out.
    std::vector<std::string> StoreMessages() const {
        std::vector<std::string> messages;
        for (const auto& line : LinesOf(kStore)) {
            if (line.priority == 1) {
                messages.push_back(line.msg);
            }
        }
        return messages;
    }
    std::vector<std::string> ProgressiveNumbers() {
        std::vector<std::string> numbers;
        for (const auto& record : Records(kStdSingle)) {
            numbers.push_back(record.at("progressivo_invio"));
        }
        return numbers;
    }
};

TEST_P(CommunicationPagesTest, DocumentsStartWhereTheirTypeSaysAndEndAtTheList) {
    // 730-4 results after a page of notes: the run starts at the first acknowledgement.
    auto cso = TemplatePages("r12_comunicazione_cso.txt");
    cso.insert(cso.begin() + 1, {"AVVERTENZE", "Le ricevute seguono nelle pagine successive."});
    ASSERT_TRUE(ArchivePages(cso));
    EXPECT_EQ(ProgressiveNumbers(), (std::vector<std::string>{"000001", "000002"}));

    // A summary announcing more documents than there are: the list is none of them.
    ASSERT_TRUE(ArchivePages(Replaced(TemplatePages("r04_inizio_attivita_soggetti_diversi.txt"),
                                      " - 2 sono state accolte", " - 3 sono state accolte")));
    const auto singles = Records(kStdSingle);
    ASSERT_EQ(singles.size(), 4u);
    EXPECT_EQ(singles[2].at("cod_fiscale"), "09876543217");
    EXPECT_EQ(singles[3].at("cod_fiscale"), "10243658795");
    EXPECT_TRUE(StoreMessages().empty());
}

TEST_P(CommunicationPagesTest, AnAcknowledgementWithoutProgressiveNumberIsNotStored) {
    // Its only document fails; the summary record holds the whole file all the same.
    EXPECT_TRUE(ArchivePages(Replaced(TemplatePages("r36_bonus_famiglie.txt"),
                                      "09022710051234567 - 000001 la comunicazione",
                                      "09022710051234567 la comunicazione")));
    EXPECT_EQ(LinesOf("WriteFieldsRichiestaSing()"),
              (std::vector<LogLine>{{1, "Estrazione dati", "WriteFieldsRichiestaSing()",
                                     "13: Protocollo non riconosciuto: '09022710051234567'"}}));
    EXPECT_EQ(StoreMessages(), (std::vector<std::string>{"Memorizzazione dati non riuscita"}));
    EXPECT_EQ(LinesOf("m_cJob_OnJob()").back().msg, "Archiviazione completata");
    EXPECT_TRUE(m_engine->ArchivedWithErrors());
    EXPECT_EQ(RecordCount(kStdSummary), 1);
    EXPECT_EQ(RecordCount(kStdSingle), 0);
    EXPECT_TRUE(Links().empty());
}

TEST_P(CommunicationPagesTest, StopAfterTheDocumentBeingStored) {
    m_engine->ConnectTelLogEvent(
        [this](long, const std::string&, const std::string& sFunc, const std::string& sMsg) {
            if (sFunc == kStore && sMsg == "Archiviazione progressivo 000001 riuscita") {
                m_engine->StopProcess();
            }
        });
    EXPECT_FALSE(Archive("r12_comunicazione_cso.txt", kFile));
    EXPECT_EQ(CountLines(kStore, "Archiviazione progressivo 000002 riuscita"), 0);
    EXPECT_EQ(LinesOf("m_cJob_OnJob()").back().msg, "Archiviazione interrotta dall'utente");
    EXPECT_EQ(RecordCount(kStdSingle), 0) << "a stopped file is rolled back whole";
}

TEST_P(CommunicationPagesTest, AFailedLinkToTheSummarySaysWhy) {
    // The link table refuses every row.
    if (GetParam() == BackendKind::Sqlite) {
        ASSERT_TRUE(Run("create trigger nessun_collegamento before insert on DB_COLLEGAMENTI "
                        "begin select raise(abort, 'collegamenti bloccati'); end"));
    } else {
        ASSERT_TRUE(Run("create function nessun_collegamento() returns trigger language plpgsql "
                        "as $$ begin raise exception 'collegamenti bloccati'; end $$"));
        ASSERT_TRUE(Run("create trigger nessun_collegamento before insert on DB_COLLEGAMENTI "
                        "for each row execute function nessun_collegamento()"));
    }
    EXPECT_TRUE(Archive("r36_bonus_famiglie.txt", kFile));
    EXPECT_TRUE(m_engine->ArchivedWithErrors());
    const auto messages = StoreMessages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_THAT(
        messages[0],
        ::testing::StartsWith(
            "Creazione collegamenti al riepilogo per il progressivo 000001 non riuscita ("));
    EXPECT_THAT(messages[0], HasSubstr("collegamenti bloccati"));
    EXPECT_EQ(messages[1], "Creazione collegamenti progressivo 000001 non riuscita");
    EXPECT_EQ(RecordCount(kStdSingle), 0) << "a document that failed leaves nothing";
    EXPECT_EQ(RecordCount(kStdSummary), 1);
}

INSTANTIATE_TEST_SUITE_P(Backends, CommunicationPagesTest,
                         ::testing::Values(BackendKind::Sqlite, BackendKind::Postgres),
                         BackendName);

INSTANTIATE_TEST_SUITE_P(Backends, CommunicationArchivingTest,
                         ::testing::Values(BackendKind::Sqlite, BackendKind::Postgres),
                         BackendName);

} // namespace
} // namespace quorvin::test
