#pragma once
// The archiving suites: a receipt engine over a fresh archive with the standard
// catalogue, on SQLite and on PostgreSQL, receipts laid out by a fake page reader, and
// every log line kept.
#include "archive/ArchiveTestSupport.h"
#include "archive/ArchiveTypes.h"
#include "archive/DorvaneEnv.h"
#include "archive/StandardCatalogueSpecs.h"
#include "engine/FakeReader.h"
#include "engine/bvTel.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace quorvin::test {

// The codes of the standard catalogue's three archives.
inline constexpr const char* kStdSummary = "QUORVINRIEPILOGO";
inline constexpr const char* kStdSingle = "QUORVINSINGOLE00";
inline constexpr const char* kStdOriginals = "QUORVINTRASMESSI";

struct LogLine {
    long priority;
    std::string file;
    std::string func;
    std::string msg;
    bool operator==(const LogLine&) const = default;
};
void PrintTo(const LogLine& line, std::ostream* os);

// Receipt header phrases.
inline const std::string kHeaderAG = "AGENZIA DELLE ENTRATE - SERVIZIO TELEMATICO ENTRATEL";
inline const std::string kHeaderSD = "SERVIZIO TELEMATICO DI PRESENTAZIONE DELLE DICHIARAZIONI";
inline const std::string kHeaderSE =
    "SERVIZIO TELEMATICO ENTRATEL DI PRESENTAZIONE DELLE DICHIARAZIONI";

class ArchivingTest : public ::testing::TestWithParam<BackendKind> {
protected:
    void SetUp() override;
    void TearDown() override;

    // A receipt file of these pages, assigned to the engine (File, FileNameOrig). The
    // file also exists on disk, so that the job can copy it.
    void Load(const std::string& name, const FakeReader::Pages& pages);
    // Loaded, then processed; the log is emptied first.
    bool ProcessReceipt(const std::string& name, const FakeReader::Pages& pages);

    // An engine with the real page reader (for receipts whose pages are cut), logging
    // into m_log; templateName's PDF is written as fileName and assigned to it.
    std::unique_ptr<bvTel> RealEngine(const std::string& templateName, const std::string& fileName);

    // A user signed in instead of the administrator (a new engine is made for them).
    void SignInAs(const std::string& user, const std::string& password);
    // An archive like the standard one of code like, with another code, name and year.
    void AddArchiveLike(const std::string& like, const std::string& code, const std::string& name,
                        long anno);

    // A record stored directly in the archive; its SYS_RECORD.
    long AddRecord(const std::string& archive,
                   const std::vector<std::pair<std::string, std::string>>& fields);
    long CountRows(const std::string& sql);
    long RecordCount(const std::string& archive);
    // The names of the files stored in the archive (none may be in its folder).
    std::vector<std::string> StoredFiles(const std::string& archive);
    std::string Table(const std::string& archive);
    bool Run(const std::string& sql);

    // The lines of the log with this function name.
    std::vector<LogLine> LinesOf(const std::string& func) const;
    // The messages of the priority-1 lines.
    std::vector<std::string> Messages() const;

    TempDir m_dir;
    std::string m_locator;
    std::string m_admin;
    DorvaneEnv m_env;
    FakeReader m_reader;
    std::unique_ptr<bvTel> m_tel;
    std::vector<LogLine> m_log;

private:
    void MakeEngine();
};

} // namespace quorvin::test
