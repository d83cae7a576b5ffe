#pragma once
// Start-up of the desktop program: its options, the archive it opens, its title.
#include <QString>
#include <QStringList>

#include <string>

namespace quorvin {
class DorvaneEnv;
}

namespace quorvin::gui {

struct StartOptions {
    std::string archive;      // --archivio: file or postgresql:// address
    std::string settingsFile; // --impostazioni: an INI file instead of the user's settings
    // The screenshot tour (not shown in any help): output folder and folders to type in.
    QString screenshots;
    QString receipts;
    QString rejects;
    bool valid = true;
};

StartOptions ParseStartOptions(const QStringList& arguments);

// --archivio, else $QUORVIN_ARCHIVIO, else the embedded archive in the data folder.
std::string ArchiveLocator(const StartOptions& options);
// Connects to an existing archive; false, with the reason on standard error, otherwise.
bool OpenArchive(DorvaneEnv& env, const std::string& locator);
// The archive library's default title is replaced by the product's.
QString ApplicationTitle(const QString& title);

} // namespace quorvin::gui
