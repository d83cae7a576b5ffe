#include "archiving/ArchivingTestSupport.h"

#include "archive/ArchiveAdmin.h"
#include "archive/DorvaneConnection.h"
#include "archive/DorvaneFiles.h"
#include "archive/DorvaneUser.h"
#include "archive/StandardCatalogueSpecs.h"

#include <atomic>
#include <filesystem>
#include <ostream>

namespace quorvin::test {

void PrintTo(const LogLine& line, std::ostream* os) {
    *os << "{" << line.priority << ", \"" << line.file << "\", \"" << line.func << "\", \""
        << line.msg << "\"}";
}

void ArchivingTest::SetUp() {
    static std::atomic<int> counter{0};
    if (GetParam() == BackendKind::Sqlite) {
        m_locator = m_dir.File("archivio" + std::to_string(counter.fetch_add(1)) + ".sqlite");
    } else {
        m_locator = FreshPostgresDatabase();
        if (m_locator.empty()) {
            std::string why;
            PostgresServer(why);
            GTEST_SKIP() << why;
        }
    }
    ConnectOptions options;
    options.documentsRoot = m_dir.File("documenti");
    ASSERT_TRUE(m_env.Connect(m_locator, options)) << m_env.LastError();
    std::string error;
    m_admin = DorvaneUser::SystemAccount();
    ASSERT_TRUE(admin::MakeAdministrator(*m_env.Connection(), m_admin, "segreta", error)) << error;
    ASSERT_TRUE(admin::AddCatalogue(*m_env.Connection(), StandardDocTypeSpecs(),
                                    StandardArchiveSpecs(m_dir.File("documenti")), error))
        << error;
    // The embedded archive signs the system account in without a password.
    const bool signedIn =
        GetParam() == BackendKind::Sqlite ? m_env.Login() : m_env.Login(m_admin, "segreta");
    ASSERT_TRUE(signedIn) << m_env.LastError();
    MakeEngine();
}

void ArchivingTest::TearDown() {
    m_tel.reset();
}

void ArchivingTest::MakeEngine() {
    m_tel = std::make_unique<bvTel>(m_env, m_reader);
    m_tel->ConnectTelLogEvent([this](long nPriority, const std::string& sFile,
                                     const std::string& sFunc, const std::string& sMsg) {
        m_log.push_back({nPriority, sFile, sFunc, sMsg});
    });
    m_tel->Init();
}

void ArchivingTest::Load(const std::string& name, const FakeReader::Pages& pages) {
    const std::string path = m_dir.File(name);
    WriteAll(path, "%PDF-1.4\n% " + name + "\n");
    m_reader.Add(path, pages);
    m_tel->File(path);
    m_tel->FileNameOrig(name);
}

bool ArchivingTest::ProcessReceipt(const std::string& name, const FakeReader::Pages& pages) {
    Load(name, pages);
    m_log.clear();
    return m_tel->Process();
}

std::unique_ptr<bvTel> ArchivingTest::RealEngine(const std::string& templateName,
                                                 const std::string& fileName) {
    auto tel = std::make_unique<bvTel>(m_env);
    tel->ConnectTelLogEvent([this](long nPriority, const std::string& sFile,
                                   const std::string& sFunc, const std::string& sMsg) {
        m_log.push_back({nPriority, sFile, sFunc, sMsg});
    });
    tel->Init();
    tel->File(MakeReceipt(m_dir, templateName, fileName));
    tel->FileNameOrig(fileName);
    m_log.clear();
    return tel;
}

void ArchivingTest::SignInAs(const std::string& user, const std::string& password) {
    m_tel.reset();
    ASSERT_TRUE(m_env.Login(user, password)) << m_env.LastError();
    MakeEngine();
}

void ArchivingTest::AddArchiveLike(const std::string& like, const std::string& code,
                                   const std::string& name, long anno) {
    for (auto spec : StandardArchiveSpecs(m_dir.File("documenti"))) {
        if (spec.code == like) {
            spec.code = code;
            spec.name = name;
            spec.anno = anno;
            spec.folder = m_dir.File("documenti") + "/" + code;
            std::string error;
            ASSERT_TRUE(admin::AddArchive(*m_env.Connection(), spec, error)) << error;
            return;
        }
    }
    FAIL() << "no standard archive " << like;
}

long ArchivingTest::AddRecord(const std::string& archive,
                              const std::vector<std::pair<std::string, std::string>>& fields) {
    DorvaneRecordset rs(m_env.Connection());
    EXPECT_TRUE(rs.Open(archive, DorvaneRecordset::Mode::Updatable));
    EXPECT_TRUE(rs.AddNew());
    for (const auto& [field, value] : fields) {
        EXPECT_TRUE(rs.SetValue(field, value)) << field << "=" << value;
    }
    EXPECT_TRUE(rs.Update()) << m_env.Connection()->LastError();
    return std::stol(rs.Value("SYS_RECORD"));
}

long ArchivingTest::CountRows(const std::string& sql) {
    DorvaneRecordset rs(m_env.Connection());
    EXPECT_TRUE(rs.Open(sql)) << sql << ": " << m_env.Connection()->LastError();
    return rs.RecordCount();
}

long ArchivingTest::RecordCount(const std::string& archive) {
    return CountRows("select SYS_RECORD from " + Table(archive));
}

std::vector<std::string> ArchivingTest::StoredFiles(const std::string& archive) {
    std::vector<std::string> files;
    DorvaneRecordset rs(m_env.Connection());
    EXPECT_TRUE(rs.Open("select NOME from DB_FILE where SYS_SERIALE='" + archive +
                        "' order by SYS_RECORD"));
    for (; rs.IsOpen() && !rs.Eof(); rs.MoveNext()) {
        files.push_back(rs.Value("NOME"));
    }
    // Nothing is ever written into the archive's folder any more.
    std::error_code ec;
    for (const auto& entry :
         std::filesystem::directory_iterator(m_env.Archives().Folder(archive), ec)) {
        ADD_FAILURE() << "file in the archive folder: " << entry.path();
    }
    return files;
}

std::string ArchivingTest::Table(const std::string& archive) {
    return m_env.Database().TableName(archive);
}

bool ArchivingTest::Run(const std::string& sql) {
    return m_env.Connection()->Execute(sql);
}

std::vector<LogLine> ArchivingTest::LinesOf(const std::string& func) const {
    std::vector<LogLine> lines;
    for (const auto& line : m_log) {
        if (line.func == func) {
            lines.push_back(line);
        }
    }
    return lines;
}

std::vector<std::string> ArchivingTest::Messages() const {
    std::vector<std::string> messages;
    for (const auto& line : m_log) {
        if (line.priority == 1) {
            messages.push_back(line.msg);
        }
    }
    return messages;
}

} // namespace quorvin::test
