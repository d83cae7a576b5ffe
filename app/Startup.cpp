#include "app/Startup.h"

#include "archive/DorvaneEnv.h"
#include "archive/DorvaneFiles.h"

#include <QDir>
#include <QStandardPaths>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>

namespace quorvin::gui {

StartOptions ParseStartOptions(const QStringList& arguments) {
    StartOptions options;
    const std::map<QString, std::function<void(const QString&)>> takesValue = {
        {QStringLiteral("--archivio"),
         [&](const QString& v) { options.archive = v.toStdString(); }},
        {QStringLiteral("--impostazioni"),
         [&](const QString& v) { options.settingsFile = v.toStdString(); }},
        {QStringLiteral("--schermate"), [&](const QString& v) { options.screenshots = v; }},
        {QStringLiteral("--ricevute"), [&](const QString& v) { options.receipts = v; }},
        {QStringLiteral("--scarti"), [&](const QString& v) { options.rejects = v; }},
    };
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        QString name = arguments[i];
        QString value;
        bool hasValue = false;
        if (const qsizetype eq = name.indexOf(QLatin1Char('=')); eq > 0) {
            value = name.mid(eq + 1);
            name = name.left(eq);
            hasValue = true;
        }
        const auto option = takesValue.find(name);
        if (option == takesValue.end()) {
            options.valid = false;
            continue;
        }
        if (!hasValue) {
            if (i + 1 >= arguments.size()) {
                options.valid = false;
                break;
            }
            value = arguments[++i];
        }
        option->second(value);
    }
    return options;
}

std::string DataFolder() {
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
        .filePath(QStringLiteral("Belvast/Quorvin"))
        .toStdString();
}

std::string ArchiveLocator(const StartOptions& options) {
    if (!options.archive.empty()) {
        return options.archive;
    }
    const char* env = std::getenv("QUORVIN_ARCHIVIO");
    return env != nullptr && *env != '\0' ? std::string(env)
                                          : DorvaneEnv::DefaultArchivePath(DataFolder());
}

bool OpenArchive(DorvaneEnv& env, const std::string& locator) {
    if (!db::IsServerLocator(locator) && !DorvaneFiles::FileExists(locator)) {
        std::fprintf(stderr,
                     "Archivio %s inesistente. Crearlo con 'quorvin-cli archivio init "
                     "--esempio --archivio %s'.\n",
                     locator.c_str(), locator.c_str());
        return false;
    }
    ConnectOptions connect;
    connect.createSchema = false;
    if (!env.Connect(locator, connect)) {
        std::fprintf(stderr, "Impossibile aprire l'archivio %s: %s\n", locator.c_str(),
                     env.LastError().c_str());
        return false;
    }
    env.BaseFolder(DataFolder());
    return true;
}

QString ApplicationTitle(const QString& title) {
    static const QString kLibraryTitle = QStringLiteral("Zeriza Rade");
    static const QString kProductTitle = QStringLiteral("Quorvin");
    return title.compare(kLibraryTitle, Qt::CaseInsensitive) == 0 ? kProductTitle : title;
}

} // namespace quorvin::gui
