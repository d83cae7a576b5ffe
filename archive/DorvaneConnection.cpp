#include "archive/DorvaneConnection.h"

#include "archive/DorvaneFiles.h"
#include "archive/Quoting.h"
#include "archive/Schema.h"
#include "archive/SearchIndex.h"
#include "archive/Utf8.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>

namespace quorvin {

namespace {

const db::Cell& CellOf(const db::Result& result, size_t row, size_t column) {
    static const db::Cell kNull;
    if (row >= result.rows.size() || column >= result.rows[row].size()) {
        return kNull;
    }
    return result.rows[row][column];
}

std::string TextOf(const db::Cell& cell) {
    return cell ? *cell : std::string();
}

long NumberOf(const db::Cell& cell) {
    const auto value = cell ? ParseInteger(*cell) : std::nullopt;
    return value ? static_cast<long>(*value) : 0;
}

} // namespace

DorvaneConnection::DorvaneConnection(std::unique_ptr<db::Connection> db, std::string locator,
                                     ConnectOptions options)
    : m_db(std::move(db)), m_locator(std::move(locator)), m_options(std::move(options)) {}

std::string DorvaneConnection::SessionUser() {
    db::Result result;
    if (Backend() != db::Backend::Postgres || !Query("select session_user", result)) {
        return {};
    }
    return TextOf(CellOf(result, 0, 0));
}

DorvaneConnection::~DorvaneConnection() {
    if (m_inTransaction) {
        Rollback();
    }
    if (!m_staging.empty()) {
        std::error_code ec;
        std::filesystem::remove_all(m_staging, ec);
    }
}

const std::string& DorvaneConnection::StagingFolder() {
    if (m_staging.empty()) {
        namespace fs = std::filesystem;
        std::error_code ec;
        const fs::path temp = fs::temp_directory_path(ec);
        // Staging folders of sessions that were killed: nothing in them was ever archived.
        for (fs::directory_iterator it(temp, ec), end; !ec && it != end; it.increment(ec)) {
            const std::string name = it->path().filename().string();
            long pid = 0;
            if (name.starts_with("quorvin-staging-") &&
                std::sscanf(name.c_str(), "quorvin-staging-%ld-", &pid) == 1 && pid > 0 &&
                ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) {
                std::error_code ignored;
                fs::remove_all(it->path(), ignored);
            }
        }
        std::string pattern =
            (temp / ("quorvin-staging-" + std::to_string(::getpid()) + "-XXXXXX")).string();
        if (::mkdtemp(pattern.data()) != nullptr) {
            m_staging = pattern;
        }
    }
    return m_staging;
}

DorvaneConnection::StoredNameSet& DorvaneConnection::StoredNames(const std::string& code,
                                                                 const std::string& stem) {
    const std::string key = code + '\n' + stem;
    auto it = m_storedNames.find(key);
    if (it != m_storedNames.end()) {
        return it->second;
    }
    std::set<std::string>& names = m_storedNames[key].taken;
    db::Result result;
    if (Query("select NOME from DB_FILE where SYS_SERIALE=" + SqlText(code) + " and NOME like " +
                  SqlLikePrefix(stem),
              result)) {
        for (const auto& row : result.rows) {
            if (row[0]) {
                names.insert(*row[0]);
            }
        }
    }
    return m_storedNames[key];
}

std::shared_ptr<DorvaneConnection> DorvaneConnection::Open(const std::string& locator,
                                                           const ConnectOptions& options,
                                                           std::string& error) {
    std::unique_ptr<db::Connection> db;
    const bool server = db::IsServerLocator(locator);
    if (server) {
        db = db::OpenPostgres(locator, error, options.credentials);
    } else {
        std::error_code ec;
        const auto folder = std::filesystem::path(locator).parent_path();
        if (options.createSchema && !folder.empty() && !std::filesystem::exists(folder, ec)) {
            std::filesystem::create_directories(folder, ec);
            std::filesystem::permissions(folder, std::filesystem::perms::owner_all, ec);
        }
        db::SqliteOptions sqlite;
        sqlite.busyTimeoutMs = options.busyTimeoutMs;
        sqlite.create = options.createSchema;
        db = db::OpenSqlite(locator, sqlite, error);
    }
    if (!db) {
        return nullptr;
    }
    std::shared_ptr<DorvaneConnection> connection(
        new DorvaneConnection(std::move(db), locator, options));
    const int version = schema::Version(*connection->m_db);
    if (version < 0) {
        error = "Impossibile leggere l'archivio: " + connection->m_db->LastError();
        return nullptr;
    }
    if (version == 0 && !options.createSchema) {
        error = "L'archivio non è inizializzato: eseguire 'quorvin-cli archivio init'.";
        return nullptr;
    }
    // A server database that holds another program's tables is left alone.
    db::Result others;
    if (version == 0 && server &&
        (!connection->Query("select count(*) from information_schema.tables where"
                            " table_schema=current_schema()",
                            others) ||
         TextOf(CellOf(others, 0, 0)) != "0")) {
        error = "Il database " + db::DisplayLocator(locator) + " non è un archivio Quorvin.";
        return nullptr;
    }
    if (!schema::Migrate(*connection->m_db, schema::kVersion, error)) {
        return nullptr;
    }
    db::Result deferral;
    connection->m_deferIndex =
        !server &&
        connection->Query(std::string("select count(*) from sqlite_master where name in (") +
                              SqlText(search::kFtsTable) + ", " + SqlText(search::kDeferTable) +
                              ")",
                          deferral) &&
        TextOf(CellOf(deferral, 0, 0)) == "2";
    if (version == 0) {
        connection->m_created = true;
        std::string root = options.documentsRoot;
        if (root.empty()) {
            root = server
                       ? std::string()
                       : (std::filesystem::absolute(locator).parent_path() / "Documenti").string();
        }
        if (!connection->SetInfo("cartella_documenti", root)) {
            error = connection->LastError();
            return nullptr;
        }
    }
    return connection;
}

bool DorvaneConnection::Execute(const std::string& sql) {
    db::Result ignored;
    return Query(sql, ignored);
}

bool DorvaneConnection::Query(const std::string& sql, db::Result& out) {
    if (m_db->Query(sql, out)) {
        return true;
    }
    SetError(m_db->LastErrorNumber() != 0 ? m_db->LastErrorNumber() : 1, m_db->LastError());
    return false;
}

bool DorvaneConnection::Query(const std::string& sql, const db::Params& params, db::Result& out) {
    if (m_db->Query(sql, params, out)) {
        return true;
    }
    SetError(m_db->LastErrorNumber() != 0 ? m_db->LastErrorNumber() : 1, m_db->LastError());
    return false;
}

void DorvaneConnection::SetError(long number, const std::string& text) {
    m_errorNumber = number;
    m_error = text;
}

void DorvaneConnection::ClearError() {
    m_errorNumber = 0;
    m_error.clear();
}

const ArchiveSpec* DorvaneConnection::Archive(const std::string& code) {
    auto it = m_archives.find(code);
    if (it == m_archives.end()) {
        if (!schema::IsValidCode(code) || !LoadArchive(code)) {
            return nullptr;
        }
        it = m_archives.find(code);
    }
    return it == m_archives.end() ? nullptr : &it->second;
}

const ArchiveSpec* DorvaneConnection::ArchiveByTable(const std::string& table) {
    const std::string wanted = Lower(table);
    if (!wanted.starts_with(schema::TableNameFor(""))) {
        return nullptr; // the catalogue's own tables: no query needed
    }
    for (const auto& [code, spec] : m_archives) {
        if (spec.table == wanted) {
            return &spec;
        }
    }
    db::Result result;
    if (!Query("select SYS_SERIALE from DB_ELENCO where NOME_TABELLA=" + SqlText(wanted), result) ||
        result.rows.empty()) {
        return nullptr;
    }
    return Archive(TextOf(CellOf(result, 0, 0)));
}

std::vector<std::string> DorvaneConnection::ArchiveCodes() {
    std::vector<std::string> codes;
    db::Result result;
    if (Query("select SYS_SERIALE from DB_ELENCO order by SYS_SERIALE", result)) {
        for (size_t r = 0; r < result.rows.size(); ++r) {
            codes.push_back(TextOf(CellOf(result, r, 0)));
        }
    }
    return codes;
}

void DorvaneConnection::ForgetCatalogue() {
    m_archives.clear();
}

bool DorvaneConnection::LoadArchive(const std::string& code) {
    db::Result row;
    if (!Query("select SYS_SERIALE, ARCHIVIO, TIPO_ARCH, ANNO, NOME_TABELLA, CARTELLA,"
               " MODELLO_DESCR from DB_ELENCO where SYS_SERIALE=" +
                   SqlText(code),
               row) ||
        row.rows.empty()) {
        return false;
    }
    ArchiveSpec spec;
    spec.code = TextOf(CellOf(row, 0, 0));
    spec.name = TextOf(CellOf(row, 0, 1));
    spec.tipoArch = NumberOf(CellOf(row, 0, 2));
    spec.anno = NumberOf(CellOf(row, 0, 3));
    spec.table = Lower(TextOf(CellOf(row, 0, 4)));
    spec.folder = TextOf(CellOf(row, 0, 5));
    spec.descriptionTemplate = TextOf(CellOf(row, 0, 6));
    db::Result fields;
    if (!Query("select NOME, TIPO, PREDEFINITO from DB_CAMPI where SYS_SERIALE=" + SqlText(code) +
                   " order by POSIZIONE",
               fields)) {
        return false;
    }
    for (size_t r = 0; r < fields.rows.size(); ++r) {
        FieldSpec field;
        field.name = TextOf(CellOf(fields, r, 0));
        if (!ParseFieldType(TextOf(CellOf(fields, r, 1)), field.type)) {
            field.type = FieldType::Text;
        }
        field.defaultValue = TextOf(CellOf(fields, r, 2));
        spec.fields.push_back(std::move(field));
    }
    db::Result types;
    if (!Query("select ID_TIPODOC from SYS_TATD where ID_TIPOARC=" + SqlNumber(spec.tipoArch) +
                   " order by ID_TIPODOC",
               types)) {
        return false;
    }
    for (size_t r = 0; r < types.rows.size(); ++r) {
        spec.docTypes.push_back(NumberOf(CellOf(types, r, 0)));
    }
    m_archives[spec.code] = std::move(spec);
    return true;
}

std::string DorvaneConnection::Info(const std::string& key) {
    db::Result result;
    if (!Query("select VALORE from QUORVIN_INFO where CHIAVE=" + SqlText(key), result)) {
        return {};
    }
    return TextOf(CellOf(result, 0, 0));
}

bool DorvaneConnection::SetInfo(const std::string& key, const std::string& value) {
    return Execute("delete from QUORVIN_INFO where CHIAVE=" + SqlText(key) +
                   "; insert into QUORVIN_INFO (CHIAVE, VALORE) values (" + SqlText(key) + ", " +
                   SqlText(value) + ")");
}

bool DorvaneConnection::Begin() {
    if (m_inTransaction) {
        SetError(1, "Una transazione è già aperta sull'archivio.");
        return false;
    }
    // IMMEDIATE takes the write lock now: a busy file then waits here, not half-way.
    if (!Execute(Backend() == db::Backend::Sqlite ? "begin immediate" : "begin")) {
        return false;
    }
    m_inTransaction = true;
    if (m_deferIndex && !Execute(search::DeferIndexSql())) {
        Rollback();
        return false;
    }
    m_storedFiles.clear();
    return true;
}

bool DorvaneConnection::Commit() {
    if (!m_inTransaction) {
        SetError(1, "Nessuna transazione aperta sull'archivio.");
        return false;
    }
    if ((m_deferIndex && !Execute(search::CatchUpIndexSql())) || !Execute("commit")) {
        Rollback();
        return false;
    }
    m_inTransaction = false;
    // Staging files are read by now; what is left of them goes.
    for (const auto& path : m_storedFiles) {
        DorvaneFiles::DeleteFile(path, true);
    }
    m_storedFiles.clear();
    return true;
}

bool DorvaneConnection::Rollback() {
    if (!m_inTransaction) {
        return false;
    }
    db::Result ignored;
    const bool ok = m_db->Query("rollback", ignored);
    m_inTransaction = false;
    for (const auto& path : m_storedFiles) {
        DorvaneFiles::DeleteFile(path, true);
    }
    m_storedFiles.clear();
    m_storedNames.clear();
    ForgetCatalogue();
    return ok;
}

// A savepoint and its release for every document of a file: as statements without values
// they are kept prepared, where the back end keeps statements.
bool DorvaneConnection::PartBegin() {
    db::Result ignored;
    return !m_inTransaction || Query("savepoint quorvin_parte", {}, ignored);
}

bool DorvaneConnection::PartKeep() {
    db::Result ignored;
    return !m_inTransaction || Query("release savepoint quorvin_parte", {}, ignored);
}

bool DorvaneConnection::PartUndo() {
    if (!m_inTransaction) {
        return true;
    }
    // The part's failure stays the connection's last error.
    const long number = m_errorNumber;
    const std::string text = m_error;
    db::Result ignored;
    const bool ok = m_db->Query("rollback to savepoint quorvin_parte", ignored) &&
                    m_db->Query("release savepoint quorvin_parte", ignored);
    SetError(number, text);
    return ok;
}

void DorvaneConnection::RegisterStoredFile(const std::string& path) {
    if (m_inTransaction) {
        m_storedFiles.push_back(path);
    }
}

} // namespace quorvin
