#pragma once
// A status-bar panel that cuts a text too long for it when it draws it, at whatever width
// the bar gives it then: a long path or message never pushes the other panels away.
#include <QLabel>

namespace quorvin::gui {

class StatusPanel : public QLabel {
public:
    StatusPanel(Qt::TextElideMode mode, QWidget* parent);

    // The whole text stays text(), and is the tooltip.
    void SetText(const QString& text) { setText(text); }
    QSize minimumSizeHint() const override;
    QSize sizeHint() const override;

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    Qt::TextElideMode m_mode;
};

} // namespace quorvin::gui
