#include "archive/DorvaneUser.h"

#include "archive/Convert.h"
#include "archive/DorvaneConnection.h"
#include "archive/Quoting.h"

#include <pwd.h>
#include <sodium.h>
#include <unistd.h>

#include <cstdlib>

namespace quorvin {

namespace {

bool SodiumReady() {
    static const bool ready = sodium_init() >= 0;
    return ready;
}

} // namespace

DorvaneUser::DorvaneUser(std::shared_ptr<DorvaneConnection> connection)
    : m_connection(std::move(connection)) {}

std::string DorvaneUser::SystemAccount() {
    if (const passwd* entry = getpwuid(geteuid()); entry != nullptr && entry->pw_name != nullptr) {
        return entry->pw_name;
    }
    const char* user = std::getenv("USER");
    return user != nullptr && *user != '\0' ? user : "utente";
}

std::string DorvaneUser::HashPassword(const std::string& password) {
    if (!SodiumReady()) {
        return {};
    }
    char hash[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str(hash, password.data(), password.size(),
                          crypto_pwhash_OPSLIMIT_INTERACTIVE,
                          crypto_pwhash_MEMLIMIT_INTERACTIVE) != 0) {
        return {};
    }
    return hash;
}

bool DorvaneUser::VerifyPassword(const std::string& hash, const std::string& password) {
    if (!SodiumReady() || hash.empty() || hash.size() >= crypto_pwhash_STRBYTES) {
        return false;
    }
    return crypto_pwhash_str_verify(hash.c_str(), password.data(), password.size()) == 0;
}

bool DorvaneUser::Load(const std::string& name, std::string& hash) {
    SignOut();
    db::Result result;
    // A server keeps no hash, and its users may not read that column.
    const std::string hashColumn =
        m_connection->Backend() == db::Backend::Sqlite ? "HASH_PASSWORD" : "NULL";
    if (!m_connection->Query("select ID_UTENTE, NOME, " + hashColumn +
                                 ", AMMINISTRATORE from UTENTI where NOME=" + SqlText(name),
                             result)) {
        return false;
    }
    if (result.rows.empty()) {
        m_connection->SetError(1403, db::kSignInRefused);
        return false;
    }
    const auto& row = result.rows[0];
    const auto id = row[0] ? ParseInteger(*row[0]) : std::nullopt;
    if (!id) {
        return false;
    }
    hash = row[2].value_or("");
    m_id = static_cast<long>(*id);
    m_name = row[1].value_or(name);
    m_administrator = row[3] && *row[3] != "0";
    return true;
}

bool DorvaneUser::SignIn() {
    std::string hash;
    // On a server the role of the session: the server checked its password.
    if (m_connection->Backend() == db::Backend::Postgres) {
        const std::string role = m_connection->SessionUser();
        return !role.empty() && Load(role, hash);
    }
    return Load(SystemAccount(), hash);
}

bool DorvaneUser::SignIn(const std::string& name, const std::string& password) {
    std::string hash;
    if (m_connection->Backend() == db::Backend::Postgres) {
        if (m_connection->SessionUser() != name) {
            SignOut();
            m_connection->SetError(1403, db::kSignInRefused);
            return false;
        }
        return Load(name, hash);
    }
    if (!Load(name, hash)) {
        return false;
    }
    if (!VerifyPassword(hash, password)) {
        SignOut();
        m_connection->SetError(1403, "Nome utente o password non validi.");
        return false;
    }
    return true;
}

void DorvaneUser::SignOut() {
    m_id = -1;
    m_name.clear();
    m_administrator = false;
}

bool DorvaneUser::HasPermission(long right, const std::string& code) const {
    if (m_id < 0) {
        return false;
    }
    db::Result result;
    const std::string sql =
        "select count(*) from UTENTE_PERMESSI join DB_PERMESSI on"
        " UTENTE_PERMESSI.ID_PERMESSO=DB_PERMESSI.ID_PERMESSO join PERMESSI on"
        " PERMESSI.ID_PERMESSO=UTENTE_PERMESSI.ID_PERMESSO where UTENTE_PERMESSI.ID_UTENTE=" +
        SqlNumber(m_id) + " and DB_PERMESSI.SYS_SERIALE=" + SqlText(code) +
        " and (PERMESSI.DIRITTI & " + SqlNumber(right) + ")=" + SqlNumber(right);
    return m_connection->Query(sql, result) && !result.rows.empty() && result.rows[0][0] &&
           *result.rows[0][0] != "0";
}

} // namespace quorvin
