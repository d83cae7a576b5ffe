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
enum class ArchiveStart { Open, Declined, Failed };
// Connects to the archive. On a first start (no archive named, the default one missing)
// asks whether to create it, and creates it with the standard catalogue on Yes; the
// window then signs the operating-system account in. Failures are told by StartFailure.
ArchiveStart StartArchive(DorvaneEnv& env, const StartOptions& options);
// A start-up failure: on standard error, and in a message box, since a program opened
// from the desktop has no terminal.
void StartFailure(const QString& text);
// The archive library's default title is replaced by the product's.
QString ApplicationTitle(const QString& title);

} // namespace quorvin::gui
