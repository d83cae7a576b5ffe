#pragma once
// The signed-in user and their rights.
//
// Rights: a permission (PERMESSI) carries CREA_REC (may create records) and DIRITTI, a
// set of right bits (256 = insert documents); DB_PERMESSI ties it to archives and
// UTENTE_PERMESSI to users.
#include <memory>
#include <string>

namespace quorvin {

class DorvaneConnection;

class DorvaneUser {
public:
    explicit DorvaneUser(std::shared_ptr<DorvaneConnection> connection);

    // The embedded archive: the operating-system account, without a password (the
    // file's permissions protect it). A server archive: the login role of the session.
    bool SignIn();
    // Embedded: name and password, checked against the stored argon2id hash. Server: the
    // server checked the password when the session opened (DorvaneEnv::Login opens one
    // for the user); name must be the session's role. An unknown user and a wrong
    // password fail alike.
    bool SignIn(const std::string& name, const std::string& password);
    void SignOut();
    bool SignedIn() const { return m_id >= 0; }

    long Id() const { return m_id; }
    const std::string& Name() const { return m_name; }
    bool IsAdministrator() const { return m_administrator; }
    // The user holds every bit of right in a permission on the archive.
    bool HasPermission(long right, const std::string& code) const;

    // The operating-system account's name.
    static std::string SystemAccount();
    // An argon2id hash string (libsodium), or empty when hashing fails.
    static std::string HashPassword(const std::string& password);
    static bool VerifyPassword(const std::string& hash, const std::string& password);

private:
    bool Load(const std::string& name, std::string& hash);

    std::shared_ptr<DorvaneConnection> m_connection;
    long m_id = -1;
    std::string m_name;
    bool m_administrator = false;
};

} // namespace quorvin
