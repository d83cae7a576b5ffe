// The window archiving a folder: the real main window, headless, over the user's archive
// and settings (as quorvin-cli archivia finds them), PROCESS clicked as a user would, no
// backups. Prints the seconds the pass took, then its closing line.
//
//   quorvin-bench-window RECEIPT-FOLDER
#include "app/LoginDialog.h"
#include "app/Seams.h"
#include "app/Startup.h"
#include "app/frmMain.h"
#include "archive/DorvaneEnv.h"
#include "shell/Settings.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "Uso: quorvin-bench-window CARTELLA-RICEVUTE\n");
        return 2;
    }
    // Headless unless told otherwise (QT_QPA_PLATFORM=xcb under Xvfb draws as on a desktop).
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Belvast"));
    QApplication::setApplicationName(QStringLiteral("Quorvin"));

    using namespace quorvin::gui;
    // Nobody is there to answer: boxes go to standard error, the system account signs in.
    MessageBox::SetHandler([](MessageBox::Kind, const QString& text) {
        std::fprintf(stderr, "%s\n", qPrintable(text));
        return QMessageBox::Ok;
    });
    SignInPrompt::SetHandler([](const SignInRequest& request) -> std::optional<Credentials> {
        if (!request.error.isEmpty()) {
            return std::nullopt;
        }
        return Credentials{request.systemAccount, QString()};
    });

    quorvin::DorvaneEnv env;
    if (StartArchive(env, StartOptions{}) != ArchiveStart::Open) {
        return 1;
    }
    const quorvin::shell::Settings settings;
    frmMain window(env, settings);
    window.show();

    int status = 0;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &window, [&] {
        if (!window.Activated()) {
            return;
        }
        poll.stop();
        if (!window.LoggedIn()) {
            std::fprintf(stderr, "Accesso non riuscito\n");
            status = 1;
            QApplication::quit();
            return;
        }
        window.findChild<QLineEdit*>(QStringLiteral("txtTelFolder"))
            ->setText(QString::fromLocal8Bit(argv[1]));
        window.findChild<QLineEdit*>(QStringLiteral("txtNolvaErrFolder"))->clear();
        window.findChild<QCheckBox*>(QStringLiteral("chkBackup"))->setChecked(false);
        QElapsedTimer pass;
        pass.start();
        window.DispatchTool(QStringLiteral("PROCESS"));
        const double seconds = static_cast<double>(pass.nsecsElapsed()) / 1e9;
        std::printf("%.3f\n%s\n", seconds,
                    qPrintable(window.findChild<QLabel*>(QStringLiteral("panelMSG"))->text()));
        QApplication::quit();
    });
    poll.start(10);
    const int code = QApplication::exec();
    return status != 0 ? status : code;
}
