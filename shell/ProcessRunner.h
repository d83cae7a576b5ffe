#pragma once
// The PROCESS command of the main window: the receipt pass over the receipt folder, the
// reject pass over the console's reject folder, the STOP command and the operation log.
// The window and the headless command both drive one of these; what only the window has
// goes through RunView.
#include "engine/FileTable.h"
#include "shell/OperationLog.h"
#include "shell/RunView.h"

#include <QDateTime>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

namespace quorvin {
class bvNolva;
class bvTel;
class DorvaneEnv;
class DorvaneJob;
class DorvaneRecordset;
} // namespace quorvin

namespace quorvin::shell {

// Replaceable, so that log times and log file names can be fixed in tests.
using Clock = std::function<QDateTime()>;
QDateTime SystemClock();

// What the last PROCESS command did, for the headless command's exit status.
struct RunOutcome {
    bool telFolderUsable = false;
    bool nolvaFolderUsable = false;
    bool receiptPassStarted = false; // false also when the backup folder could not be made
    long filesFound = 0;             // receipt files listed
    long filesArchived = 0;          // of those, archived and removed from the folder
    long filesWithErrors = 0;        // of the archived, those with single documents that failed
    std::string readerError;         // the PDF reader could not start: nothing was read
    std::string logError;            // the run's log could not be saved
    long rejectsFound = 0;
    long rejectsDone = 0;
    bool stopped = false;
};

// The run's closing line, as the command line prints it and the window shows it; empty
// when the receipt pass did not start.
std::string ClosingLine(const RunOutcome& outcome);

class ProcessRunner {
public:
    // env is signed in and outlives the runner; so does view.
    ProcessRunner(DorvaneEnv& env, RunView& view, Clock clock = SystemClock);
    ~ProcessRunner();
    ProcessRunner(const ProcessRunner&) = delete;
    ProcessRunner& operator=(const ProcessRunner&) = delete;

    // The PROCESS command.
    void RunProcess();
    // The STOP command: honoured between files.
    void Stop();
    bool Running() const { return m_cJob != nullptr; }

    // The operation log.
    void LogOnScreen(long nPriority, const std::string& sFile, const std::string& sFunc,
                     const std::string& sMsg);
    void LogInit();
    // False (reported, no file left) when the log could not be written.
    bool LogSave(const std::string& path);
    // The saved log as a table of text; empty when the file cannot be read.
    std::string LogShow(const std::string& path);
    const OperationLog& Log() const { return m_rsLog; }

    // Fills xaFiles with the files matching pattern (folder + "*.ext"); returns the count.
    long ListFiles(const std::string& pattern);

    const RunOutcome& Outcome() const { return m_outcome; }
    // The record a file of the last receipt pass was archived as (its summary record, or
    // its first single record), by the file's name or path as the log shows it.
    struct ArchivedRecord {
        std::string archive;
        long record = -1;
    };
    std::optional<ArchivedRecord> ArchivedRecordOf(const std::string& file) const;
    bvTel& DocTel() { return *m_cDocTel; }
    // The folder logs go to: BaseFolder + "Logs/" + "Quorvin".
    std::string LogFolder() const;

    // The run's state, as the window shows and edits it.
    std::string m_sTelFolder;
    std::string m_sNolvaErrFolder;
    bool m_bSaveBackups = true;
    std::string m_sBackupFolder;
    std::string m_sLastLogFile;
    std::map<std::string, bool> m_colTipiDoc;
    FileTable xaFiles;
    long m_nJobKind = 0;

private:
    void ProcessTelFiles();
    void ProcessTelFilesJob();
    void ProcessNolvaFiles();
    void ProcessNolvaFilesJob();
    void m_cJob_OnJob();
    void SaveRunLog();
    void LogNotSaved(const std::string& path, const std::string& reason);
    bool StopTest();
    // The pass is at row i of xaFiles: the view shows "N of M" and the file's name.
    void ShowStep(long i);
    // sFile as the user knows it: a piece of a split file is "<name> (parte N)".
    std::string ShownFile(const std::string& sFile) const;
    // A STOP in the receipt pass leaves the reject pass out; the log says so.
    void NoteRejectPassSkipped();
    std::string TypeName(DorvaneRecordset& types, long code);
    // The receipt behind hash/piece is already in the archive: logged, and true.
    bool AlreadyArchived(const std::string& path, const std::string& hash, long piece);
    // Backs the file up when asked, then deletes it; false when it is still there.
    bool DisposeOf(const std::string& path, const std::string& name);

    DorvaneEnv& m_env;
    RunView& m_view;
    Clock m_clock;
    OperationLog m_rsLog;
    std::unique_ptr<bvTel> m_cDocTel;
    std::unique_ptr<bvNolva> m_cDocNolva;
    std::unique_ptr<DorvaneJob> m_cJob;
    RunOutcome m_outcome;
    std::map<std::string, ArchivedRecord> m_archivedRecords;
};

} // namespace quorvin::shell
