#pragma once
// Administration of an archive database: document types, archives, users and rights.
// Each call is one transaction (or joins the one already open); false with an Italian
// reason in error.
#include "archive/ArchiveTypes.h"

#include <functional>
#include <string>
#include <vector>

namespace quorvin {

class DorvaneConnection;

namespace admin {

// Runs work inside a transaction unless one is open already (then the caller's decides):
// committed when work succeeds, rolled back otherwise; false with the reason in error.
bool InTransaction(DorvaneConnection& connection, std::string& error,
                   const std::function<bool()>& work);

// Adds the types that are missing and renames those that exist.
bool AddDocTypes(DorvaneConnection& connection, const std::vector<DocTypeSpec>& types,
                 std::string& error);
// Creates the archive: catalogue row, field dictionary, SYS_TATD rows of its archive type,
// its table and its folder (spec.folder, or the documents root + code). Every
// administrator gets full rights on it.
bool AddArchive(DorvaneConnection& connection, const ArchiveSpec& spec, std::string& error);
// A new user; password may be empty (signs in only on the embedded archive). The id, or
// -1.
long AddUser(DorvaneConnection& connection, const std::string& name, const std::string& password,
             bool administrator, std::string& error);
// The same with a hash kept by an export (empty: no password). On a server the user is a
// login role: password is its password there (empty: it cannot sign in until one is
// set), and no hash is kept.
long AddUserWithHash(DorvaneConnection& connection, const std::string& name,
                     const std::string& hash, const std::string& password, bool administrator,
                     std::string& error);
long UserId(DorvaneConnection& connection, const std::string& name);
// Sets (or, empty, removes) a user's password: the hash, or the role's password.
bool SetPassword(DorvaneConnection& connection, const std::string& name,
                 const std::string& password, std::string& error);
// Gives the user a permission on the archive: CREA_REC and the right bits.
bool Grant(DorvaneConnection& connection, const std::string& user, const std::string& code,
           bool createRecords, long rights, std::string& error);
// Removes every permission the user holds on the archive.
bool Revoke(DorvaneConnection& connection, const std::string& user, const std::string& code,
            std::string& error);
// The administrator of a new database: created when missing, with CREA_REC and every
// right on every archive.
bool MakeAdministrator(DorvaneConnection& connection, const std::string& name,
                       const std::string& password, std::string& error);
// Document types and archives in one go (the standard catalogue, or a test's).
bool AddCatalogue(DorvaneConnection& connection, const std::vector<DocTypeSpec>& types,
                  const std::vector<ArchiveSpec>& archives, std::string& error);

} // namespace admin
} // namespace quorvin
