#include "archive/ArchiveTestSupport.h"

#include "archive/ArchiveAdmin.h"
#include "archive/Connection.h"
#include "archive/DorvaneUser.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>

namespace fs = std::filesystem;

namespace quorvin::test {

namespace {

std::string Quote(const std::string& arg) {
    std::string out = "'";
    for (const char c : arg) {
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return out + "'";
}

std::string FindServerBin() {
    std::string best;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator("/usr/lib/postgresql", ec)) {
        const fs::path bin = entry.path() / "bin";
        if (fs::exists(bin / "initdb") && fs::exists(bin / "pg_ctl") && bin.string() > best) {
            best = bin.string();
        }
    }
    return best;
}

int FreePort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof(addr);
    int port = 0;
    if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) == 0) {
        port = ntohs(addr.sin_port);
    }
    close(fd);
    return port;
}

// initdb and postgres refuse to run as root: then they run as the postgres account.
class PgServer {
public:
    ~PgServer() { Stop(); }

    bool Start(std::string& why) {
        const std::string bin = FindServerBin();
        if (bin.empty()) {
            why = "PostgreSQL server binaries not found under /usr/lib/postgresql/*/bin: "
                  "PostgreSQL tests skipped";
            return false;
        }
        char pattern[] = "/tmp/quorvin-pg-XXXXXX";
        if (mkdtemp(pattern) == nullptr) {
            why = "cannot create a temporary folder for the server";
            return false;
        }
        m_root = pattern;
        m_asUser = getuid() == 0 ? "runuser -u postgres -- " : "";
        if (getuid() == 0 && std::system(("chown postgres: " + Quote(m_root)).c_str()) != 0) {
            why = "cannot hand the server folder to the postgres account";
            return false;
        }
        m_bin = bin;
        const std::string data = m_root + "/data";
        const std::string log = m_root + "/server.log";
        if (Run(Quote(bin + "/initdb") + " -D " + Quote(data) +
                " -U quorvin -A trust -E UTF8 --locale=C --no-sync > " +
                Quote(m_root + "/initdb.log") + " 2>&1") != 0) {
            why = "initdb failed (see " + m_root + "/initdb.log)";
            return false;
        }
        for (int attempt = 0; attempt < 5; ++attempt) {
            m_port = FreePort();
            const std::string options = "-p " + std::to_string(m_port) + " -k " + m_root +
                                        " -c listen_addresses=127.0.0.1 -F";
            if (Run(Quote(bin + "/pg_ctl") + " -D " + Quote(data) + " -o " + Quote(options) +
                    " -l " + Quote(log) + " -w -t 60 start > /dev/null 2>&1") == 0) {
                m_running = true;
                return true;
            }
        }
        why = "the test server did not start (see " + log + ")";
        return false;
    }

    void Stop() {
        if (m_running) {
            Run(Quote(m_bin + "/pg_ctl") + " -D " + Quote(m_root + "/data") +
                " -m immediate -w stop > /dev/null 2>&1");
            m_running = false;
        }
        if (!m_root.empty()) {
            std::error_code ec;
            fs::remove_all(m_root, ec);
            m_root.clear();
        }
    }

    std::string Url() const { return "postgresql://quorvin@127.0.0.1:" + std::to_string(m_port); }

private:
    int Run(const std::string& command) { return std::system((m_asUser + command).c_str()); }

    std::string m_bin;
    std::string m_root;
    std::string m_asUser;
    int m_port = 0;
    bool m_running = false;
};

std::mutex g_serverMutex;
std::unique_ptr<PgServer> g_server;
bool g_serverTried = false;
std::string g_serverWhy;

// Stops the server when the test executable ends.
class PgServerEnvironment : public ::testing::Environment {
public:
    void TearDown() override {
        std::lock_guard lock(g_serverMutex);
        g_server.reset();
    }
};

[[maybe_unused]] ::testing::Environment* const g_environment =
    ::testing::AddGlobalTestEnvironment(new PgServerEnvironment);

} // namespace

std::string BackendName(const ::testing::TestParamInfo<BackendKind>& info) {
    return info.param == BackendKind::Sqlite ? "SQLite" : "PostgreSQL";
}

std::string PostgresServer(std::string& why) {
    std::lock_guard lock(g_serverMutex);
    if (!g_serverTried) {
        g_serverTried = true;
        auto server = std::make_unique<PgServer>();
        if (server->Start(g_serverWhy)) {
            g_server = std::move(server);
        }
    }
    why = g_serverWhy;
    return g_server ? g_server->Url() : std::string();
}

std::string FreshPostgresDatabase() {
    static std::atomic<int> counter{0};
    std::string why;
    const std::string server = PostgresServer(why);
    if (server.empty()) {
        return {};
    }
    const std::string name =
        "t" + std::to_string(getpid()) + "_" + std::to_string(counter.fetch_add(1));
    std::string error;
    auto admin = db::OpenPostgres(server + "/postgres", error);
    if (!admin || !admin->Execute("create database " + name)) {
        ADD_FAILURE() << "cannot create a test database: " << error
                      << (admin ? admin->LastError() : "");
        return {};
    }
    return server + "/" + name;
}

std::vector<DocTypeSpec> TestDocTypes() {
    return {{71, "F24 trasmesso"},       {86, "Dichiarazione periodica"},
            {109, "Comunicazione"},      {111, "Modello F24"},
            {130, "Ricevuta F24"},       {131, "Ricevuta F24 singola"},
            {133, "Esito F24 singolo"},  {172, "Ricevuta locazione"},
            {178, "Ricevuta pagamento"}, {180, "Esito pagamento"},
            {311, "Comunicazione IVA"},  {312, "Comunicazione IVA trimestrale"}};
}

std::vector<ArchiveSpec> TestArchives(const std::string& documentsRoot) {
    const std::vector<FieldSpec> common = {
        {"Descrizione", FieldType::Text, ""},
        {"Data_doc", FieldType::Date, ""},
        {"Anno", FieldType::Integer, ""},
        {"Cod_Tipo_doc_F", FieldType::Integer, ""},
        {"Cod_Fiscale", FieldType::Text, ""},
        {"Ditta", FieldType::Text, ""},
        {"Protocollo_Attribuito", FieldType::Text, ""},
        {"Trasmesso_Cod", FieldType::Text, ""},
        {"File", FieldType::Text, ""},
        {"Esito", FieldType::Text, "IN ATTESA"},
        {"Periodo", FieldType::Text, ""},
        {"Dal", FieldType::Date, ""},
        {"Al", FieldType::Date, ""},
        {"Data_Vers", FieldType::Date, ""},
        {"Importo", FieldType::Decimal, ""},
        {"Mese_Cod", FieldType::Integer, ""},
        {"Protocollo_Telematico", FieldType::Text, ""},
        {"Scartato", FieldType::Boolean, "0"},
        {"Scartato_Descrizione", FieldType::Text, ""},
    };
    auto originals = common;
    originals.erase(originals.begin() + 6); // no Protocollo_Attribuito
    originals.push_back({"Protocollo_Utente", FieldType::Text, ""});
    const auto folder = [&](const char* code) { return documentsRoot + "/" + code; };
    return {
        {kSummaryCode,
         "Ricevute - riepiloghi",
         1,
         0,
         "{Descrizione} {Protocollo_Attribuito}",
         folder(kSummaryCode),
         common,
         {130, 172},
         ""},
        {kSingleCode,
         "Ricevute - singole",
         2,
         0,
         "{Ditta} {Cod_Fiscale} {Data_doc}",
         folder(kSingleCode),
         common,
         {131, 133, 178, 180},
         ""},
        {kOrig2010Code,
         "Originali 2010",
         3,
         2010,
         "{Ditta} {Periodo}",
         folder(kOrig2010Code),
         originals,
         {71, 86, 109, 111, 311, 312},
         ""},
        {kOrigAnyCode,
         "Originali",
         3,
         0,
         "{Ditta} {Periodo}",
         folder(kOrigAnyCode),
         originals,
         {71, 86, 109, 111, 311, 312},
         ""},
    };
}

void ArchiveTest::SetUp() {
    m_locator = NewLocator();
    if (m_locator.empty()) {
        std::string why;
        PostgresServer(why);
        GTEST_SKIP() << why;
    }
    m_connection = OpenEmpty(m_locator);
    ASSERT_TRUE(m_connection);
    std::string error;
    m_admin = DorvaneUser::SystemAccount();
    ASSERT_TRUE(admin::MakeAdministrator(*m_connection, m_admin, "segreta", error)) << error;
    ASSERT_TRUE(admin::AddCatalogue(*m_connection, TestDocTypes(),
                                    TestArchives(m_dir.File("documenti")), error))
        << error;
}

void ArchiveTest::TearDown() {
    m_connection.reset();
}

std::string ArchiveTest::NewLocator() {
    static std::atomic<int> counter{0};
    if (GetParam() == BackendKind::Sqlite) {
        return m_dir.File("archivio" + std::to_string(counter.fetch_add(1)) + ".sqlite");
    }
    return FreshPostgresDatabase();
}

std::shared_ptr<DorvaneConnection> ArchiveTest::OpenEmpty(const std::string& locator) {
    std::string error;
    ConnectOptions options;
    options.documentsRoot = m_dir.File("documenti");
    auto connection = DorvaneConnection::Open(locator, options, error);
    EXPECT_TRUE(connection) << error;
    return connection;
}

} // namespace quorvin::test
