// JSON export and import: a backup restored, or an archive moved to the other back end,
// exports the same content.
#include "archive/ArchiveTestSupport.h"

#include "archive/ArchiveExchange.h"
#include "archive/DorvaneArchiveStore.h"
#include "archive/DorvaneRecordset.h"

#include <nlohmann/json.hpp>

#include <filesystem>

namespace fs = std::filesystem;

namespace quorvin::test {
namespace {

using Json = nlohmann::json;
using Mode = DorvaneRecordset::Mode;

// Stored files live in each installation's own folders: compare name and content.
Json Comparable(const std::string& text) {
    Json json = Json::parse(text);
    for (auto& archive : json["archives"]) {
        for (auto& record : archive["records"]) {
            if (record["file"].is_string()) {
                const std::string path = record["file"];
                record["file"] = fs::path(path).filename().string() + ":" + ReadAll(path);
            }
        }
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
            ASSERT_TRUE(record.SetValue("Importo", i == 1 ? "1.250,10" : "0,5"));
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

    std::string Export(DorvaneConnection& connection) {
        std::string json;
        std::string error;
        EXPECT_TRUE(ExportJson(connection, json, error)) << error;
        return json;
    }
};

TEST_P(ExchangeTest, ExportGivesEveryArchiveRecordAndLink) {
    const Json json = Json::parse(Export(*m_connection));
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
    EXPECT_EQ(record["Importo"], 0.5);
    EXPECT_EQ(record["Scartato"], true);
    EXPECT_EQ(record["Anno"], nullptr);
    EXPECT_EQ(record["SYS_DESCR"], "Invio n. 2 10031215001234562");
    EXPECT_TRUE(fs::exists(record["file"].get<std::string>()));
    EXPECT_EQ(summary["records"][0]["Importo"], 0.5);
    ASSERT_EQ(json["links"].size(), 2U);
    EXPECT_EQ(json["links"][1]["DB_PAR_RECORD"], 3);
}

TEST_P(ExchangeTest, ImportThenExportGivesTheSameContentOnBothBackEnds) {
    const std::string first = Export(*m_connection);
    std::vector<std::string> targets = {NewLocator()};
    std::string why;
    if (!PostgresServer(why).empty()) {
        // Moving the archive to the other back end.
        targets.push_back(GetParam() == BackendKind::Sqlite ? FreshPostgresDatabase()
                                                            : m_dir.File("spostato.sqlite"));
    }
    for (const auto& target : targets) {
        ConnectOptions options;
        options.documentsRoot = m_dir.File("ripristino-" + std::to_string(target.size()));
        std::string error;
        auto restored = DorvaneConnection::Open(target, options, error);
        ASSERT_TRUE(restored) << error;
        ASSERT_TRUE(ImportJson(*restored, first, error)) << error;
        EXPECT_EQ(Comparable(Export(*restored)), Comparable(first)) << target;
        // The restored archive goes on numbering after the imported records.
        DorvaneRecordset record(restored);
        ASSERT_TRUE(record.Open(kSummaryCode, Mode::Updatable));
        ASSERT_TRUE(record.AddNew());
        ASSERT_TRUE(record.Update()) << restored->LastError();
        EXPECT_EQ(record.Value("SYS_RECORD"), "4");
    }
}

TEST_P(ExchangeTest, ImportIntoExistingArchivesRenumbersAndRelinks) {
    const std::string json = Export(*m_connection);
    std::string error;
    ASSERT_TRUE(ImportJson(*m_connection, json, error)) << error;
    const Json after = Json::parse(Export(*m_connection));
    EXPECT_EQ(after["archives"][2]["records"].size(), 4U);
    ASSERT_EQ(after["links"].size(), 4U);
    EXPECT_EQ(after["links"][2]["DB_PAR_RECORD"], 4);
    EXPECT_EQ(after["links"][3]["DB_PAR_RECORD"], 5);
    EXPECT_EQ(after["links"][2]["DB_SON_RECORD"], 2);
}

TEST_P(ExchangeTest, AFailedImportLeavesNothingBehind) {
    Json json = Json::parse(Export(*m_connection));
    json["archives"][2]["SYS_SERIALE"] = "NUOVOARCHIVIO";
    json["archives"][2]["records"][1]["Inesistente"] = 1;
    const std::string target = NewLocator();
    ConnectOptions options;
    options.documentsRoot = m_dir.File("fallito");
    std::string error;
    auto restored = DorvaneConnection::Open(target, options, error);
    ASSERT_TRUE(restored) << error;
    EXPECT_FALSE(ImportJson(*restored, json.dump(), error));
    EXPECT_NE(error.find("Inesistente"), std::string::npos) << error;
    EXPECT_EQ(restored->Archive("NUOVOARCHIVIO"), nullptr);
    EXPECT_TRUE(restored->ArchiveCodes().empty());
    std::error_code ec;
    for (const auto& entry : fs::recursive_directory_iterator(m_dir.File("fallito"), ec)) {
        EXPECT_FALSE(entry.is_regular_file()) << entry.path();
    }
    EXPECT_FALSE(ImportJson(*restored, "{ non json", error));
    EXPECT_FALSE(ImportJson(*restored, R"({"archives": [{"SYS_SERIALE": 5}]})", error));
    EXPECT_FALSE(ImportJson(*restored, R"({"archives": [{"SYS_SERIALE": "../x", "ARCHIVIO": "x",
                                            "TIPO_ARCH": 1}]})",
                            error));
    EXPECT_TRUE(restored->ArchiveCodes().empty());
}

INSTANTIATE_TEST_SUITE_P(Backends, ExchangeTest,
                         ::testing::Values(BackendKind::Sqlite, BackendKind::Postgres),
                         BackendName);

} // namespace
} // namespace quorvin::test
