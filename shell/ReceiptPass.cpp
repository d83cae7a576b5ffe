// The receipt pass: every PDF of the receipt folder through the engine, archived files
// backed up and removed, and the run's log saved at the end.
#include "shell/ProcessRunner.h"

#include "console/bvNolva.h"
#include "engine/bvTel.h"

#include "archive/DorvaneEnv.h"
#include "archive/DorvaneFiles.h"
#include "archive/DorvaneJob.h"
#include "archive/DorvaneRecordset.h"
#include "archive/DorvaneText.h"
#include "archive/Fingerprints.h"

#include <optional>

namespace quorvin::shell {

namespace {

constexpr const char* kFunc = "ProcessTelFiles()";

// A receipt file that FileSplit cut into pieces. The pieces are temporary files, deleted as
// soon as each has been processed. The file itself leaves the folder only when every piece
// is in the archive: a piece archived on an earlier run is known by the source's
// fingerprint and its number, and skipped.
struct SplitSource {
    std::string path;
    std::string name;
    std::string fingerprint;
    long pending = 0;
    long served = 0;
    bool allArchived = true;
    bool withErrors = false;
};

} // namespace

void ProcessRunner::ProcessTelFiles() {
    const std::string folder = DorvaneFiles::AddSeparator(m_sTelFolder);
    const long count = ListFiles(folder + "*.pdf");
    m_outcome.filesFound = count;
    m_archivedRecords.clear();
    if (count == 0) {
        LogOnScreen(1, "", kFunc, "Non ci sono file da elaborare.");
        return;
    }
    if (m_bSaveBackups) {
        m_sBackupFolder = folder + "BACKUP";
        if (!DorvaneFiles::FolderExists(m_sBackupFolder) &&
            !DorvaneFiles::CreateFolder(m_sBackupFolder)) {
            m_view.MsgBox("Errore nella creazione della cartella '" + m_sBackupFolder +
                              "'. Elaborazione interrotta.",
                          RunView::kExclamation);
            return;
        }
    }
    std::string reader;
    if (!m_cDocTel->PDFReaderReady(reader)) {
        // Without the reader every receipt would look unreadable: stop before the first.
        m_outcome.readerError = "Lettore PDF non disponibile: impossibile avviare '" + reader +
                                "'. Elaborazione interrotta, nessun file elaborato.";
        LogOnScreen(1, "", kFunc, m_outcome.readerError);
        m_view.MsgBox(m_outcome.readerError, RunView::kExclamation);
        SaveRunLog();
        return;
    }
    m_outcome.receiptPassStarted = true;
    // The first file is read while the pass gets going.
    m_cDocTel->PDFReadAhead(xaFiles.front().path);
    m_nJobKind = 1;
    m_cJob->Total(count);
    m_cJob->Run();
    NoteRejectPassSkipped();
    SaveRunLog();
    m_view.Progress(0);
    m_view.Status("FILE", "");
    m_view.Status("MSG", "");
}

void ProcessRunner::SaveRunLog() {
    const std::string folder = LogFolder();
    if (!DorvaneFiles::FolderExists(folder) && !DorvaneFiles::CreateFolder(folder)) {
        LogOnScreen(1, folder, kFunc, "Creazione cartella dei log non riuscita");
        LogNotSaved(folder, "impossibile creare la cartella");
        return;
    }
    std::string prefix = DorvaneFiles::LocalName();
    if (prefix.empty()) {
        prefix = "localhost";
    }
    const QDateTime now = m_clock();
    const std::string path = DorvaneFiles::AddSeparator(folder) + prefix + "_" +
                             now.toString(QStringLiteral("yyyyMMdd")).toStdString() + "_" +
                             now.toString(QStringLiteral("HHmmss")).toStdString() + ".xml";
    std::string error;
    if (m_rsLog.Save(path, error)) {
        m_sLastLogFile = path;
    } else {
        LogNotSaved(path, error);
    }
}

void ProcessRunner::LogNotSaved(const std::string& path, const std::string& reason) {
    // The previous run's log must not pass for this one: the user is told, every time.
    m_outcome.logError = "Log dell'elaborazione non salvato in '" + path + "': " + reason + ".";
    m_sLastLogFile.clear();
    m_view.MsgBox(m_outcome.logError, RunView::kExclamation);
}

void ProcessRunner::ProcessTelFilesJob() {
    DorvaneRecordset types(m_env.Connection());
    types.Open("select * from SYS_TIPO_DOC_F");
    if (m_bSaveBackups) {
        m_sBackupFolder = DorvaneFiles::AddSeparator(m_sBackupFolder);
    }
    std::optional<SplitSource> split;
    long i = 0;
    do {
        const FileRow row = xaFiles[static_cast<size_t>(i)];
        m_view.Status("FILE", DorvaneFiles::FileName(row.path, true));
        if (m_cDocTel->FileSplit(xaFiles, i) != 0) {
            m_cJob->Total(static_cast<long>(xaFiles.size()));
            if (row.found) {
                split = SplitSource{row.path, row.name, m_cDocTel->SplitFingerprint(), 2, 0,
                                    true,     false};
            } else if (split) {
                // A piece cut again: its two halves replace it.
                ++split->pending;
                DorvaneFiles::DeleteFile(row.path, true);
            }
        }
        m_cJob->Progress(i);
        ShowStep(i);

        const FileRow current = xaFiles[static_cast<size_t>(i)];
        m_cDocTel->File(current.path);
        m_cDocTel->FileNameOrig(current.name);
        // The next file of the folder is read while this one is archived (pieces of a cut
        // file are read already).
        for (size_t next = static_cast<size_t>(i) + 1; next < xaFiles.size(); ++next) {
            if (xaFiles[next].found) {
                m_cDocTel->PDFReadAhead(xaFiles[next].path);
                break;
            }
        }
        bool archived = false;
        bool withErrors = false;
        const bool piece = !current.found && split;
        const long pieceNumber = piece ? ++split->served : 0;
        if (m_cDocTel->IsOpen() && m_cDocTel->DocType() != -1) {
            const std::string code = std::to_string(m_cDocTel->DocType());
            const std::string hash = piece ? split->fingerprint : m_cDocTel->PageFingerprint();
            if (!hash.empty() && AlreadyArchived(current.path, hash, pieceNumber)) {
                archived = true;
            } else if (DorvaneText::HasKey(m_colTipiDoc, code) && m_colTipiDoc.at(code)) {
                m_cDocTel->Fingerprint(hash, pieceNumber);
                archived = m_cDocTel->Process();
                withErrors = archived && m_cDocTel->ArchivedWithErrors();
            } else {
                LogOnScreen(1, current.path, kFunc,
                            "File non elaborato (archiviazione di '" +
                                TypeName(types, m_cDocTel->DocType()) +
                                "' disattivata nelle impostazioni).");
            }
        } else {
            LogOnScreen(1, current.path, kFunc, "File non riconosciuto.");
        }

        const bool done = archived && !m_cDocTel->ProcessStopped();
        if (done) {
            const bool summary = m_cDocTel->SummaryRecord() >= 0;
            const ArchivedRecord stored{
                summary ? m_cDocTel->SummaryArchive() : m_cDocTel->SingleArchive(),
                summary ? m_cDocTel->SummaryRecord() : m_cDocTel->FirstSingleRecord()};
            if (stored.record >= 0) {
                m_archivedRecords[current.name] = stored;
                m_archivedRecords[current.path] = stored;
            }
        }
        if (!current.found) {
            DorvaneFiles::DeleteFile(current.path, true);
            if (split) {
                split->allArchived = split->allArchived && done;
                split->withErrors = split->withErrors || withErrors;
                if (--split->pending == 0) {
                    if (split->allArchived && DisposeOf(split->path, split->name)) {
                        ++m_outcome.filesArchived;
                        m_outcome.filesWithErrors += split->withErrors ? 1 : 0;
                    }
                    split.reset();
                }
            }
        } else if (done && DisposeOf(current.path, current.name)) {
            ++m_outcome.filesArchived;
            m_outcome.filesWithErrors += withErrors ? 1 : 0;
        }

        if (StopTest()) {
            LogOnScreen(1, "", kFunc,
                        "Elaborazione interrotta dall'utente dopo " + std::to_string(i) + " file.");
            break;
        }
        ++i;
    } while (i < static_cast<long>(xaFiles.size()));

    // Pieces not reached because of a stop are temporary files too.
    for (const auto& row : xaFiles) {
        if (!row.found) {
            DorvaneFiles::DeleteFile(row.path, true);
        }
    }
    m_cJob->Progress(0);
    types.Close();
}

std::optional<ProcessRunner::ArchivedRecord>
ProcessRunner::ArchivedRecordOf(const std::string& file) const {
    const auto found = m_archivedRecords.find(file);
    if (found == m_archivedRecords.end()) {
        return std::nullopt;
    }
    return found->second;
}

bool ProcessRunner::StopTest() {
    // Lets a STOP given while the file was processed reach the flags below.
    m_view.KeepResponsive();
    bool stopped = m_cDocTel->ProcessStopped();
    if (stopped) {
        m_cJob->Stopped(true);
    } else {
        stopped = m_cJob->Stopped();
    }
    m_outcome.stopped = m_outcome.stopped || stopped;
    return stopped;
}

std::string ProcessRunner::TypeName(DorvaneRecordset& types, long code) {
    if (types.IsOpen() && types.Find("ID_TIPODOC=" + std::to_string(code)) && !types.Eof()) {
        return types.Value("DESCRIZIONE");
    }
    return "Tipo doc. " + std::to_string(code);
}

bool ProcessRunner::AlreadyArchived(const std::string& path, const std::string& hash, long piece) {
    ArchivedReceipt found;
    if (!FindArchivedReceipt(*m_env.Connection(), hash, piece, found)) {
        return false;
    }
    LogOnScreen(1, path, kFunc,
                "Ricevuta già archiviata il " + FormatDate(found.date) + " (" + found.archiveName +
                    ", record " + std::to_string(found.record) + ").");
    return true;
}

bool ProcessRunner::DisposeOf(const std::string& path, const std::string& name) {
    if (m_bSaveBackups && !DorvaneFiles::CopyFile(path, m_sBackupFolder + name)) {
        return false;
    }
    return DorvaneFiles::DeleteFile(path, false) && !DorvaneFiles::FileExists(path);
}

} // namespace quorvin::shell
