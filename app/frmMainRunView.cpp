// The window as the view of a run: list rows, status panels, progress bar, boxes.
#include "app/FileProgress.h"
#include "app/Seams.h"
#include "app/StatusPanel.h"
#include "app/frmMain.h"

#include <QApplication>
#include <QLabel>
#include <QTreeWidget>

namespace quorvin::gui {

namespace {

// The same in every locale: four-digit years and seconds tell the rows of a run apart.
const QString kDateTimeFormat = QStringLiteral("dd/MM/yyyy HH:mm:ss");
// How often a pass lets the window handle its events: often enough for STOP to feel
// immediate, seldom enough that drawing does not slow the pass down.
constexpr qint64 kPumpIntervalMs = 50;
// How often a pass shows its new rows: a few times a second still reads as live. Each time
// the list lays all its rows out again, which costs more the longer it is; a long list is
// shown less often, so that this never takes more than about a twentieth of the pass.
constexpr qint64 kListIntervalMs = 250;
constexpr qint64 kListCostShare = 20;

} // namespace

void frmMain::AddLine(const QDateTime& when, const std::string& file, const std::string& message) {
    auto* row = new QTreeWidgetItem({when.toString(kDateTimeFormat), QString::fromStdString(file),
                                     QString::fromStdString(message)});
    row->setToolTip(1, row->text(1));
    row->setToolTip(2, row->text(2));
    m_pendingRows.emplace_back(row);
    if (!m_bBusy) {
        FlushList();
    }
}

void frmMain::FlushList() {
    if (m_pendingRows.empty()) {
        return;
    }
    QList<QTreeWidgetItem*> rows;
    rows.reserve(static_cast<qsizetype>(m_pendingRows.size()));
    for (auto& row : m_pendingRows) {
        rows.append(row.release());
    }
    m_pendingRows.clear();
    lvOperations->addTopLevelItems(rows);
    lvOperations->setCurrentItem(rows.last());
    lvOperations->scrollToItem(rows.last());
}

void frmMain::ShowPassSoFar() {
    FlushList();
    pbFiles->Sync();
}

void frmMain::ClearLines() {
    m_pendingRows.clear();
    lvOperations->clear();
    m_reportedErrors.clear();
}

void frmMain::Status(const std::string& panel, const std::string& text) {
    const auto found = m_panels.find(panel);
    if (found == m_panels.end()) {
        return;
    }
    found->second->SetText(QString::fromStdString(text));
}

void frmMain::Progress(long percent) {
    // The bar counts files (Step); a pass going back to 0 has ended.
    if (percent == 0) {
        pbFiles->Clear(); // its room goes to the messages until the next pass
    }
}

void frmMain::Step(long number, long total, const std::string& file) {
    pbFiles->SetStep(number, total, QString::fromStdString(file));
    // A piece of a split file goes by its source's name here too.
    Status("FILE", file);
}

void frmMain::MsgBox(const std::string& text, int style) {
    ShowPassSoFar(); // the lines that led to the box are behind it
    if (style == kExclamation) {
        MessageBox::Warning(this, QString::fromStdString(text));
    } else {
        MessageBox::Information(this, QString::fromStdString(text));
    }
}

void frmMain::Busy(bool busy) {
    if (busy) {
        // The first chance of a run is always taken.
        m_sincePump.invalidate();
        m_sinceListShown.invalidate();
        m_listIntervalMs = 0;
    } else {
        FlushList();
    }
    UpdateControls(m_bLoggedIn, busy);
    if (busy && !m_cursorBusy) {
        QApplication::setOverrideCursor(Qt::BusyCursor);
        m_cursorBusy = true;
    } else if (!busy && m_cursorBusy) {
        QApplication::restoreOverrideCursor();
        m_cursorBusy = false;
    }
}

void frmMain::KeepResponsive() {
    if (m_sincePump.isValid() && m_sincePump.elapsed() < kPumpIntervalMs) {
        return;
    }
    if (!m_sinceListShown.isValid() || m_sinceListShown.elapsed() >= m_listIntervalMs) {
        QElapsedTimer cost;
        cost.start();
        FlushList();
        m_listIntervalMs = qMax(kListIntervalMs, kListCostShare * cost.elapsed());
        m_sinceListShown.start();
    }
    pbFiles->Sync();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    m_sincePump.start();
}

void frmMain::ReportError(const std::string& where, const std::string& text) {
    // Once per routine and run: a failing list must not flood the user with boxes.
    if (!m_reportedErrors.insert(where).second && m_bBusy) {
        return;
    }
    ShowPassSoFar();
    MessageBox::Warning(this, QString::fromStdString(where + ": " + text));
}

} // namespace quorvin::gui
