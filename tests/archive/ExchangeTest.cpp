// JSON export and import: a backup restored, or an archive moved to the other back end,
// exports the same content.
#include "archive/ArchiveTestSupport.h"

#include "archive/ArchiveAdmin.h"
#include "archive/ArchiveExchange.h"
#include "archive/DorvaneArchiveStore.h"
#include "archive/DorvaneEnv.h"
#include "archive/DorvaneRecordset.h"

#include <nlohmann/json.hpp>

#include <unistd.h>

#include <filesystem>
#include <functional>
#include <tuple>

namespace fs = std::filesystem;

namespace quorvin::test {
namespace {

using Json = nlohmann::json;
using Mode = DorvaneRecordset::Mode;

// An export written as folder/archivio.json with its files beside it.
struct Exported {
    std::string folder;
    std::string json;
};

// Records compare by the name and content of their file, wherever it was written.
Json Comparable(const Exported& exported) {
    Json json = Json::parse(exported.json);
    for (auto& archive : json["archives"]) {
        for (auto& record : archive["records"]) {
            if (record["file"].is_string()) {
                const std::string path = record["file"];
                const std::string name = fs::path(path).filename().string();
                record["file"] =
                    name.substr(name.find('_') + 1) + ":" + ReadAll(exported.folder + "/" + path);
            }
        }
    }
    // A server keeps no hashes: they travel only between embedded archives.
    for (auto& user : json["users"]) {
        user["HASH_PASSWORD"] = nullptr;
    }
    return json;
}

class ExchangeTest : public ArchiveTest {
protected:
    void SetUp() override {
        ArchiveTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) {
            return;
        }
        const std::string pdf = m_dir.File("ricevuta.pdf");
        WriteAll(pdf, "%PDF-1.4 contenuto");
        DorvaneArchiveStore store(m_connection);
        DorvaneRecordset record(m_connection);
        ASSERT_TRUE(record.Open(kSummaryCode, Mode::Updatable));
        ASSERT_TRUE(record.SetDescription(store.DescriptionTemplate(kSummaryCode)));
        for (int i = 0; i < 3; ++i) {
            ASSERT_TRUE(store.AddRecord(record));
            ASSERT_TRUE(record.SetValue("Descrizione", "Invio n. " + std::to_string(i)));
            ASSERT_TRUE(
                record.SetValue("Protocollo_Attribuito", "1003121500123456" + std::to_string(i)));
            ASSERT_TRUE(record.SetValue("Data_doc", "16/06/2010"));
            const char* amounts[] = {"0,5", "1.250,10", "98.765.432.101,20"};
            ASSERT_TRUE(record.SetValue("Importo", amounts[i]));
            ASSERT_TRUE(record.SetValue("Scartato", i == 2));
            ASSERT_TRUE(record.SetValue("Ditta", "L'Aquila 100% _srl_ \"ok\" è"));
            std::string destination;
            ASSERT_TRUE(store.StoreFile(record, pdf, "ricevuta.pdf", destination));
            ASSERT_TRUE(record.BuildDescription());
            ASSERT_TRUE(record.Update()) << m_connection->LastError();
        }
        // A gap in the numbers must survive the round trip.
        ASSERT_TRUE(m_connection->Execute("delete from arc_riepiloghi000001 where SYS_RECORD=2"));
        ASSERT_TRUE(record.Open(kSingleCode, Mode::Updatable));
        ASSERT_TRUE(store.AddRecord(record));
        ASSERT_TRUE(record.SetValue("Anno", "2010"));
        ASSERT_TRUE(record.Update());
        DorvaneRecordset links(m_connection);
        ASSERT_TRUE(store.OpenLinks(links));
        for (const int parent : {1, 3}) {
            ASSERT_TRUE(links.AddNew());
            ASSERT_TRUE(links.SetValue("DB_PAR_SERIALE", kSummaryCode));
            ASSERT_TRUE(links.SetValue("DB_PAR_RECORD", parent));
            ASSERT_TRUE(links.SetValue("DB_SON_SERIALE", kSingleCode));
            ASSERT_TRUE(links.SetValue("DB_SON_RECORD", record.Value("SYS_RECORD")));
            ASSERT_TRUE(links.Update());
        }
    }

    Exported Export(DorvaneConnection& connection) {
        static int counter = 0;
        Exported out{m_dir.File("esportazione" + std::to_string(++counter)), ""};
        std::string error;
        EXPECT_TRUE(
            ExportJson(connection, out.json, error, out.folder + "/archivio-file", out.folder))
            << error;
        return out;
    }
};

TEST_P(ExchangeTest, ExportGivesEveryArchiveRecordAndLink) {
    const Exported exported = Export(*m_connection);
    const Json json = Json::parse(exported.json);
    ASSERT_EQ(json["archives"].size(), 4U);
    const Json& summary = json["archives"][2];
    EXPECT_EQ(summary["SYS_SERIALE"], kSummaryCode);
    EXPECT_EQ(summary["TIPO_ARCH"], 1);
    EXPECT_EQ(summary["ANNO"], 0);
    EXPECT_EQ(summary["fields"][1],
              (Json{{"name", "Data_doc"}, {"type", "date"}, {"default", nullptr}}));
    EXPECT_EQ(summary["document_types"][0]["ID_TIPODOC"], 130);
    ASSERT_EQ(summary["records"].size(), 2U);
    const Json& record = summary["records"][1];
    EXPECT_EQ(record["SYS_RECORD"], 3);
    EXPECT_EQ(record["Data_doc"], "16/06/2010");
    // Every digit of an amount, as text.
    EXPECT_EQ(record["Importo"], "98765432101.20");
    EXPECT_EQ(record["Scartato"], true);
    EXPECT_EQ(record["Anno"], nullptr);
    EXPECT_EQ(record["SYS_DESCR"], "Invio n. 2 10031215001234562");
    // Files beside the JSON, named relative to it.
    EXPECT_EQ(record["file"], "archivio-file/" + std::string(kSummaryCode) + "/3_ricevuta_3.pdf");
    EXPECT_EQ(ReadAll(exported.folder + "/" + record["file"].get<std::string>()),
              "%PDF-1.4 contenuto");
    EXPECT_EQ(summary["records"][0]["Importo"], "0.50");
    ASSERT_EQ(json["links"].size(), 2U);
    EXPECT_EQ(json["links"][1]["DB_PAR_RECORD"], 3);
}

TEST_P(ExchangeTest, ARoundTripThroughTheOtherBackEndKeepsRecordsLinksFilesUsersAndRights) {
    // A clerk with one right travels too (role names are the whole server's).
    static int counter = 0;
    const std::string clerk =
        "trasloco_" + std::to_string(getpid()) + "_" + std::to_string(++counter);
    std::string error;
    ASSERT_GE(admin::AddUser(*m_connection, clerk, "parola", false, error), 0) << error;
    ASSERT_TRUE(admin::Grant(*m_connection, clerk, kSingleCode, true, kRightInsertDocuments, error))
        << error;
    const Exported first = Export(*m_connection);
    const Json users = Json::parse(first.json)["users"];
    ASSERT_EQ(users.size(), 2U);
    EXPECT_EQ(users[1]["NOME"], clerk);
    EXPECT_EQ(users[1]["AMMINISTRATORE"], false);
    EXPECT_EQ(users[1]["permissions"],
              Json::parse(R"([{"SYS_SERIALE": ")" + std::string(kSingleCode) +
                          R"(", "CREA_REC": true, "DIRITTI": 256}])"));
    EXPECT_EQ(users[1]["HASH_PASSWORD"].is_string(), GetParam() == BackendKind::Sqlite);
    std::vector<std::string> targets;
    std::string why;
    if (!PostgresServer(why).empty()) {
        // Moved to the other back end, and back again.
        targets.push_back(GetParam() == BackendKind::Sqlite ? FreshPostgresDatabase()
                                                            : m_dir.File("spostato.sqlite"));
    }
    targets.push_back(NewLocator());
    Exported previous = first;
    for (const auto& target : targets) {
        ConnectOptions options;
        options.documentsRoot = m_dir.File("ripristino-" + std::to_string(target.size()));
        auto restored = DorvaneConnection::Open(target, options, error);
        ASSERT_TRUE(restored) << error;
        ASSERT_TRUE(ImportJson(*restored, previous.json, error, previous.folder)) << error;
        previous = Export(*restored);
        EXPECT_EQ(Comparable(previous), Comparable(first)) << target;
        // Moved to a server, the clerk is a role without a password until one is set, and
        // then signs in with the rights it had.
        if (target == targets.front() && GetParam() == BackendKind::Sqlite &&
            db::IsServerLocator(target)) {
            ConnectOptions existing;
            existing.createSchema = false;
            DorvaneEnv env;
            ASSERT_TRUE(env.Connect(target, existing)) << env.LastError();
            EXPECT_FALSE(env.Login(clerk, "parola"));
            ASSERT_TRUE(admin::SetPassword(*restored, clerk, "nuova", error)) << error;
            ASSERT_TRUE(env.Login(clerk, "nuova")) << env.LastError();
            EXPECT_TRUE(env.CurrentUser().HasPermission(kRightInsertDocuments, kSingleCode));
            EXPECT_FALSE(env.CurrentUser().HasPermission(kRightInsertDocuments, kSummaryCode));
            db::Result rows;
            EXPECT_TRUE(env.Connection()->Query("select count(*) from arc_singole000000001", rows))
                << env.Connection()->LastError();
            EXPECT_FALSE(
                env.Connection()->Query("select count(*) from arc_riepiloghi000001", rows));
        }
        // The restored archive goes on numbering after the imported records.
        DorvaneRecordset record(restored);
        ASSERT_TRUE(record.Open(kSummaryCode, Mode::Updatable));
        ASSERT_TRUE(record.AddNew());
        ASSERT_TRUE(record.Update()) << restored->LastError();
        EXPECT_EQ(record.Value("SYS_RECORD"), "4");
        ASSERT_TRUE(restored->Execute("delete from arc_riepiloghi000001 where SYS_RECORD=4"));
    }
}

TEST_P(ExchangeTest, ImportIntoExistingArchivesRenumbersAndRelinks) {
    const Exported exported = Export(*m_connection);
    std::string error;
    ASSERT_TRUE(ImportJson(*m_connection, exported.json, error, exported.folder)) << error;
    const Json after = Json::parse(Export(*m_connection).json);
    EXPECT_EQ(after["archives"][2]["records"].size(), 4U);
    ASSERT_EQ(after["links"].size(), 4U);
    EXPECT_EQ(after["links"][2]["DB_PAR_RECORD"], 4);
    EXPECT_EQ(after["links"][3]["DB_PAR_RECORD"], 5);
    EXPECT_EQ(after["links"][2]["DB_SON_RECORD"], 2);
}

TEST_P(ExchangeTest, AFailedImportLeavesNothingBehind) {
    const Exported exported = Export(*m_connection);
    WriteAll(m_dir.File("segreto.pdf"), "%PDF fuori");
    const std::string summaryFile =
        "archivio-file/" + std::string(kSummaryCode) + "/1_ricevuta.pdf";
    // Each change spoils one import; the message says what.
    const std::vector<std::tuple<std::string, std::function<void(Json&)>, std::string>> cases = {
        {"unknown field", [](Json& j) { j["archives"][2]["records"][1]["Inesistente"] = 1; },
         "Inesistente"},
        {"absolute path",
         [&](Json& j) { j["archives"][2]["records"][0]["file"] = m_dir.File("segreto.pdf"); },
         "non ammesso"},
        {"path that leaves the folder",
         [](Json& j) { j["archives"][2]["records"][0]["file"] = "../segreto.pdf"; }, "non ammesso"},
        {"path that leaves and comes back",
         [&](Json& j) {
             j["archives"][2]["records"][0]["file"] =
                 "archivio-file/../../" + fs::path(exported.folder).filename().string() + "/" +
                 summaryFile;
         },
         "non ammesso"},
        {"missing file",
         [](Json& j) { j["archives"][2]["records"][0]["file"] = "archivio-file/manca.pdf"; },
         "non trovato"},
        {"record number zero", [](Json& j) { j["archives"][2]["records"][0]["SYS_RECORD"] = 0; },
         "fuori intervallo"},
        {"record number past 32 bits",
         [](Json& j) { j["archives"][2]["records"][0]["SYS_RECORD"] = 4294967297LL; },
         "fuori intervallo"},
        {"link to no record", [](Json& j) { j["links"][0]["DB_PAR_RECORD"] = 2; }, "inesistente"},
        {"decimal that is not a number",
         [](Json& j) { j["archives"][2]["records"][0]["Importo"] = "1e999"; }, "Importo"},
    };
    for (const auto& [what, spoil, message] : cases) {
        Json json = Json::parse(exported.json);
        spoil(json);
        const std::string target = NewLocator();
        ConnectOptions options;
        options.documentsRoot = m_dir.File("fallito");
        std::string error;
        auto restored = DorvaneConnection::Open(target, options, error);
        ASSERT_TRUE(restored) << error;
        EXPECT_FALSE(ImportJson(*restored, json.dump(), error, exported.folder)) << what;
        EXPECT_NE(error.find(message), std::string::npos) << what << ": " << error;
        EXPECT_TRUE(restored->ArchiveCodes().empty()) << what;
        db::Result files;
        ASSERT_TRUE(restored->Query("select count(*) from DB_FILE", files));
        EXPECT_EQ(files.rows[0][0], db::Cell("0")) << what;
    }
    std::string error;
    auto restored = OpenEmpty(NewLocator());
    ASSERT_TRUE(restored);
    EXPECT_FALSE(ImportJson(*restored, "{ non json", error));
    EXPECT_FALSE(ImportJson(*restored, R"({"archives": [{"SYS_SERIALE": 5}]})", error));
    EXPECT_FALSE(ImportJson(*restored, R"({"archives": [{"SYS_SERIALE": "../x", "ARCHIVIO": "x",
                                            "TIPO_ARCH": 1}]})",
                            error));
    EXPECT_TRUE(restored->ArchiveCodes().empty());
}

TEST_P(ExchangeTest, TextThatIsNotUtf8IsRefusedNeverChanged) {
    ASSERT_TRUE(m_connection->Execute("update arc_riepiloghi000001 set \"ditta\"='Rossi \xff'"
                                      " where SYS_RECORD=1") ||
                GetParam() == BackendKind::Postgres); // the server refuses such text itself
    if (GetParam() == BackendKind::Postgres) {
        return;
    }
    std::string json;
    std::string error;
    EXPECT_FALSE(ExportJson(*m_connection, json, error));
    EXPECT_NE(error.find("UTF-8"), std::string::npos) << error;
}

INSTANTIATE_TEST_SUITE_P(Backends, ExchangeTest,
                         ::testing::Values(BackendKind::Sqlite, BackendKind::Postgres),
                         BackendName);

} // namespace
} // namespace quorvin::test
