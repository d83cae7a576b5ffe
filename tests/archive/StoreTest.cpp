// Stored files, transactions around one receipt file, and jobs.
#include "archive/ArchiveTestSupport.h"

#include "archive/DorvaneArchiveStore.h"
#include "archive/DorvaneFiles.h"
#include "archive/DorvaneJob.h"
#include "archive/DorvaneRecordset.h"

#include <sys/resource.h>

#include <csignal>
#include <filesystem>

namespace fs = std::filesystem;

namespace quorvin::test {
namespace {

using Mode = DorvaneRecordset::Mode;

class StoreTest : public ArchiveTest {
protected:
    long RecordCount(const char* code) {
        DorvaneRecordset set(m_connection);
        EXPECT_TRUE(set.Open(code, Mode::Updatable));
        return set.RecordCount();
    }

    std::string Folder(const char* code) { return m_connection->Archive(code)->folder; }
};

TEST_P(StoreTest, PrepareFileStaysInsideTheArchiveFolder) {
    DorvaneArchiveStore store(m_connection);
    DorvaneRecordset record(m_connection);
    ASSERT_TRUE(record.Open(kSingleCode, Mode::Updatable));
    const fs::path folder = fs::weakly_canonical(Folder(kSingleCode));
    std::string destination;
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"ricevuta.pdf", "ricevuta.pdf"},
        {"ricevuta.pdf", "ricevuta_2.pdf"},
        {"../../etc/passwd", "passwd"},
        {"C:\\Ricevute\\..\\f24.PDF", "f24.PDF"},
        {"..", "documento"},
        {"", "documento_2"},
        {"...pdf", "pdf"},
        {"a..b.pdf", "a.b.pdf"},
        {"sub/dir/", "documento_3"},
        {std::string("bad\nname\x01.pdf"), "badname.pdf"},
    };
    for (const auto& [name, expected] : cases) {
        ASSERT_TRUE(record.AddNew());
        ASSERT_TRUE(store.PrepareFile(record, name, destination)) << name;
        const fs::path path = fs::weakly_canonical(destination);
        EXPECT_EQ(path.parent_path(), folder) << name;
        EXPECT_EQ(path.filename().string(), expected) << name;
        EXPECT_TRUE(fs::exists(path)) << "the name is held until copied onto";
        EXPECT_EQ(record.Value("SYS_FILE"), destination);
        record.CancelUpdate();
    }
    ASSERT_TRUE(record.AddNew());
    EXPECT_TRUE(store.PrepareFile(record, "a.pdf", destination, Folder(kSingleCode) + "/"));
    EXPECT_FALSE(store.PrepareFile(record, "a.pdf", destination, m_dir.File("altrove")));
    EXPECT_FALSE(store.PrepareFile(record, "a.pdf", destination, Folder(kSingleCode) + "/.."));
    EXPECT_TRUE(destination.empty());
    DorvaneRecordset notAnArchive(m_connection);
    ASSERT_TRUE(notAnArchive.Open("select * from SYS_TIPO_DOC_F"));
    EXPECT_FALSE(store.PrepareFile(notAnArchive, "a.pdf", destination));
    const std::string longName = std::string(400, 'x') + ".pdf";
    ASSERT_TRUE(record.AddNew());
    ASSERT_TRUE(store.PrepareFile(record, longName, destination));
    EXPECT_LE(fs::path(destination).filename().string().size(), 200U);
    EXPECT_EQ(fs::path(destination).extension(), ".pdf");
}

TEST_P(StoreTest, RollbackDropsRecordsAndDeletesCopiedFiles) {
    const std::string source = m_dir.File("ricevuta.pdf");
    WriteAll(source, "%PDF-1.4 finta ricevuta");
    DorvaneArchiveStore store(m_connection);
    DorvaneRecordset record(m_connection);
    DorvaneRecordset links(m_connection);
    ASSERT_TRUE(record.Open(kSummaryCode, Mode::Updatable));
    ASSERT_TRUE(store.OpenLinks(links));

    const auto archiveOne = [&](std::string& stored) {
        EXPECT_TRUE(m_connection->Begin()) << m_connection->LastError();
        EXPECT_TRUE(store.AddRecord(record));
        EXPECT_TRUE(record.SetValue("Ditta", "Rossi"));
        EXPECT_TRUE(store.StoreFile(record, source, "ricevuta.pdf", stored));
        EXPECT_TRUE(record.Update()) << m_connection->LastError();
        EXPECT_TRUE(links.AddNew());
        EXPECT_TRUE(links.SetValue("DB_PAR_SERIALE", kSummaryCode));
        EXPECT_TRUE(links.SetValue("DB_PAR_RECORD", record.Value("SYS_RECORD")));
        EXPECT_TRUE(links.SetValue("DB_SON_SERIALE", kSingleCode));
        EXPECT_TRUE(links.SetValue("DB_SON_RECORD", 1));
        EXPECT_TRUE(links.Update());
    };
    std::string rolledBack;
    archiveOne(rolledBack);
    ASSERT_TRUE(fs::exists(rolledBack));
    ASSERT_TRUE(m_connection->Rollback());
    EXPECT_FALSE(fs::exists(rolledBack));
    EXPECT_TRUE(fs::exists(source));
    EXPECT_EQ(RecordCount(kSummaryCode), 0);
    DorvaneRecordset check(m_connection);
    ASSERT_TRUE(check.Open("select * from DB_COLLEGAMENTI"));
    EXPECT_EQ(check.RecordCount(), 0);

    std::string committed;
    archiveOne(committed);
    ASSERT_TRUE(m_connection->Commit());
    EXPECT_TRUE(fs::exists(committed));
    EXPECT_EQ(ReadAll(committed), ReadAll(source));
    EXPECT_EQ(RecordCount(kSummaryCode), 1);
    EXPECT_FALSE(m_connection->Commit()); // nothing open any more
}

TEST_P(StoreTest, AFailedQueryInsideTheTransactionSpoilsOnlyItself) {
    ASSERT_TRUE(m_connection->Begin());
    DorvaneRecordset record(m_connection);
    ASSERT_TRUE(record.Open(kSingleCode, Mode::Updatable));
    ASSERT_TRUE(record.AddNew());
    ASSERT_TRUE(record.Update());
    DorvaneRecordset failing(m_connection);
    EXPECT_FALSE(failing.Open("select Campo_Inesistente from arc_singole000000001"));
    EXPECT_FALSE(m_connection->Execute("insert into arc_singole000000001 (sys_record,"
                                       " sys_seriale) values (" +
                                       record.Value("SYS_RECORD") + ", 'doppio')"));
    ASSERT_TRUE(record.AddNew());
    ASSERT_TRUE(record.Update()) << m_connection->LastError();
    ASSERT_TRUE(m_connection->Commit()) << m_connection->LastError();
    EXPECT_EQ(RecordCount(kSingleCode), 2);
}

TEST_P(StoreTest, JobCommitsOnSuccessAndRollsBackOnFailureOrException) {
    const std::string source = m_dir.File("f24.pdf");
    WriteAll(source, "%PDF-1.4");
    DorvaneArchiveStore store(m_connection);
    const auto storeOne = [&](bool succeed, bool raise, std::string& stored) {
        DorvaneJob job;
        job.UseTransaction(m_connection);
        job.OnJob = [&](bool& ok) {
            DorvaneRecordset record(m_connection);
            ok = record.Open(kSingleCode, Mode::Updatable) && store.AddRecord(record) &&
                 store.StoreFile(record, source, "f24.pdf", stored) && record.Update();
            if (raise) {
                throw std::runtime_error("guasto");
            }
            ok = ok && succeed;
        };
        return job.Run();
    };
    std::string stored;
    EXPECT_FALSE(storeOne(false, false, stored));
    EXPECT_FALSE(fs::exists(stored));
    EXPECT_FALSE(storeOne(true, true, stored));
    EXPECT_FALSE(fs::exists(stored));
    EXPECT_EQ(RecordCount(kSingleCode), 0);
    EXPECT_TRUE(storeOne(true, false, stored));
    EXPECT_TRUE(fs::exists(stored));
    EXPECT_EQ(RecordCount(kSingleCode), 1);
    EXPECT_FALSE(m_connection->InTransaction());
}

TEST_P(StoreTest, AFullDiskFailsTheRecordNotTheDatabase) {
    const std::string source = m_dir.File("grande.pdf");
    WriteAll(source, std::string(512 * 1024, 'x'));
    DorvaneArchiveStore store(m_connection);
    DorvaneRecordset record(m_connection);
    ASSERT_TRUE(record.Open(kSingleCode, Mode::Updatable));
    ASSERT_TRUE(store.AddRecord(record));
    ASSERT_TRUE(record.SetValue("Ditta", "Rossi"));
    std::string stored;
    {
        // The file-size limit stands in for a full disk while the copy is written.
        auto* previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit previous{};
        getrlimit(RLIMIT_FSIZE, &previous);
        rlimit limited = previous;
        limited.rlim_cur = 64 * 1024;
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
        const bool ok = store.StoreFile(record, source, "grande.pdf", stored);
        setrlimit(RLIMIT_FSIZE, &previous);
        std::signal(SIGXFSZ, previousHandler);
        EXPECT_FALSE(ok);
    }
    EXPECT_TRUE(stored.empty());
    EXPECT_TRUE(fs::is_empty(Folder(kSingleCode))) << "no partial copy is left";
    EXPECT_TRUE(record.CancelUpdate());
    // The database goes on working.
    ASSERT_TRUE(store.AddRecord(record));
    ASSERT_TRUE(store.StoreFile(record, source, "grande.pdf", stored));
    ASSERT_TRUE(record.Update()) << m_connection->LastError();
    EXPECT_EQ(RecordCount(kSingleCode), 1);
}

TEST(DorvaneJobTest, ProgressRaisesChangedPercentagesAndCallsTheHook) {
    DorvaneJob job;
    std::vector<long> percents;
    int hooks = 0;
    job.Total(4);
    job.OnStatus = [&](long nPrc) { percents.push_back(nPrc); };
    job.ProgressHook = [&] { ++hooks; };
    job.OnJob = [&](bool& ok) {
        for (long i = 0; i <= 4 && !job.Stopped(); ++i) {
            job.Progress(i);
            job.Progress(i);
            if (i == 2) {
                job.Stopped(true);
            }
        }
        ok = true;
    };
    EXPECT_TRUE(job.Run());
    EXPECT_EQ(percents, (std::vector<long>{0, 25, 50}));
    EXPECT_EQ(hooks, 6);
    EXPECT_TRUE(job.Stopped());
    DorvaneJob empty;
    EXPECT_FALSE(empty.Run());
}

INSTANTIATE_TEST_SUITE_P(Backends, StoreTest,
                         ::testing::Values(BackendKind::Sqlite, BackendKind::Postgres),
                         BackendName);

} // namespace
} // namespace quorvin::test
