#pragma once
// The one database interface under the archive library, with two back ends: an embedded
// SQLite file and a PostgreSQL server. Neither client library shows through here.
//
// Values travel as text in both directions (NULL is an empty optional): the archive
// library converts them by the field dictionary, so both back ends give the same text.
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quorvin::db {

enum class Backend { Sqlite, Postgres };

// What a result column holds, as far as the archive library needs to format it.
enum class ColumnKind { Text, Integer, Decimal, Date };

using Cell = std::optional<std::string>;
using Row = std::vector<Cell>;

// A value given apart from a statement's text, for its placeholder $1, $2 ... (the same
// spelling on both back ends). Text goes in as a quoted literal would, Number as a
// numeric literal (it must be one: anything else goes in as text), Bytes as a blob.
struct Param {
    enum class Kind { Text, Number, Bytes };
    Cell value; // empty: NULL
    Kind kind = Kind::Text;
};
using Params = std::vector<Param>;

// The SQL literal of a value: NULL, a number as it is, text quoted, bytes as a blob.
std::string LiteralOf(Backend backend, const Param& param);
// The statement with each placeholder outside quotes replaced by its value's literal:
// what a back end that does not bind values runs. A placeholder without a value is NULL.
std::string WithLiterals(Backend backend, const std::string& sql, const Params& params);

struct Result {
    std::vector<std::string> columns; // as the database names them
    std::vector<ColumnKind> kinds;
    std::vector<Row> rows;
};

class Connection {
public:
    virtual ~Connection() = default;
    virtual Backend Kind() const = 0;
    // Runs a statement that may return rows; false with LastError() on failure.
    virtual bool Query(const std::string& sql, Result& out) = 0;
    bool Execute(const std::string& sql) {
        Result ignored;
        return Query(sql, ignored);
    }
    // One statement with its values given apart. A back end may keep it prepared for the
    // next call with the same text: statements repeated for every record of a file are
    // parsed once. By default the values are written into the text.
    virtual bool Query(const std::string& sql, const Params& params, Result& out) {
        return Query(WithLiterals(Kind(), sql, params), out);
    }
    // The description of the last failure, in Italian where it is ours.
    const std::string& LastError() const { return m_lastError; }
    int LastErrorNumber() const { return m_lastErrorNumber; }
    // The server's verifier of a password (SCRAM), so that the clear text never leaves
    // this process; empty where the back end keeps no passwords.
    virtual std::string PasswordVerifier(const std::string&, const std::string&) { return {}; }

protected:
    void SetError(int number, std::string text) {
        m_lastErrorNumber = number;
        m_lastError = std::move(text);
    }
    void ClearError() {
        m_lastErrorNumber = 0;
        m_lastError.clear();
    }

private:
    std::string m_lastError;
    int m_lastErrorNumber = 0;
};

struct SqliteOptions {
    int busyTimeoutMs = 5000; // how long a locked database is waited for
    bool create = true;       // create the file when it does not exist
};

// Sign-in on a server: the login role and its password, given apart from the locator
// (they win over what it names). Empty: as the locator or libpq's defaults say.
struct ServerCredentials {
    std::string user;
    std::string password;
};

// The one message for every refused sign-in: it does not tell which part was wrong.
inline constexpr const char* kSignInRefused = "Nome utente o password non validi.";

// nullptr with the reason in error when the database cannot be opened.
std::unique_ptr<Connection> OpenSqlite(const std::string& path, const SqliteOptions& options,
                                       std::string& error);
// conninfo: a libpq connection string or a postgresql:// URL.
std::unique_ptr<Connection> OpenPostgres(const std::string& conninfo, std::string& error,
                                         const ServerCredentials& credentials = {});

// A locator starting with postgresql:// or postgres://, or one that reads as a libpq
// connection string ("host=... dbname=..."), is a server; anything else is a file path.
bool IsServerLocator(const std::string& locator);
// The locator as messages show it: a password in it is replaced by "***".
std::string DisplayLocator(const std::string& locator);

} // namespace quorvin::db
