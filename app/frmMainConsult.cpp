// The main window's way into "Consulta archivio": its command, and the operation list's
// rows opening the record their file was archived as.
#include "app/frmConsulta.h"
#include "app/frmMain.h"

#include <QTreeWidget>

namespace quorvin::gui {

frmConsulta* frmMain::OpenConsult(const std::string& archive, long record) {
    if (!m_bLoggedIn || m_bBusy) {
        return nullptr;
    }
    if (!m_consult) {
        m_consult = new frmConsulta(m_env, {}, this);
    }
    if (!archive.empty()) {
        m_consult->ShowRecord(archive, record);
    }
    m_consult->show();
    m_consult->raise();
    m_consult->activateWindow();
    return m_consult;
}

void frmMain::OpenArchivedRecord(QTreeWidgetItem* row) {
    if (row == nullptr || !m_runner) {
        return;
    }
    if (const auto stored = m_runner->ArchivedRecordOf(row->text(1).toStdString())) {
        OpenConsult(stored->archive, stored->record);
    }
}

} // namespace quorvin::gui
