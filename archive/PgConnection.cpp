// The shared back end: a PostgreSQL server reached through libpq, for an office whose
// archive is used by several workstations.
#include "archive/Connection.h"
#include "archive/Utf8.h"

#include <libpq-fe.h>

#include <dlfcn.h>

#include <string_view>
#include <type_traits>
#include <vector>

namespace quorvin::db {

namespace {

// libpq is loaded on the first server sign-in, not with the program: an embedded archive
// never needs it, and loading it with its twenty-odd libraries cost every start of the
// program about ten milliseconds.
struct LibPq {
    decltype(&::PQclear) PQclear = nullptr;
    decltype(&::PQconnectdbParams) PQconnectdbParams = nullptr;
    decltype(&::PQencryptPasswordConn) PQencryptPasswordConn = nullptr;
    decltype(&::PQerrorMessage) PQerrorMessage = nullptr;
    decltype(&::PQexec) PQexec = nullptr;
    decltype(&::PQfinish) PQfinish = nullptr;
    decltype(&::PQfname) PQfname = nullptr;
    decltype(&::PQfreemem) PQfreemem = nullptr;
    decltype(&::PQftype) PQftype = nullptr;
    decltype(&::PQgetResult) PQgetResult = nullptr;
    decltype(&::PQgetisnull) PQgetisnull = nullptr;
    decltype(&::PQgetlength) PQgetlength = nullptr;
    decltype(&::PQgetvalue) PQgetvalue = nullptr;
    decltype(&::PQnfields) PQnfields = nullptr;
    decltype(&::PQntuples) PQntuples = nullptr;
    decltype(&::PQresultErrorField) PQresultErrorField = nullptr;
    decltype(&::PQresultErrorMessage) PQresultErrorMessage = nullptr;
    decltype(&::PQresultStatus) PQresultStatus = nullptr;
    decltype(&::PQsendQuery) PQsendQuery = nullptr;
    decltype(&::PQsetNoticeProcessor) PQsetNoticeProcessor = nullptr;
    decltype(&::PQstatus) PQstatus = nullptr;
    decltype(&::PQtransactionStatus) PQtransactionStatus = nullptr;
};

// nullptr when libpq cannot be loaded.
const LibPq* LoadLibPq() {
    static const LibPq* const loaded = []() -> const LibPq* {
        void* handle = dlopen("libpq.so.5", RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr) {
            return nullptr;
        }
        static LibPq api;
        bool complete = true;
        const auto bind = [&](auto& function, const char* name) {
            function =
                reinterpret_cast<std::remove_reference_t<decltype(function)>>(dlsym(handle, name));
            complete = complete && function != nullptr;
        };
        bind(api.PQclear, "PQclear");
        bind(api.PQconnectdbParams, "PQconnectdbParams");
        bind(api.PQencryptPasswordConn, "PQencryptPasswordConn");
        bind(api.PQerrorMessage, "PQerrorMessage");
        bind(api.PQexec, "PQexec");
        bind(api.PQfinish, "PQfinish");
        bind(api.PQfname, "PQfname");
        bind(api.PQfreemem, "PQfreemem");
        bind(api.PQftype, "PQftype");
        bind(api.PQgetResult, "PQgetResult");
        bind(api.PQgetisnull, "PQgetisnull");
        bind(api.PQgetlength, "PQgetlength");
        bind(api.PQgetvalue, "PQgetvalue");
        bind(api.PQnfields, "PQnfields");
        bind(api.PQntuples, "PQntuples");
        bind(api.PQresultErrorField, "PQresultErrorField");
        bind(api.PQresultErrorMessage, "PQresultErrorMessage");
        bind(api.PQresultStatus, "PQresultStatus");
        bind(api.PQsendQuery, "PQsendQuery");
        bind(api.PQsetNoticeProcessor, "PQsetNoticeProcessor");
        bind(api.PQstatus, "PQstatus");
        bind(api.PQtransactionStatus, "PQtransactionStatus");
        return complete ? &api : nullptr;
    }();
    return loaded;
}

// Only called once OpenPostgres has loaded it.
const LibPq& Pq() {
    return *LoadLibPq();
}

// Type OIDs of pg_type that the archive's columns use.
constexpr Oid kInt8 = 20;
constexpr Oid kInt2 = 21;
constexpr Oid kInt4 = 23;
constexpr Oid kFloat4 = 700;
constexpr Oid kFloat8 = 701;
constexpr Oid kDate = 1082;
constexpr Oid kNumeric = 1700;

ColumnKind KindOfType(Oid type) {
    switch (type) {
    case kInt2:
    case kInt4:
    case kInt8:
        return ColumnKind::Integer;
    case kFloat4:
    case kFloat8:
    case kNumeric:
        return ColumnKind::Decimal;
    case kDate:
        return ColumnKind::Date;
    default:
        return ColumnKind::Text;
    }
}

void IgnoreNotice(void*, const char*) {}

// The server's refusals a user meets, in Italian; the rest keep the server's own text.
// clang-format off
struct Refusal {
    const char* sqlState;
    const char* message;
};
constexpr Refusal kRefusals[] = {
    {"42501", "Operazione rifiutata dal server dell'archivio: l'utente non ha il permesso necessario."},
    {"23505", "Il dato esiste già nell'archivio (forse inserito ora da un'altra postazione)."},
    {"40001", "Operazione in conflitto con un'altra postazione: riprovare."},
    {"40P01", "Operazione in conflitto con un'altra postazione: riprovare."},
    {"28P01", kSignInRefused},
    {"28000", kSignInRefused},
};
// clang-format on

std::string ServerMessage(const PGresult* res) {
    const char* state = Pq().PQresultErrorField(res, PG_DIAG_SQLSTATE);
    for (const auto& refusal : kRefusals) {
        if (state != nullptr && std::string_view(state) == refusal.sqlState) {
            return refusal.message;
        }
    }
    return Trim(Pq().PQresultErrorMessage(res));
}

// libpq tells a refused sign-in only in its text; none of it is shown, so that an
// unknown role and a wrong password read the same.
bool IsSignInRefusal(const std::string& text) {
    for (const char* sign :
         {"password authentication failed", "no password supplied", "does not exist",
          "authentication failed", "not permitted to log in"}) {
        if (text.find(sign) != std::string::npos && text.find("database") == std::string::npos) {
            return true;
        }
    }
    return false;
}

class PgConnection final : public Connection {
public:
    explicit PgConnection(PGconn* conn) : m_conn(conn) {
        Pq().PQsetNoticeProcessor(m_conn, IgnoreNotice, nullptr);
    }
    ~PgConnection() override { Pq().PQfinish(m_conn); }
    PgConnection(const PgConnection&) = delete;
    PgConnection& operator=(const PgConnection&) = delete;

    Backend Kind() const override { return Backend::Postgres; }

    bool Query(const std::string& sql, Result& out) override {
        ClearError();
        out = Result{};
        // Inside a transaction a failed statement would abort the whole transaction on
        // PostgreSQL but not on SQLite: a savepoint keeps the failure to the statement.
        const bool wrap = Pq().PQtransactionStatus(m_conn) == PQTRANS_INTRANS && !IsControl(sql);
        const std::string text =
            wrap ? "SAVEPOINT quorvin_q; " + sql + "; RELEASE SAVEPOINT quorvin_q" : sql;
        if (Pq().PQsendQuery(m_conn, text.c_str()) == 0) {
            return Fail(PGRES_FATAL_ERROR);
        }
        bool ok = true;
        int status = PGRES_COMMAND_OK;
        while (PGresult* res = Pq().PQgetResult(m_conn)) {
            const ExecStatusType current = Pq().PQresultStatus(res);
            if (current == PGRES_TUPLES_OK) {
                Take(res, out);
            } else if (current != PGRES_COMMAND_OK && current != PGRES_EMPTY_QUERY && ok) {
                ok = false;
                status = current;
                SetError(static_cast<int>(status), ServerMessage(res));
            }
            Pq().PQclear(res);
        }
        if (!ok) {
            if (wrap) {
                const std::string message = LastError();
                PGresult* undo = Pq().PQexec(m_conn, "ROLLBACK TO SAVEPOINT quorvin_q; "
                                                     "RELEASE SAVEPOINT quorvin_q");
                Pq().PQclear(undo);
                SetError(status, message);
            }
            if (Pq().PQstatus(m_conn) != CONNECTION_OK) {
                SetError(status, "Collegamento al server dell'archivio interrotto: " + LastError());
            }
            out = Result{};
        }
        return ok;
    }

    std::string PasswordVerifier(const std::string& user, const std::string& password) override {
        char* verifier =
            Pq().PQencryptPasswordConn(m_conn, password.c_str(), user.c_str(), "scram-sha-256");
        if (verifier == nullptr) {
            return {};
        }
        std::string text = verifier;
        Pq().PQfreemem(verifier);
        return text;
    }

private:
    static bool IsControl(const std::string& sql) {
        const std::string head = Lower(Trim(sql).substr(0, 10));
        for (const char* word :
             {"begin", "commit", "rollback", "end", "start", "savepoint", "release", "abort"}) {
            if (head.starts_with(word)) {
                return true;
            }
        }
        return false;
    }

    bool Fail(int status) {
        SetError(status, Trim(Pq().PQerrorMessage(m_conn)));
        return false;
    }

    static void Take(PGresult* res, Result& out) {
        out = Result{};
        const int columns = Pq().PQnfields(res);
        for (int c = 0; c < columns; ++c) {
            out.columns.emplace_back(Pq().PQfname(res, c));
            out.kinds.push_back(KindOfType(Pq().PQftype(res, c)));
        }
        const int rows = Pq().PQntuples(res);
        out.rows.reserve(static_cast<size_t>(rows));
        for (int r = 0; r < rows; ++r) {
            Row row;
            row.reserve(static_cast<size_t>(columns));
            for (int c = 0; c < columns; ++c) {
                if (Pq().PQgetisnull(res, r, c) != 0) {
                    row.emplace_back(std::nullopt);
                } else {
                    row.emplace_back(std::string(Pq().PQgetvalue(res, r, c),
                                                 static_cast<size_t>(Pq().PQgetlength(res, r, c))));
                }
            }
            out.rows.push_back(std::move(row));
        }
    }

    PGconn* m_conn;
};

} // namespace

std::unique_ptr<Connection> OpenPostgres(const std::string& conninfo, std::string& error,
                                         const ServerCredentials& credentials) {
    // The locator comes after our defaults, so a timeout it names wins; the credentials
    // come after the locator, so the signing-in user wins over the one it names.
    std::vector<const char*> keys = {"connect_timeout", "application_name", "client_encoding",
                                     "dbname"};
    std::vector<const char*> values = {"10", "Quorvin", "UTF8", conninfo.c_str()};
    if (!credentials.user.empty()) {
        keys.push_back("user");
        values.push_back(credentials.user.c_str());
    }
    if (!credentials.password.empty()) {
        keys.push_back("password");
        values.push_back(credentials.password.c_str());
    }
    keys.push_back(nullptr);
    values.push_back(nullptr);
    if (LoadLibPq() == nullptr) {
        error = "Impossibile collegarsi al server dell'archivio: libreria libpq (libpq.so.5) "
                "non disponibile.";
        return nullptr;
    }
    PGconn* conn = Pq().PQconnectdbParams(keys.data(), values.data(), 1);
    if (conn == nullptr || Pq().PQstatus(conn) != CONNECTION_OK) {
        const std::string why =
            conn != nullptr ? Trim(Pq().PQerrorMessage(conn)) : std::string("memoria esaurita");
        error = IsSignInRefusal(why) ? std::string(kSignInRefused)
                                     : "Impossibile collegarsi al server dell'archivio: " + why;
        Pq().PQfinish(conn);
        return nullptr;
    }
    auto connection = std::make_unique<PgConnection>(conn);
    if (!connection->Execute("SET DateStyle TO ISO, YMD; SET client_min_messages TO WARNING")) {
        error = "Impossibile collegarsi al server dell'archivio: " + connection->LastError();
        return nullptr;
    }
    return connection;
}

} // namespace quorvin::db
