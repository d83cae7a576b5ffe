#include "app/Startup.h"

#include "shell/ArchiveAccess.h"

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

std::string ArchiveLocator(const StartOptions& options) {
    return quorvin::ArchiveLocator(options.archive);
}

bool OpenArchive(DorvaneEnv& env, const std::string& locator) {
    std::string error;
    if (!OpenExistingArchive(env, locator, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return false;
    }
    return true;
}

QString ApplicationTitle(const QString& title) {
    static const QString kLibraryTitle = QStringLiteral("Zeriza Rade");
    static const QString kProductTitle = QStringLiteral("Quorvin");
    return title.compare(kLibraryTitle, Qt::CaseInsensitive) == 0 ? kProductTitle : title;
}

} // namespace quorvin::gui
