#pragma once
// Users and rights on a server archive belong to the server: each user is a login role,
// rights on an archive are GRANTs on its table, administrators belong to a group role
// that owns the archive's tables (so its members may grant) and may create roles, and
// every user belongs to a group role that reads the catalogue. The users and rights
// tables are kept in step by the callers (ArchiveAdmin.cpp).
//
// Every call runs inside the caller's transaction; false with an Italian reason.
#include <string>

namespace quorvin {

class DorvaneConnection;

namespace roles {

// The two group roles of this database ("ruolo_amministratori", "ruolo_utenti" in
// QUORVIN_INFO); empty before SetUp.
std::string AdminRole(DorvaneConnection& connection);
std::string UsersRole(DorvaneConnection& connection);

// Creates the group roles when missing, hands every table to the administrators' role,
// grants the catalogue reads to the users' role and limits the shared tables (stored
// files, links, search text) to the rows of archives the user may read. Needs a role
// that may create roles and owns the database (or a superuser).
bool SetUp(DorvaneConnection& connection, std::string& error);
// A login role for a user: created when missing (without a password when password is
// empty: it cannot sign in until one is set), its password set when one is given, and
// made a member of the users' group (and of the administrators', with the right to
// create roles, for an administrator).
bool EnsureLogin(DorvaneConnection& connection, const std::string& name,
                 const std::string& password, bool administrator, std::string& error);
bool SetPassword(DorvaneConnection& connection, const std::string& name,
                 const std::string& password, std::string& error);
// A new archive's table (and its search trigger's function) goes to the administrators.
bool Adopt(DorvaneConnection& connection, const std::string& table, std::string& error);
// The privileges on an archive's table that a permission gives: reading always,
// inserting with CREA_REC or the insert right, updating with the insert right, all of
// them with every right.
bool GrantTable(DorvaneConnection& connection, const std::string& user, const std::string& table,
                bool createRecords, long rights, std::string& error);
bool RevokeTable(DorvaneConnection& connection, const std::string& user, const std::string& table,
                 std::string& error);

} // namespace roles
} // namespace quorvin
