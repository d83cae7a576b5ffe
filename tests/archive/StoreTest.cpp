// Stored files, transactions around one receipt file, and jobs.
#include "archive/ArchiveTestSupport.h"

#include "archive/DorvaneArchiveStore.h"
#include "archive/DorvaneFiles.h"
#include "archive/DorvaneJob.h"
#include "archive/DorvaneRecordset.h"
#include "archive/Quoting.h"
#include "archive/Schema.h"

#include <filesystem>
#include <tuple>

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
    long Rows(const std::string& table) {
        db::Result result;
        EXPECT_TRUE(m_connection->Query("select count(*) from " + table, result));
        return result.rows.empty() ? -1 : std::stol(result.rows[0][0].value_or("-1"));
    }
};

TEST_P(StoreTest, StoredFilesLiveInTheDatabaseUnderSafeUniqueNames) {
    DorvaneArchiveStore store(m_connection);
    DorvaneRecordset record(m_connection);
    ASSERT_TRUE(record.Open(kSingleCode, Mode::Updatable));
    std::string destination;
    // Each name is taken by a saved record before the next one is asked for.
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"ricevuta.pdf", "ricevuta.pdf"},
        {"ricevuta.pdf", "ricevuta_2.pdf"},
        {"../../etc/passwd", "passwd"},
        {"C:\\Ricevute\\..\\f24.PDF", "f24.PDF"},
        {"..", "documento"},
        {"", "documento_2"},
        {"...pdf", "documento.pdf"},
        {"..pdf", "documento_2.pdf"},
        {" .pdf", "documento_3.pdf"},
        {"a..b.pdf", "a.b.pdf"},
        {"sub/dir/", "documento_3"},
        {std::string("bad\nname\x01.pdf"), "badname.pdf"},
        // A name with a suffix of its own is one of the names of its family.
        {"gap.pdf", "gap.pdf"},
        {"gap_2.pdf", "gap_2.pdf"},
        {"gap.pdf", "gap_3.pdf"},
        {"gap_2.pdf", "gap_2_2.pdf"},
        {"gap.pdf", "gap_4.pdf"},
        {"gap_3_1.pdf", "gap_3_1.pdf"},
    };
    for (const auto& [name, expected] : cases) {
        ASSERT_TRUE(record.AddNew());
        ASSERT_TRUE(store.PrepareFile(record, name, destination)) << name;
        // The staging file is outside the archive folder and goes once the record has it.
        EXPECT_FALSE(fs::path(destination).string().starts_with(Folder(kSingleCode)));
        WriteAll(destination, "%PDF " + expected);
        EXPECT_EQ(record.Value("SYS_FILE"), expected) << name;
        ASSERT_TRUE(record.Update()) << m_connection->LastError();
        EXPECT_FALSE(fs::exists(destination)) << name;
        std::string stored;
        std::string bytes;
        ASSERT_TRUE(store.ReadStoredFile(kSingleCode, std::stol(record.Value("SYS_RECORD")), stored,
                                         bytes));
        EXPECT_EQ(stored, expected);
        EXPECT_EQ(bytes, "%PDF " + expected);
    }
    ASSERT_TRUE(record.AddNew());
    EXPECT_TRUE(store.PrepareFile(record, "a.pdf", destination, Folder(kSingleCode) + "/"));
    EXPECT_FALSE(store.PrepareFile(record, "a.pdf", destination, m_dir.File("altrove")));
    EXPECT_FALSE(store.PrepareFile(record, "a.pdf", destination, Folder(kSingleCode) + "/.."));
    EXPECT_TRUE(destination.empty());
    record.CancelUpdate();
    DorvaneRecordset notAnArchive(m_connection);
    ASSERT_TRUE(notAnArchive.Open("select * from SYS_TIPO_DOC_F"));
    EXPECT_FALSE(store.PrepareFile(notAnArchive, "a.pdf", destination));
    const std::string longName = std::string(400, 'x') + ".pdf";
    ASSERT_TRUE(record.AddNew());
    ASSERT_TRUE(store.PrepareFile(record, longName, destination));
    EXPECT_LE(record.Value("SYS_FILE").size(), 200U);
    EXPECT_TRUE(record.Value("SYS_FILE").ends_with(".pdf"));
    record.CancelUpdate();
    EXPECT_FALSE(fs::exists(destination)) << "a cancelled record leaves no staging file";
    EXPECT_TRUE(!fs::exists(Folder(kSingleCode)) || fs::is_empty(Folder(kSingleCode)))
        << "nothing is written to the folder";
    // Bytes from memory, and a stored file given back to a path.
    const std::string binary("%PDF\0\xff\x01\r\n'\"", 12);
    ASSERT_TRUE(record.AddNew());
    ASSERT_TRUE(store.StoreBytes(record, binary, "memoria.pdf"));
    ASSERT_TRUE(record.Update()) << m_connection->LastError();
    const long number = std::stol(record.Value("SYS_RECORD"));
    ASSERT_TRUE(store.ExtractStoredFile(kSingleCode, number, m_dir.File("fuori.pdf")));
    EXPECT_EQ(ReadAll(m_dir.File("fuori.pdf")), binary);
    EXPECT_FALSE(store.ExtractStoredFile(kSingleCode, number + 1, m_dir.File("no.pdf")));
    EXPECT_FALSE(fs::exists(m_dir.File("no.pdf")));
}

TEST_P(StoreTest, RollbackDropsRecordsTheirFilesAndLinks) {
    const std::string source = m_dir.File("ricevuta.pdf");
    WriteAll(source, "%PDF-1.4 finta ricevuta");
    DorvaneArchiveStore store(m_connection);
    DorvaneRecordset record(m_connection);
    DorvaneRecordset links(m_connection);
    ASSERT_TRUE(record.Open(kSummaryCode, Mode::Updatable));
    ASSERT_TRUE(store.OpenLinks(links));

    std::string staged;
    const auto archiveOne = [&] {
        EXPECT_TRUE(m_connection->Begin()) << m_connection->LastError();
        EXPECT_TRUE(store.AddRecord(record));
        EXPECT_TRUE(record.SetValue("Ditta", "Rossi"));
        EXPECT_TRUE(store.PrepareFile(record, "ricevuta.pdf", staged));
        EXPECT_TRUE(DorvaneFiles::CopyFile(source, staged, true));
        EXPECT_TRUE(record.Update()) << m_connection->LastError();
        EXPECT_TRUE(links.AddNew());
        EXPECT_TRUE(links.SetValue("DB_PAR_SERIALE", kSummaryCode));
        EXPECT_TRUE(links.SetValue("DB_PAR_RECORD", record.Value("SYS_RECORD")));
        EXPECT_TRUE(links.SetValue("DB_SON_SERIALE", kSingleCode));
        EXPECT_TRUE(links.SetValue("DB_SON_RECORD", 1));
        EXPECT_TRUE(links.Update());
        return std::stol(record.Value("SYS_RECORD"));
    };
    archiveOne();
    ASSERT_TRUE(m_connection->Rollback());
    EXPECT_FALSE(fs::exists(staged));
    EXPECT_TRUE(fs::exists(source));
    EXPECT_EQ(RecordCount(kSummaryCode), 0);
    EXPECT_EQ(Rows("DB_COLLEGAMENTI"), 0);
    EXPECT_EQ(Rows("DB_FILE"), 0);

    const long committed = archiveOne();
    ASSERT_TRUE(m_connection->Commit());
    std::string name;
    std::string bytes;
    ASSERT_TRUE(store.ReadStoredFile(kSummaryCode, committed, name, bytes));
    EXPECT_EQ(bytes, ReadAll(source));
    EXPECT_EQ(name, "ricevuta.pdf");
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
    const auto storeOne = [&](bool succeed, bool raise) {
        DorvaneJob job;
        job.UseTransaction(m_connection);
        job.OnJob = [&](bool& ok) {
            DorvaneRecordset record(m_connection);
            std::string stored;
            ok = record.Open(kSingleCode, Mode::Updatable) && store.AddRecord(record) &&
                 store.StoreFile(record, source, "f24.pdf", stored) && record.Update();
            if (raise) {
                throw std::runtime_error("guasto");
            }
            ok = ok && succeed;
        };
        return job.Run();
    };
    EXPECT_FALSE(storeOne(false, false));
    EXPECT_FALSE(storeOne(true, true));
    EXPECT_EQ(RecordCount(kSingleCode), 0);
    EXPECT_EQ(Rows("DB_FILE"), 0);
    EXPECT_TRUE(storeOne(true, false));
    EXPECT_EQ(RecordCount(kSingleCode), 1);
    EXPECT_EQ(Rows("DB_FILE"), 1);
    EXPECT_TRUE(fs::exists(source)) << "the source is read, never moved";
    EXPECT_FALSE(m_connection->InTransaction());
}

TEST_P(StoreTest, AFileThatCannotBeReadFailsTheRecordNotTheDatabase) {
    const std::string source = m_dir.File("sparito.pdf");
    WriteAll(source, "%PDF");
    DorvaneArchiveStore store(m_connection);
    DorvaneRecordset record(m_connection);
    ASSERT_TRUE(record.Open(kSingleCode, Mode::Updatable));
    ASSERT_TRUE(store.AddRecord(record));
    std::string stored;
    ASSERT_TRUE(store.StoreFile(record, source, "sparito.pdf", stored));
    fs::remove(source);
    EXPECT_FALSE(record.Update());
    EXPECT_FALSE(m_connection->LastError().empty());
    EXPECT_EQ(RecordCount(kSingleCode), 0) << "no record without its file";
    EXPECT_FALSE(store.StoreFile(record, source, "sparito.pdf", stored));
    EXPECT_TRUE(record.CancelUpdate());
    // The database goes on working.
    WriteAll(source, "%PDF di nuovo");
    ASSERT_TRUE(store.AddRecord(record));
    ASSERT_TRUE(store.StoreFile(record, source, "sparito.pdf", stored));
    ASSERT_TRUE(record.Update()) << m_connection->LastError();
    EXPECT_EQ(RecordCount(kSingleCode), 1);
}

TEST_P(StoreTest, AnArchiveWithFilesOnDiskIsMigratedIntoTheDatabase) {
    const std::string locator = NewLocator();
    const std::string folder = m_dir.File("vecchio");
    fs::create_directories(folder);
    WriteAll(folder + "/uno.pdf", "%PDF uno");
    WriteAll(folder + "/due.pdf", std::string("%PDF\0due", 8));
    std::string error;
    {
        auto raw = GetParam() == BackendKind::Sqlite ? db::OpenSqlite(locator, {}, error)
                                                     : db::OpenPostgres(locator, error);
        ASSERT_TRUE(raw) << error;
        ASSERT_TRUE(schema::Migrate(*raw, 2, error)) << error;
        ASSERT_TRUE(raw->Execute(
            "insert into DB_ELENCO (SYS_SERIALE, ARCHIVIO, TIPO_ARCH, ANNO, NOME_TABELLA,"
            " CARTELLA) values ('VECCHIO', 'Vecchio archivio', 1, 0, 'arc_vecchio', " +
            SqlText(folder) + ");" + schema::CreateArchiveTableSql(raw->Kind(), "arc_vecchio", {}) +
            ";insert into arc_vecchio (sys_seriale, sys_file) values ('VECCHIO', " +
            SqlText(folder + "/uno.pdf") + "), ('VECCHIO', " + SqlText(folder + "/due.pdf") +
            "), ('VECCHIO', " + SqlText(folder + "/perso.pdf") + "), ('VECCHIO', null)"))
            << raw->LastError();
    }
    auto migrated = OpenEmpty(locator);
    ASSERT_TRUE(migrated);
    EXPECT_EQ(migrated->Info("versione_schema"), std::to_string(schema::kVersion));
    DorvaneArchiveStore store(migrated);
    const std::vector<std::tuple<long, std::string, std::string>> expected = {
        {1, "uno.pdf", "%PDF uno"}, {2, "due.pdf", std::string("%PDF\0due", 8)}};
    for (const auto& [number, name, content] : expected) {
        std::string stored;
        std::string bytes;
        ASSERT_TRUE(store.ReadStoredFile("VECCHIO", number, stored, bytes)) << number;
        EXPECT_EQ(stored, name);
        EXPECT_EQ(bytes, content);
    }
    db::Result names;
    ASSERT_TRUE(migrated->Query("select sys_file from arc_vecchio order by sys_record", names));
    ASSERT_EQ(names.rows.size(), 4U);
    EXPECT_EQ(names.rows[0][0], db::Cell("uno.pdf"));
    EXPECT_EQ(names.rows[1][0], db::Cell("due.pdf"));
    EXPECT_EQ(names.rows[2][0], std::nullopt) << "a file already gone stays gone";
    EXPECT_EQ(ReadAll(folder + "/uno.pdf"), "%PDF uno") << "the old folder is left as it was";
    EXPECT_TRUE(fs::exists(folder + "/due.pdf"));
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
