#pragma once
// Shared pieces of the archivio commands: options, the archive to work on, passwords and
// the standard catalogue.
#include "archive/ArchiveTypes.h"
#include "archive/DorvaneConnection.h"
#include "archive/DorvaneEnv.h"
#include "shell/ArchiveAccess.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace quorvin::cli {

// "--name value", "--name=value", "--flag" and positional words. Options that take a
// value are listed in the parser; every other option is a flag.
class Options {
public:
    bool Parse(const std::vector<std::string>& args, std::string& error);
    bool Flag(const std::string& name) const { return m_flags.count(name) > 0; }
    std::string Value(const std::string& name, const std::string& fallback) const;
    std::vector<std::string> Values(const std::string& name) const;
    std::string Positional(size_t index) const;

private:
    std::multimap<std::string, std::string> m_values;
    std::map<std::string, bool> m_flags;
    std::vector<std::string> m_positional;
};

// --archivio, else $QUORVIN_ARCHIVIO, else the embedded archive in the data folder.
std::string Locator(const Options& options);
// The signing-in user on a server: $QUORVIN_UTENTE and $QUORVIN_PASSWORD (empty: as the
// locator says).
db::ServerCredentials CredentialsFromEnvironment();
// Opens the archive. The default embedded archive is created on first use with the
// standard catalogue and the operating-system account as its administrator; any other
// archive must exist (create: an empty database becomes one, as for importa). nullptr
// after printing the reason.
std::shared_ptr<DorvaneConnection> OpenExisting(const Options& options, bool create = false);
// The same for the administration commands: signs in ($QUORVIN_UTENTE with
// $QUORVIN_PASSWORD, else the operating-system account on an embedded archive, the
// locator's role on a server) and, on an embedded archive, requires an administrator;
// on a server the server itself refuses what the role may not do.
std::shared_ptr<DorvaneConnection> OpenForAdministration(const Options& options,
                                                         bool create = false);
// The sign-in and administrator check alone; false after printing the reason.
bool SignInAdministrator(DorvaneConnection& connection);

// A password for someone other than the signing-in user (a new user, a new password):
// the first line of --password-file, else a line read from standard input (without echo
// on a terminal). Never $QUORVIN_PASSWORD. False when none could be read.
bool ReadNewPassword(const Options& options, const std::string& prompt, std::string& password);
// Signs in $QUORVIN_UTENTE (with $QUORVIN_PASSWORD), else the operating-system account on
// an embedded archive; false after printing the reason.
bool SignInFromEnvironment(DorvaneEnv& env);

bool ArchiveSpecFromOptions(const Options& options, ArchiveSpec& spec, std::string& error);
bool AddStandardCatalogue(DorvaneConnection& connection, long& types, long& archives,
                          std::string& error);

// archivio cerca, mostra, pdf (ArchivioCercaCommand.cpp).
int RunSearch(Options& options);
int RunShow(Options& options);
int RunPdf(Options& options);

} // namespace quorvin::cli
