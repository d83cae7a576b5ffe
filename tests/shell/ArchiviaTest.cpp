// quorvin-cli archivia as the user and the scheduler run it: a process, its output and its
// exit status; and what a kill at any moment leaves behind.
#include "DriverTestSupport.h"

#include "archive/DorvaneEnv.h"
#include "archive/DorvaneFiles.h"
#include "archive/DorvaneRecordset.h"
#include "archive/DorvaneUser.h"
#include "tools/fixture/FixtureWriter.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSettings>
#include <gmock/gmock.h>

#include <fcntl.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <functional>
#include <random>
#include <regex>

namespace quorvin::test {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::Not;

struct CliResult {
    int status = -1;
    std::string out;
    std::string err;
};

// A signal for the program under test only: once it has ended, its pid may be anybody's,
// and kill(0, ...) would reach the whole process group, this test runner included.
bool SignalWhileRunning(const QProcess& program, int signal) {
    const auto pid = static_cast<pid_t>(program.processId());
    return program.state() == QProcess::Running && pid > 0 && ::kill(pid, signal) == 0;
}

class ArchiviaTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_archive = m_home.File("archivio.sqlite");
        ASSERT_TRUE(MakeStandardArchive(m_archive));
        m_folder = m_home.File("ricevute");
        fs::create_directories(m_folder);
        fs::create_directories(m_home.File("tmp"));
    }

    QProcessEnvironment Environment() const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", QString::fromStdString(m_home.File("config")));
        env.insert("XDG_DATA_HOME", QString::fromStdString(m_home.File("data")));
        env.remove("QUORVIN_ARCHIVIO");
        // Temporary files of a killed run go with the test's folder.
        env.insert("TMPDIR", QString::fromStdString(m_home.File("tmp")));
        return env;
    }

    void Start(QProcess& cli, const QStringList& args) const {
        cli.setProcessEnvironment(Environment());
        cli.start(QString::fromUtf8(QUORVIN_CLI_PATH), args);
        ASSERT_TRUE(cli.waitForStarted());
    }

    CliResult Run(const QStringList& args) const {
        QProcess cli;
        Start(cli, args);
        CliResult result;
        if (cli.waitForFinished(120000) && cli.exitStatus() == QProcess::NormalExit) {
            result.status = cli.exitCode();
        }
        result.out = cli.readAllStandardOutput().toStdString();
        result.err = cli.readAllStandardError().toStdString();
        return result;
    }

    // The usual run: this folder, this archive, no reject folder.
    QStringList Args(const QStringList& more = {}) const {
        return QStringList{"archivia",
                           "--ricevute",
                           QString::fromStdString(m_folder),
                           "--archivio",
                           QString::fromStdString(m_archive),
                           "--scarti",
                           ""} +
               more;
    }

    std::string Receipt(const std::string& templateName, const std::string& name) const {
        const std::string path = m_folder + "/" + name;
        TempDir scratch;
        fs::copy_file(MakeReceipt(scratch, templateName, name), path);
        return path;
    }

    bool InFolder(const std::string& name) const { return fs::exists(m_folder + "/" + name); }
    bool InBackup(const std::string& name) const {
        return fs::exists(m_folder + "/BACKUP/" + name);
    }

    TempDir m_home;
    std::string m_archive;
    std::string m_folder;
};

// Stored file names of the summary records, and the record counts of the two archives.
struct ArchiveState {
    std::vector<std::string> storedNames;
    long summaries = 0;
    long singles = 0;
};

ArchiveState ReadArchive(const std::string& locator) {
    ArchiveState state;
    DorvaneEnv env;
    EXPECT_TRUE(env.Connect(locator)) << env.LastError();
    EXPECT_TRUE(env.Login()) << env.LastError();
    DorvaneRecordset rs(env.Connection());
    EXPECT_TRUE(rs.Open("select SYS_FILE from " + env.Database().TableName("QUORVINRIEPILOGO")));
    for (; !rs.Eof(); rs.MoveNext()) {
        state.storedNames.push_back(DorvaneFiles::FileName(rs.Value("SYS_FILE"), false));
        ++state.summaries;
    }
    DorvaneRecordset singles(env.Connection());
    EXPECT_TRUE(
        singles.Open("select count(*) as n from " + env.Database().TableName("QUORVINSINGOLE00")));
    state.singles = std::stol(singles.Value("n"));
    return state;
}

bool HasStored(const ArchiveState& state, const std::string& fileName) {
    const std::string base = DorvaneFiles::FileName(fileName, false);
    for (const auto& stored : state.storedNames) {
        if (stored == base || stored.starts_with(base + "_")) {
            return true;
        }
    }
    return false;
}

// A receipt of the F24 template with its own protocol: a receipt of its own.
std::string DistinctF24(const TempDir& scratch, int n) {
    std::string text = ReadAll(TemplateFile("r01_f24_trasmissione.txt"));
    const std::string protocol = "10061610424512345";
    const std::string mine = "1006161042451" + std::to_string(1000 + n);
    for (size_t at = text.find(protocol); at != std::string::npos; at = text.find(protocol, at)) {
        text.replace(at, protocol.size(), mine);
    }
    const std::string source = scratch.File("f24_" + std::to_string(n) + ".txt");
    WriteAll(source, text);
    const std::string pdf = scratch.File("f24_" + std::to_string(n) + ".pdf");
    std::string error;
    EXPECT_TRUE(fixture::WriteTemplatePdf(source, pdf, &error)) << error;
    return pdf;
}

TEST_F(ArchiviaTest, EveryFileArchivedExitsZeroAndPrintsTheListLines) {
    Receipt("r01_f24_trasmissione.txt", "a.pdf");
    Receipt("r02_f24_esito.txt", "b.PDF");
    const CliResult run = Run(Args());
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    const std::regex line(
        R"((^|\n)\d\d/\d\d/\d{4} \d\d:\d\d:\d\d  b\.PDF  Elaborazione terminata\n)");
    EXPECT_TRUE(std::regex_search(run.out, line)) << run.out;
    EXPECT_THAT(run.out, Not(HasSubstr("\r"))); // no progress line when not on a terminal
    EXPECT_EQ(run.err, "");
    EXPECT_THAT(run.out, Not(HasSubstr("Trovato archivio destinazione"))); // a detail line
    EXPECT_THAT(run.out, HasSubstr("Ricevute trovate: 2, archiviate: 2"));
    EXPECT_FALSE(InFolder("a.pdf"));
    EXPECT_TRUE(InBackup("a.pdf"));
    EXPECT_TRUE(InBackup("b.PDF"));

    // The saved log, detail lines included, shown again as a table.
    const std::string logFolder = m_home.File("data/Belvast/Quorvin/Logs/Quorvin");
    EXPECT_THAT(run.out, HasSubstr("Log salvato in " + logFolder + "/"));
    const CliResult shown = Run({"mostra-log"});
    EXPECT_EQ(shown.status, 0) << shown.err;
    EXPECT_THAT(shown.out, HasSubstr("Trovato archivio destinazione"));
    EXPECT_THAT(shown.out, HasSubstr("Process()"));
}

TEST_F(ArchiviaTest, VerboseShowsTheDetailLines) {
    Receipt("r01_f24_trasmissione.txt", "a.pdf");
    const CliResult run = Run(Args({"--verbose", "--no-backup"}));
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_THAT(run.out, HasSubstr("Trovato archivio destinazione"));
    EXPECT_FALSE(InFolder("a.pdf"));
    EXPECT_FALSE(fs::exists(m_folder + "/BACKUP"));
}

TEST_F(ArchiviaTest, FilesLeftBehindExitOne) {
    Receipt("r01_f24_trasmissione.txt", "a.pdf");
    Receipt("x_nessuna_frase.txt", "b.pdf");
    Receipt("r57_forniture_documenti_fiscali.txt", "c.pdf");
    const CliResult run = Run(Args());
    EXPECT_EQ(run.status, 1);
    EXPECT_THAT(run.out, HasSubstr("b.pdf  File non riconosciuto."));
    // A fresh settings store starts with the first-run flags: 293 is off.
    EXPECT_THAT(run.out, HasSubstr("c.pdf  File non elaborato (archiviazione di 'Fornitura "
                                   "Documenti Fiscali Art. 3 comma 3 DPR 404' disattivata"));
    EXPECT_TRUE(InFolder("b.pdf"));
    EXPECT_TRUE(InFolder("c.pdf"));
}

TEST_F(ArchiviaTest, FoldersAndBackupSwitchComeFromTheSettings) {
    Receipt("r01_f24_trasmissione.txt", "a.pdf");
    {
        QSettings settings(QString::fromStdString(m_home.File("config/Belvast/Quorvin.conf")),
                           QSettings::IniFormat);
        settings.beginGroup("Impostazioni");
        settings.setValue("LastFolder", QString::fromStdString(m_folder));
        settings.setValue("LastFolderNolva", "");
        settings.setValue("SaveBackups", 0);
        settings.setValue("130", 1);
    }
    const CliResult run = Run({"archivia", "--archivio", QString::fromStdString(m_archive)});
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_FALSE(InFolder("a.pdf"));
    EXPECT_FALSE(fs::exists(m_folder + "/BACKUP"));
}

// Every exit status with the line on standard error that tells a scheduled run why.
TEST_F(ArchiviaTest, EachExitStatusComesWithItsOwnMessage) {
    const std::string missing = m_home.File("nessuna");
    const std::string notAFolder = m_home.File("scarti.txt");
    WriteAll(notAFolder, "not a folder");
    const QString folder = QString::fromStdString(m_folder);
    const QString archive = QString::fromStdString(m_archive);
    const struct {
        const char* what;
        std::function<void()> prepare;
        QStringList args;
        int status;
        std::string message; // the whole of standard error, one line
    } cases[] = {
        {"everything archived", [&] { Receipt("r01_f24_trasmissione.txt", "a.pdf"); }, Args(), 0,
         ""},
        {"a receipt left", [&] { Receipt("x_nessuna_frase.txt", "b.pdf"); }, Args(), 1,
         "Ricevute rimaste nella cartella " + m_folder + ": 1.\n"},
        {"reject folder unreadable",
         [&] { fs::remove(m_folder + "/b.pdf"); },
         {"archivia", "--ricevute", folder, "--archivio", archive, "--scarti",
          QString::fromStdString(notAFolder)},
         1,
         "Cartella dei file di scarto " + notAFolder +
             " inesistente o non leggibile: file di scarto non elaborati.\n"},
        {"receipt folder missing",
         [] {},
         {"archivia", "--ricevute", QString::fromStdString(missing), "--archivio", archive,
          "--scarti", ""},
         2,
         "Cartella ricevute " + missing +
             " inesistente o non leggibile: elaborazione non avviata.\n"},
        {"backup folder cannot be made",
         [&] {
             Receipt("r01_f24_trasmissione.txt", "c.pdf");
             fs::remove_all(m_folder + "/BACKUP"); // made by the first run
             WriteAll(m_folder + "/BACKUP", "in the way");
         },
         Args(), 2,
         "Errore nella creazione della cartella '" + m_folder +
             "/BACKUP'. Elaborazione interrotta.\n"},
        {"archive missing",
         [] {},
         {"archivia", "--ricevute", folder, "--archivio",
          QString::fromStdString(m_home.File("manca.sqlite"))},
         2,
         "Archivio " + m_home.File("manca.sqlite") +
             " inesistente. Crearlo con 'quorvin-cli archivio init --esempio --archivio " +
             m_home.File("manca.sqlite") + "'.\n"},
    };
    for (const auto& c : cases) {
        c.prepare();
        const CliResult run = Run(c.args);
        EXPECT_EQ(run.status, c.status) << c.what << "\n" << run.out << run.err;
        EXPECT_EQ(run.err, c.message) << c.what;
    }
    EXPECT_TRUE(InFolder("c.pdf"));
    EXPECT_FALSE(fs::exists(m_home.File("manca.sqlite")));

    const CliResult unknown = Run({"archivia", "--sconosciuta"});
    EXPECT_EQ(unknown.status, 2);
    EXPECT_TRUE(unknown.err.starts_with("Opzione non valida: --sconosciuta\n")) << unknown.err;
    EXPECT_EQ(Run({"archivia", "--ricevute"}).status, 2);
    for (const char* seconds : {"0", "3601", "dieci"}) {
        const CliResult limit = Run({"archivia", "--limite-lettura", seconds});
        EXPECT_EQ(limit.status, 2) << seconds;
        EXPECT_TRUE(limit.err.starts_with("Valore non valido per --limite-lettura: " +
                                          std::string(seconds) + " (secondi da 1 a 3600).\n"))
            << limit.err;
    }
    const CliResult limited = Run(Args({"--limite-lettura", "5", "--no-backup"}));
    EXPECT_EQ(limited.status, 0) << limited.out << limited.err;
    const CliResult help = Run({"archivia", "--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_THAT(help.out, HasSubstr("Uso: quorvin-cli archivia"));
    EXPECT_THAT(help.out, HasSubstr("viene creato\ncon il catalogo standard"));
}

TEST_F(ArchiviaTest, DefaultArchiveIsCreatedOnFirstUse) {
    Receipt("r01_f24_trasmissione.txt", "a.pdf");
    const std::string archive = m_home.File("data/Belvast/Quorvin/archivio.sqlite");
    const QStringList args = {"archivia", "--ricevute", QString::fromStdString(m_folder),
                              "--scarti", ""};
    const CliResult first = Run(args);
    EXPECT_EQ(first.status, 0) << first.out << first.err;
    EXPECT_TRUE(first.out.starts_with("Nessun archivio trovato: creato l'archivio " + archive +
                                      " con il catalogo standard.\n"))
        << first.out;
    EXPECT_FALSE(InFolder("a.pdf"));
    EXPECT_EQ(ReadArchive(archive).summaries, 1);

    Receipt("r02_f24_esito.txt", "b.pdf");
    const CliResult second = Run(args);
    EXPECT_EQ(second.status, 0) << second.err;
    EXPECT_THAT(second.out, Not(HasSubstr("Nessun archivio trovato")));
    EXPECT_EQ(ReadArchive(archive).summaries, 2);
}

TEST_F(ArchiviaTest, AdministrationOnAFreshAccountCreatesTheWholeDefaultArchive) {
    const std::string archive = m_home.File("data/Belvast/Quorvin/archivio.sqlite");
    WriteAll(m_home.File("mario.pw"), "segreta\n");
    const CliResult user = Run({"archivio", "utente", "aggiungi", "mario", "--password-file",
                                QString::fromStdString(m_home.File("mario.pw"))});
    EXPECT_EQ(user.status, 0) << user.err;
    EXPECT_EQ(user.err, "Nessun archivio trovato: creato l'archivio " + archive +
                            " con il catalogo standard.\n");
    // The catalogue is there: archivia can use that archive at once.
    Receipt("r01_f24_trasmissione.txt", "a.pdf");
    const CliResult run =
        Run({"archivia", "--ricevute", QString::fromStdString(m_folder), "--scarti", ""});
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_THAT(run.out, Not(HasSubstr("Nessun archivio trovato")));
    EXPECT_EQ(ReadArchive(archive).summaries, 1);
}

// Standard error on a pseudo-terminal, standard output into a file, as a user who keeps
// the lines of a run and watches it go.
TEST_F(ArchiviaTest, ProgressLineOnATerminalIsClearedAtTheEnd) {
    Receipt("r01_f24_trasmissione.txt", "a.pdf");
    Receipt("x_nessuna_frase.txt", "b.pdf");
    const std::string outPath = m_home.File("uscita.txt");
    // Everything the child needs is made before the fork.
    std::vector<std::string> args = {QUORVIN_CLI_PATH, "archivia", "--ricevute", m_folder,
                                     "--archivio",     m_archive,  "--scarti",   ""};
    std::vector<std::string> env;
    const QProcessEnvironment environment = Environment();
    for (const QString& key : environment.keys()) {
        env.push_back((key + "=" + environment.value(key)).toStdString());
    }
    const auto pointers = [](std::vector<std::string>& texts) {
        std::vector<char*> p;
        for (auto& t : texts) {
            p.push_back(t.data());
        }
        p.push_back(nullptr);
        return p;
    };
    std::vector<char*> argv = pointers(args);
    std::vector<char*> envp = pointers(env);
    const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(out, 0);

    int terminal = -1;
    const pid_t pid = ::forkpty(&terminal, nullptr, nullptr, nullptr);
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::dup2(out, STDOUT_FILENO);
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
    ::close(out);
    std::string err;
    char buffer[4096];
    for (ssize_t n; (n = ::read(terminal, buffer, sizeof buffer)) > 0;) {
        err.append(buffer, static_cast<size_t>(n));
    }
    ::close(terminal);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1) << err;

    EXPECT_THAT(err, HasSubstr("\r\033[K[1/2] a.pdf"));
    EXPECT_THAT(err, HasSubstr("\r\033[K[2/2] b.pdf"));
    // The line is gone before the cause of the status is told.
    EXPECT_TRUE(err.ends_with("\r\033[KRicevute rimaste nella cartella " + m_folder + ": 1.\r\n"))
        << err;
    const std::string lines = ReadAll(outPath);
    EXPECT_THAT(lines, HasSubstr("b.pdf  File non riconosciuto.\n"));
    EXPECT_THAT(lines, Not(HasSubstr("\r")));
    EXPECT_THAT(lines, Not(HasSubstr("[1/2]")));
}

TEST(SignalWhileRunningTest, OnlyARunningProgramIsSignalled) {
    QProcess never;
    EXPECT_FALSE(SignalWhileRunning(never, 0)); // pid 0: the whole process group
    QProcess ended;
    ended.start("true", {});
    ASSERT_TRUE(ended.waitForFinished());
    EXPECT_FALSE(SignalWhileRunning(ended, 0));
    QProcess running;
    running.start("sleep", {"30"});
    ASSERT_TRUE(running.waitForStarted());
    EXPECT_TRUE(SignalWhileRunning(running, SIGTERM));
    EXPECT_TRUE(running.waitForFinished());
}

TEST_F(ArchiviaTest, EmptyFolderIsNotAFailure) {
    const CliResult run = Run(Args());
    EXPECT_EQ(run.status, 0);
    EXPECT_THAT(run.out, HasSubstr("Non ci sono file da elaborare."));
    EXPECT_THAT(run.out, Not(HasSubstr("Log salvato")));
}

TEST_F(ArchiviaTest, SigtermStopsAfterTheCurrentFileAndSavesTheLog) {
    constexpr int kFiles = 15;
    // Receipts of their own: copies of one receipt would leave as copies, at once.
    TempDir scratch;
    for (int i = 0; i < kFiles; ++i) {
        fs::copy_file(DistinctF24(scratch, i), m_folder + "/f" + std::to_string(100 + i) + ".pdf");
    }
    QProcess cli;
    Start(cli, Args());
    std::string out;
    while (out.find("Elaborazione terminata") == std::string::npos &&
           cli.state() != QProcess::NotRunning) {
        cli.waitForReadyRead(100);
        out += cli.readAllStandardOutput().toStdString();
    }
    // Only a running program of ours is signalled: kill(0, ...) would hit the test itself.
    ASSERT_TRUE(SignalWhileRunning(cli, SIGTERM)) << "the run ended before the signal: " << out;
    ASSERT_TRUE(cli.waitForFinished(60000));
    out += cli.readAllStandardOutput().toStdString();
    EXPECT_EQ(cli.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(cli.exitCode(), 1) << out;
    EXPECT_THAT(out, HasSubstr("Elaborazione interrotta dall'utente dopo "));
    EXPECT_THAT(out, HasSubstr("Log salvato in "));
    const ArchiveState state = ReadArchive(m_archive);
    long left = 0;
    for (int i = 0; i < kFiles; ++i) {
        const std::string name = "f" + std::to_string(100 + i) + ".pdf";
        left += InFolder(name);
        EXPECT_TRUE(InFolder(name) || HasStored(state, name)) << name;
    }
    EXPECT_GT(left, 0);
}

TEST_F(ArchiviaTest, AMissingPdfReaderStopsTheRunBeforeTheFirstFile) {
    Receipt("r01_f24_trasmissione.txt", "a.pdf");
    std::string why;
    const std::string shared = MakeStandardPostgresArchive(why);
    ASSERT_FALSE(shared.empty()) << why;
    for (const std::string& archive : {m_archive, shared}) {
        for (const std::string& reader :
             std::vector<std::string>{m_home.File("manca/quorvin-pdfreader"), "/bin/false"}) {
            QProcess cli;
            QProcessEnvironment env = Environment();
            env.insert("QUORVIN_PDFREADER", QString::fromStdString(reader));
            if (archive == shared) { // the embedded archive knows the account without one
                env.insert("QUORVIN_UTENTE", QString::fromStdString(DorvaneUser::SystemAccount()));
                env.insert("QUORVIN_PASSWORD", kPostgresAdminPassword);
            }
            cli.setProcessEnvironment(env);
            QStringList args = Args();
            args[args.indexOf("--archivio") + 1] = QString::fromStdString(archive);
            cli.start(QString::fromUtf8(QUORVIN_CLI_PATH), args);
            ASSERT_TRUE(cli.waitForFinished(60000));
            const std::string err = cli.readAllStandardError().toStdString();
            EXPECT_EQ(cli.exitCode(), 2) << archive << " " << reader << err;
            EXPECT_THAT(err, HasSubstr("Lettore PDF non disponibile: impossibile avviare '" +
                                       reader + "'"));
            EXPECT_THAT(cli.readAllStandardOutput().toStdString(),
                        Not(HasSubstr("File non riconosciuto")));
            EXPECT_TRUE(InFolder("a.pdf"));
        }
    }
}

// SIGKILL at random moments on a mixed folder: distinct receipts, a copy of one under
// another name, a split file whose second receipt's type is off, a file whose type is
// off. After a last run every receipt is in the archive exactly once, nothing of a killed
// file is left over, and the database is sound. (Repeat by hand: --gtest_repeat=20.)
TEST_F(ArchiviaTest, KillAtRandomMomentsArchivesEveryReceiptExactlyOnce) {
    constexpr int kReceipts = 4;
    constexpr int kRounds = 6;
    {
        QSettings settings(QString::fromStdString(m_home.File("config/Belvast/Quorvin.conf")),
                           QSettings::IniFormat);
        settings.beginGroup("Impostazioni");
        // A settings store of its own: every type it does not name is off.
        settings.setValue("130", 1);
        settings.setValue("144", 0); // the split file's UNICO: its source stays
    }
    TempDir scratch;
    for (int n = 0; n < kReceipts; ++n) {
        fs::copy_file(DistinctF24(scratch, n), m_folder + "/f24_" + std::to_string(n) + ".pdf");
    }
    fs::copy_file(m_folder + "/f24_0.pdf", m_folder + "/copia di f24_0.pdf");
    Receipt("x_split_f24_e_unico.txt", "doppia.pdf");
    Receipt("r57_forniture_documenti_fiscali.txt", "spenta.pdf"); // 293: off

    QElapsedTimer timer;
    std::mt19937 random(std::random_device{}());
    int kills = 0;
    int fullRun = 1500;
    for (int round = 0; round < kRounds; ++round) {
        QProcess cli;
        timer.start();
        Start(cli, Args());
        const int delay = std::uniform_int_distribution<int>(0, fullRun)(random);
        cli.waitForFinished(delay);
        if (SignalWhileRunning(cli, SIGKILL)) {
            cli.waitForFinished(10000);
            ++kills;
        } else if (round == 0) {
            fullRun = std::max<int>(100, static_cast<int>(timer.elapsed()));
        }
    }
    const CliResult last = Run(Args());
    EXPECT_EQ(last.status, 1) << last.out << last.err; // the two files with a type off stay
    RecordProperty("kills", kills);

    DorvaneEnv env;
    ASSERT_TRUE(env.Connect(m_archive)) << env.LastError();
    ASSERT_TRUE(env.Login()) << env.LastError();
    const auto count = [&](const std::string& sql) {
        DorvaneRecordset rs(env.Connection());
        EXPECT_TRUE(rs.Open(sql)) << sql << ": " << env.Connection()->LastError();
        return std::stol(rs.Value("n"));
    };
    const std::string summary = env.Database().TableName("QUORVINRIEPILOGO");
    const std::string single = env.Database().TableName("QUORVINSINGOLE00");
    // Each distinct F24 receipt once (4 payments each), the split file's F24 piece once
    // (2 payments).
    EXPECT_EQ(count("select count(*) as n from " + summary), kReceipts + 1);
    EXPECT_EQ(count("select count(*) as n from " + single), 4 * kReceipts + 2);
    EXPECT_EQ(count("select count(distinct Protocollo_Attribuito) as n from " + summary),
              kReceipts + 1);
    // No orphans: every stored file belongs to a record and every record has its file.
    for (const auto& table : {summary, single}) {
        EXPECT_EQ(count("select count(*) as n from " + table +
                        " r left join DB_FILE f on f.SYS_SERIALE=r.sys_seriale and"
                        " f.SYS_RECORD=r.sys_record where f.NOME is null"),
                  0);
    }
    EXPECT_EQ(count("select count(*) as n from DB_FILE f where not exists (select 1 from " +
                    summary +
                    " r where r.sys_record=f.SYS_RECORD and r.sys_seriale="
                    "f.SYS_SERIALE) and not exists (select 1 from " +
                    single + " s where s.sys_record=f.SYS_RECORD and s.sys_seriale=f.SYS_SERIALE)"),
              0);
    std::error_code ec;
    for (const auto& entry : fs::recursive_directory_iterator(m_home.File("Documenti"), ec)) {
        EXPECT_FALSE(entry.is_regular_file()) << entry.path();
    }
    // The staging folders of killed runs are swept by the next one.
    for (const auto& entry : fs::directory_iterator(m_home.File("tmp"))) {
        EXPECT_FALSE(entry.path().filename().string().starts_with("quorvin-staging-"))
            << entry.path();
    }
    DorvaneRecordset check(env.Connection());
    ASSERT_TRUE(check.Open("pragma integrity_check"));
    EXPECT_EQ(check.Value(check.FieldNames().at(0)), "ok");
    // Archived files left, copies too; files with a type off stay.
    for (int n = 0; n < kReceipts; ++n) {
        EXPECT_FALSE(InFolder("f24_" + std::to_string(n) + ".pdf")) << n;
    }
    EXPECT_FALSE(InFolder("copia di f24_0.pdf"));
    EXPECT_TRUE(InFolder("doppia.pdf"));
    EXPECT_TRUE(InFolder("spenta.pdf"));
}

} // namespace
} // namespace quorvin::test
