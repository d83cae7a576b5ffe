#include "app/FileProgress.h"

namespace quorvin::gui {

FileProgress::FileProgress(QWidget* parent) : QProgressBar(parent) {
    Clear();
}

void FileProgress::SetStep(long number, long total, const QString& file) {
    m_count = QStringLiteral("%1 di %2").arg(number).arg(total);
    m_file = file;
    m_number = number;
    m_total = total;
    setTextVisible(true);
    show();
    setToolTip(m_count + QStringLiteral(" - ") + m_file);
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

QString FileProgress::text() const {
    if (m_count.isEmpty()) {
        return QProgressBar::text();
    }
    const QString prefix = m_count + QStringLiteral(" - ");
    const int room = width() - fontMetrics().horizontalAdvance(prefix) - 16;
    return prefix + fontMetrics().elidedText(m_file, Qt::ElideMiddle, qMax(0, room));
}

} // namespace quorvin::gui
