// quorvin: the desktop program.
#include "app/Icons.h"
#include "app/ScreenshotTour.h"
#include "app/Startup.h"
#include "app/frmMain.h"
#include "archive/DorvaneEnv.h"
#include "shell/Settings.h"

#include <QApplication>

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
        quorvin::gui::StartFailure(
            QStringLiteral("Uso: quorvin [--archivio ARCHIVIO] [--impostazioni FILE]"));
        return 2;
    }
    if (!options.screenshots.isEmpty()) {
        quorvin::gui::PictureFirstStart(options.screenshots);
    }
    quorvin::DorvaneEnv env;
    switch (quorvin::gui::StartArchive(env, options)) {
    case quorvin::gui::ArchiveStart::Open:
        break;
    case quorvin::gui::ArchiveStart::Declined:
        return 0;
    case quorvin::gui::ArchiveStart::Failed:
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
