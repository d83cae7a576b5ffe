// The reject pass: every reject file of the console's folder marks its communication as
// rejected; a file whose update succeeded goes, with its companion XML file.
#include "shell/ProcessRunner.h"

#include "console/bvNolva.h"
#include "engine/bvTel.h"

#include "archive/DorvaneFiles.h"
#include "archive/DorvaneJob.h"

namespace quorvin::shell {

namespace {

constexpr const char* kFunc = "ProcessNolvaFiles()";

} // namespace

void ProcessRunner::ProcessNolvaFiles() {
    const long count = ListFiles(DorvaneFiles::AddSeparator(m_sNolvaErrFolder) + "*.wri");
    m_outcome.rejectsFound = count;
    if (count == 0) {
        LogOnScreen(1, "", kFunc, "File di scarto: non ci sono file da elaborare.");
        return;
    }
    m_nJobKind = 2;
    m_cJob->Total(count);
    m_cJob->Run();
    m_view.Status("FILE", "");
}

void ProcessRunner::ProcessNolvaFilesJob() {
    const std::string folder = DorvaneFiles::AddSeparator(m_sNolvaErrFolder);
    const long last = static_cast<long>(xaFiles.size()) - 1;
    for (long i = 0; i <= last; ++i) {
        m_cJob->Progress(i);
        const std::string path = xaFiles[static_cast<size_t>(i)].path;
        const std::string base = DorvaneFiles::FileName(path, false);
        m_view.Status("FILE", DorvaneFiles::FileName(path, true));
        ShowStep(i);
        m_cDocNolva->File(path);
        if (m_cDocNolva->UpdateCom()) {
            DorvaneFiles::DeleteFile(path, true);
            // The console writes the companion in lower case; a copied folder may not.
            for (const char* extension : {".xml", ".XML"}) {
                DorvaneFiles::DeleteFile(folder + base + extension, true);
            }
            if (!DorvaneFiles::FileExists(path)) {
                ++m_outcome.rejectsDone;
            }
        }
        m_view.KeepResponsive();
        // The STOP command reaches this pass through the engine's state and, when the engine
        // had no job of its own to stop, through the run's job.
        if (m_cDocTel->ProcessStopped() || m_cJob->Stopped()) {
            m_outcome.stopped = true;
            LogOnScreen(1, "", kFunc,
                        "File di scarto: elaborazione interrotta dall'utente dopo " +
                            std::to_string(i) + " files.");
            break;
        }
    }
    m_cJob->Progress(0);
}

} // namespace quorvin::shell
