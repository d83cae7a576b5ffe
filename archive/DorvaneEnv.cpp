#include "archive/DorvaneEnv.h"

#include "archive/ArchiveAdmin.h"
#include "archive/DorvaneFiles.h"

namespace quorvin {

DorvaneEnv::~DorvaneEnv() = default;

bool DorvaneEnv::Connect(const std::string& locator, const ConnectOptions& options) {
    m_error.clear();
    m_store.reset();
    m_archives.reset();
    m_user.reset();
    m_connection = DorvaneConnection::Open(locator, options, m_error);
    if (!m_connection) {
        return false;
    }
    // A new embedded archive belongs to the account that created it, so it works at once.
    if (m_connection->Created() && m_connection->Backend() == db::Backend::Sqlite &&
        !admin::MakeAdministrator(*m_connection, DorvaneUser::SystemAccount(), "", m_error)) {
        m_connection.reset();
        return false;
    }
    m_user = std::make_unique<DorvaneUser>(m_connection);
    m_archives = std::make_unique<DorvaneArchives>(m_connection);
    m_store = std::make_unique<DorvaneArchiveStore>(m_connection);
    return true;
}

bool DorvaneEnv::Login(const std::string& name, const std::string& password) {
    if (!m_connection) {
        m_error = "Archivio non collegato.";
        return false;
    }
    // A server checks the password when a session opens: another user signs in through
    // a session of their own, and the current one stays when that fails.
    const ConnectOptions& current = m_connection->Options();
    if (m_connection->Backend() == db::Backend::Postgres && !name.empty() &&
        (m_connection->SessionUser() != name ||
         (!password.empty() && current.credentials.password != password))) {
        ConnectOptions options = current;
        options.createSchema = false;
        options.credentials = {name, password};
        auto fresh = DorvaneConnection::Open(m_connection->Locator(), options, m_error);
        if (!fresh) {
            return false;
        }
        m_connection = std::move(fresh);
        m_user = std::make_unique<DorvaneUser>(m_connection);
        m_archives = std::make_unique<DorvaneArchives>(m_connection);
        m_store = std::make_unique<DorvaneArchiveStore>(m_connection);
    }
    const bool ok = name.empty() ? m_user->SignIn() : m_user->SignIn(name, password);
    m_error = ok ? std::string() : m_connection->LastError();
    return ok;
}

void DorvaneEnv::BaseFolder(const std::string& folder) {
    m_baseFolder = DorvaneFiles::AddSeparator(folder);
}

std::string DorvaneEnv::DefaultArchivePath(const std::string& dataFolder) {
    return DorvaneFiles::AddSeparator(dataFolder) + "archivio.sqlite";
}

} // namespace quorvin
