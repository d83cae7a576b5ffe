#include "shell/ArchiveAccess.h"

#include "archive/DorvaneEnv.h"
#include "archive/DorvaneFiles.h"

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

bool OpenExistingArchive(DorvaneEnv& env, const std::string& locator, std::string& error) {
    if (!db::IsServerLocator(locator) && !DorvaneFiles::FileExists(locator)) {
        error = "Archivio " + locator +
                " inesistente. Crearlo con 'quorvin-cli archivio init --esempio --archivio " +
                locator + "'.";
        return false;
    }
    ConnectOptions connect;
    connect.createSchema = false;
    if (!env.Connect(locator, connect)) {
        error = "Impossibile aprire l'archivio " + locator + ": " + env.LastError();
        return false;
    }
    env.BaseFolder(DataFolder());
    return true;
}

} // namespace quorvin
