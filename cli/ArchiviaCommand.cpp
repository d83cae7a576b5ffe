// quorvin-cli archivia: the PROCESS command without a window, for scheduled runs; and
// quorvin-cli mostra-log, which shows a saved operation log.
#include "archive/DorvaneEnv.h"
#include "archive/DorvaneFiles.h"
#include "cli/ArchivioCommon.h"
#include "cli/Commands.h"
#include "shell/ArchiveAccess.h"
#include "shell/OperationLog.h"
#include "shell/ProcessRunner.h"
#include "shell/Settings.h"

#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <optional>

namespace quorvin::cli {

namespace {

constexpr const char* kHelp =
    "Uso: quorvin-cli archivia [opzioni]\n"
    "\n"
    "Archivia le ricevute PDF Entratel della cartella ricevute (come il comando Archivia\n"
    "della finestra), poi elabora i file di scarto della console Nolva. Ogni ricevuta\n"
    "archiviata viene copiata nella sottocartella BACKUP (se il backup è attivo) e tolta\n"
    "dalla cartella; le altre restano dove sono. Il log dell'elaborazione viene salvato\n"
    "nella cartella dei log.\n"
    "\n"
    "Cartelle, backup e archivio vengono dalle impostazioni del programma, salvo:\n"
    "  --ricevute CARTELLA   cartella delle ricevute Entratel da elaborare\n"
    "  --scarti CARTELLA     cartella dei file di scarto Nolva (--scarti \"\": nessuna)\n"
    "  --backup              copia le ricevute archiviate nella cartella BACKUP\n"
    "  --no-backup           elimina le ricevute archiviate senza copiarle\n"
    "  --archivio ARCHIVIO   file dell'archivio o indirizzo postgresql://\n"
    "                        (altrimenti $QUORVIN_ARCHIVIO o l'archivio dell'utente)\n"
    "  --verbose             mostra anche i messaggi di dettaglio\n"
    "  --help                mostra questo aiuto\n"
    "\n"
    "Ctrl-C (o SIGTERM) interrompe l'elaborazione dopo il file in corso; il log viene\n"
    "salvato comunque. Un secondo Ctrl-C termina subito il programma.\n"
    "\n"
    "Stato di uscita: 0 tutti i file sono stati archiviati, 1 alcuni file sono rimasti\n"
    "nella cartella, 2 l'elaborazione non è potuta partire (o opzioni non valide).\n";

constexpr const char* kLogHelp =
    "Uso: quorvin-cli mostra-log [FILE]\n"
    "\n"
    "Mostra un log salvato come tabella (data e ora, file, messaggio, funzione). Senza\n"
    "FILE mostra l'ultimo log salvato nella cartella dei log dell'utente.\n";

volatile std::sig_atomic_t g_stopRequested = 0;

extern "C" void OnStopSignal(int) {
    g_stopRequested = 1;
}

void InstallStopHandlers() {
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    // The second signal takes the default way out: archiving is transactional, so even an
    // abrupt end loses nothing.
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

std::string Stamp(const QDateTime& when) {
    return when.toString(QStringLiteral("dd/MM/yyyy HH:mm:ss")).toStdString();
}

// The run on the terminal: list rows and (with --verbose) the other messages as lines,
// a progress line only when the output is a terminal.
class TerminalView : public shell::RunView {
public:
    explicit TerminalView(bool verbose)
        : m_verbose(verbose), m_terminal(isatty(STDOUT_FILENO) != 0) {}

    void Runner(shell::ProcessRunner* runner) { m_runner = runner; }

    void AddLine(const QDateTime& when, const std::string& file,
                 const std::string& message) override {
        Print(when, file, message);
    }
    void StatusLine(const QDateTime& when, const std::string& file,
                    const std::string& message) override {
        if (m_verbose) {
            Print(when, file, message);
        }
    }
    void ClearLines() override {}
    void Status(const std::string& panel, const std::string& text) override {
        if (panel == "FILE") {
            m_file = text;
        }
    }
    void Progress(long percent) override {
        if (m_terminal && !m_file.empty()) {
            std::printf("\r\033[K[%3ld%%] %s", percent, m_file.c_str());
            std::fflush(stdout);
            m_progressShown = true;
        }
    }
    void MsgBox(const std::string& text, int) override {
        ClearProgress();
        std::fprintf(stderr, "%s\n", text.c_str());
    }
    void Busy(bool) override {}
    void KeepResponsive() override {
        if (g_stopRequested != 0 && !m_stopGiven && m_runner != nullptr) {
            m_stopGiven = true;
            ClearProgress();
            std::fprintf(stderr, "Interruzione richiesta: termino il file in corso.\n");
            m_runner->Stop();
        }
    }
    // A signal is honoured between files only: the file being archived is completed, so a
    // stopped run leaves no receipt half stored.
    void KeepResponsiveWhileArchiving() override {}
    void ReportError(const std::string& where, const std::string& text) override {
        ClearProgress();
        std::fprintf(stderr, "%s: %s\n", where.c_str(), text.c_str());
    }
    void ClearProgress() {
        if (m_progressShown) {
            std::printf("\r\033[K");
            std::fflush(stdout);
            m_progressShown = false;
        }
    }

private:
    void Print(const QDateTime& when, const std::string& file, const std::string& message) {
        ClearProgress();
        std::printf("%s  %s  %s\n", Stamp(when).c_str(), file.c_str(), message.c_str());
        std::fflush(stdout);
    }

    bool m_verbose;
    bool m_terminal;
    bool m_progressShown = false;
    bool m_stopGiven = false;
    std::string m_file;
    shell::ProcessRunner* m_runner = nullptr;
};

struct ArchiviaOptions {
    std::optional<std::string> ricevute;
    std::optional<std::string> scarti;
    std::optional<bool> backup;
    std::optional<std::string> archivio;
    bool verbose = false;
    bool help = false;
};

bool ParseOptions(const std::vector<std::string>& args, ArchiviaOptions& options,
                  std::string& error) {
    for (size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::optional<std::string> value;
        if (const size_t eq = name.find('='); name.starts_with("--") && eq != std::string::npos) {
            value = name.substr(eq + 1);
            name = name.substr(0, eq);
        }
        const auto take = [&]() -> std::optional<std::string> {
            if (value) {
                return value;
            }
            if (i + 1 >= args.size()) {
                error = "Manca il valore dell'opzione " + name + ".";
                return std::nullopt;
            }
            return args[++i];
        };
        if (name == "--ricevute") {
            options.ricevute = take();
        } else if (name == "--scarti") {
            options.scarti = take();
        } else if (name == "--archivio") {
            options.archivio = take();
        } else if (name == "--backup" && !value) {
            options.backup = true;
        } else if (name == "--no-backup" && !value) {
            options.backup = false;
        } else if (name == "--verbose" && !value) {
            options.verbose = true;
        } else if ((name == "--help" || name == "-h") && !value) {
            options.help = true;
        } else {
            error = "Opzione non valida: " + args[i];
            return false;
        }
        if (!error.empty()) {
            return false;
        }
    }
    return true;
}

std::string ArchiveLocator(const ArchiviaOptions& options) {
    return quorvin::ArchiveLocator(options.archivio ? *options.archivio : std::string());
}

bool OpenArchive(DorvaneEnv& env, const std::string& locator) {
    std::string error;
    if (!OpenExistingArchive(env, locator, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return false;
    }
    std::string user;
    std::string password;
    if (const char* name = std::getenv("QUORVIN_UTENTE"); name != nullptr) {
        user = name;
        ReadPasswordIfGiven(password);
    }
    if (!env.Login(user, password)) {
        std::fprintf(stderr, "Accesso all'archivio non riuscito: %s\n", env.LastError().c_str());
        return false;
    }
    return true;
}

int ExitStatus(const shell::RunOutcome& outcome) {
    if (!outcome.telFolderUsable || (outcome.filesFound > 0 && !outcome.receiptPassStarted)) {
        return 2;
    }
    if (!outcome.logError.empty() || outcome.filesWithErrors > 0) {
        return 1;
    }
    const long left =
        (outcome.filesFound - outcome.filesArchived) + (outcome.rejectsFound - outcome.rejectsDone);
    return left > 0 ? 1 : 0;
}

// Names end in _yyyymmdd_HHMMSS.xml whatever the machine's name: compare those ends.
std::string NewestLog(const std::string& folder) {
    constexpr size_t kStampLength = 19;
    const auto stamp = [](const std::string& path) {
        const std::string name = DorvaneFiles::FileName(path, true);
        return name.size() > kStampLength ? name.substr(name.size() - kStampLength) : name;
    };
    std::string newest;
    for (const auto& path : DorvaneFiles::FindFiles(folder, "*.xml")) {
        if (newest.empty() || stamp(path) >= stamp(newest)) {
            newest = path;
        }
    }
    return newest;
}

} // namespace

int RunArchivia(const std::vector<std::string>& args) {
    ArchiviaOptions options;
    std::string error;
    if (!ParseOptions(args, options, error)) {
        std::fprintf(stderr, "%s\n\n%s", error.c_str(), kHelp);
        return 2;
    }
    if (options.help) {
        std::printf("%s", kHelp);
        return 0;
    }

    const shell::Settings settings;
    shell::FolderSettings folders = settings.Load();
    std::map<std::string, bool> colTipiDoc;
    settings.LoadTypeFlags(colTipiDoc);

    DorvaneEnv env;
    if (!OpenArchive(env, ArchiveLocator(options))) {
        return 2;
    }
    env.BaseFolder(DataFolder());

    TerminalView view(options.verbose);
    shell::ProcessRunner runner(env, view);
    view.Runner(&runner);
    runner.m_sTelFolder = options.ricevute.value_or(folders.lastFolder);
    runner.m_sNolvaErrFolder = options.scarti.value_or(folders.lastFolderNolva);
    runner.m_bSaveBackups = options.backup.value_or(folders.saveBackups);
    runner.m_colTipiDoc = colTipiDoc;

    InstallStopHandlers();
    runner.RunProcess();
    view.ClearProgress();
    // Back to the default: a signal after the run ends the program as usual.
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);

    const shell::RunOutcome& outcome = runner.Outcome();
    if (outcome.receiptPassStarted) {
        std::printf("\nRicevute trovate: %ld, archiviate: %ld, con errori: %ld, rimaste nella "
                    "cartella: %ld.\n",
                    outcome.filesFound, outcome.filesArchived, outcome.filesWithErrors,
                    outcome.filesFound - outcome.filesArchived);
    }
    if (outcome.rejectsFound > 0) {
        std::printf("File di scarto trovati: %ld, elaborati: %ld.\n", outcome.rejectsFound,
                    outcome.rejectsDone);
    }
    if (!runner.m_sLastLogFile.empty()) {
        std::printf("Log salvato in %s\n", runner.m_sLastLogFile.c_str());
    }
    return ExitStatus(outcome);
}

int RunMostraLog(const std::vector<std::string>& args) {
    if (args.size() > 1 || (args.size() == 1 && args[0].starts_with("-"))) {
        const bool help = args.size() == 1 && (args[0] == "--help" || args[0] == "-h");
        std::fprintf(help ? stdout : stderr, "%s", kLogHelp);
        return help ? 0 : 2;
    }
    const std::string path =
        args.empty() ? NewestLog(DorvaneFiles::AddSeparator(DataFolder()) + "Logs/Quorvin")
                     : args[0];
    if (path.empty()) {
        std::fprintf(stderr, "Nessun log salvato.\n");
        return 1;
    }
    std::vector<shell::LogRecord> records;
    std::string error;
    if (!shell::OperationLog::Load(path, records, error)) {
        std::fprintf(stderr, "Impossibile leggere il log %s: %s\n", path.c_str(), error.c_str());
        return 1;
    }
    std::printf("%s", shell::FormatLogTable(records).c_str());
    return 0;
}

} // namespace quorvin::cli
