// Archive store: 10,000 records of 20 fields with their links, stored the way the engine
// stores receipt files (one transaction per file of 1 summary and 9 single records),
// on the embedded SQLite file and on a PostgreSQL server of its own (fsync on, both).
#include "archive/ArchiveAdmin.h"
#include "archive/DorvaneArchiveStore.h"
#include "archive/DorvaneConnection.h"
#include "archive/DorvaneRecordset.h"
#include "tests/archive/ThrowawayPostgres.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <memory>

namespace {

using namespace quorvin;

constexpr int kRecords = 10000;
constexpr int kRecordsPerFile = 10; // one summary record and its single receipts

enum class Backend { Sqlite, Postgres };

const std::vector<FieldSpec>& Fields() {
    static const std::vector<FieldSpec> fields = [] {
        std::vector<FieldSpec> all;
        const std::pair<FieldType, int> groups[] = {{FieldType::Text, 10},
                                                    {FieldType::Date, 4},
                                                    {FieldType::Integer, 3},
                                                    {FieldType::Decimal, 2},
                                                    {FieldType::Boolean, 1}};
        for (const auto& [type, count] : groups) {
            for (int i = 0; i < count; ++i) {
                all.push_back(
                    {std::string(FieldTypeName(type)) + "_" + std::to_string(i), type, ""});
            }
        }
        return all;
    }();
    return fields;
}

std::string ValueFor(const FieldSpec& field, int record) {
    switch (field.type) {
    case FieldType::Date:
        return std::to_string(1 + record % 28) + "/" + std::to_string(1 + record % 12) + "/2010";
    case FieldType::Integer:
        return std::to_string(record);
    case FieldType::Decimal:
        return std::to_string(record % 5000) + ",50";
    case FieldType::Boolean:
        return record % 2 == 0 ? "1" : "0";
    case FieldType::Text:
        break;
    }
    return "RSSMRA80A01H501U protocollo " + std::to_string(record) + " l'esito";
}

bool FillAndUpdate(DorvaneRecordset& record, int number) {
    if (!record.AddNew()) {
        return false;
    }
    for (const auto& field : Fields()) {
        if (!record.SetValue(field.name, ValueFor(field, number))) {
            return false;
        }
    }
    return record.BuildDescription() && record.Update();
}

bool Link(DorvaneRecordset& links, const std::string& parent, const std::string& child) {
    return links.AddNew() && links.SetValue("DB_PAR_SERIALE", "RIEPILOGHI") &&
           links.SetValue("DB_PAR_RECORD", parent) && links.SetValue("DB_SON_SERIALE", "SINGOLE") &&
           links.SetValue("DB_SON_RECORD", child) && links.Update();
}

// Stores every record; false with the reason in the connection on the first failure.
bool StoreAll(const std::shared_ptr<DorvaneConnection>& connection) {
    DorvaneArchiveStore store(connection);
    DorvaneRecordset summary(connection);
    DorvaneRecordset single(connection);
    DorvaneRecordset links(connection);
    if (!summary.Open("RIEPILOGHI", DorvaneRecordset::Mode::Updatable) ||
        !single.Open("SINGOLE", DorvaneRecordset::Mode::Updatable) || !store.OpenLinks(links) ||
        !summary.SetDescription(store.DescriptionTemplate("RIEPILOGHI")) ||
        !single.SetDescription(store.DescriptionTemplate("SINGOLE"))) {
        return false;
    }
    for (int first = 0; first < kRecords; first += kRecordsPerFile) {
        bool ok = connection->Begin() && FillAndUpdate(summary, first);
        const std::string parent = ok ? summary.Value("SYS_RECORD") : "";
        for (int i = 1; ok && i < kRecordsPerFile; ++i) {
            ok =
                FillAndUpdate(single, first + i) && Link(links, parent, single.Value("SYS_RECORD"));
        }
        if (!ok || !connection->Commit()) {
            connection->Rollback();
            return false;
        }
    }
    return true;
}

std::shared_ptr<DorvaneConnection> FreshArchive(Backend backend, const std::string& folder,
                                                std::string& error) {
    static std::unique_ptr<test::ThrowawayPostgres> server;
    static int databases = 0;
    std::string locator = folder + "/archivio.sqlite";
    if (backend == Backend::Postgres) {
        if (!server) {
            server = std::make_unique<test::ThrowawayPostgres>();
            if (!server->Start(error, true)) {
                return nullptr;
            }
        }
        const std::string name = "bench" + std::to_string(databases++);
        auto admin = db::OpenPostgres(server->Url() + "/postgres", error);
        if (!admin || !admin->Execute("create database " + name)) {
            error = admin ? admin->LastError() : error;
            return nullptr;
        }
        locator = server->Url() + "/" + name;
    }
    ConnectOptions options;
    options.documentsRoot = folder + "/documenti";
    auto connection = DorvaneConnection::Open(locator, options, error);
    if (!connection) {
        return nullptr;
    }
    const std::vector<ArchiveSpec> archives = {
        {"RIEPILOGHI", "Riepiloghi", 1, 0, "{text_0} {date_0}", "", Fields(), {130}, ""},
        {"SINGOLE", "Singole", 2, 0, "{text_1} {integer_0}", "", Fields(), {131}, ""},
    };
    if (!admin::AddCatalogue(*connection, {{130, "Riepilogo"}, {131, "Singola"}}, archives,
                             error)) {
        return nullptr;
    }
    return connection;
}

void BM_ArchiveInsert(benchmark::State& state, Backend backend) {
    char pattern[] = "/tmp/quorvin-bench-XXXXXX";
    const std::string folder = mkdtemp(pattern) != nullptr ? pattern : "/tmp";
    for (auto _ : state) {
        state.PauseTiming();
        std::string error;
        auto connection = FreshArchive(backend, folder, error);
        if (!connection) {
            state.SkipWithError(error.c_str());
            break;
        }
        state.ResumeTiming();
        if (!StoreAll(connection)) {
            state.SkipWithError(connection->LastError().c_str());
            break;
        }
    }
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
    state.SetItemsProcessed(state.iterations() * kRecords);
    state.counters["records/s"] = benchmark::Counter(
        static_cast<double>(state.iterations() * kRecords), benchmark::Counter::kIsRate);
}

BENCHMARK_CAPTURE(BM_ArchiveInsert, SQLite, Backend::Sqlite)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_ArchiveInsert, PostgreSQL, Backend::Postgres)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace

BENCHMARK_MAIN();
