#pragma once
// The bar of a pass in the status bar: "N di M - file", the file's name cut in the middle
// when the bar is drawn, at whatever width it has then. A step only notes where the pass
// is; the fill follows at Sync(), which the window calls before it draws: measuring text
// and repainting at each of thousands of small files slowed the pass down.
#include <QProgressBar>

namespace quorvin::gui {

class FileProgress : public QProgressBar {
public:
    explicit FileProgress(QWidget* parent);

    // Shows the bar, with its text: file number (from 1) of total.
    void SetStep(long number, long total, const QString& file);
    // Range and value up to the last step.
    void Sync();
    // Empty, without text, hidden until the next pass.
    void Clear();

    QString text() const override;

protected:
    // The tooltip: the text with the file's whole name.
    bool event(QEvent* event) override;

private:
    QString m_count;
    QString m_file;
    long m_number = 0;
    long m_total = 0;
};

} // namespace quorvin::gui
