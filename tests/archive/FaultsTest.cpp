// Faults of the back ends themselves: a locked file, an unreachable server, bad input.
#include "archive/ArchiveTestSupport.h"
#include "archive/Schema.h"

#include "archive/Connection.h"
#include "archive/DorvaneConnection.h"

#include <chrono>

namespace quorvin::test {
namespace {

TEST(ArchiveFaultsTest, ALockedSqliteFileWaitsThenFailsClearly) {
    TempDir dir;
    const std::string path = dir.File("archivio.sqlite");
    std::string error;
    ConnectOptions options;
    options.busyTimeoutMs = 300;
    auto first = DorvaneConnection::Open(path, options, error);
    ASSERT_TRUE(first) << error;
    auto second = DorvaneConnection::Open(path, options, error);
    ASSERT_TRUE(second) << error;
    ASSERT_TRUE(first->Begin());
    ASSERT_TRUE(first->Execute("insert into QUORVIN_INFO (CHIAVE, VALORE) values ('x', 'y')"));

    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(second->Begin());
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(250));
    EXPECT_NE(second->LastError().find("bloccato"), std::string::npos) << second->LastError();
    // Readers are not blocked by the writer (WAL), and the lock's end frees the writer.
    EXPECT_EQ(second->Info("versione_schema"), std::to_string(schema::kVersion));
    ASSERT_TRUE(first->Commit());
    EXPECT_TRUE(second->Begin());
    EXPECT_TRUE(second->Rollback());
}

TEST(ArchiveFaultsTest, AnUnreachableServerFailsClearly) {
    std::string error;
    const auto start = std::chrono::steady_clock::now();
    auto connection = DorvaneConnection::Open(
        "postgresql://quorvin@127.0.0.1:1/archivio?connect_timeout=3", {}, error);
    EXPECT_FALSE(connection);
    EXPECT_NE(error.find("Impossibile collegarsi al server dell'archivio"), std::string::npos)
        << error;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    EXPECT_FALSE(DorvaneConnection::Open("host=127.0.0.1 port=1 connect_timeout=2", {}, error));
    EXPECT_FALSE(DorvaneConnection::Open("postgresql://[nonsense", {}, error));
}

TEST(ArchiveFaultsTest, AFileThatIsNotAnArchiveIsRefused) {
    TempDir dir;
    const std::string path = dir.File("non-archivio.sqlite");
    WriteAll(path, std::string(4096, 'z'));
    std::string error;
    EXPECT_FALSE(DorvaneConnection::Open(path, {}, error));
    EXPECT_FALSE(error.empty());
    ConnectOptions options;
    options.createSchema = false;
    EXPECT_FALSE(DorvaneConnection::Open(dir.File("manca.sqlite"), options, error));
    EXPECT_NE(error.find("inesistente"), std::string::npos) << error;
}

TEST(ArchiveFaultsTest, LocatorsChooseTheBackEnd) {
    EXPECT_TRUE(db::IsServerLocator("postgresql://host/db"));
    EXPECT_TRUE(db::IsServerLocator("postgres://host/db"));
    EXPECT_TRUE(db::IsServerLocator("host=server dbname=archivio"));
    EXPECT_FALSE(db::IsServerLocator("/home/u/.local/share/Belvast/Quorvin/archivio.sqlite"));
    EXPECT_FALSE(db::IsServerLocator("archivio host=x.sqlite"));
}

} // namespace
} // namespace quorvin::test
