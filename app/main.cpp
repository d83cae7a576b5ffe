// quorvin: the desktop program.
#include "app/Icons.h"
#include "app/ScreenshotTour.h"
#include "app/Startup.h"
#include "app/frmMain.h"
#include "archive/DorvaneEnv.h"
#include "shell/Settings.h"

#include <QApplication>

#include <cstdio>
#include <memory>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Belvast"));
    QApplication::setApplicationName(QStringLiteral("Quorvin"));
    QApplication::setApplicationVersion(QStringLiteral(QUORVIN_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("quorvin"));
    QApplication::setWindowIcon(quorvin::gui::Icon(QStringLiteral("quorvin")));

    const quorvin::gui::StartOptions options =
        quorvin::gui::ParseStartOptions(QApplication::arguments());
    if (!options.valid) {
        std::fprintf(stderr, "Uso: quorvin [--archivio ARCHIVIO] [--impostazioni FILE]\n");
        return 2;
    }
    quorvin::DorvaneEnv env;
    if (!quorvin::gui::OpenArchive(env, quorvin::gui::ArchiveLocator(options))) {
        return 1;
    }
    const auto settings = options.settingsFile.empty()
                              ? std::make_unique<quorvin::shell::Settings>()
                              : std::make_unique<quorvin::shell::Settings>(options.settingsFile);
    quorvin::gui::frmMain window(env, *settings);
    window.show();
    if (!options.screenshots.isEmpty()) {
        quorvin::gui::StartScreenshotTour(window, options.screenshots, options.receipts,
                                          options.rejects);
    }
    return QApplication::exec();
}
