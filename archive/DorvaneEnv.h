#pragma once
// The session with the archive library: one per process. It opens the archive
// database, signs the user in, and hands out the objects that work on it.
//
//   DorvaneEnv env;
//   if (!env.Connect(DorvaneEnv::DefaultArchivePath(dataFolder)) || !env.Login()) ...
//   DorvaneRecordset record(env.Connection());
#include "archive/DorvaneArchiveStore.h"
#include "archive/DorvaneArchives.h"
#include "archive/DorvaneConnection.h"
#include "archive/DorvaneUser.h"

#include <memory>
#include <string>

namespace quorvin {

class DorvaneEnv {
public:
    DorvaneEnv() = default;
    ~DorvaneEnv();
    DorvaneEnv(const DorvaneEnv&) = delete;
    DorvaneEnv& operator=(const DorvaneEnv&) = delete;

    // locator: a file path or a postgresql:// URL (libpq connection strings too). A new
    // embedded archive is created with the system account as its administrator.
    bool Connect(const std::string& locator, const ConnectOptions& options = {});
    // Embedded archive: the operating-system account when name is empty; a server
    // archive needs name and password.
    bool Login(const std::string& name = "", const std::string& password = "");
    bool Connected() const { return m_connection != nullptr; }
    const std::string& LastError() const { return m_error; }

    const std::shared_ptr<DorvaneConnection>& Connection() const { return m_connection; }
    DorvaneUser& CurrentUser() { return *m_user; }
    DorvaneArchives& Archives() { return *m_archives; }
    DorvaneArchiveStore& ArchiveStore() { return *m_store; }
    DorvaneDatabase& Database() { return m_archives->Database(); }

    // The program's per-user data folder, ending in a separator (the shell sets it).
    const std::string& BaseFolder() const { return m_baseFolder; }
    void BaseFolder(const std::string& folder);

    // The embedded archive file inside a data folder.
    static std::string DefaultArchivePath(const std::string& dataFolder);

private:
    std::shared_ptr<DorvaneConnection> m_connection;
    std::unique_ptr<DorvaneUser> m_user;
    std::unique_ptr<DorvaneArchives> m_archives;
    std::unique_ptr<DorvaneArchiveStore> m_store;
    std::string m_baseFolder;
    std::string m_error;
};

} // namespace quorvin
