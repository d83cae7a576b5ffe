#include "app/FileProgress.h"

#include <QHelpEvent>
#include <QToolTip>

namespace quorvin::gui {

FileProgress::FileProgress(QWidget* parent) : QProgressBar(parent) {
    // text() makes the text: without a percentage in the format, a new value repaints the
    // bar at once only when its fill moves.
    setFormat(QString());
    Clear();
}

void FileProgress::SetStep(long number, long total, const QString& file) {
    m_count = QStringLiteral("%1 di %2").arg(number).arg(total);
    m_file = file;
    m_number = number;
    m_total = total;
    setTextVisible(true);
    if (isHidden()) {
        show();
    }
    update();
}

void FileProgress::Sync() {
    if (m_total > 0) {
        setRange(0, static_cast<int>(m_total));
        setValue(static_cast<int>(qBound(0L, m_number, m_total)));
    }
}

void FileProgress::Clear() {
    m_count.clear();
    m_file.clear();
    m_number = 0;
    m_total = 0;
    setRange(0, 100);
    setValue(0);
    setTextVisible(false);
    hide();
}

bool FileProgress::event(QEvent* event) {
    // The whole name, made when asked for rather than at every file.
    if (event->type() == QEvent::ToolTip && !m_count.isEmpty()) {
        QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(),
                           m_count + QStringLiteral(" - ") + m_file, this);
        return true;
    }
    return QProgressBar::event(event);
}

QString FileProgress::text() const {
    if (m_count.isEmpty()) {
        return QProgressBar::text();
    }
    const QString prefix = m_count + QStringLiteral(" - ");
    const int room = width() - fontMetrics().horizontalAdvance(prefix) - 16;
    return prefix + fontMetrics().elidedText(m_file, Qt::ElideMiddle, qMax(0, room));
}

} // namespace quorvin::gui
