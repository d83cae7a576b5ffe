#include "archive/ArchiveTestSupport.h"

#include "archive/ArchiveAdmin.h"
#include "archive/Connection.h"
#include "archive/DorvaneUser.h"
#include "archive/ThrowawayPostgres.h"

#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <mutex>

namespace fs = std::filesystem;

namespace quorvin::test {

namespace {

std::mutex g_serverMutex;
std::unique_ptr<ThrowawayPostgres> g_server;
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
        auto server = std::make_unique<ThrowawayPostgres>();
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
