// quorvin-cli archivio, run as a user would run it, on both back ends.
#include "archive/ArchiveTestSupport.h"

#include "archive/DorvaneEnv.h"
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

    WriteAll(m_dir.File("mario.pw"), "segreta\n");
    ASSERT_EQ(Run("utente aggiungi mario --password-file '" + m_dir.File("mario.pw") + "'").status,
              0);
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

    ConnectOptions existing;
    existing.createSchema = false;
    DorvaneEnv mario;
    ASSERT_TRUE(mario.Connect(m_locator, existing)) << mario.LastError();
    ASSERT_TRUE(mario.Login("mario", "segreta")) << mario.LastError();
    EXPECT_TRUE(mario.CurrentUser().HasPermission(kRightInsertDocuments, "PROVA"));
    EXPECT_FALSE(mario.CurrentUser().HasPermission(kRightInsertDocuments, "QUORVINSINGOLE00"));
    // The creator: the system account here, the role that created it on a server.
    DorvaneEnv creator;
    ASSERT_TRUE(creator.Connect(m_locator, existing)) << creator.LastError();
    ASSERT_TRUE(creator.Login()) << creator.LastError();
    EXPECT_TRUE(creator.CurrentUser().IsAdministrator());
    EXPECT_TRUE(creator.CurrentUser().HasPermission(kRightInsertDocuments, "QUORVINSINGOLE00"));

    const std::string first = m_dir.File("primo.json");
    result = Run("esporta --json --output '" + first + "'");
    ASSERT_EQ(result.status, 0) << result.output;
    const auto json = nlohmann::json::parse(ReadAll(first));
    EXPECT_EQ(json["archives"].size(), 4U);
    EXPECT_EQ(json["users"].size(), 2U) << "users and rights travel too";
    // No init first, on either back end.
    const std::string other = NewLocator();
    result = Run("importa --json '" + first + "'", other);
    ASSERT_EQ(result.status, 0) << result.output;
    result = Run("esporta --json", other);
    ASSERT_EQ(result.status, 0);
    EXPECT_EQ(nlohmann::json::parse(result.output), json);
}

// The embedded archive: private files, administration behind sign-in, and other
// programs' files left exactly as they were.
TEST(CliEmbeddedTest, PrivateFilesAdministratorsOnlyForeignFilesUntouched) {
    TempDir dir;
    const std::string archive = dir.File("studio/archivio.sqlite");
    const auto run = [&](const std::string& env, const std::string& args) {
        const std::string out = dir.File("out.txt");
        const std::string command = "env -u QUORVIN_UTENTE -u QUORVIN_PASSWORD " + env + " '" +
                                    QUORVIN_CLI_PATH + "' " + args + " > '" + out +
                                    "' 2>&1 < /dev/null";
        const int status = std::system(command.c_str());
        return CliResult{WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadAll(out)};
    };
    const std::string at = " --archivio '" + archive + "'";
    ASSERT_EQ(run("", "archivio init --esempio --documenti '" + dir.File("doc") + "'" + at).status,
              0);
    const auto mode = [](const std::string& path) {
        return fs::status(path).permissions() & fs::perms::all;
    };
    EXPECT_EQ(mode(archive), fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(mode(dir.File("studio")), fs::perms::owner_all);
    EXPECT_EQ(mode(dir.File("doc/QUORVINSINGOLE00")), fs::perms::owner_all);
    EXPECT_EQ(mode(dir.File("doc")), fs::perms::owner_all) << "made on the way: private too";

    WriteAll(dir.File("pw"), "segreta\n");
    const std::string file = " --password-file '" + dir.File("pw") + "'";
    ASSERT_EQ(run("", "archivio utente aggiungi mario" + file + at).status, 0);
    const struct {
        const char* env;
        const char* message;
    } cases[] = {
        {"QUORVIN_UTENTE=mario QUORVIN_PASSWORD=segreta",
         "Operazione riservata agli amministratori dell'archivio."},
        {"QUORVIN_UTENTE=mario QUORVIN_PASSWORD=sbagliata", "Nome utente o password non validi."},
        {"QUORVIN_UTENTE=nessuno QUORVIN_PASSWORD=segreta", "Nome utente o password non validi."},
    };
    for (const auto& c : cases) {
        for (const std::string& command : std::vector<std::string>{
                 "archivio utente aggiungi luigi" + file, "archivio esporta --json",
                 "archivio permesso --utente mario --codice QUORVINSINGOLE00 --crea-rec"}) {
            const CliResult result = run(c.env, command + at);
            EXPECT_EQ(result.status, 1) << c.env << " " << command;
            EXPECT_NE(result.output.find(c.message), std::string::npos)
                << c.env << " " << command << ": " << result.output;
        }
    }
    // QUORVIN_PASSWORD is the signing-in user's: a new user's comes from the file only.
    ASSERT_EQ(run("QUORVIN_PASSWORD=dellAdmin", "archivio utente aggiungi luigi" + at).status, 0);
    EXPECT_NE(run("QUORVIN_UTENTE=luigi QUORVIN_PASSWORD=dellAdmin", "archivio cerca x" + at)
                  .output.find("Nome utente o password non validi."),
              std::string::npos);

    // Another program's database, a text file, a mistyped path: nothing is written.
    const std::string foreign = dir.File("altro.db");
    {
        std::string error;
        auto other = db::OpenSqlite(foreign, {}, error);
        ASSERT_TRUE(other) << error;
        ASSERT_TRUE(other->Execute("PRAGMA journal_mode=DELETE; create table clienti (nome text)"));
    }
    const std::string text = dir.File("note.txt");
    WriteAll(text, "appunti\n");
    const std::string before = ReadAll(foreign);
    for (const std::string& path : {foreign, text}) {
        for (const std::string& command : std::vector<std::string>{
                 "archivio esporta --json", "archivio cerca x",
                 "archivia --scarti '' --ricevute '" + dir.File("vuota") + "'"}) {
            const CliResult result = run("", command + " --archivio '" + path + "'");
            EXPECT_NE(result.status, 0) << command;
            EXPECT_NE(result.output.find("non è un archivio Quorvin"), std::string::npos)
                << command << ": " << result.output;
            EXPECT_EQ(result.output.find("not a database"), std::string::npos) << result.output;
            EXPECT_EQ(result.output.find("Impossibile aprire"), std::string::npos)
                << "the reason alone, the archive named once: " << result.output;
        }
    }
    EXPECT_EQ(ReadAll(foreign), before);
    EXPECT_EQ(ReadAll(text), "appunti\n");
    EXPECT_FALSE(fs::exists(foreign + "-wal"));
    for (const std::string& command :
         std::vector<std::string>{std::string("archivio esporta --json"),
                                  "archivia --scarti '' --ricevute '" + dir.File("vuota") + "'"}) {
        const CliResult folder = run("", command + " --archivio '" + dir.File("studio") + "'");
        EXPECT_NE(folder.status, 0);
        EXPECT_NE(folder.output.find("è una cartella, non un archivio"), std::string::npos)
            << folder.output;
    }
    const std::string typo = dir.File("archvio.sqlite");
    EXPECT_EQ(run("", "archivio esporta --json --archivio '" + typo + "'").status, 1);
    EXPECT_EQ(run("", "archivio utente aggiungi x --archivio '" + typo + "'").status, 1);
    EXPECT_FALSE(fs::exists(typo));
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
