#pragma once
// One open archive database, shared by every record set, the archive objects and the
// jobs of a session. It knows the catalogue (archives and their field dictionaries) and
// holds the transaction around one receipt file.
#include "archive/ArchiveTypes.h"
#include "archive/Connection.h"

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace quorvin {

struct ConnectOptions {
    int busyTimeoutMs = 5000; // SQLite: how long a locked file is waited for
    bool createSchema = true; // an empty database gets the archive schema
    // Where the folders of new archives go, kept in the database when it is created;
    // empty = a "Documenti" folder beside the database file (SQLite only).
    std::string documentsRoot;
    // Server: the login role that signs in, and its password (never shown or kept on
    // disk).
    db::ServerCredentials credentials;
};

class DorvaneConnection {
public:
    // locator: a file path, or a postgresql:// URL or libpq connection string. nullptr
    // with an Italian reason in error when the archive cannot be opened.
    static std::shared_ptr<DorvaneConnection>
    Open(const std::string& locator, const ConnectOptions& options, std::string& error);
    ~DorvaneConnection();
    DorvaneConnection(const DorvaneConnection&) = delete;
    DorvaneConnection& operator=(const DorvaneConnection&) = delete;

    db::Backend Backend() const { return m_db->Kind(); }
    const std::string& Locator() const { return m_locator; }
    // The options it was opened with (a server sign-in opens it again as another role).
    const ConnectOptions& Options() const { return m_options; }
    // Server: the login role of this session; empty on an embedded archive.
    std::string SessionUser();
    // The server's verifier of a password, to be sent instead of the password.
    std::string PasswordVerifier(const std::string& user, const std::string& password) {
        return m_db->PasswordVerifier(user, password);
    }
    // True when this Open created the schema (a new archive database).
    bool Created() const { return m_created; }

    bool Execute(const std::string& sql);
    bool Query(const std::string& sql, db::Result& out);
    // One statement with values for its placeholders $1, $2 ...: kept prepared where the
    // back end can, for statements repeated for every record of a file.
    bool Query(const std::string& sql, const db::Params& params, db::Result& out);
    // The last failure of this connection or of an object working on it.
    long LastErrorNumber() const { return m_errorNumber; }
    const std::string& LastError() const { return m_error; }
    void SetError(long number, const std::string& text);
    void ClearError();

    // The catalogue, read from the database on first use and kept; nullptr when there is
    // no such archive. Codes match exactly, table names without regard to case.
    const ArchiveSpec* Archive(const std::string& code);
    const ArchiveSpec* ArchiveByTable(const std::string& table);
    std::vector<std::string> ArchiveCodes();
    void ForgetCatalogue();

    // Values kept in QUORVIN_INFO ("cartella_documenti", ...).
    std::string Info(const std::string& key);
    bool SetInfo(const std::string& key, const std::string& value);

    // One receipt file is one transaction. Files registered while it is open (the stored
    // files copied into archives) are deleted when it is rolled back.
    bool Begin();
    bool Commit();
    bool Rollback();
    bool InTransaction() const { return m_inTransaction; }
    void RegisterStoredFile(const std::string& path);
    // A part of the open transaction that can fail alone (one single document): Keep
    // ends it keeping its work, Undo drops its work. Outside a transaction they do nothing.
    bool PartBegin();
    bool PartKeep();
    bool PartUndo();
    // This session's private folder of staging files (created on first use, removed
    // with the connection); empty when it cannot be made.
    const std::string& StagingFolder();
    // The stored names taken in archive code that start with stem: read once, then kept
    // up to date by the caller as it hands names out (forgotten on rollback). With each
    // name asked for, the suffix its search for a free name goes on from: names are only
    // added while the set lives, so every suffix below it stays taken.
    struct StoredNameSet {
        std::set<std::string> taken;
        std::map<std::string, int> nextSuffix;
    };
    StoredNameSet& StoredNames(const std::string& code, const std::string& stem);

private:
    DorvaneConnection(std::unique_ptr<db::Connection> db, std::string locator,
                      ConnectOptions options);
    bool LoadArchive(const std::string& code);

    std::unique_ptr<db::Connection> m_db;
    std::string m_locator;
    ConnectOptions m_options;
    bool m_created = false;
    long m_errorNumber = 0;
    std::string m_error;
    std::map<std::string, ArchiveSpec> m_archives;
    bool m_inTransaction = false;
    bool m_deferIndex = false; // SQLite's text index is brought up to date at each commit
    std::vector<std::string> m_storedFiles;
    std::string m_staging;
    std::map<std::string, StoredNameSet> m_storedNames;
};

} // namespace quorvin
