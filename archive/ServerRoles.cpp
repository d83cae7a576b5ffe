#include "archive/ServerRoles.h"

#include "archive/ArchiveTypes.h"
#include "archive/DorvaneConnection.h"
#include "archive/Quoting.h"
#include "archive/SearchIndex.h"
#include "archive/Utf8.h"

#include <vector>

namespace quorvin::roles {

namespace {

// Two workstations granting on one table at once would meet PostgreSQL's "tuple
// concurrently updated": role and grant changes of one database queue here instead.
const char* const kRolesLock = "select pg_advisory_xact_lock(74021311)";

// The catalogue every user reads, and the shared tables whose rows belong to archives.
// clang-format off
const char* const kCatalogue[] = {
    "QUORVIN_INFO", "SYS_TIPO_DOC_F", "DB_ELENCO", "SYS_TATD", "DB_CAMPI",
    "PERMESSI", "DB_PERMESSI", "UTENTE_PERMESSI",
};
// The columns that name the archive of a row (a link has two: either will do).
struct SharedTable {
    const char* table;
    std::vector<const char*> archiveColumns; // none: every user sees every row
};
const SharedTable kShared[] = {
    {"DB_FILE", {"SYS_SERIALE"}},
    {"QUORVIN_RICERCA", {"SYS_SERIALE"}},
    {"DB_COLLEGAMENTI", {"DB_PAR_SERIALE", "DB_SON_SERIALE"}},
    // Fingerprints carry no content: every user sees them, so nothing is archived twice.
    {"DB_IMPRONTE", {}},
};
// clang-format on

// The user's right on the archive a row belongs to. The table is named with its schema:
// a temporary table of the same name, made by the user, must not answer for it.
std::string RowRight(const SharedTable& shared, const std::string& schema, const char* right) {
    std::string sql;
    for (const char* column : shared.archiveColumns) {
        sql += std::string(sql.empty() ? "" : " or ") + "has_table_privilege(" +
               SqlText(SqlIdentifier(schema) + ".arc_") + " || lower(" + column + "), '" + right +
               "')";
    }
    return sql;
}

bool Run(DorvaneConnection& connection, const std::string& sql, std::string& error) {
    if (connection.Execute(sql)) {
        return true;
    }
    error = connection.LastError();
    return false;
}

bool Exists(DorvaneConnection& connection, const std::string& sql) {
    db::Result result;
    return connection.Query(sql, result) && !result.rows.empty() && result.rows[0][0] &&
           *result.rows[0][0] != "0" && *result.rows[0][0] != "f";
}

bool RoleExists(DorvaneConnection& connection, const std::string& role) {
    return Exists(connection, "select count(*) from pg_roles where rolname=" + SqlText(role));
}

std::string Column(DorvaneConnection& connection, const std::string& sql) {
    db::Result result;
    if (!connection.Query(sql, result) || result.rows.empty() || !result.rows[0][0]) {
        return {};
    }
    return *result.rows[0][0];
}

std::string PasswordClause(DorvaneConnection& connection, const std::string& name,
                           const std::string& password, std::string& error) {
    if (password.empty()) {
        return " password null";
    }
    const std::string verifier = connection.PasswordVerifier(name, password);
    if (verifier.empty()) {
        error = "Impossibile cifrare la password.";
    }
    return " password " + SqlText(verifier);
}

// Hands the objects to the administrators' role: their members then own them.
bool HandOver(DorvaneConnection& connection, std::string& error) {
    const std::string admins = SqlIdentifier(AdminRole(connection));
    db::Result objects;
    if (!connection.Query(
            "select 'table ' || quote_ident(c.relname) from pg_class c where"
            " c.relkind in ('r', 'p') and c.relnamespace=current_schema()::regnamespace"
            " and pg_get_userbyid(c.relowner) <> " +
                SqlText(AdminRole(connection)) +
                " union all select 'function ' || p.oid::regprocedure::text from"
                " pg_proc p where p.pronamespace=current_schema()::regnamespace and"
                " pg_get_userbyid(p.proowner) <> " +
                SqlText(AdminRole(connection)) +
                " and not exists (select 1 from pg_depend d where d.objid=p.oid"
                " and d.deptype='e')",
            objects)) {
        error = connection.LastError();
        return false;
    }
    std::string sql;
    for (const auto& row : objects.rows) {
        if (row[0]) {
            sql += "alter " + *row[0] + " owner to " + admins + ";";
        }
    }
    return sql.empty() || Run(connection, sql, error);
}

} // namespace

std::string AdminRole(DorvaneConnection& connection) {
    return connection.Info("ruolo_amministratori");
}

std::string UsersRole(DorvaneConnection& connection) {
    return connection.Info("ruolo_utenti");
}

bool SetUp(DorvaneConnection& connection, std::string& error) {
    if (!AdminRole(connection).empty()) {
        return true;
    }
    const std::string database = Column(connection, "select current_database()");
    const std::string admins = "quorvin_amministratori_" + database;
    const std::string users = "quorvin_utenti_" + database;
    const std::string schemaName = Column(connection, "select current_schema()");
    const std::string schema = SqlIdentifier(schemaName);
    const std::string me = SqlIdentifier(connection.SessionUser());
    if (!Run(connection, kRolesLock, error)) {
        return false;
    }
    for (const auto& [role, attributes] :
         {std::pair{admins, " nologin createrole"}, std::pair{users, " nologin"}}) {
        if (!RoleExists(connection, role) &&
            !Run(connection, "create role " + SqlIdentifier(role) + attributes, error)) {
            return false;
        }
    }
    if (!Run(connection,
             "grant " + SqlIdentifier(admins) + " to " + me + " with admin option;grant " +
                 SqlIdentifier(users) + " to " + me +
                 " with admin option;grant usage, create on"
                 " schema " +
                 schema + " to " + SqlIdentifier(admins) + ";grant usage on schema " + schema +
                 " to " + SqlIdentifier(users) + ";revoke all on database " +
                 SqlIdentifier(database) + " from public;grant connect on database " +
                 SqlIdentifier(database) + " to " + SqlIdentifier(users) + ", " +
                 SqlIdentifier(admins),
             error) ||
        !connection.SetInfo("ruolo_amministratori", admins) ||
        !connection.SetInfo("ruolo_utenti", users)) {
        if (error.empty()) {
            error = connection.LastError();
        }
        return false;
    }
    if (!HandOver(connection, error)) {
        return false;
    }
    std::string sql;
    const std::string group = SqlIdentifier(users);
    for (const char* table : kCatalogue) {
        sql += "grant select on " + std::string(table) + " to " + group + ";";
    }
    // The password column stays the administrators' (it is empty on a server anyway).
    sql += "grant select (ID_UTENTE, NOME, AMMINISTRATORE) on UTENTI to " + group + ";";
    for (const auto& shared : kShared) {
        sql += "grant select, insert, update, delete on " + std::string(shared.table) + " to " +
               group + ";";
        if (!shared.archiveColumns.empty()) {
            sql += "alter table " + std::string(shared.table) +
                   " enable row level security;create policy quorvin_archivio on " + shared.table +
                   " using (" + RowRight(shared, schemaName, "SELECT") + ") with check (" +
                   RowRight(shared, schemaName, "INSERT") + ");";
        }
    }
    return Run(connection, sql, error);
}

bool EnsureLogin(DorvaneConnection& connection, const std::string& name,
                 const std::string& password, bool administrator, std::string& error) {
    const std::string role = SqlIdentifier(name);
    error.clear();
    if (!Run(connection, kRolesLock, error)) {
        return false;
    }
    const bool exists = RoleExists(connection, name);
    std::string sql;
    if (!exists) {
        sql = "create role " + role + " login" + PasswordClause(connection, name, password, error) +
              ";";
    } else if (!password.empty()) {
        sql = "alter role " + role + PasswordClause(connection, name, password, error) + ";";
    }
    if (!error.empty()) {
        return false;
    }
    sql += "grant " + SqlIdentifier(UsersRole(connection)) + " to " + role +
           (administrator ? " with admin option" : "") + ";";
    if (administrator) {
        sql +=
            "grant " + SqlIdentifier(AdminRole(connection)) + " to " + role + " with admin option;";
        // Role attributes are not inherited from the group: an administrator creates
        // roles with its own.
        if (!Exists(connection, "select count(*) from pg_roles where (rolcreaterole or rolsuper)"
                                " and rolname=" +
                                    SqlText(name))) {
            sql += "alter role " + role + " createrole;";
        }
    }
    return Run(connection, sql, error);
}

bool SetPassword(DorvaneConnection& connection, const std::string& name,
                 const std::string& password, std::string& error) {
    error.clear();
    const std::string clause = PasswordClause(connection, name, password, error);
    return error.empty() && Run(connection, kRolesLock, error) &&
           Run(connection, "alter role " + SqlIdentifier(name) + clause, error);
}

bool Adopt(DorvaneConnection& connection, const std::string& table, std::string& error) {
    if (AdminRole(connection).empty()) {
        return true; // a database set up before roles: its owner administers it
    }
    const std::string admins = SqlIdentifier(AdminRole(connection));
    return Run(connection,
               "alter table " + table + " owner to " + admins + ";alter function " + table +
                   "_ricerca() owner to " + admins,
               error);
}

bool GrantTable(DorvaneConnection& connection, const std::string& user, const std::string& table,
                bool createRecords, long rights, std::string& error) {
    std::string privileges = "select";
    if (rights == kAllRights) {
        privileges = "all";
    } else if ((rights & kRightInsertDocuments) != 0) {
        privileges += ", insert, update";
    } else if (createRecords) {
        privileges += ", insert";
    }
    return Run(connection, kRolesLock, error) &&
           Run(connection, "grant " + privileges + " on " + table + " to " + SqlIdentifier(user),
               error);
}

bool RevokeTable(DorvaneConnection& connection, const std::string& user, const std::string& table,
                 std::string& error) {
    return Run(connection, kRolesLock, error) &&
           Run(connection, "revoke all on " + table + " from " + SqlIdentifier(user), error);
}

} // namespace quorvin::roles
