// The window as the view of a run: list rows, status panels, progress bar, boxes.
#include "app/Seams.h"
#include "app/frmMain.h"

#include <QApplication>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QTreeWidget>

namespace quorvin::gui {

void frmMain::AddLine(const QDateTime& when, const std::string& file, const std::string& message) {
    auto* row =
        new QTreeWidgetItem({QLocale().toString(when, QLocale::ShortFormat),
                             QString::fromStdString(file), QString::fromStdString(message)});
    row->setToolTip(1, row->text(1));
    row->setToolTip(2, row->text(2));
    lvOperations->addTopLevelItem(row);
    lvOperations->setCurrentItem(row);
    lvOperations->scrollToItem(row);
}

void frmMain::ClearLines() {
    lvOperations->clear();
    m_reportedErrors.clear();
}

void frmMain::Status(const std::string& panel, const std::string& text) {
    const auto found = m_panels.find(panel);
    if (found == m_panels.end()) {
        return;
    }
    QLabel* label = found->second;
    const QString full = QString::fromStdString(text);
    // A long path must not push the other panels away.
    label->setText(label->fontMetrics().elidedText(
        full, Qt::ElideMiddle, qMax(label->width(), label->minimumWidth()) - 8));
    label->setToolTip(full);
}

void frmMain::Progress(long percent) {
    pbFiles->setValue(static_cast<int>(qBound(0L, percent, 100L)));
}

void frmMain::MsgBox(const std::string& text, int style) {
    if (style == kExclamation) {
        MessageBox::Warning(this, QString::fromStdString(text));
    } else {
        MessageBox::Information(this, QString::fromStdString(text));
    }
}

void frmMain::Busy(bool busy) {
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
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void frmMain::ReportError(const std::string& where, const std::string& text) {
    // Once per routine and run: a failing list must not flood the user with boxes.
    if (!m_reportedErrors.insert(where).second && m_bBusy) {
        return;
    }
    MessageBox::Warning(this, QString::fromStdString(where + ": " + text));
}

} // namespace quorvin::gui
