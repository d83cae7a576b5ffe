#pragma once
// The main window over a fresh copy of an archive with the standard catalogue, a
// settings file of its own and a receipt folder, with every dialog answered by the test.
#include "app/Seams.h"
#include "app/frmMain.h"
#include "archive/DorvaneEnv.h"
#include "shell/Settings.h"

#include <QStringList>
#include <QTemporaryDir>

#include <memory>
#include <optional>
#include <string>

namespace quorvin::test {

class GuiFixture {
public:
    enum class Rejects { Missing, Empty, Folder };

    // Makes the pristine archive that each fixture copies (once); false when it cannot.
    static bool PrepareArchive();

    GuiFixture();
    ~GuiFixture();

    // The window with settings pointing at receipts (and rejects); signs in unless told.
    gui::frmMain& Open(bool signIn = true, Rejects rejects = Rejects::Empty);
    gui::frmMain& Window() { return *m_window; }
    // The program started again: a new window over the same archive and settings.
    gui::frmMain& Reopen();

    std::string Receipt(const std::string& templateName, const std::string& pdfName = "");
    // A PDF whose text no receipt type recognises.
    std::string Unknown(const std::string& pdfName);
    std::string ReceiptFolder() const { return Path("ricevute"); }
    std::string RejectFolder() const { return Path("scarti"); }
    std::string Path(const std::string& name) const;
    bool InReceiptFolder(const std::string& name) const;
    QStringList LogFiles() const;

    // Messages of the operation list, in order, but the engine's "Inizio elaborazione" and
    // the closing line; the "MSG"
    // panel; the USER panel.
    QStringList ListMessages() const;
    QString Panel(const char* key) const;

    shell::Settings& Settings() { return *m_settings; }
    DorvaneEnv& Env() { return *m_env; }

    QStringList boxes;     // texts of the message boxes shown, in order
    int signInPrompts = 0; // times the sign-in was asked
    bool answerYes = true; // answer to questions
    bool cancelSignIn = false;

private:
    gui::frmMain& MakeWindow();

    QTemporaryDir m_dir;
    std::unique_ptr<DorvaneEnv> m_env;
    std::unique_ptr<shell::Settings> m_settings;
    std::unique_ptr<gui::frmMain> m_window;
    long m_ticks = 0;
};

} // namespace quorvin::test
