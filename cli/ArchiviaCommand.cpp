// quorvin-cli archivia: the PROCESS command without a window, for scheduled runs; and
// quorvin-cli mostra-log, which shows a saved operation log.
#include "archive/Convert.h"
#include "archive/DorvaneEnv.h"
#include "archive/DorvaneFiles.h"
#include "cli/ArchivioCommon.h"
#include "cli/Commands.h"
#include "engine/pdf/PdfReader.h"
#include "shell/ArchiveAccess.h"
#include "shell/OperationLog.h"
#include "shell/ProcessRunner.h"
#include "shell/Settings.h"

#include <sys/ioctl.h>
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
    "  --archivio ARCHIVIO   file dell'archivio o indirizzo postgresql:// (deve esistere)\n"
    "  --limite-lettura SECONDI\n"
    "                        tempo massimo di lettura di un PDF (predefinito 10, o\n"
    "                        LimiteLettura nelle impostazioni): oltre, il file resta\n"
    "                        nella cartella come illeggibile\n"
    "  --verbose             mostra anche i messaggi di dettaglio\n"
    "  --help                mostra questo aiuto\n"
    "\n"
    "Senza --archivio si usa $QUORVIN_ARCHIVIO o, se non è impostata, l'archivio\n"
    "integrato nella cartella dati dell'utente; se questo non esiste ancora viene creato\n"
    "con il catalogo standard (l'utente del sistema ne è l'amministratore) e una riga lo\n"
    "segnala.\n"
    "\n"
    "Le righe del log vanno sullo standard output. Se lo standard error è un terminale,\n"
    "una riga di avanzamento (\"[ 37/910] nome.pdf\") vi mostra il file in corso e\n"
    "scompare alla fine; non compare se l'output è rediretto.\n"
    "\n"
    "Ctrl-C (o SIGTERM) interrompe l'elaborazione dopo il file in corso; i file di scarto\n"
    "non vengono elaborati e il log viene salvato comunque. Un secondo Ctrl-C termina\n"
    "subito il programma.\n"
    "\n"
    "Stato di uscita (ogni causa diversa da 0 ha la sua riga sullo standard error):\n"
    "  0  tutte le ricevute e tutti i file di scarto sono stati elaborati;\n"
    "  1  qualcosa è rimasto nella cartella, la cartella dei file di scarto non è\n"
    "     leggibile o l'elaborazione è stata interrotta;\n"
    "  2  l'elaborazione non è potuta partire (archivio, accesso, cartella ricevute,\n"
    "     cartella BACKUP o opzioni non valide).\n";

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

// A message box's text on one line.
std::string OneLine(std::string text) {
    for (size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at)) {
        text.replace(at, 1, " ");
    }
    return text;
}

// The run on the terminal: list rows and (with --verbose) the other messages as lines on
// standard output; boxes and failures on standard error, where a progress line also
// shows the file a pass is at when standard error is a terminal.
class TerminalView : public shell::RunView {
public:
    explicit TerminalView(bool verbose)
        : m_verbose(verbose), m_terminal(isatty(STDERR_FILENO) != 0) {}

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
        // A pass has ended when it empties the file panel.
        if (panel == "FILE" && text.empty()) {
            ClearProgress();
            m_progress.clear();
        }
    }
    void Progress(long) override {}
    void Step(long number, long total, const std::string& file) override {
        if (!m_terminal) {
            return;
        }
        const int width = static_cast<int>(std::to_string(total).size());
        char counter[64];
        std::snprintf(counter, sizeof counter, "[%*ld/%ld] ", width, number, total);
        m_progress = counter + file;
        ShowProgress();
    }
    void MsgBox(const std::string& text, int) override { Error(OneLine(text)); }
    void FolderUnusable(Folder which, const std::string& folder, const std::string&) override {
        Error(which == Folder::Receipts
                  ? "Cartella ricevute " + folder +
                        " inesistente o non leggibile: elaborazione non avviata."
                  : "Cartella dei file di scarto " + folder +
                        " inesistente o non leggibile: file di scarto non elaborati.");
    }
    void Busy(bool) override {}
    void KeepResponsive() override {
        if (g_stopRequested != 0 && !m_stopGiven && m_runner != nullptr) {
            m_stopGiven = true;
            Error("Interruzione richiesta: termino il file in corso.");
            m_runner->Stop();
        }
    }
    // A signal is honoured between files only: the file being archived is completed, so a
    // stopped run leaves no receipt half stored.
    void KeepResponsiveWhileArchiving() override {}
    void ReportError(const std::string& where, const std::string& text) override {
        Error(where + ": " + text);
    }
    void Error(const std::string& line) {
        ClearProgress();
        std::fprintf(stderr, "%s\n", line.c_str());
        ShowProgress();
    }
    void ClearProgress() {
        if (m_progressShown) {
            std::fputs("\r\033[K", stderr);
            std::fflush(stderr);
            m_progressShown = false;
        }
    }

private:
    void Print(const QDateTime& when, const std::string& file, const std::string& message) {
        ClearProgress();
        std::printf("%s  %s  %s\n", Stamp(when).c_str(), file.c_str(), message.c_str());
        std::fflush(stdout);
        ShowProgress();
    }
    // The line is cut to the terminal's width, so that it never wraps and stays one line.
    void ShowProgress() {
        if (!m_terminal || m_progress.empty()) {
            return;
        }
        winsize size{};
        const size_t columns =
            ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 1 ? size.ws_col - 1 : 79;
        std::string line = m_progress;
        if (line.size() > columns) {
            size_t cut = columns;
            while (cut > 0 && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80) {
                --cut; // not inside a UTF-8 character
            }
            line.resize(cut);
        }
        std::fprintf(stderr, "\r\033[K%s", line.c_str());
        std::fflush(stderr);
        m_progressShown = true;
    }

    bool m_verbose;
    bool m_terminal;
    bool m_progressShown = false;
    bool m_stopGiven = false;
    std::string m_progress;
    shell::ProcessRunner* m_runner = nullptr;
};

struct ArchiviaOptions {
    std::optional<std::string> ricevute;
    std::optional<std::string> scarti;
    std::optional<bool> backup;
    std::optional<std::string> archivio;
    std::optional<int> limiteLettura;
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
        } else if (name == "--limite-lettura") {
            const std::optional<std::string> seconds = take();
            const auto number = seconds ? ParseInteger(*seconds) : std::nullopt;
            if (!seconds) {
                return false;
            }
            if (!number || *number < 1 || *number > 3600) {
                error = "Valore non valido per --limite-lettura: " + *seconds +
                        " (secondi da 1 a 3600).";
                return false;
            }
            options.limiteLettura = static_cast<int>(*number);
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

bool OpenArchive(DorvaneEnv& env, const ArchiviaOptions& options) {
    const std::string locator = ArchiveLocator(options);
    std::string error;
    if (DefaultArchiveMissing(options.archivio.value_or(""))) {
        if (!CreateDefaultArchive(locator, error)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return false;
        }
        std::printf("Nessun archivio trovato: creato l'archivio %s con il catalogo standard.\n",
                    locator.c_str());
    }
    if (!OpenExistingArchive(env, locator, error, CredentialsFromEnvironment())) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return false;
    }
    return SignInFromEnvironment(env);
}

// The exit status, and a line on standard error for each cause not told already (a folder
// that could not be used was told when the run met it).
int ExitStatus(const shell::RunOutcome& outcome, const shell::ProcessRunner& runner) {
    if (!outcome.telFolderUsable || (outcome.filesFound > 0 && !outcome.receiptPassStarted)) {
        return 2;
    }
    const long left = outcome.filesFound - outcome.filesArchived;
    const long rejectsLeft = outcome.rejectsFound - outcome.rejectsDone;
    const struct {
        bool applies;
        std::string message; // empty: already on standard error
    } causes[] = {
        {left > 0, "Ricevute rimaste nella cartella " + runner.m_sTelFolder + ": " +
                       std::to_string(left) + "."},
        {rejectsLeft > 0, "File di scarto rimasti nella cartella " + runner.m_sNolvaErrFolder +
                              ": " + std::to_string(rejectsLeft) + "."},
        {!runner.m_sNolvaErrFolder.empty() && !outcome.nolvaFolderUsable, ""},
        {outcome.stopped, "Elaborazione interrotta dall'utente."},
        {outcome.filesWithErrors > 0,
         "Ricevute archiviate con errori: " + std::to_string(outcome.filesWithErrors) + "."},
        {!outcome.logError.empty(), ""},
    };
    int status = 0;
    for (const auto& cause : causes) {
        if (cause.applies) {
            status = 1;
            if (!cause.message.empty()) {
                std::fprintf(stderr, "%s\n", cause.message.c_str());
            }
        }
    }
    return status;
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
    pdf::ReaderLimits limits;
    limits.secondsPerFile =
        options.limiteLettura.value_or(settings.ReadLimitSeconds(limits.secondsPerFile));
    pdf::DefaultReader().Limits(limits);
    // The reader child starts while the archive opens.
    pdf::DefaultReader().WarmUp();

    DorvaneEnv env;
    if (!OpenArchive(env, options)) {
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
    if (const std::string closing = shell::ClosingLine(outcome); !closing.empty()) {
        std::printf("\n%s\n", closing.c_str());
    }
    if (outcome.rejectsFound > 0) {
        std::printf("File di scarto trovati: %ld, elaborati: %ld.\n", outcome.rejectsFound,
                    outcome.rejectsDone);
    }
    if (!runner.m_sLastLogFile.empty()) {
        std::printf("Log salvato in %s\n", runner.m_sLastLogFile.c_str());
    }
    std::fflush(stdout);
    return ExitStatus(outcome, runner);
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
