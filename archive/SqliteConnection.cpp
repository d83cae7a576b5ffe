// The embedded back end: one SQLite file, WAL journal, a busy timeout so that a second
// program on the same file waits instead of failing at once.
#include "archive/Connection.h"
#include "archive/SearchText.h"

#include <sqlite3.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <filesystem>
#include <string_view>
#include <unordered_map>

namespace quorvin::db {

namespace {

const char* const kLockedMessage =
    "Archivio bloccato da un altro programma: l'attesa è scaduta, riprovare più tardi.";

ColumnKind KindOfDeclaredType(const char* decl) {
    std::string type;
    for (const char* p = decl; *p != '\0'; ++p) {
        type += static_cast<char>(std::toupper(static_cast<unsigned char>(*p)));
    }
    if (type.find("DATE") != std::string::npos) {
        return ColumnKind::Date;
    }
    if (type.find("INT") != std::string::npos) {
        return ColumnKind::Integer;
    }
    if (type.find("NUMERIC") != std::string::npos || type.find("DECIMAL") != std::string::npos ||
        type.find("REAL") != std::string::npos) {
        return ColumnKind::Decimal;
    }
    return ColumnKind::Text;
}

ColumnKind KindOfStoredValue(int type) {
    switch (type) {
    case SQLITE_INTEGER:
        return ColumnKind::Integer;
    case SQLITE_FLOAT:
        return ColumnKind::Decimal;
    default:
        return ColumnKind::Text;
    }
}

class SqliteConnection final : public Connection {
public:
    explicit SqliteConnection(sqlite3* db) : m_db(db) {}
    ~SqliteConnection() override {
        ForgetPrepared();
        sqlite3_close_v2(m_db);
    }
    SqliteConnection(const SqliteConnection&) = delete;
    SqliteConnection& operator=(const SqliteConnection&) = delete;

    Backend Kind() const override { return Backend::Sqlite; }

    bool Query(const std::string& sql, Result& out) override {
        ClearError();
        out = Result{};
        if (HasNul(sql)) {
            return false;
        }
        const char* tail = sql.c_str();
        const char* end = sql.c_str() + sql.size();
        while (tail < end) {
            sqlite3_stmt* stmt = nullptr;
            const char* next = nullptr;
            int rc = sqlite3_prepare_v2(m_db, tail, static_cast<int>(end - tail), &stmt, &next);
            if (rc != SQLITE_OK) {
                return Fail(rc);
            }
            tail = next;
            if (stmt == nullptr) { // only blanks or a comment left
                continue;
            }
            Result current;
            const bool ok = Run(stmt, current);
            sqlite3_finalize(stmt);
            if (!ok) {
                return false;
            }
            if (!current.columns.empty()) {
                out = std::move(current);
            }
        }
        return true;
    }

    bool Query(const std::string& sql, const Params& params, Result& out) override {
        ClearError();
        out = Result{};
        sqlite3_stmt* stmt = Prepared(sql);
        if (stmt == nullptr) {
            return false;
        }
        bool ok = Bind(stmt, params);
        ok = ok && Run(stmt, out);
        // Reset at once: a statement left stepping would keep its read snapshot open.
        sqlite3_reset(stmt);
        sqlite3_clear_bindings(stmt);
        if (!ok) {
            out = Result{};
        }
        return ok;
    }

private:
    // SQLite stops reading a statement at a NUL and would be handed the same NUL again.
    bool HasNul(const std::string& sql) {
        if (sql.find('\0') == std::string::npos) {
            return false;
        }
        SetError(SQLITE_MISUSE, "Testo SQL non valido: contiene un carattere nullo.");
        return true;
    }

    // Statements kept prepared, by their text; SQLite prepares one again by itself when
    // the schema has changed under it.
    static constexpr size_t kPreparedKept = 64;

    sqlite3_stmt* Prepared(const std::string& sql) {
        if (const auto it = m_prepared.find(sql); it != m_prepared.end()) {
            return it->second;
        }
        if (HasNul(sql)) {
            return nullptr;
        }
        sqlite3_stmt* stmt = nullptr;
        const char* tail = nullptr;
        const int rc = sqlite3_prepare_v3(m_db, sql.c_str(), static_cast<int>(sql.size()),
                                          SQLITE_PREPARE_PERSISTENT, &stmt, &tail);
        if (rc != SQLITE_OK) {
            Fail(rc);
            return nullptr;
        }
        if (stmt == nullptr ||
            std::string_view(tail).find_first_not_of(" \t\r\n;") != std::string_view::npos) {
            sqlite3_finalize(stmt);
            SetError(SQLITE_MISUSE, "Testo SQL non valido: serve una sola istruzione.");
            return nullptr;
        }
        if (m_prepared.size() >= kPreparedKept) {
            ForgetPrepared();
        }
        m_prepared.emplace(sql, stmt);
        return stmt;
    }

    void ForgetPrepared() {
        for (const auto& [text, stmt] : m_prepared) {
            sqlite3_finalize(stmt);
        }
        m_prepared.clear();
    }

    // Each value as its literal would give it: numbers that SQLite reads as integers go in
    // as integers, other numbers as text that the column's affinity converts, text
    // without NUL characters (as SqlText writes it).
    bool Bind(sqlite3_stmt* stmt, const Params& params) {
        const int count = sqlite3_bind_parameter_count(stmt);
        for (int index = 1; index <= count; ++index) {
            const char* name = sqlite3_bind_parameter_name(stmt, index);
            size_t number = 0;
            if (name != nullptr && name[0] == '$') {
                const std::string_view digits(name + 1);
                const auto [end, ec] =
                    std::from_chars(digits.data(), digits.data() + digits.size(), number);
                if (ec != std::errc() || end != digits.data() + digits.size()) {
                    number = 0;
                }
            }
            if (number == 0) {
                SetError(SQLITE_MISUSE, "Segnaposto SQL non valido: " +
                                            std::string(name != nullptr ? name : "?") + ".");
                return false;
            }
            const Param* param = number <= params.size() ? &params[number - 1] : nullptr;
            int rc = SQLITE_OK;
            if (param == nullptr || !param->value) {
                rc = sqlite3_bind_null(stmt, index);
            } else if (param->kind == Param::Kind::Bytes) {
                rc = param->value->empty()
                         ? sqlite3_bind_zeroblob(stmt, index, 0)
                         : sqlite3_bind_blob64(stmt, index, param->value->data(),
                                               param->value->size(), SQLITE_STATIC);
            } else {
                const std::string& text = *param->value;
                long long integer = 0;
                const auto [end, ec] =
                    std::from_chars(text.data(), text.data() + text.size(), integer);
                if (param->kind == Param::Kind::Number && ec == std::errc() &&
                    end == text.data() + text.size()) {
                    rc = sqlite3_bind_int64(stmt, index, integer);
                } else if (text.find('\0') != std::string::npos) {
                    std::string clean = text;
                    std::erase(clean, '\0');
                    rc = sqlite3_bind_text64(stmt, index, clean.data(), clean.size(),
                                             SQLITE_TRANSIENT, SQLITE_UTF8);
                } else {
                    rc = sqlite3_bind_text64(stmt, index, text.data(), text.size(), SQLITE_STATIC,
                                             SQLITE_UTF8);
                }
            }
            if (rc != SQLITE_OK) {
                return Fail(rc);
            }
        }
        return true;
    }

    bool Run(sqlite3_stmt* stmt, Result& out) {
        const int count = sqlite3_column_count(stmt);
        std::vector<bool> declared(static_cast<size_t>(count), false);
        for (int i = 0; i < count; ++i) {
            const char* name = sqlite3_column_name(stmt, i);
            out.columns.emplace_back(name != nullptr ? name : "");
            const char* decl = sqlite3_column_decltype(stmt, i);
            out.kinds.push_back(decl != nullptr ? KindOfDeclaredType(decl) : ColumnKind::Text);
            declared[static_cast<size_t>(i)] = decl != nullptr;
        }
        for (;;) {
            const int rc = sqlite3_step(stmt);
            if (rc == SQLITE_DONE) {
                return true;
            }
            if (rc != SQLITE_ROW) {
                return Fail(rc);
            }
            Row row;
            row.reserve(static_cast<size_t>(count));
            for (int i = 0; i < count; ++i) {
                const int type = sqlite3_column_type(stmt, i);
                if (type == SQLITE_NULL) {
                    row.emplace_back(std::nullopt);
                    continue;
                }
                if (!declared[static_cast<size_t>(i)]) {
                    // An expression column: its kind is that of the values it gives.
                    out.kinds[static_cast<size_t>(i)] = KindOfStoredValue(type);
                    declared[static_cast<size_t>(i)] = true;
                }
                const auto* text = sqlite3_column_text(stmt, i);
                const int bytes = sqlite3_column_bytes(stmt, i);
                row.emplace_back(
                    std::string(reinterpret_cast<const char*>(text), static_cast<size_t>(bytes)));
            }
            out.rows.push_back(std::move(row));
        }
    }

    bool Fail(int rc) {
        const int primary = rc & 0xff;
        if (primary == SQLITE_BUSY || primary == SQLITE_LOCKED) {
            SetError(rc, kLockedMessage);
        } else {
            SetError(rc, sqlite3_errmsg(m_db));
        }
        return false;
    }

    sqlite3* m_db;
    std::unordered_map<std::string, sqlite3_stmt*> m_prepared;
};

// The search table's text is folded by the library's own function, so that the triggers
// that keep it fold exactly as the search does.
void FoldFunction(sqlite3_context* context, int, sqlite3_value** values) {
    const auto* text = sqlite3_value_text(values[0]);
    const std::string folded = search::Fold(
        text != nullptr ? std::string_view(reinterpret_cast<const char*>(text),
                                           static_cast<size_t>(sqlite3_value_bytes(values[0])))
                        : std::string_view());
    sqlite3_result_text(context, folded.c_str(), static_cast<int>(folded.size()), SQLITE_TRANSIENT);
}

} // namespace

std::unique_ptr<Connection> OpenSqlite(const std::string& path, const SqliteOptions& options,
                                       std::string& error) {
    std::error_code ec;
    if (!options.create && !std::filesystem::exists(path, ec)) {
        error = "Archivio '" + path + "' inesistente.";
        return nullptr;
    }
    if (std::filesystem::is_directory(path, ec)) {
        error = "'" + path + "' è una cartella, non un archivio.";
        return nullptr;
    }
    // A new archive is its owner's alone: SQLite gives its journal files the same mode.
    if (options.create && !std::filesystem::exists(path, ec)) {
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0) {
            ::close(fd);
        }
    }
    sqlite3* db = nullptr;
    int flags = SQLITE_OPEN_READWRITE | (options.create ? SQLITE_OPEN_CREATE : 0);
    const int rc = sqlite3_open_v2(path.c_str(), &db, flags, nullptr);
    if (rc != SQLITE_OK) {
        error = "Impossibile aprire l'archivio '" + path +
                "': " + (db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
        sqlite3_close_v2(db);
        return nullptr;
    }
    sqlite3_busy_timeout(db, options.busyTimeoutMs);
    sqlite3_extended_result_codes(db, 1);
    sqlite3_create_function_v2(db, search::kFoldFunction, 1,
                               SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS, nullptr,
                               FoldFunction, nullptr, nullptr, nullptr);
    auto connection = std::make_unique<SqliteConnection>(db);
    // Another program's database is left as it was: checked before the journal mode.
    Result tables;
    if (!connection->Query("select count(*), sum(lower(name)='quorvin_info') from sqlite_master",
                           tables)) {
        error = "'" + path + "' non è un archivio Quorvin.";
        return nullptr;
    }
    const Row& counts = tables.rows.at(0);
    if (counts[0].value_or("0") != "0" && counts[1].value_or("0") == "0") {
        error = "'" + path + "' non è un archivio Quorvin.";
        return nullptr;
    }
    // FULL keeps a committed receipt on disk before its source file is removed; like is
    // made case-sensitive to behave as on PostgreSQL. The journal of each single
    // document's savepoint stays in memory, where it is dropped as the document is kept,
    // instead of thousands of small writes to a temporary file per receipt file.
    if (!connection->Execute("PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL; "
                             "PRAGMA foreign_keys=ON; PRAGMA case_sensitive_like=ON; "
                             "PRAGMA temp_store=MEMORY;")) {
        error = "Impossibile aprire l'archivio '" + path + "': " + connection->LastError();
        return nullptr;
    }
    return connection;
}

std::string DisplayLocator(const std::string& locator) {
    std::string shown = locator;
    const size_t scheme = shown.find("://");
    if (scheme != std::string::npos && IsServerLocator(locator)) {
        const size_t start = scheme + 3;
        const size_t at = shown.find('@', start);
        const size_t slash = shown.find('/', start);
        if (at != std::string::npos && (slash == std::string::npos || at < slash)) {
            const size_t colon = shown.find(':', start);
            if (colon != std::string::npos && colon < at) {
                shown.replace(colon + 1, at - colon - 1, "***");
            }
        }
    }
    // password=... in a keyword string or in the URL's query part.
    for (size_t at = shown.find("password="); at != std::string::npos;
         at = shown.find("password=", at + 1)) {
        const size_t start = at + 9;
        size_t end = start;
        if (end < shown.size() && shown[end] == '\'') {
            for (++end; end < shown.size() && shown[end] != '\''; ++end) {
                if (shown[end] == '\\') {
                    ++end;
                }
            }
            end = std::min(end + 1, shown.size());
        } else {
            while (end < shown.size() && shown[end] != ' ' && shown[end] != '&') {
                ++end;
            }
        }
        shown.replace(start, end - start, "***");
    }
    return shown;
}

bool IsServerLocator(const std::string& locator) {
    const std::string_view text(locator);
    if (text.starts_with("postgresql://") || text.starts_with("postgres://")) {
        return true;
    }
    // A libpq keyword string ("host=... dbname=..."); a file path does not start so.
    for (const char* key : {"host=", "hostaddr=", "dbname=", "service=", "port=", "user="}) {
        if (text.starts_with(key)) {
            return true;
        }
    }
    return false;
}

} // namespace quorvin::db
