// Single writers of communications and leases on pages the templates do not show: a
// continuation page among the notices, a lease list whose rows do not match, outcomes
// and invoices with a list of documents behind them.
#include "archiving/WritersTestSupport.h"

#include <functional>

namespace quorvin::test {
namespace {

// A list page of the documents of the file, with these rows.
std::vector<std::string> ListPage(const std::vector<std::string>& rows) {
    std::vector<std::string> page = {"ELENCO DEI DOCUMENTI ACQUISITI E/O SCARTATI",
                                     "TIPO DI DOCUMENTO : DOCUMENTI DI PROVA",
                                     "Esito Protocollo Codice fiscale Denominazione", "documenti"};
    page.insert(page.end(), rows.begin(), rows.end());
    return page;
}

class CommunicationWritersTest : public WritersTest {};

struct Expectation {
    const char* what;
    std::function<FakeReader::Pages()> pages;
    std::function<bool(bvTel&)> write; // the writer on its page, after the file's state
    std::vector<std::pair<std::string, std::string>> fields;
};

TEST_F(CommunicationWritersTest, WritersOnPagesOfTheirOwn) {
    // clang-format off
    const std::vector<Expectation> cases = {
        // A page that is neither regular nor with errors follows the page before it and
        // keeps its date.
        {"errors continued",
         [] {
             auto pages = TemplatePages("r49_controllo_errori.txt");
             pages.insert(pages.begin() + 1, {"ERRORI RISCONTRATI", "Quadro SA rigo 3: importo non coerente"});
             return pages;
         },
         [](bvTel& tel) {
             return tel.WriteFieldsRegoOKSing(tel.PageText()[0]) &&
                    tel.WriteFieldsRegoOKSing(tel.PageText()[1]);
         },
         {{"Esito", "NON REGOLARE"}, {"Data_Ricevimento", "04/11/2010"}, {"Anno", "2010"},
          {"Cod_Fiscale", ""}, {"Protocollo_attribuito", ""}, {"Cod_Tipo_doc_F", "80"}}},
        // A contract whose user protocol is on no row of the lease list: the first row.
        {"lease list without the contract",
         [] {
             return Replaced(TemplatePages("r26_contratti_locazione.txt"), "000002    VRDNNA",
                             "000009    VRDNNA");
         },
         [](bvTel& tel) {
             tel.Info().ReceiptDate = "03/03/2010";
             return tel.WriteFieldsLocazioneRicSing(tel.PageText()[2]);
         },
         {{"Protocollo_Pag", "000002"}, {"Cod_Fiscale", "04567891231"},
          {"Trasmesso_Cod", "VRDNNA75C45L219T"}, {"Abi", "02008"}, {"Cod_Tipo_doc_F", "173"}}},
        // An outcome is looked up in the list by the number after its protocol's "/".
        {"lease outcome with a list",
         [] {
             auto pages = TemplatePages("r29_imposte_successive_esito.txt");
             pages.push_back(ListPage({"ACQUISITO 000001 04567891231 IMMOBILIARE LAGO MAGGIORE S.R.L.",
                                         "SCARTATO 000002 VRDNNA75C45L219T VERDI ANNA"}));
             return pages;
         },
         [](bvTel& tel) {
             tel.Info().ReceiptDate = "14/03/2011";
             return tel.WriteFieldsLocSuccEsitoSing(tel.PageText()[2]);
         },
         {{"Esito", "SCARTATO"}, {"Progressivo_Pag", "000002"}, {"Progressivo_Invio", "000002"},
          {"Protocollo_Pag", "11031109154567890/000002"}, {"Descrizione", "DOCUMENTI DI PROVA"},
          {"Cod_Tipo_doc_F", "183"}}},
        // The invoice's own outcome stands; the list only fills what the page lacks.
        {"invoice with a list",
         [] {
             auto pages = Replaced(TemplatePages("r22_fattura_compensi_f24.txt"),
                                   "Intestatario: STUDIO ASSOCIATO BIANCHI & VERDI", "");
             pages.push_back(ListPage({"SCARTATO 000001 01234567897 STUDIO ASSOCIATO BIANCHI & VERDI"}));
             return pages;
         },
         [](bvTel& tel) {
             tel.Info().ReceiptDate = "18/01/2010";
             return tel.WriteFieldsCompensiSing(tel.PageText()[1]);
         },
         {{"Esito", "acquisito"}, {"Progressivo_pag", "000001"},
          {"Descrizione", "DOCUMENTI DI PROVA"}, {"Cod_Tipo_doc_F", "159"}}},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Load(c.pages(), kStdSingle);
        ASSERT_TRUE(c.write(m_tel));
        EXPECT_TRUE(m_log.empty());
        for (const auto& [field, value] : c.fields) {
            EXPECT_EQ(Field(field), value) << field;
        }
    }
    EXPECT_EQ(m_tel.Info().Company, "STUDIO ASSOCIATO BIANCHI & VERDI") << "from the list";
}

} // namespace
} // namespace quorvin::test
