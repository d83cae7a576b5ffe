#pragma once
// The archive suite runs once per back end: an SQLite file in a temporary folder, and a
// throw-away PostgreSQL server started on first need and stopped when the executable
// ends.
#include "archive/ArchiveTypes.h"
#include "archive/DorvaneConnection.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace quorvin::test {

enum class BackendKind { Sqlite, Postgres };

std::string BackendName(const ::testing::TestParamInfo<BackendKind>& info);

// The server's base URL ("postgresql://quorvin@127.0.0.1:PORT"), or empty with the
// reason in why when no server can run here.
std::string PostgresServer(std::string& why);
// A fresh, empty database on the test server; its URL.
std::string FreshPostgresDatabase();

// A small catalogue shaped like the standard one: document types, a summary archive, a
// single-receipt archive, and two original-document archives (one bound to 2010).
std::vector<DocTypeSpec> TestDocTypes();
std::vector<ArchiveSpec> TestArchives(const std::string& documentsRoot);

inline constexpr const char* kSummaryCode = "RIEPILOGHI000001";
inline constexpr const char* kSingleCode = "SINGOLE000000001";
inline constexpr const char* kOrig2010Code = "ORIGINALI2010001";
inline constexpr const char* kOrigAnyCode = "ORIGINALI0000001";

// Parameterised fixture: m_connection is a new archive database with the test
// catalogue, and the operating-system account as its administrator (password "segreta").
class ArchiveTest : public ::testing::TestWithParam<BackendKind> {
protected:
    void SetUp() override;
    void TearDown() override;
    // A new locator of the same back end (an empty database).
    std::string NewLocator();
    std::shared_ptr<DorvaneConnection> OpenEmpty(const std::string& locator);

    TempDir m_dir;
    std::string m_locator;
    std::shared_ptr<DorvaneConnection> m_connection;
    std::string m_admin;
};

} // namespace quorvin::test
