// The window's commands: the toolbar and menus, the enabling rules, sign-in and the dialogs.
#include "app/LogViewer.h"
#include "app/LoginDialog.h"
#include "app/Seams.h"
#include "app/StatusPanel.h"
#include "app/frmMain.h"
#include "app/frmTelConfig.h"
#include "archive/DorvaneEnv.h"
#include "shell/LogFiles.h"
#include "shell/OperationLog.h"
#include "shell/Settings.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTimer>
#include <QToolButton>

namespace quorvin::gui {
namespace {

// DorvaneApp AppName: the title of the folder dialogs.
const QString kAppName = QStringLiteral("Quorvin");
// How far back "Log" offers the runs.
constexpr int kLogDays = 30;

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

} // namespace

void frmMain::BuildRules() {
    const auto widget = [](QWidget* control) {
        return [control](bool enabled) { control->setEnabled(enabled); };
    };
    const auto action = [](QAction* control) {
        return [control](bool enabled) { control->setEnabled(enabled); };
    };
    m_rules = {
        {widget(txtTelFolder), Rule::LoggedInIdle},
        {widget(cmdTelFolder), Rule::LoggedInIdle},
        {widget(txtNolvaErrFolder), Rule::LoggedInIdle},
        {widget(cmdNolvaErrFolder), Rule::LoggedInIdle},
        {widget(chkBackup), Rule::LoggedInIdle},
        {action(Tool(QStringLiteral("SELECTTELFOLDER"))), Rule::LoggedInIdle},
        {action(Tool(QStringLiteral("OPENTELFOLDER"))), Rule::LoggedInIdle},
        {action(Tool(QStringLiteral("PROCESS"))), Rule::LoggedInIdle},
        {action(Tool(QStringLiteral("LOGIN"))), Rule::Idle},
        {action(Tool(QStringLiteral("QUIT"))), Rule::Idle},
        {action(Tool(QStringLiteral("STOP"))), Rule::LoggedInBusy},
        {action(Tool(QStringLiteral("LOGVIEW"))), Rule::LogView},
        {action(mnuSelectTelFolder), Rule::LoggedInIdle},
        {action(mnuSelectNolvaFolder), Rule::LoggedInIdle},
        {action(mnuOpenTelFolder), Rule::LoggedInIdle},
        {action(mnuOpenNolvaFolder), Rule::LoggedInIdle},
        {action(mnuTipi), Rule::LoggedInIdle},
        {action(Tool(QStringLiteral("CONSULTA"))), Rule::LoggedInIdle},
        {action(mnuConsulta), Rule::LoggedInIdle},
    };
}

QAction* frmMain::Tool(const QString& key) const {
    const auto found = m_tools.find(key);
    return found == m_tools.end() ? nullptr : found->second;
}

void frmMain::UpdateControls(bool loggedIn, bool busy) {
    m_bLoggedIn = loggedIn;
    m_bBusy = busy;
    const bool hasLog =
        m_runner && (!m_runner->m_sLastLogFile.empty() || !RecentLogFiles().empty());
    for (const auto& row : m_rules) {
        bool enabled = false;
        switch (row.rule) {
        case Rule::LoggedInIdle:
            enabled = loggedIn && !busy;
            break;
        case Rule::Idle:
            enabled = !busy;
            break;
        case Rule::LoggedInBusy:
            enabled = loggedIn && busy;
            break;
        case Rule::LogView:
            enabled = hasLog && loggedIn && !busy;
            break;
        }
        row.setEnabled(enabled);
    }
    const QString user = loggedIn ? Q(m_env.CurrentUser().Name()) : QStringLiteral("<nessuno>");
    m_panels["USER"]->SetText(QStringLiteral("Utente corrente: ") + user);
}

void frmMain::DispatchTool(const QString& key) {
    QAction* tool = Tool(key);
    // A disabled tool cannot be clicked.
    if (tool == nullptr || !tool->isEnabled() || !m_runner) {
        return;
    }
    m_runner->m_sTelFolder = txtTelFolder->text().toStdString();
    m_runner->m_sNolvaErrFolder = txtNolvaErrFolder->text().toStdString();
    static const std::map<QString, void (frmMain::*)()> kCommands = {
        {QStringLiteral("SELECTTELFOLDER"), &frmMain::SelectTelFolder},
        {QStringLiteral("OPENTELFOLDER"), &frmMain::OpenTelFolder},
        {QStringLiteral("LOGIN"), &frmMain::ChangeUserCommand},
        {QStringLiteral("PROCESS"), &frmMain::RunProcess},
        {QStringLiteral("STOP"), &frmMain::StopProcess},
        {QStringLiteral("LOGVIEW"), &frmMain::LogViewCommand},
        {QStringLiteral("QUIT"), &frmMain::QuitCommand},
        {QStringLiteral("CONSULTA"), &frmMain::ConsultCommand},
    };
    if (const auto command = kCommands.find(key); command != kCommands.end()) {
        (this->*(command->second))();
    }
}

void frmMain::ChangeUser(bool startUp) {
    if (m_runner && m_runner->Running()) {
        return;
    }
    const auto& connection = m_env.Connection();
    SignInRequest request;
    request.startUp = startUp;
    request.embedded = !connection || connection->Backend() == db::Backend::Sqlite;
    request.systemAccount = Q(DorvaneUser::SystemAccount());
    request.lastUser = m_lastUser;

    bool loggedIn = false;
    // A server session opened at start for a named user is that user's already.
    if (startUp && connection && connection->Backend() == db::Backend::Postgres &&
        !connection->Options().credentials.user.empty()) {
        const db::ServerCredentials& signedIn = connection->Options().credentials;
        if (m_env.Login(signedIn.user, signedIn.password)) {
            m_lastUser = Q(signedIn.user);
            UpdateControls(true, false);
            return;
        }
    }
    // Until the user signs in or gives up: a wrong password asks again, with the reason.
    while (true) {
        const std::optional<Credentials> entered = SignInPrompt::Ask(this, request);
        if (!entered) {
            break;
        }
        const bool systemAccount =
            request.embedded && entered->password.isEmpty() &&
            (entered->user.isEmpty() || entered->user == request.systemAccount);
        loggedIn = systemAccount
                       ? m_env.Login()
                       : m_env.Login(entered->user.toStdString(), entered->password.toStdString());
        if (loggedIn) {
            m_lastUser = entered->user;
            break;
        }
        request.error = QStringLiteral("Accesso non riuscito: ") + Q(m_env.LastError());
        request.lastUser = entered->user;
    }
    if (!loggedIn && connection) {
        // Nobody may archive under the previous user once the window says "<nessuno>".
        m_env.CurrentUser().SignOut();
    }
    UpdateControls(loggedIn, false);
}

void frmMain::ChangeUserCommand() {
    if (m_runner && m_runner->Running()) {
        if (!m_changeUserAfterRun &&
            ConfirmStop(QStringLiteral("È in corso un'elaborazione. Interromperla per cambiare "
                                       "utente?"))) {
            m_changeUserAfterRun = true;
        }
        return;
    }
    ChangeUser(false);
}

void frmMain::QuitCommand() {
    close();
}

bool frmMain::ConfirmStop(const QString& question) {
    if (!MessageBox::Question(this, question)) {
        return false;
    }
    StopProcess();
    return true;
}

void frmMain::SelectTelFolder() {
    const QString folder = FolderDialog::Ask(this, kAppName, txtTelFolder->text());
    if (!folder.isEmpty()) {
        txtTelFolder->setText(folder);
    }
}

void frmMain::SelectNolvaFolder() {
    const QString folder = FolderDialog::Ask(this, kAppName, txtNolvaErrFolder->text());
    if (!folder.isEmpty()) {
        txtNolvaErrFolder->setText(folder);
    }
}

void frmMain::OpenFolder(const std::string& folder) {
    const std::string message = shell::FolderCheck(folder);
    if (!message.empty()) {
        MessageBox::Information(this, Q(message));
        return;
    }
    Desktop::OpenFolder(Q(folder));
}

void frmMain::OpenTelFolder() {
    OpenFolder(txtTelFolder->text().toStdString());
}

void frmMain::OpenNolvaFolder() {
    OpenFolder(txtNolvaErrFolder->text().toStdString());
}

void frmMain::RunProcess() {
    if (!m_runner || m_runner->Running() || !m_bLoggedIn) {
        return;
    }
    m_runner->RunProcess();
    ShowClosingLine();
    // What was asked for while the pass ran happens now that nothing runs under the window.
    if (m_closeAfterRun) {
        QTimer::singleShot(0, this, &QWidget::close);
    } else if (m_changeUserAfterRun) {
        m_changeUserAfterRun = false;
        QTimer::singleShot(0, this, [this] { ChangeUser(false); });
    }
}

void frmMain::StopProcess() {
    if (m_runner && m_runner->Running()) {
        m_runner->Stop();
    }
}

void frmMain::ShowClosingLine() {
    const std::string closing = shell::ClosingLine(m_runner->Outcome());
    if (!closing.empty()) {
        m_runner->LogOnScreen(1, "", "RunProcess()", closing);
        Status("MSG", closing);
        FlushList();
    }
}

void frmMain::LogViewCommand() {
    if (!m_runner) {
        return;
    }
    std::string path = m_runner->m_sLastLogFile;
    if (path.empty()) {
        const std::vector<std::string> recent = RecentLogFiles();
        path = recent.empty() ? std::string() : recent.front();
    }
    if (!path.empty()) {
        LogShow(path);
    }
}

std::vector<std::string> frmMain::RecentLogFiles() const {
    std::vector<std::string> paths;
    if (m_runner) {
        for (const auto& log : shell::RecentLogs(m_runner->LogFolder(), m_clock(), kLogDays)) {
            paths.push_back(log.path);
        }
    }
    return paths;
}

void frmMain::FillLogMenu() {
    m_logMenu->clear();
    if (m_runner) {
        for (const auto& log : shell::RecentLogs(m_runner->LogFolder(), m_clock(), kLogDays)) {
            QAction* run =
                m_logMenu->addAction(log.when.toString(QStringLiteral("dd/MM/yyyy HH:mm:ss")));
            run->setToolTip(Q(log.path));
            const std::string path = log.path;
            connect(run, &QAction::triggered, this, [this, path] { LogShow(path); });
        }
    }
    if (m_logMenu->isEmpty()) {
        m_logMenu->addAction(QStringLiteral("Nessun log negli ultimi 30 giorni"))
            ->setEnabled(false);
    }
    m_logMenu->addSeparator();
    connect(m_logMenu->addAction(QStringLiteral("Apri cartella log")), &QAction::triggered, this,
            &frmMain::OpenLogFolder);
}

void frmMain::OpenLogFolder() {
    if (m_runner) {
        OpenFolder(m_runner->LogFolder());
    }
}

void frmMain::LogShow(const std::string& path) {
    std::vector<shell::LogRecord> records;
    std::string error;
    if (!shell::OperationLog::Load(path, records, error)) {
        ReportError("frmMain.LogShow()", error);
        return;
    }
    auto* viewer = new LogViewer(Q(path), records, this);
    viewer->show();
    m_logViewer = viewer;
}

void frmMain::ShowTypeDialog() {
    frmTelConfig dialog(m_settings, this);
    dialog.exec();
    if (m_runner) {
        m_settings.LoadTypeFlags(m_runner->m_colTipiDoc);
    }
}

void frmMain::ShowAbout() {
    const QString text =
        QStringLiteral("<h3>Quorvin %1</h3>"
                       "<p>Archiviazione trasmissioni telematiche: archivia le ricevute PDF "
                       "Entratel, INPS e INAIL nell'archivio documentale.</p>"
                       "<p>Librerie utilizzate:<br>"
                       "Qt %2<br>poppler %3<br>qpdf %4<br>SQLite %5<br>libpq %6<br>"
                       "libsodium %7</p>")
            .arg(QStringLiteral(QUORVIN_VERSION), QString::fromLatin1(qVersion()),
                 QStringLiteral(QUORVIN_POPPLER_VERSION), QStringLiteral(QUORVIN_QPDF_VERSION),
                 QStringLiteral(QUORVIN_SQLITE_VERSION), QStringLiteral(QUORVIN_LIBPQ_VERSION),
                 QStringLiteral(QUORVIN_SODIUM_VERSION));
    MessageBox::About(this, QStringLiteral("Informazioni su Quorvin"), text);
}

} // namespace quorvin::gui
