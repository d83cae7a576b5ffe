#include "archive/ArchiveAdmin.h"

#include "archive/DorvaneConnection.h"
#include "archive/DorvaneFiles.h"
#include "archive/DorvaneUser.h"
#include "archive/FieldValue.h"
#include "archive/Quoting.h"
#include "archive/Schema.h"
#include "archive/SearchIndex.h"
#include "archive/ServerRoles.h"
#include "archive/Utf8.h"

#include <filesystem>
#include <functional>
#include <set>

namespace quorvin::admin {

namespace {

bool Run(DorvaneConnection& connection, const std::string& sql, std::string& error) {
    if (connection.Execute(sql)) {
        return true;
    }
    error = connection.LastError();
    return false;
}

long FirstNumber(DorvaneConnection& connection, const std::string& sql) {
    db::Result result;
    if (!connection.Query(sql, result) || result.rows.empty() || !result.rows[0][0]) {
        return -1;
    }
    const auto value = ParseInteger(*result.rows[0][0]);
    return value ? static_cast<long>(*value) : -1;
}

bool CheckArchive(DorvaneConnection& connection, const ArchiveSpec& spec, std::string& error) {
    if (!schema::IsValidCode(spec.code)) {
        error = "Codice archivio non valido: '" + spec.code +
                "' (da 1 a 16 lettere, cifre o trattini bassi).";
        return false;
    }
    if (Trim(spec.name).empty()) {
        error = "Nome dell'archivio mancante.";
        return false;
    }
    if (FirstNumber(connection, "select count(*) from DB_ELENCO where lower(SYS_SERIALE)=" +
                                    SqlText(Lower(spec.code))) != 0) {
        error = "L'archivio '" + spec.code + "' esiste già.";
        return false;
    }
    std::set<std::string> names = {"sys_record", "sys_seriale", "sys_descr", "sys_file"};
    for (const auto& field : spec.fields) {
        if (!IsPlainIdentifier(field.name)) {
            error = "Nome di campo non valido: '" + field.name + "'.";
            return false;
        }
        if (!names.insert(Lower(field.name)).second) {
            error = "Campo ripetuto o riservato: '" + field.name + "'.";
            return false;
        }
        db::Cell stored;
        if (!field::ToStored(field.type, field.defaultValue, stored)) {
            error = "Valore predefinito non valido per il campo '" + field.name + "'.";
            return false;
        }
    }
    return true;
}

std::string Folder(DorvaneConnection& connection, const ArchiveSpec& spec) {
    if (!spec.folder.empty()) {
        return spec.folder;
    }
    std::string root = connection.Info("cartella_documenti");
    if (root.empty()) {
        root = "Documenti";
    }
    return (std::filesystem::absolute(root) / spec.code).string();
}

// The documents are their owner's alone: every folder made on the way gets owner-only
// permissions; folders that were there stay as they are.
void CreatePrivateFolders(const std::filesystem::path& folder) {
    std::error_code ec;
    std::vector<std::filesystem::path> missing;
    for (auto path = std::filesystem::absolute(folder, ec);
         !path.empty() && !std::filesystem::exists(path, ec); path = path.parent_path()) {
        missing.push_back(path);
        if (path == path.parent_path()) {
            break;
        }
    }
    std::filesystem::create_directories(folder, ec);
    for (const auto& path : missing) {
        std::filesystem::permissions(path, std::filesystem::perms::owner_all, ec);
    }
}

bool IsServer(DorvaneConnection& connection) {
    return connection.Backend() == db::Backend::Postgres;
}

std::string UserName(DorvaneConnection& connection, long user) {
    db::Result result;
    if (!connection.Query("select NOME from UTENTI where ID_UTENTE=" + SqlNumber(user), result) ||
        result.rows.empty() || !result.rows[0][0]) {
        return {};
    }
    return *result.rows[0][0];
}

// One permission row per grant, its id given by the database (two workstations granting
// at once get two ids); on a server the matching GRANT goes with it.
bool GrantById(DorvaneConnection& connection, long user, const std::string& code,
               bool createRecords, long rights, std::string& error) {
    const long id =
        FirstNumber(connection, "insert into PERMESSI (DESCRIZIONE, CREA_REC, DIRITTI) values (" +
                                    SqlText(code) + ", " + (createRecords ? "1" : "0") + ", " +
                                    SqlNumber(rights) + ") returning ID_PERMESSO");
    if (id < 0) {
        error = connection.LastError();
        return false;
    }
    if (!Run(connection,
             "insert into DB_PERMESSI (SYS_SERIALE, ID_PERMESSO) values (" + SqlText(code) + ", " +
                 SqlNumber(id) + ");" +
                 "insert into UTENTE_PERMESSI (ID_UTENTE, ID_PERMESSO) values (" + SqlNumber(user) +
                 ", " + SqlNumber(id) + ")",
             error)) {
        return false;
    }
    return !IsServer(connection) ||
           roles::GrantTable(connection, UserName(connection, user), schema::TableNameFor(code),
                             createRecords, rights, error);
}

} // namespace

bool InTransaction(DorvaneConnection& connection, std::string& error,
                   const std::function<bool()>& work) {
    const bool own = !connection.InTransaction();
    if (own && !connection.Begin()) {
        error = connection.LastError();
        return false;
    }
    const bool ok = work();
    if (!own) {
        return ok;
    }
    if (!ok) {
        connection.Rollback();
        return false;
    }
    if (!connection.Commit()) {
        error = connection.LastError();
        return false;
    }
    return true;
}

bool AddDocTypes(DorvaneConnection& connection, const std::vector<DocTypeSpec>& types,
                 std::string& error) {
    return InTransaction(connection, error, [&] {
        for (const auto& type : types) {
            const std::string code = SqlNumber(type.code);
            if (!Run(connection,
                     "delete from SYS_TIPO_DOC_F where ID_TIPODOC=" + code +
                         "; insert into SYS_TIPO_DOC_F (ID_TIPODOC, DESCRIZIONE) values (" + code +
                         ", " + SqlText(type.name) + ")",
                     error)) {
                return false;
            }
        }
        return true;
    });
}

bool AddArchive(DorvaneConnection& connection, const ArchiveSpec& spec, std::string& error) {
    if (!CheckArchive(connection, spec, error)) {
        return false;
    }
    const std::string folder = Folder(connection, spec);
    const std::string table = schema::TableNameFor(spec.code);
    const bool ok = InTransaction(connection, error, [&] {
        std::string sql =
            "insert into DB_ELENCO (SYS_SERIALE, ARCHIVIO, TIPO_ARCH, ANNO, NOME_TABELLA,"
            " CARTELLA, MODELLO_DESCR) values (" +
            SqlText(spec.code) + ", " + SqlText(spec.name) + ", " + SqlNumber(spec.tipoArch) +
            ", " + SqlNumber(spec.anno) + ", " + SqlText(table) + ", " + SqlText(folder) + ", " +
            SqlText(spec.descriptionTemplate) + ");";
        for (size_t i = 0; i < spec.fields.size(); ++i) {
            const auto& field = spec.fields[i];
            sql +=
                "insert into DB_CAMPI (SYS_SERIALE, POSIZIONE, NOME, TIPO, PREDEFINITO) values (" +
                SqlText(spec.code) + ", " + SqlNumber(static_cast<long long>(i + 1)) + ", " +
                SqlText(field.name) + ", " + SqlText(FieldTypeName(field.type)) + ", " +
                (field.defaultValue.empty() ? std::string("NULL") : SqlText(field.defaultValue)) +
                ");";
        }
        for (const long type : spec.docTypes) {
            sql += "delete from SYS_TATD where ID_TIPOARC=" + SqlNumber(spec.tipoArch) +
                   " and ID_TIPODOC=" + SqlNumber(type) +
                   "; insert into SYS_TATD (ID_TIPOARC, ID_TIPODOC) values (" +
                   SqlNumber(spec.tipoArch) + ", " + SqlNumber(type) + ");";
        }
        sql += schema::CreateArchiveTableSql(connection.Backend(), table, spec.fields) + ";" +
               search::ArchiveSearchSql(connection.Backend(), spec.code, table, spec.fields, false);
        if (!Run(connection, sql, error) ||
            (IsServer(connection) && !roles::Adopt(connection, table, error))) {
            return false;
        }
        db::Result admins;
        if (!connection.Query("select ID_UTENTE from UTENTI where AMMINISTRATORE<>0", admins)) {
            error = connection.LastError();
            return false;
        }
        for (const auto& row : admins.rows) {
            const auto id = row[0] ? ParseInteger(*row[0]) : std::nullopt;
            if (id && !GrantById(connection, static_cast<long>(*id), spec.code, true, kAllRights,
                                 error)) {
                return false;
            }
        }
        return true;
    });
    connection.ForgetCatalogue();
    if (ok) {
        CreatePrivateFolders(folder);
    }
    return ok;
}

long UserId(DorvaneConnection& connection, const std::string& name) {
    return FirstNumber(connection, "select ID_UTENTE from UTENTI where NOME=" + SqlText(name));
}

long AddUser(DorvaneConnection& connection, const std::string& name, const std::string& password,
             bool administrator, std::string& error) {
    // A server keeps passwords itself (the role's SCRAM verifier); the table keeps none.
    std::string hash;
    if (!password.empty() && !IsServer(connection)) {
        hash = DorvaneUser::HashPassword(password);
        if (hash.empty()) {
            error = "Impossibile cifrare la password.";
            return -1;
        }
    }
    return AddUserWithHash(connection, name, hash, password, administrator, error);
}

long AddUserWithHash(DorvaneConnection& connection, const std::string& name,
                     const std::string& hash, const std::string& password, bool administrator,
                     std::string& error) {
    if (Trim(name).empty() || name != Trim(name)) {
        error = "Nome utente non valido.";
        return -1;
    }
    if (UserId(connection, name) >= 0) {
        error = "L'utente " + name + " esiste già.";
        return -1;
    }
    long id = -1;
    InTransaction(connection, error, [&] {
        if (IsServer(connection) &&
            (!roles::SetUp(connection, error) ||
             !roles::EnsureLogin(connection, name, password, administrator, error))) {
            return false;
        }
        id = FirstNumber(
            connection,
            "insert into UTENTI (NOME, HASH_PASSWORD, AMMINISTRATORE) values (" + SqlText(name) +
                ", " +
                (hash.empty() || IsServer(connection) ? std::string("NULL") : SqlText(hash)) +
                ", " + (administrator ? "1" : "0") + ") returning ID_UTENTE");
        if (id < 0) {
            error = connection.LastError();
            return false;
        }
        return true;
    });
    return id;
}

bool SetPassword(DorvaneConnection& connection, const std::string& name,
                 const std::string& password, std::string& error) {
    if (UserId(connection, name) < 0) {
        error = "L'utente " + name + " non è registrato nell'archivio.";
        return false;
    }
    if (IsServer(connection)) {
        return InTransaction(connection, error,
                             [&] { return roles::SetPassword(connection, name, password, error); });
    }
    const std::string hash = password.empty() ? std::string() : DorvaneUser::HashPassword(password);
    if (!password.empty() && hash.empty()) {
        error = "Impossibile cifrare la password.";
        return false;
    }
    return Run(connection,
               "update UTENTI set HASH_PASSWORD=" + (hash.empty() ? "NULL" : SqlText(hash)) +
                   " where NOME=" + SqlText(name),
               error);
}

bool Grant(DorvaneConnection& connection, const std::string& user, const std::string& code,
           bool createRecords, long rights, std::string& error) {
    const long id = UserId(connection, user);
    if (id < 0) {
        error = "L'utente " + user + " non è registrato nell'archivio.";
        return false;
    }
    if (connection.Archive(code) == nullptr) {
        error = "Archivio '" + code + "' inesistente.";
        return false;
    }
    return InTransaction(connection, error, [&] {
        return GrantById(connection, id, code, createRecords, rights, error);
    });
}

bool Revoke(DorvaneConnection& connection, const std::string& user, const std::string& code,
            std::string& error) {
    const long id = UserId(connection, user);
    if (id < 0) {
        error = "L'utente " + user + " non è registrato nell'archivio.";
        return false;
    }
    if (connection.Archive(code) == nullptr) {
        error = "Archivio '" + code + "' inesistente.";
        return false;
    }
    const std::string own = "select UTENTE_PERMESSI.ID_PERMESSO from UTENTE_PERMESSI join"
                            " DB_PERMESSI on UTENTE_PERMESSI.ID_PERMESSO=DB_PERMESSI.ID_PERMESSO"
                            " where UTENTE_PERMESSI.ID_UTENTE=" +
                            SqlNumber(id) + " and DB_PERMESSI.SYS_SERIALE=" + SqlText(code);
    return InTransaction(connection, error, [&] {
        db::Result ids;
        if (!connection.Query(own, ids)) {
            error = connection.LastError();
            return false;
        }
        for (const auto& row : ids.rows) {
            const std::string permission = row[0].value_or("0");
            if (!Run(connection,
                     "delete from UTENTE_PERMESSI where ID_UTENTE=" + SqlNumber(id) +
                         " and ID_PERMESSO=" + SqlText(permission) +
                         "; delete from DB_PERMESSI where ID_PERMESSO=" + SqlText(permission) +
                         " and SYS_SERIALE=" + SqlText(code),
                     error)) {
                return false;
            }
        }
        return !IsServer(connection) ||
               roles::RevokeTable(connection, user, schema::TableNameFor(code), error);
    });
}

bool MakeAdministrator(DorvaneConnection& connection, const std::string& name,
                       const std::string& password, std::string& error) {
    return InTransaction(connection, error, [&] {
        if (IsServer(connection) && !roles::SetUp(connection, error)) {
            return false;
        }
        long id = UserId(connection, name);
        if (id >= 0 && IsServer(connection) &&
            !roles::EnsureLogin(connection, name, password, true, error)) {
            return false;
        }
        if (id < 0) {
            id = AddUser(connection, name, password, true, error);
            if (id < 0) {
                return false;
            }
        } else if (!Run(connection,
                        "update UTENTI set AMMINISTRATORE=1 where ID_UTENTE=" + SqlNumber(id),
                        error)) {
            return false;
        }
        for (const auto& code : connection.ArchiveCodes()) {
            if (!GrantById(connection, id, code, true, kAllRights, error)) {
                return false;
            }
        }
        return true;
    });
}

bool AddCatalogue(DorvaneConnection& connection, const std::vector<DocTypeSpec>& types,
                  const std::vector<ArchiveSpec>& archives, std::string& error) {
    return InTransaction(connection, error, [&] {
        if (!AddDocTypes(connection, types, error)) {
            return false;
        }
        for (const auto& archive : archives) {
            if (!AddArchive(connection, archive, error)) {
                return false;
            }
        }
        return true;
    });
}

} // namespace quorvin::admin
