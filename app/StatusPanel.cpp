#include "app/StatusPanel.h"

#include <QPainter>

namespace quorvin::gui {

QSize StatusPanel::minimumSizeHint() const {
    return {minimumWidth(), QLabel::minimumSizeHint().height()};
}

QSize StatusPanel::sizeHint() const {
    return {minimumWidth(), QLabel::sizeHint().height()};
}

void StatusPanel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    drawFrame(&painter);
    const QRect room = contentsRect().adjusted(margin() + 2, 0, -margin() - 2, 0);
    painter.drawText(room, Qt::AlignLeft | Qt::AlignVCenter,
                     fontMetrics().elidedText(text(), m_mode, room.width()));
}

} // namespace quorvin::gui
