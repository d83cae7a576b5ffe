#pragma once
// Where the program keeps its data and how the front ends reach the archive: one rule
// for the window and for the command line.
#include "archive/Connection.h"

#include <string>

namespace quorvin {

class DorvaneEnv;

// The per-user data folder (…/Belvast/Quorvin, under XDG_DATA_HOME when set), without a
// trailing separator.
std::string DataFolder();
// The archive to use: the one given, else $QUORVIN_ARCHIVIO, else the embedded default.
std::string ArchiveLocator(const std::string& given);
// Opens an archive that already exists (an embedded file is never created here) and sets
// the base folder; false with an Italian reason. On a server the session signs in with
// the credentials (empty: as the locator says).
bool OpenExistingArchive(DorvaneEnv& env, const std::string& locator, std::string& error,
                         const db::ServerCredentials& credentials = {});

// True when no archive is named (given empty, no $QUORVIN_ARCHIVIO) and the embedded
// default does not exist yet: the first start.
bool DefaultArchiveMissing(const std::string& given);
// Creates the embedded default archive at path with the standard catalogue, the
// operating-system account as its administrator; false with an Italian reason.
bool CreateDefaultArchive(const std::string& path, std::string& error);

} // namespace quorvin
