// How a run reads to the user: the closing line, the file a pass is at, and the names of
// the pieces of a split file.
#include "shell/ProcessRunner.h"

#include "archive/DorvaneFiles.h"
#include "engine/bvTel.h"

namespace quorvin::shell {

std::string ClosingLine(const RunOutcome& outcome) {
    if (!outcome.receiptPassStarted) {
        return std::string();
    }
    return "Ricevute trovate: " + std::to_string(outcome.filesFound) +
           ", archiviate: " + std::to_string(outcome.filesArchived) +
           ", con errori: " + std::to_string(outcome.filesWithErrors) +
           ", rimaste nella cartella: " +
           std::to_string(outcome.filesFound - outcome.filesArchived) + ".";
}

std::string ProcessRunner::ShownFile(const std::string& sFile) const {
    if (sFile.empty()) {
        return sFile;
    }
    // The engine names a piece by its temporary path, by its bare name, or by the name of
    // its source; pieces are rows of xaFiles not found in the folder, those of one source
    // next to each other, in order.
    const std::string& current = m_cDocTel->File();
    for (size_t r = 0; r < xaFiles.size(); ++r) {
        const FileRow& row = xaFiles[r];
        if (row.found || !(row.path == sFile || DorvaneFiles::FileName(row.path, true) == sFile ||
                           (row.name == sFile && row.path == current))) {
            continue;
        }
        long piece = 1;
        for (size_t k = r; k > 0 && !xaFiles[k - 1].found && xaFiles[k - 1].name == row.name; --k) {
            ++piece;
        }
        return row.name + " (parte " + std::to_string(piece) + ")";
    }
    return sFile;
}

void ProcessRunner::ShowStep(long i) {
    if (i < 0 || i >= static_cast<long>(xaFiles.size())) {
        return;
    }
    const FileRow& row = xaFiles[static_cast<size_t>(i)];
    m_view.Step(i + 1, static_cast<long>(xaFiles.size()),
                row.found ? DorvaneFiles::FileName(row.path, true) : ShownFile(row.path));
}

void ProcessRunner::NoteRejectPassSkipped() {
    if (m_outcome.stopped && m_outcome.nolvaFolderUsable) {
        LogOnScreen(1, "", "ProcessNolvaFiles()",
                    "File di scarto: non elaborati, elaborazione interrotta dall'utente.");
    }
}

} // namespace quorvin::shell
