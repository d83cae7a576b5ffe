#include "app/StatusPanel.h"

#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>

namespace quorvin::gui {

StatusPanel::StatusPanel(Qt::TextElideMode mode, QWidget* parent) : QLabel(parent), m_mode(mode) {
    setTextFormat(Qt::PlainText); // a file name with a '<' in it is no markup
}

QSize StatusPanel::minimumSizeHint() const {
    return {minimumWidth(), QLabel::minimumSizeHint().height()};
}

QSize StatusPanel::sizeHint() const {
    return {minimumWidth(), QLabel::sizeHint().height()};
}

bool StatusPanel::event(QEvent* event) {
    // The tooltip is taken from the text when it is asked for: a pass changes the text at
    // every line, and keeping a copy as the tooltip cost an event each time.
    if (event->type() == QEvent::ToolTip && !text().isEmpty()) {
        QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), text(), this);
        return true;
    }
    return QLabel::event(event);
}

void StatusPanel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    drawFrame(&painter);
    const QRect room = contentsRect().adjusted(margin() + 2, 0, -margin() - 2, 0);
    painter.drawText(room, Qt::AlignLeft | Qt::AlignVCenter,
                     fontMetrics().elidedText(text(), m_mode, room.width()));
}

} // namespace quorvin::gui
