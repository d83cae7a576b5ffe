#pragma once
// The receipt-type selection dialog: one check per catalogue type, saved when it closes.
#include <QDialog>

class QListWidget;
class QPushButton;

namespace quorvin::shell {
class Settings;
}

namespace quorvin::gui {

class frmTelConfig : public QDialog {
    Q_OBJECT
public:
    explicit frmTelConfig(const shell::Settings& settings, QWidget* parent = nullptr);

    // Every way of closing ends here: the flags are written whatever the result.
    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void Form_FirstActivate();
    void SetAll(bool checked);

    const shell::Settings& m_settings;
    bool m_bFirstActivate = true;
    bool m_saved = false;
    QListWidget* lstTipiDoc;
    QPushButton* cmdSelectAll;
    QPushButton* cmdDeselectAll;
    QPushButton* cmdClose;
};

} // namespace quorvin::gui
