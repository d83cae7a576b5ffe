// One archive for a whole office on the throw-away server: an administrator's role and a
// clerk's, each signing in with its own SCRAM password, through quorvin-cli and through
// plain SQL.
#include "archive/ArchiveTestSupport.h"

#include "archive/Connection.h"

#include <sys/wait.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>

namespace fs = std::filesystem;

namespace quorvin::test {
namespace {

const char* const kSummary = "QUORVINRIEPILOGO";
const char* const kSingles = "QUORVINSINGOLE00";
const char* const kOriginals = "QUORVINTRASMESSI";
const char* const kRefused =
    "Operazione rifiutata dal server dell'archivio: l'utente non ha il permesso necessario.";

struct Outcome {
    int status = -1;
    std::string output;
};

class OfficeServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string why;
        const std::string server = PostgresServer(why);
        if (server.empty()) {
            GTEST_SKIP() << why;
        }
        // Roles belong to the whole server: each test names its own.
        static std::atomic<int> counter{0};
        const std::string suffix = std::to_string(getpid()) + "_" + std::to_string(counter++);
        m_owner = "titolare_" + suffix;
        m_clerk = "impiegato_" + suffix;
        m_database = "studio_" + suffix;
        std::string error;
        auto super = db::OpenPostgres(server + "/postgres", error);
        ASSERT_TRUE(super) << error;
        ASSERT_TRUE(
            super->Execute("create role " + m_owner + " login createrole password 'titolare-pw'"))
            << super->LastError();
        ASSERT_TRUE(super->Execute("create database " + m_database + " owner " + m_owner))
            << super->LastError();
        m_url = server.substr(0, server.find("quorvin@")) + server.substr(server.find('@') + 1) +
                "/" + m_database;
        WriteAll(m_dir.File("clerk.pw"), "impiegato-pw\n");
    }

    Outcome Cli(const std::string& user, const std::string& password, const std::string& args,
                const std::string& output = "out.txt") const {
        const std::string out = m_dir.File(output);
        const std::string command =
            "XDG_CONFIG_HOME='" + m_dir.File("config") + "' XDG_DATA_HOME='" + m_dir.File("data") +
            "' TMPDIR=/tmp QUORVIN_ARCHIVIO= QUORVIN_UTENTE='" + user + "' QUORVIN_PASSWORD='" +
            password + "' '" + QUORVIN_CLI_PATH + "' " + args + " > '" + out + "' 2>&1 < /dev/null";
        const int status = std::system(command.c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadAll(out)};
    }
    Outcome Owner(const std::string& args) const {
        return Cli(m_owner, "titolare-pw", "archivio " + args + " --archivio " + m_url);
    }
    Outcome Clerk(const std::string& args) const {
        return Cli(m_clerk, "impiegato-pw", "archivio " + args + " --archivio " + m_url);
    }

    // A session as a role, as psql would open it.
    std::unique_ptr<db::Connection> Session(const std::string& user,
                                            const std::string& password) const {
        std::string error;
        auto session = db::OpenPostgres(m_url, error, {user, password});
        EXPECT_TRUE(session) << error;
        return session;
    }

    long Count(db::Connection& session, const std::string& sql) const {
        db::Result result;
        EXPECT_TRUE(session.Query(sql, result)) << sql << ": " << session.LastError();
        return result.rows.empty() ? -1 : std::stol(result.rows[0][0].value_or("-1"));
    }

    // The office as the owner sets it up: the archive, and a clerk who may archive
    // summaries and read the originals, but has no right on the single receipts yet.
    void SetUpOffice() {
        ASSERT_EQ(Owner("init --esempio").status, 0) << Owner("init").output;
        auto added = Owner("utente aggiungi " + m_clerk + " --password-file '" +
                           m_dir.File("clerk.pw") + "'");
        ASSERT_EQ(added.status, 0) << added.output;
        for (const std::string& grant : std::vector<std::string>{
                 std::string("--codice ") + kSummary + " --crea-rec --inserimento",
                 std::string("--codice ") + kOriginals}) {
            auto granted = Owner("permesso --utente " + m_clerk + " " + grant);
            ASSERT_EQ(granted.status, 0) << granted.output;
        }
    }

    std::string Folder(const std::string& name, const std::vector<std::string>& templates) {
        const std::string folder = m_dir.File(name);
        fs::create_directories(folder);
        for (const auto& name : templates) {
            TempDir scratch;
            fs::copy_file(MakeReceipt(scratch, name + ".txt"), folder + "/" + name + ".pdf");
        }
        return folder;
    }

    Outcome Archivia(const std::string& user, const std::string& password,
                     const std::string& folder, const std::string& output) const {
        return Cli(user, password,
                   "archivia --ricevute '" + folder + "' --scarti '' --no-backup --archivio " +
                       m_url,
                   output);
    }

    static size_t PdfsIn(const std::string& folder) {
        size_t count = 0;
        for (const auto& entry : fs::directory_iterator(folder)) {
            count += entry.path().extension() == ".pdf" ? 1 : 0;
        }
        return count;
    }

    TempDir m_dir;
    std::string m_owner;
    std::string m_clerk;
    std::string m_database;
    std::string m_url; // without a user: each run names its role
};

TEST_F(OfficeServerTest, TheServerRefusesTheClerkWhatOnlyTheAdministratorMayDo) {
    SetUpOffice();
    // Through quorvin-cli: administration is the server's to refuse.
    const std::string pw = " --password-file '" + m_dir.File("clerk.pw") + "'";
    for (const std::string& command : std::vector<std::string>{
             "utente aggiungi intruso" + pw, "utente aggiungi intruso --amministratore" + pw,
             "utente password " + m_owner + pw,
             "permesso --utente " + m_clerk + " --codice " + kSingles + " --crea-rec --inserimento",
             "permesso --utente " + m_clerk + " --codice " + kSummary + " --revoca",
             std::string("archivio aggiungi --codice ABUSIVO --nome Abusivo --tipo 9"),
             std::string("esporta --json")}) {
        const Outcome outcome = Clerk(command);
        EXPECT_EQ(outcome.status, 1) << command;
        EXPECT_NE(outcome.output.find(kRefused), std::string::npos)
            << command << ": " << outcome.output;
        EXPECT_EQ(outcome.output.find("permission denied"), std::string::npos) << command;
    }
    // Directly, as psql would: the archive without a right, the rights tables, the
    // passwords, the roles.
    auto clerk = Session(m_clerk, "impiegato-pw");
    ASSERT_TRUE(clerk);
    for (const char* sql : {
             "select count(*) from arc_quorvinsingole00",
             "insert into arc_quorvinsingole00 (sys_seriale) values ('QUORVINSINGOLE00')",
             "insert into PERMESSI (DESCRIZIONE, CREA_REC, DIRITTI) values ('x', 1, 256)",
             "update UTENTI set AMMINISTRATORE=1",
             "select HASH_PASSWORD from UTENTI",
             "select rolpassword from pg_authid",
             "create role intruso login",
             "delete from arc_quorvinriepilogo",
             // a table of its own named like the archive would not open the stored files
             "create temporary table arc_quorvinsingole00 (x integer)",
         }) {
        EXPECT_FALSE(clerk->Execute(sql)) << sql;
        EXPECT_EQ(clerk->LastError(), kRefused) << sql;
    }
    // And with psql itself, where it is installed.
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator("/usr/lib/postgresql", ec)) {
        const fs::path psql = entry.path() / "bin" / "psql";
        if (!fs::exists(psql)) {
            continue;
        }
        const std::string out = m_dir.File("psql.txt");
        const int status =
            std::system(("PGPASSWORD=impiegato-pw '" + psql.string() + "' '" + "postgresql://" +
                         m_clerk + "@" + m_url.substr(m_url.find("://") + 3) +
                         "' -c 'select * from arc_quorvinsingole00' > '" + out + "' 2>&1")
                            .c_str());
        EXPECT_NE(status, 0);
        EXPECT_NE(ReadAll(out).find("permission denied"), std::string::npos) << ReadAll(out);
        break;
    }
    // A grant by someone who may not grant gives nothing.
    clerk->Execute("grant select on arc_quorvinsingole00 to " + m_clerk);
    EXPECT_EQ(Count(*clerk, "select count(*) from DB_ELENCO where has_table_privilege("
                            "'arc_quorvinsingole00', 'select')"),
              0);
    EXPECT_EQ(Count(*clerk, "select count(*) from UTENTI"), 2) << "the catalogue is readable";

    // Signing in: one message for a wrong password and an unknown user, and no password
    // shown, not even one written in the locator.
    for (const auto& [user, password] :
         {std::pair{m_clerk, "sbagliata"}, std::pair{std::string("nessuno"), "impiegato-pw"}}) {
        const Outcome outcome = Cli(user, password, "archivio cerca x --archivio " + m_url);
        EXPECT_EQ(outcome.status, 1);
        EXPECT_NE(outcome.output.find(db::kSignInRefused), std::string::npos) << outcome.output;
    }
    const std::string withPassword = "postgresql://" + m_clerk + ":SegretoNelLink@" +
                                     m_url.substr(m_url.find("://") + 3) + "_manca";
    const Outcome leaked = Cli("", "", "archivio cerca x --archivio " + withPassword);
    EXPECT_EQ(leaked.status, 1);
    EXPECT_EQ(leaked.output.find("SegretoNelLink"), std::string::npos) << leaked.output;
    EXPECT_EQ(db::DisplayLocator("postgresql://a:b@h/d"), "postgresql://a:***@h/d");
    EXPECT_EQ(db::DisplayLocator("host=h password='x y' dbname=d"), "host=h password=*** dbname=d");
}

TEST_F(OfficeServerTest, AClerkArchivesOnceGrantedAndTwoClerksShareOneArchive) {
    SetUpOffice();
    const std::string first = Folder("primo", {"r01_f24_trasmissione", "r02_f24_esito"});
    Outcome run = Archivia(m_clerk, "impiegato-pw", first, "run1.txt");
    EXPECT_NE(run.status, 0) << "no right on the single receipts yet: " << run.output;
    EXPECT_EQ(PdfsIn(first), 2U);

    ASSERT_EQ(Owner("permesso --utente " + m_clerk + " --codice " + kSingles +
                    " --crea-rec --inserimento")
                  .status,
              0);
    run = Archivia(m_clerk, "impiegato-pw", first, "run2.txt");
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(PdfsIn(first), 0U);

    // A second clerk, and two workstations archiving at once into the one archive.
    const std::string second = "collega_" + m_database.substr(7);
    ASSERT_EQ(
        Owner("utente aggiungi " + second + " --password-file '" + m_dir.File("clerk.pw") + "'")
            .status,
        0);
    for (const char* code : {kSummary, kSingles}) {
        ASSERT_EQ(
            Owner("permesso --utente " + second + " --codice " + code + " --crea-rec --inserimento")
                .status,
            0);
    }
    ASSERT_EQ(Owner("permesso --utente " + second + " --codice " + kOriginals).status, 0);
    const std::vector<std::string> mine = {"r03_comunicazione_annuale_dati_iva",
                                           "r04_inizio_attivita_soggetti_diversi",
                                           "r05_inizio_attivita_ditta_individuale"};
    const std::vector<std::string> theirs = {"r06_variazione_soggetti_diversi",
                                             "r07_variazione_ditta_individuale",
                                             "r08_cessazione_attivita"};
    const std::string a = Folder("a", mine);
    const std::string b = Folder("b", theirs);
    Outcome runA;
    Outcome runB;
    std::thread other([&] { runB = Archivia(second, "impiegato-pw", b, "b.txt"); });
    runA = Archivia(m_clerk, "impiegato-pw", a, "a.txt");
    other.join();
    EXPECT_EQ(runA.status, 0) << runA.output;
    EXPECT_EQ(runB.status, 0) << runB.output;
    EXPECT_EQ(PdfsIn(a) + PdfsIn(b), 0U) << "no file lost or left behind";

    auto owner = Session(m_owner, "titolare-pw");
    ASSERT_TRUE(owner);
    // Every receipt once: one fingerprint per file, no stored file twice.
    EXPECT_EQ(Count(*owner, "select count(distinct IMPRONTA) from DB_IMPRONTE"), 8);
    EXPECT_EQ(Count(*owner, "select count(*) from (select SYS_SERIALE, NOME from DB_FILE group"
                            " by SYS_SERIALE, NOME having count(*) > 1) twice"),
              0);
    for (const char* table : {"arc_quorvinriepilogo", "arc_quorvinsingole00"}) {
        EXPECT_EQ(Count(*owner,
                        std::string("select count(*) - count(distinct sys_record) from ") + table),
                  0);
    }
    // The clerk sees the stored files of the archives it reads, no others.
    ASSERT_EQ(Owner("permesso --utente " + m_clerk + " --codice " + kSingles + " --revoca").status,
              0);
    auto clerk = Session(m_clerk, "impiegato-pw");
    ASSERT_TRUE(clerk);
    EXPECT_EQ(Count(*clerk, std::string("select count(*) from DB_FILE where SYS_SERIALE='") +
                                kSingles + "'"),
              0);
    EXPECT_GT(Count(*owner, std::string("select count(*) from DB_FILE where SYS_SERIALE='") +
                                kSingles + "'"),
              0);
}

TEST_F(OfficeServerTest, GrantsAtOnceBothSucceedAndRevokingANonexistentArchiveFails) {
    // A role that may not create roles cannot make the archive, and leaves nothing.
    {
        auto owner = Session(m_owner, "titolare-pw");
        ASSERT_TRUE(owner);
        ASSERT_TRUE(owner->Execute("create role " + m_clerk + " login password 'impiegato-pw'"));
        ASSERT_TRUE(owner->Execute("grant create on schema public to " + m_clerk));
    }
    const Outcome refused = Clerk("init --esempio");
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.output.find("CREATEROLE"), std::string::npos) << refused.output;
    auto clerk = Session(m_clerk, "impiegato-pw");
    ASSERT_TRUE(clerk);
    EXPECT_EQ(Count(*clerk, "select count(*) from information_schema.tables where"
                            " table_schema='public'"),
              0);
    clerk.reset();
    SetUpOffice();
    Outcome one;
    Outcome two;
    std::thread other([&] {
        two = Owner("permesso --utente " + m_clerk + " --codice " + kSingles + " --crea-rec");
    });
    one = Owner("permesso --utente " + m_clerk + " --codice " + kSingles + " --inserimento");
    other.join();
    EXPECT_EQ(one.status, 0) << one.output;
    EXPECT_EQ(two.status, 0) << two.output;
    // An archive the administrator adds later belongs to the administrators: granting
    // on it works as on the others.
    const Outcome added = Owner("archivio aggiungi --codice EXTRA --nome Extra --tipo 9");
    ASSERT_EQ(added.status, 0) << added.output;
    ASSERT_EQ(Owner("permesso --utente " + m_clerk + " --codice EXTRA").status, 0);
    clerk = Session(m_clerk, "impiegato-pw");
    ASSERT_TRUE(clerk);
    EXPECT_EQ(Count(*clerk, "select count(*) from arc_extra"), 0);
    EXPECT_FALSE(clerk->Execute("insert into arc_extra (sys_seriale) values ('EXTRA')"));
    const Outcome revoke = Owner("permesso --utente " + m_clerk + " --codice NONESISTE --revoca");
    EXPECT_EQ(revoke.status, 1);
    EXPECT_NE(revoke.output.find("Archivio 'NONESISTE' inesistente."), std::string::npos);
}

} // namespace
} // namespace quorvin::test
