#pragma once
// Modal dialogs and the desktop shell go through these, so that tests can answer them
// instead of a person (a test must never wait on a modal dialog).
#include <QMessageBox>
#include <QString>

#include <functional>

class QWidget;

namespace quorvin::gui {

class MessageBox {
public:
    enum class Kind { Information, Warning, Question, About };
    // Returns the button the user would have pressed.
    using Handler = std::function<QMessageBox::StandardButton(Kind, const QString& text)>;

    static void Information(QWidget* parent, const QString& text);
    static void Warning(QWidget* parent, const QString& text);
    // Yes/No, No being the default: true for Yes.
    static bool Question(QWidget* parent, const QString& text);
    static void About(QWidget* parent, const QString& title, const QString& text);

    // An empty handler shows real boxes again.
    static void SetHandler(Handler handler);

private:
    static QMessageBox::StandardButton Show(QWidget* parent, Kind kind, const QString& title,
                                            const QString& text);
};

class FolderDialog {
public:
    // The chosen folder, or an empty text when cancelled.
    using Handler = std::function<QString(const QString& title, const QString& start)>;

    static QString Ask(QWidget* parent, const QString& title, const QString& start);
    static void SetHandler(Handler handler);
};

class Desktop {
public:
    using Handler = std::function<void(const QString& folder)>;

    // Opens the folder in the desktop's file manager.
    static void OpenFolder(const QString& folder);
    static void SetHandler(Handler handler);
};

} // namespace quorvin::gui
