#include "app/Startup.h"

#include "app/LoginDialog.h"
#include "app/Seams.h"
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

void StartFailure(const QString& text) {
    std::fprintf(stderr, "%s\n", qPrintable(text));
    MessageBox::Warning(nullptr, text);
}

ArchiveStart StartArchive(DorvaneEnv& env, const StartOptions& options) {
    const std::string locator = ArchiveLocator(options);
    std::string error;
    if (DefaultArchiveMissing(options.archive)) {
        const QString folder = QDir::toNativeSeparators(QString::fromStdString(DataFolder()));
        if (!MessageBox::Question(
                nullptr, QStringLiteral("Nessun archivio trovato. Creare un nuovo archivio in %1?")
                             .arg(folder))) {
            return ArchiveStart::Declined;
        }
        if (!CreateDefaultArchive(locator, error)) {
            StartFailure(QString::fromStdString(error));
            return ArchiveStart::Failed;
        }
    }
    db::ServerCredentials credentials;
    if (const char* user = std::getenv("QUORVIN_UTENTE"); user != nullptr) {
        credentials.user = user;
    }
    if (const char* password = std::getenv("QUORVIN_PASSWORD"); password != nullptr) {
        credentials.password = password;
    }
    bool opened = OpenExistingArchive(env, locator, error, credentials);
    // A server that asks for a password the environment did not give: the user signs in
    // here, since the session itself is the user's.
    SignInRequest request;
    request.embedded = false;
    request.lastUser = QString::fromStdString(credentials.user);
    while (!opened && db::IsServerLocator(locator) &&
           error.find(db::kSignInRefused) != std::string::npos) {
        if (!credentials.user.empty() || !credentials.password.empty()) {
            request.error =
                QStringLiteral("Accesso non riuscito: ") + QString::fromUtf8(db::kSignInRefused);
        }
        const std::optional<Credentials> entered = SignInPrompt::Ask(nullptr, request);
        if (!entered) {
            return ArchiveStart::Declined;
        }
        credentials = {entered->user.toStdString(), entered->password.toStdString()};
        request.lastUser = entered->user;
        opened = OpenExistingArchive(env, locator, error, credentials);
    }
    if (!opened) {
        StartFailure(QString::fromStdString(error));
        return ArchiveStart::Failed;
    }
    return ArchiveStart::Open;
}

QString ApplicationTitle(const QString& title) {
    static const QString kLibraryTitle = QStringLiteral("Zeriza Rade");
    static const QString kProductTitle = QStringLiteral("Quorvin");
    return title.compare(kLibraryTitle, Qt::CaseInsensitive) == 0 ? kProductTitle : title;
}

} // namespace quorvin::gui
