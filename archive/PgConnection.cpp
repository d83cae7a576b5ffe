// The shared back end: a PostgreSQL server reached through libpq, for an office whose
// archive is used by several workstations.
#include "archive/Connection.h"
#include "archive/Utf8.h"

#include <libpq-fe.h>

#include <string_view>
#include <vector>

namespace quorvin::db {

namespace {

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
    const char* state = PQresultErrorField(res, PG_DIAG_SQLSTATE);
    for (const auto& refusal : kRefusals) {
        if (state != nullptr && std::string_view(state) == refusal.sqlState) {
            return refusal.message;
        }
    }
    return Trim(PQresultErrorMessage(res));
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
        PQsetNoticeProcessor(m_conn, IgnoreNotice, nullptr);
    }
    ~PgConnection() override { PQfinish(m_conn); }
    PgConnection(const PgConnection&) = delete;
    PgConnection& operator=(const PgConnection&) = delete;

    Backend Kind() const override { return Backend::Postgres; }

    bool Query(const std::string& sql, Result& out) override {
        ClearError();
        out = Result{};
        // Inside a transaction a failed statement would abort the whole transaction on
        // PostgreSQL but not on SQLite: a savepoint keeps the failure to the statement.
        const bool wrap = PQtransactionStatus(m_conn) == PQTRANS_INTRANS && !IsControl(sql);
        const std::string text =
            wrap ? "SAVEPOINT quorvin_q; " + sql + "; RELEASE SAVEPOINT quorvin_q" : sql;
        if (PQsendQuery(m_conn, text.c_str()) == 0) {
            return Fail(PGRES_FATAL_ERROR);
        }
        bool ok = true;
        int status = PGRES_COMMAND_OK;
        while (PGresult* res = PQgetResult(m_conn)) {
            const ExecStatusType current = PQresultStatus(res);
            if (current == PGRES_TUPLES_OK) {
                Take(res, out);
            } else if (current != PGRES_COMMAND_OK && current != PGRES_EMPTY_QUERY && ok) {
                ok = false;
                status = current;
                SetError(static_cast<int>(status), ServerMessage(res));
            }
            PQclear(res);
        }
        if (!ok) {
            if (wrap) {
                const std::string message = LastError();
                PGresult* undo = PQexec(m_conn, "ROLLBACK TO SAVEPOINT quorvin_q; "
                                                "RELEASE SAVEPOINT quorvin_q");
                PQclear(undo);
                SetError(status, message);
            }
            if (PQstatus(m_conn) != CONNECTION_OK) {
                SetError(status, "Collegamento al server dell'archivio interrotto: " + LastError());
            }
            out = Result{};
        }
        return ok;
    }

    std::string PasswordVerifier(const std::string& user, const std::string& password) override {
        char* verifier =
            PQencryptPasswordConn(m_conn, password.c_str(), user.c_str(), "scram-sha-256");
        if (verifier == nullptr) {
            return {};
        }
        std::string text = verifier;
        PQfreemem(verifier);
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
        SetError(status, Trim(PQerrorMessage(m_conn)));
        return false;
    }

    static void Take(PGresult* res, Result& out) {
        out = Result{};
        const int columns = PQnfields(res);
        for (int c = 0; c < columns; ++c) {
            out.columns.emplace_back(PQfname(res, c));
            out.kinds.push_back(KindOfType(PQftype(res, c)));
        }
        const int rows = PQntuples(res);
        out.rows.reserve(static_cast<size_t>(rows));
        for (int r = 0; r < rows; ++r) {
            Row row;
            row.reserve(static_cast<size_t>(columns));
            for (int c = 0; c < columns; ++c) {
                if (PQgetisnull(res, r, c) != 0) {
                    row.emplace_back(std::nullopt);
                } else {
                    row.emplace_back(std::string(PQgetvalue(res, r, c),
                                                 static_cast<size_t>(PQgetlength(res, r, c))));
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
    PGconn* conn = PQconnectdbParams(keys.data(), values.data(), 1);
    if (conn == nullptr || PQstatus(conn) != CONNECTION_OK) {
        const std::string why =
            conn != nullptr ? Trim(PQerrorMessage(conn)) : std::string("memoria esaurita");
        error = IsSignInRefusal(why) ? std::string(kSignInRefused)
                                     : "Impossibile collegarsi al server dell'archivio: " + why;
        PQfinish(conn);
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
