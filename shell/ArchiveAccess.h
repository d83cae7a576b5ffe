#pragma once
// Where the program keeps its data and how the front ends reach the archive: one rule
// for the window and for the command line.
#include <string>

namespace quorvin {

class DorvaneEnv;

// The per-user data folder (…/Belvast/Quorvin, under XDG_DATA_HOME when set), without a
// trailing separator.
std::string DataFolder();
// The archive to use: the one given, else $QUORVIN_ARCHIVIO, else the embedded default.
std::string ArchiveLocator(const std::string& given);
// Opens an archive that already exists (an embedded file is never created here) and sets
// the base folder; false with an Italian reason.
bool OpenExistingArchive(DorvaneEnv& env, const std::string& locator, std::string& error);

} // namespace quorvin
