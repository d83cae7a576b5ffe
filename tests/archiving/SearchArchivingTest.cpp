// Finding what the engine archived: an F24 transmission's payments by the taxpayer's tax
// code, a payment with its summary and its original, and its own one-page PDF, through
// the library and through quorvin-cli, on both back ends.
#include "archiving/F24Test.h"

#include "archive/ArchiveSearch.h"

#include <gmock/gmock.h>

#include <sys/wait.h>

namespace quorvin::test {
namespace {

using ::testing::HasSubstr;

class SearchArchivingTest : public F24Test {
protected:
    search::Finder Finder() { return search::Finder(m_env.Connection(), m_env.CurrentUser().Id()); }

    // quorvin-cli archivio ARGS on this archive, signed in as the administrator.
    std::pair<int, std::string> Cli(const std::string& args) {
        const std::string out = m_dir.File("cli.txt");
        // The embedded archive signs the system account in; a server wants a name.
        const std::string user =
            GetParam() == BackendKind::Sqlite ? "" : "QUORVIN_UTENTE='" + m_admin + "' ";
        const std::string command = user + "QUORVIN_PASSWORD=segreta '" + QUORVIN_CLI_PATH +
                                    "' archivio " + args + " --archivio '" + m_locator + "' > '" +
                                    out + "' 2>&1 < /dev/null";
        const int status = std::system(command.c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadAll(out)};
    }
};

TEST_P(SearchArchivingTest, TaxCodeFindsThePaymentsWhichShowSummaryOriginalAndTheirPage) {
    const long original = AddRecord(kStdOriginals, {{"Cod_Tipo_doc_F", "111"},
                                                    {"Cod_Fiscale", "RSSMRA80A01H501U"},
                                                    {"Ditta", "ROSSI MARIO"},
                                                    {"Data_vers", "16/06/2010"},
                                                    {"Importo", "1250,00"},
                                                    {"Anno", "2010"}});
    ASSERT_TRUE(Archive("r01_f24_trasmissione.txt", "f24.pdf"));

    search::Query query;
    query.text = "RSSMRA80A01H501U";
    search::Page page;
    std::string error;
    ASSERT_TRUE(Finder().Search(query, page, error)) << error;
    ASSERT_EQ(page.rows.size(), 2u);
    const search::Found& payment = page.rows[0]; // dated, so before the undated original
    EXPECT_EQ(payment.archive, kStdSingle);
    EXPECT_EQ(payment.date, "16/06/2010");
    EXPECT_EQ(payment.docTypeName, "Ricevuta F24 singola");
    EXPECT_EQ(payment.name, "ROSSI MARIO");
    EXPECT_EQ(payment.protocol, "10061610424512345");
    EXPECT_EQ(payment.outcome, "ACQUISITO");
    EXPECT_EQ(page.rows[1].archive, kStdOriginals);

    search::Detail detail;
    ASSERT_TRUE(Finder().Read(kStdSingle, payment.record, detail, error)) << error;
    ASSERT_EQ(detail.parents.size(), 1u);
    EXPECT_EQ(detail.parents[0].archive, kStdSummary);
    ASSERT_EQ(detail.children.size(), 1u);
    EXPECT_EQ(detail.children[0].archive, kStdOriginals);
    EXPECT_EQ(detail.children[0].record, original);
    EXPECT_EQ(detail.storedFile, "f24.pdf");

    const auto [status, table] = Cli("cerca RSSMRA80A01H501U");
    EXPECT_EQ(status, 0) << table;
    EXPECT_THAT(table, HasSubstr("Ricevuta F24 singola"));
    EXPECT_THAT(table, HasSubstr("Record trovati: 2 (mostrati 2)."));
    const auto [jsonStatus, json] = Cli("cerca rssmra80a01h501u --tipo 131 --json");
    EXPECT_EQ(jsonStatus, 0) << json;
    EXPECT_THAT(json, HasSubstr("\"record\":" + std::to_string(payment.record) + ","));
    EXPECT_EQ(std::count(json.begin(), json.end(), '\n'), 1);

    const std::string record =
        " --codice " + std::string(kStdSingle) + " --record " + std::to_string(payment.record);
    const auto [showStatus, shown] = Cli("mostra" + record);
    EXPECT_EQ(showStatus, 0) << shown;
    EXPECT_THAT(shown, HasSubstr("  Cod_Fiscale: RSSMRA80A01H501U\n"));
    EXPECT_THAT(shown, HasSubstr("Documenti collegati superiori:\n  Ricevute telematiche - "
                                 "riepiloghi (QUORVINRIEPILOGO) record"));
    EXPECT_THAT(shown, HasSubstr("Documenti collegati inferiori:\n  Documenti trasmessi "
                                 "(QUORVINTRASMESSI) record " +
                                 std::to_string(original)));

    const std::string pdf = m_dir.File("pagamento.pdf");
    const auto [pdfStatus, said] = Cli("pdf" + record + " --output '" + pdf + "'");
    EXPECT_EQ(pdfStatus, 0) << said;
    std::string bytes;
    ASSERT_TRUE(Finder().Pdf(kStdSingle, payment.record, bytes, error)) << error;
    EXPECT_EQ(ReadAll(pdf), bytes);
    const auto [pages, text] = ReadPdf(pdf);
    EXPECT_EQ(pages, 1);
    EXPECT_THAT(text, HasSubstr("Codice fiscale : RSSMRA80A01H501U - ROSSI MARIO"));

    struct Refused {
        const char* args;
        const char* message;
    };
    const Refused refused[] = {
        {"mostra --codice QUORVINSINGOLE00", "Uso: quorvin-cli archivio mostra"},
        {"pdf --codice QUORVINSINGOLE00 --record 1", "Uso: quorvin-cli archivio pdf"},
        {"mostra --codice NESSUNO --record 1", "inesistente o non consultabile"},
        {"cerca --dal 31/02/2010", "Data non valida per --dal"},
        {"cerca --tipo F24", "Valore non valido per --tipo"},
    };
    for (const auto& r : refused) {
        const auto [code, output] = Cli(r.args);
        EXPECT_EQ(code, 1) << r.args;
        EXPECT_THAT(output, HasSubstr(r.message)) << r.args;
    }
}

INSTANTIATE_TEST_SUITE_P(Backends, SearchArchivingTest,
                         ::testing::Values(BackendKind::Sqlite, BackendKind::Postgres),
                         BackendName);

} // namespace
} // namespace quorvin::test
