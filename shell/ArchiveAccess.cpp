#include "shell/ArchiveAccess.h"

#include "archive/ArchiveAdmin.h"
#include "archive/DorvaneEnv.h"
#include "archive/DorvaneFiles.h"
#include "archive/DorvaneUser.h"
#include "archive/StandardCatalogueSpecs.h"

#include <QDir>
#include <QStandardPaths>

#include <cstdlib>

namespace quorvin {

std::string DataFolder() {
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
        .filePath(QStringLiteral("Belvast/Quorvin"))
        .toStdString();
}

std::string ArchiveLocator(const std::string& given) {
    if (!given.empty()) {
        return given;
    }
    const char* env = std::getenv("QUORVIN_ARCHIVIO");
    return env != nullptr && *env != '\0' ? std::string(env)
                                          : DorvaneEnv::DefaultArchivePath(DataFolder());
}

bool OpenExistingArchive(DorvaneEnv& env, const std::string& locator, std::string& error,
                         const db::ServerCredentials& credentials) {
    if (!db::IsServerLocator(locator) && DorvaneFiles::FolderExists(locator)) {
        error = "'" + locator + "' è una cartella, non un archivio.";
        return false;
    }
    if (!db::IsServerLocator(locator) && !DorvaneFiles::FileExists(locator)) {
        error = "Archivio " + locator +
                " inesistente. Crearlo con 'quorvin-cli archivio init --esempio --archivio " +
                locator + "'.";
        return false;
    }
    ConnectOptions connect;
    connect.createSchema = false;
    connect.credentials = credentials;
    if (!env.Connect(locator, connect)) {
        // A reason that names the archive already is not prefixed a second time.
        const std::string shown = db::DisplayLocator(locator);
        error = env.LastError().find(shown) != std::string::npos
                    ? env.LastError()
                    : "Impossibile aprire l'archivio " + shown + ": " + env.LastError();
        return false;
    }
    env.BaseFolder(DataFolder());
    return true;
}

bool DefaultArchiveMissing(const std::string& given) {
    const char* env = std::getenv("QUORVIN_ARCHIVIO");
    return given.empty() && (env == nullptr || *env == '\0') &&
           !DorvaneFiles::FileExists(DorvaneEnv::DefaultArchivePath(DataFolder()));
}

bool CreateDefaultArchive(const std::string& path, std::string& error) {
    const std::string folder = DorvaneFiles::FolderOf(path);
    if (!DorvaneFiles::FolderExists(folder) && !DorvaneFiles::CreateFolder(folder)) {
        error = "Impossibile creare la cartella " + folder + ".";
        return false;
    }
    std::string reason;
    auto connection = DorvaneConnection::Open(path, ConnectOptions{}, reason);
    if (!connection ||
        !admin::MakeAdministrator(*connection, DorvaneUser::SystemAccount(), "", reason) ||
        !admin::AddCatalogue(*connection, StandardDocTypeSpecs(), StandardArchiveSpecs(), reason)) {
        connection.reset();
        // Half an archive would be taken for a whole one at the next start.
        DorvaneFiles::DeleteFile(path, true);
        error = "Impossibile creare l'archivio " + path + ": " + reason;
        return false;
    }
    return true;
}

} // namespace quorvin
