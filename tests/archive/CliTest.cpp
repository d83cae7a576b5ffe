// quorvin-cli archivio, run as a user would run it, on both back ends.
#include "archive/ArchiveTestSupport.h"

#include "archive/DorvaneUser.h"

#include <nlohmann/json.hpp>

#include <sys/wait.h>

#include <filesystem>

namespace fs = std::filesystem;

namespace quorvin::test {
namespace {

struct CliResult {
    int status = -1;
    std::string output;
};

class CliTest : public ::testing::TestWithParam<BackendKind> {
protected:
    void SetUp() override {
        m_locator = NewLocator();
        if (m_locator.empty()) {
            std::string why;
            PostgresServer(why);
            GTEST_SKIP() << why;
        }
    }

    std::string NewLocator() {
        if (GetParam() == BackendKind::Sqlite) {
            return m_dir.File("cli" + std::to_string(m_count++) + ".sqlite");
        }
        return FreshPostgresDatabase();
    }

    // The embedded archive is reached through QUORVIN_ARCHIVIO, the server by --archivio.
    CliResult Run(const std::string& args, const std::string& locator = "",
                  const std::string& env = "") {
        const std::string target = locator.empty() ? m_locator : locator;
        const std::string where = GetParam() == BackendKind::Sqlite
                                      ? "QUORVIN_ARCHIVIO='" + target + "' "
                                      : std::string();
        const std::string option =
            GetParam() == BackendKind::Sqlite ? std::string() : " --archivio '" + target + "'";
        const std::string out = m_dir.File("out.txt");
        const std::string command = "QUORVIN_PASSWORD=segreta " + env + " " + where + "'" +
                                    QUORVIN_CLI_PATH + "' archivio " + args + option + " > '" +
                                    out + "' 2>&1 < /dev/null";
        const int status = std::system(command.c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadAll(out)};
    }

    TempDir m_dir;
    std::string m_locator;
    int m_count = 0;
};

TEST_P(CliTest, AdministersAnArchiveFromInitToExportAndImport) {
    auto result = Run("init --esempio --documenti '" + m_dir.File("doc") + "'");
    ASSERT_EQ(result.status, 0) << result.output;
    EXPECT_NE(result.output.find("Catalogo standard aggiunto"), std::string::npos);
    result = Run("init");
    EXPECT_EQ(result.status, 0) << result.output;
    EXPECT_NE(result.output.find("già inizializzato"), std::string::npos) << result.output;

    ASSERT_EQ(Run("utente aggiungi mario").status, 0);
    result = Run("archivio aggiungi --codice PROVA --nome 'Prova cli' --tipo 9 --anno 2010 "
                 "--campo Ditta --campo Data_doc:date --campo Importo:decimal:0 --tipo-doc 999 "
                 "--modello '{Ditta}'");
    ASSERT_EQ(result.status, 0) << result.output;
    result = Run("permesso --utente mario --codice PROVA --crea-rec --inserimento");
    ASSERT_EQ(result.status, 0) << result.output;
    result = Run("permesso --utente nessuno --codice PROVA --crea-rec");
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.output.find("non è registrato"), std::string::npos) << result.output;
    EXPECT_EQ(Run("archivio aggiungi --codice '../x' --nome x --tipo 1").status, 1);
    EXPECT_EQ(Run("sconosciuto").status, 2);

    std::string error;
    auto connection = DorvaneConnection::Open(m_locator, {}, error);
    ASSERT_TRUE(connection) << error;
    DorvaneUser mario(connection);
    ASSERT_TRUE(mario.SignIn("mario", "segreta"));
    EXPECT_TRUE(mario.HasPermission(kRightInsertDocuments, "PROVA"));
    EXPECT_FALSE(mario.HasPermission(kRightInsertDocuments, "QUORVINSINGOLE00"));
    DorvaneUser creator(connection);
    ASSERT_TRUE(creator.SignIn(DorvaneUser::SystemAccount(), "segreta"));
    EXPECT_TRUE(creator.HasPermission(kRightInsertDocuments, "QUORVINSINGOLE00"));
    connection.reset();

    const std::string first = m_dir.File("primo.json");
    result = Run("esporta --json --output '" + first + "'");
    ASSERT_EQ(result.status, 0) << result.output;
    const auto json = nlohmann::json::parse(ReadAll(first));
    EXPECT_EQ(json["archives"].size(), 4U);
    // A server archive is initialised before it takes an import; a file is created by it.
    const std::string other = NewLocator();
    if (GetParam() == BackendKind::Postgres) {
        ASSERT_EQ(Run("init", other).status, 0);
    }
    result = Run("importa --json '" + first + "'", other);
    ASSERT_EQ(result.status, 0) << result.output;
    result = Run("esporta --json", other);
    ASSERT_EQ(result.status, 0);
    EXPECT_EQ(nlohmann::json::parse(result.output), json);
}

TEST(CliDefaultTest, WithoutAnArchiveTheEmbeddedDefaultIsCreatedInTheDataFolder) {
    TempDir dir;
    const std::string data = dir.File("xdg");
    const std::string command = "env -u QUORVIN_ARCHIVIO XDG_DATA_HOME='" + data + "' '" +
                                QUORVIN_CLI_PATH + "' archivio esporta --json > /dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_TRUE(fs::exists(data + "/Belvast/Quorvin/archivio.sqlite"));
}

INSTANTIATE_TEST_SUITE_P(Backends, CliTest,
                         ::testing::Values(BackendKind::Sqlite, BackendKind::Postgres),
                         BackendName);

} // namespace
} // namespace quorvin::test
