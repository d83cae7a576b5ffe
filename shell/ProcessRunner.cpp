#include "shell/ProcessRunner.h"

#include "archive/DorvaneEnv.h"
#include "archive/DorvaneFiles.h"
#include "archive/DorvaneJob.h"
#include "console/bvNolva.h"
#include "engine/bvTel.h"
#include "shell/Settings.h"

#include <QStandardPaths>

#include <exception>

namespace quorvin::shell {

QDateTime SystemClock() {
    return QDateTime::currentDateTime();
}

ProcessRunner::ProcessRunner(DorvaneEnv& env, RunView& view, Clock clock)
    : m_env(env), m_view(view), m_clock(std::move(clock)), m_cDocTel(std::make_unique<bvTel>(env)),
      m_cDocNolva(std::make_unique<bvNolva>(env)) {
    // m_cDocTel_TelLogEvent and m_cDocNolva_TelLogEvent: both go to the log unchanged.
    const auto toLog = [this](long nPriority, const std::string& sFile, const std::string& sFunc,
                              const std::string& sMsg) {
        LogOnScreen(nPriority, sFile, sFunc, sMsg);
    };
    m_cDocTel->ConnectTelLogEvent(toLog);
    m_cDocTel->JobProgressHook([this] { m_view.KeepResponsiveWhileArchiving(); });
    m_cDocNolva->ConnectTelLogEvent(toLog);
}

ProcessRunner::~ProcessRunner() = default;

void ProcessRunner::RunProcess() {
    m_outcome = RunOutcome{};
    const std::string telMessage = FolderCheck(m_sTelFolder);
    m_outcome.telFolderUsable = telMessage.empty();
    if (!m_outcome.telFolderUsable) {
        m_view.FolderUnusable(RunView::Folder::Receipts, m_sTelFolder, telMessage);
    }
    if (!m_sNolvaErrFolder.empty()) {
        const std::string nolvaMessage = FolderCheck(m_sNolvaErrFolder);
        m_outcome.nolvaFolderUsable = nolvaMessage.empty();
        if (!m_outcome.nolvaFolderUsable) {
            m_view.FolderUnusable(RunView::Folder::Rejects, m_sNolvaErrFolder, nolvaMessage);
        }
    }
    m_view.Busy(true);
    LogInit();
    m_cDocTel->Init();

    m_cJob = std::make_unique<DorvaneJob>();
    m_cJob->Option(0, true);
    for (size_t k = 1; k < 5; ++k) {
        m_cJob->Option(k, false);
    }
    m_cJob->OnStatus = [this](long nPrc) { m_view.Progress(nPrc); };
    m_cJob->ProgressHook = [this] { m_view.KeepResponsive(); };
    // No transaction here: each receipt file is its own transaction inside the engine.
    m_cJob->OnJob = [this](bool& ok) {
        m_cJob_OnJob();
        ok = true;
    };

    if (m_outcome.telFolderUsable) {
        ProcessTelFiles();
    }
    if (m_outcome.nolvaFolderUsable && !m_outcome.stopped) {
        ProcessNolvaFiles();
    }
    m_outcome.stopped = m_outcome.stopped || m_cJob->Stopped() || m_cDocTel->ProcessStopped();
    m_cJob.reset();
    m_view.Busy(false);
}

void ProcessRunner::Stop() {
    bool engineStopped = false;
    if (m_cDocTel) {
        m_cDocTel->StopProcess();
        engineStopped = m_cDocTel->ProcessStopped();
    }
    // While the engine archives it stops its own job, and the loop learns it from the engine.
    if (m_cJob) {
        m_cJob->Stopped(!engineStopped);
    }
}

void ProcessRunner::m_cJob_OnJob() {
    try {
        if (m_nJobKind == 1) {
            ProcessTelFilesJob();
        } else if (m_nJobKind == 2) {
            ProcessNolvaFilesJob();
        }
    } catch (const std::exception& e) {
        LogOnScreen(1, "", m_nJobKind == 2 ? "ProcessNolvaFiles()" : "ProcessTelFiles()",
                    std::string("0: ") + e.what());
    }
}

long ProcessRunner::ListFiles(const std::string& pattern) {
    const std::string folder = DorvaneFiles::FolderOf(pattern);
    const std::string wildcard = DorvaneFiles::FileName(pattern, true);
    const std::vector<std::string> paths = DorvaneFiles::FindFiles(folder, wildcard);
    xaFiles.clear();
    for (const auto& path : paths) {
        xaFiles.push_back(FileRow{path, DorvaneFiles::FileName(path, true), true});
    }
    return static_cast<long>(xaFiles.size());
}

void ProcessRunner::LogOnScreen(long nPriority, const std::string& sFile, const std::string& sFunc,
                                const std::string& sMsg) {
    QDateTime now;
    std::string file = sFile;
    try {
        // Pieces of a split file go by their source's name, not by their temporary one.
        file = ShownFile(sFile);
        now = m_clock();
        m_rsLog.Append(LogRecord{now, file, sMsg, sFunc});
    } catch (const std::exception& e) {
        m_view.ReportError("frmMain.LogOnScreen()", e.what());
    }
    if (nPriority == 1) {
        m_view.AddLine(now, file, sMsg);
    } else {
        m_view.StatusLine(now, file, sMsg);
    }
}

void ProcessRunner::LogInit() {
    m_rsLog.Clear();
    m_view.ClearLines();
}

bool ProcessRunner::LogSave(const std::string& path) {
    std::string error;
    if (!m_rsLog.Save(path, error)) {
        m_view.ReportError("frmMain.LogSave()", error);
        return false;
    }
    return true;
}

std::string ProcessRunner::LogShow(const std::string& path) {
    std::vector<LogRecord> records;
    std::string error;
    if (!OperationLog::Load(path, records, error)) {
        m_view.ReportError("frmMain.LogShow()", error);
        return std::string();
    }
    return FormatLogTable(records);
}

std::string ProcessRunner::LogFolder() const {
    std::string base = m_env.BaseFolder();
    if (base.empty()) {
        base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation).toStdString() +
               "/Belvast/Quorvin/";
    }
    return DorvaneFiles::AddSeparator(base) + "Logs/Quorvin";
}

} // namespace quorvin::shell
