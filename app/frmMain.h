#pragma once
// The main window: the two working folders, the toolbar and menus, the operation list,
// the status bar and the progress bar. The PROCESS command itself is shell::ProcessRunner;
// the window is its view.
#include "app/LogViewer.h"
#include "app/frmConsulta.h"
#include "shell/ProcessRunner.h"
#include "shell/RunView.h"

#include <QElapsedTimer>
#include <QMainWindow>
#include <QPointer>

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <vector>

class QAction;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QSplitter;
class QToolBar;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace quorvin {
class DorvaneEnv;
}
namespace quorvin::shell {
class Settings;
}

namespace quorvin::gui {

class FileProgress;
class StatusPanel;

class frmMain : public QMainWindow, private shell::RunView {
    Q_OBJECT
public:
    // env is connected to the archive (not necessarily signed in); env and settings
    // outlive the window.
    frmMain(DorvaneEnv& env, const shell::Settings& settings,
            shell::Clock clock = shell::SystemClock, QWidget* parent = nullptr);
    ~frmMain() override;

    // A toolbar click: the folder texts are taken first, then the key's command runs.
    void DispatchTool(const QString& key);
    QAction* Tool(const QString& key) const;

    void ChangeUser(bool startUp);
    void UpdateControls(bool loggedIn, bool busy);
    void SelectTelFolder();
    void SelectNolvaFolder();
    void OpenFolder(const std::string& folder);
    void RunProcess();
    void StopProcess();
    void LogShow(const std::string& path);
    // The logs "Log" offers: the runs of the last 30 days, newest first.
    std::vector<std::string> RecentLogFiles() const;
    void OpenLogFolder();
    void ShowTypeDialog();
    void ShowAbout();
    // "Consulta archivio", showing a record when one is given; the window stays open.
    frmConsulta* OpenConsult(const std::string& archive = "", long record = -1);
    // A row of the operation list: the record its file was archived as in the last pass.
    void OpenArchivedRecord(QTreeWidgetItem* row);
    frmConsulta* LastConsult() const { return m_consult; }

    bool Activated() const { return m_runner != nullptr; }
    bool LoggedIn() const { return m_bLoggedIn; }
    bool IsBusy() const { return m_bBusy; }
    // Present from the first activation on.
    shell::ProcessRunner* Runner() const { return m_runner.get(); }
    // The last log viewer opened, while it is open.
    LogViewer* LastLogViewer() const { return m_logViewer; }
    // The drop-down of the "Log" tool, filled each time it opens.
    QMenu* LogMenu() const { return m_logMenu; }
    void FillLogMenu();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    enum class Rule { LoggedInIdle, Idle, LoggedInBusy, LogView };
    struct RuleRow {
        std::function<void(bool)> setEnabled;
        Rule rule;
    };

    void BuildMenus();
    void BuildToolbar();
    void BuildCentre();
    void BuildStatusBar();
    void BuildRules();
    void Form_FirstActivate();
    void Form_Unload();
    void ChangeUserCommand();
    void QuitCommand();
    void OpenTelFolder();
    void OpenNolvaFolder();
    void LogViewCommand();
    void ConsultCommand() { OpenConsult(); }
    void FitListColumns();
    void RestoreLayout();
    // Puts the rows held back by a pass into the list, in order, and selects the newest.
    // Adding, selecting and scrolling each lay the whole list out again: a pass does it a
    // few times a second, not at every row.
    void FlushList();
    // The list and the progress bar as far as the pass has gone: before a box, which the
    // user reads over them.
    void ShowPassSoFar();
    // The closing line of the run: the last row of the list and the status bar.
    void ShowClosingLine();
    // Asks to stop the running pass before leaving it; true when the user agreed.
    bool ConfirmStop(const QString& question);

    // What a run shows, through shell::RunView.
    void AddLine(const QDateTime& when, const std::string& file,
                 const std::string& message) override;
    void ClearLines() override;
    void Status(const std::string& panel, const std::string& text) override;
    void Progress(long percent) override;
    void Step(long number, long total, const std::string& file) override;
    void MsgBox(const std::string& text, int style) override;
    void Busy(bool busy) override;
    void KeepResponsive() override;
    void ReportError(const std::string& where, const std::string& text) override;

    DorvaneEnv& m_env;
    const shell::Settings& m_settings;
    shell::Clock m_clock;
    std::unique_ptr<shell::ProcessRunner> m_runner;
    bool m_bFirstActivate = true;
    bool m_bLoggedIn = false;
    bool m_bBusy = false;
    bool m_closeAfterRun = false;
    bool m_changeUserAfterRun = false;
    bool m_unloaded = false;
    bool m_cursorBusy = false;
    QString m_lastUser;
    std::set<std::string> m_reportedErrors;
    std::vector<RuleRow> m_rules;
    std::map<QString, QAction*> m_tools;
    std::map<std::string, StatusPanel*> m_panels;
    QPointer<LogViewer> m_logViewer;
    std::vector<std::unique_ptr<QTreeWidgetItem>> m_pendingRows;
    QElapsedTimer m_sincePump;
    QElapsedTimer m_sinceListShown;
    qint64 m_listIntervalMs = 0;
    QPointer<frmConsulta> m_consult;

    QToolBar* tlbCommands = nullptr;
    QGroupBox* frameArch = nullptr;
    QLineEdit* txtTelFolder = nullptr;
    QToolButton* cmdTelFolder = nullptr;
    QLineEdit* txtNolvaErrFolder = nullptr;
    QToolButton* cmdNolvaErrFolder = nullptr;
    QCheckBox* chkBackup = nullptr;
    QSplitter* splMain = nullptr;
    QTreeWidget* lvOperations = nullptr;
    QMenu* m_logMenu = nullptr;
    FileProgress* pbFiles = nullptr;
    QAction* mnuSelectTelFolder = nullptr;
    QAction* mnuSelectNolvaFolder = nullptr;
    QAction* mnuOpenTelFolder = nullptr;
    QAction* mnuOpenNolvaFolder = nullptr;
    QAction* mnuOpenLogFolder = nullptr;
    QAction* mnuQuit = nullptr;
    QAction* mnuConsulta = nullptr;
    QAction* mnuLogin = nullptr;
    QAction* mnuTipi = nullptr;
    QAction* mnuAbout = nullptr;
};

} // namespace quorvin::gui
