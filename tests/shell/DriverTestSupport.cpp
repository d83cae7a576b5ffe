#include "DriverTestSupport.h"

#include "archive/ArchiveAdmin.h"
#include "archive/ArchiveTestSupport.h"
#include "archive/DorvaneFiles.h"
#include "archive/DorvaneRecordset.h"
#include "archive/DorvaneUser.h"
#include "archive/StandardCatalogueSpecs.h"
#include "shell/Settings.h"

#include <QProcess>
#include <QStringList>

#include <algorithm>
#include <filesystem>

namespace quorvin::test {

namespace fs = std::filesystem;

void RecordingView::AddLine(const QDateTime&, const std::string& file, const std::string& message) {
    lines.push_back({file, message});
    StopOn(message);
}

void RecordingView::StatusLine(const QDateTime& when, const std::string& file,
                               const std::string& message) {
    details.push_back(message);
    RunView::StatusLine(when, file, message);
    StopOn(message);
}

void RecordingView::StopOn(const std::string& message) {
    if (!stopOnMessage.empty() && message == stopOnMessage && runner != nullptr) {
        stopOnMessage.clear();
        runner->Stop();
    }
}

std::vector<std::string> RecordingView::Messages() const {
    std::vector<std::string> messages;
    for (const auto& line : lines) {
        if (line.message != "Inizio elaborazione") {
            messages.push_back(line.message);
        }
    }
    return messages;
}

long RecordingView::Count(const std::string& message) const {
    return static_cast<long>(std::count_if(
        lines.begin(), lines.end(), [&](const Line& line) { return line.message == message; }));
}

bool MakeStandardArchive(const std::string& path) {
    QProcess cli;
    cli.start(QString::fromUtf8(QUORVIN_CLI_PATH),
              {"archivio", "init", "--esempio", "--archivio", QString::fromStdString(path)});
    return cli.waitForFinished(60000) && cli.exitStatus() == QProcess::NormalExit &&
           cli.exitCode() == 0;
}

std::string MakeStandardPostgresArchive(std::string& why) {
    const std::string url = FreshPostgresDatabase();
    if (url.empty()) {
        PostgresServer(why);
        return "";
    }
    DorvaneEnv env;
    if (!env.Connect(url)) {
        why = env.LastError();
        return "";
    }
    if (!admin::MakeAdministrator(*env.Connection(), DorvaneUser::SystemAccount(),
                                  kPostgresAdminPassword, why) ||
        !admin::AddCatalogue(*env.Connection(), StandardDocTypeSpecs(), StandardArchiveSpecs(),
                             why)) {
        return "";
    }
    return url;
}

void RunTest::SetUp() {
    m_archive = m_dir.File("archivio.sqlite");
    ASSERT_TRUE(MakeStandardArchive(m_archive));
    ASSERT_TRUE(m_env.Connect(m_archive)) << m_env.LastError();
    ASSERT_TRUE(m_env.Login()) << m_env.LastError();
    FinishSetUp();
}

void RunTest::FinishSetUp() {
    m_env.BaseFolder(m_dir.File("dati"));
    MakeRunner();
}

void RunTest::MakeRunner() {
    // One second later at each reading, so that every run saves a log of its own.
    const QDateTime base(QDate(2010, 6, 16), QTime(9, 30, 0));
    m_runner = std::make_unique<shell::ProcessRunner>(
        m_env, m_view, [this, base] { return base.addSecs(m_ticks++); });
    m_view.runner = m_runner.get();
    m_runner->m_sTelFolder = m_receipts.Path().string();
    m_runner->m_sNolvaErrFolder = "";
    m_runner->m_bSaveBackups = true;
    const shell::Settings settings(m_dir.File("Quorvin.conf"));
    ASSERT_TRUE(settings.LoadTypeFlags(m_runner->m_colTipiDoc));
}

std::string RunTest::Receipt(const std::string& templateName, const std::string& pdfName) {
    return MakeReceipt(m_receipts, templateName, pdfName);
}

bool RunTest::InFolder(const std::string& name) const {
    return fs::exists(m_receipts.Path() / name);
}

long RunTest::RecordCount(const std::string& archive) {
    DorvaneRecordset rs(m_env.Connection());
    if (!rs.Open("select count(*) as n from " + m_env.Database().TableName(archive))) {
        return -1;
    }
    return std::stol(rs.Value("n"));
}

bool RunTest::Archived(const std::string& fileName) {
    DorvaneRecordset rs(m_env.Connection());
    if (!rs.Open("select SYS_FILE from " + m_env.Database().TableName("QUORVINRIEPILOGO"))) {
        return false;
    }
    const std::string base = DorvaneFiles::FileName(fileName, false);
    for (; !rs.Eof(); rs.MoveNext()) {
        const std::string stored = DorvaneFiles::FileName(rs.Value("SYS_FILE"), false);
        // A name already taken gets a numeric suffix.
        if (stored == base || stored.starts_with(base + "_")) {
            return true;
        }
    }
    return false;
}

std::vector<std::string> RunTest::LogFiles() const {
    const std::string folder = m_dir.File("dati/Logs/Quorvin");
    return DorvaneFiles::FindFiles(folder, "*.xml");
}

} // namespace quorvin::test
