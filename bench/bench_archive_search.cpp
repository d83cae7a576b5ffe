// Archive search: 100,000 records in the standard catalogue's single-receipt archive (plus
// their summaries), then searches as the window and the command line run them: a tax
// code as free text, a name word, a protocol filter, and the newest page of everything.
// Both back ends; the figure is the time of one search.
#include "archive/ArchiveAdmin.h"
#include "archive/ArchiveSearch.h"
#include "archive/DorvaneConnection.h"
#include "archive/DorvaneRecordset.h"
#include "archive/StandardCatalogueSpecs.h"
#include "tests/archive/ThrowawayPostgres.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <map>
#include <memory>

namespace {

using namespace quorvin;

constexpr int kRecords = 100000;
constexpr int kPerTransaction = 1000;
const char* const kSingle = "QUORVINSINGOLE00";

enum class Backend { Sqlite, Postgres };

const char* const kNames[] = {"ROSSI MARIO", "BIANCHI ANNA", "D'ANGELO ROSA", "VERDI LUIGI",
                              "CITTÀ SRL",   "NERI PAOLO",   "GALLO ANTONIO", "FERRARI SPA"};

// The taxpayer of record n: 10,000 of them, ten records each.
std::string TaxCode(int n) {
    char code[32]; // room for any int, as the compiler checks
    std::snprintf(code, sizeof code, "RSSMRA80A01H%04d", n % 10000);
    return code;
}

bool Fill(const std::shared_ptr<DorvaneConnection>& connection) {
    DorvaneRecordset record(connection);
    if (!record.Open(kSingle, DorvaneRecordset::Mode::Updatable) ||
        !record.SetDescription("{Ditta} {Cod_Fiscale} {Descrizione} {Protocollo_Attribuito}")) {
        return false;
    }
    for (int first = 0; first < kRecords; first += kPerTransaction) {
        bool ok = connection->Begin();
        for (int n = first; ok && n < first + kPerTransaction; ++n) {
            const std::string date = std::to_string(1 + n % 28) + "/" +
                                     std::to_string(1 + n / 28 % 12) + "/" +
                                     std::to_string(2005 + n % 10);
            ok =
                record.AddNew() && record.SetValue("Ditta", kNames[n % 8]) &&
                record.SetValue("Cod_Fiscale", TaxCode(n)) &&
                record.SetValue("Descrizione", "F24 - RICHIESTE DI PAGAMENTO TELEMATICO") &&
                record.SetValue("Protocollo_Attribuito", std::to_string(10061610424500000LL + n)) &&
                record.SetValue("Cod_Tipo_doc_F", 131L) && record.SetValue("Data_doc", date) &&
                record.SetValue("Anno", 2005 + n % 10) &&
                record.SetValue("Esito", n % 7 == 0 ? "SCARTATO" : "ACQUISITO") &&
                record.BuildDescription() && record.Update();
        }
        if (!ok || !connection->Commit()) {
            connection->Rollback();
            return false;
        }
    }
    return true;
}

struct Archive {
    std::shared_ptr<DorvaneConnection> connection;
    long user = -1;
};

// One filled archive per back end, made on first use.
Archive* Filled(Backend backend, std::string& error) {
    static std::map<Backend, Archive> archives;
    static std::unique_ptr<test::ThrowawayPostgres> server;
    static std::string folder = [] {
        char pattern[] = "/tmp/quorvin-bench-XXXXXX";
        return std::string(mkdtemp(pattern) != nullptr ? pattern : "/tmp");
    }();
    if (const auto found = archives.find(backend); found != archives.end()) {
        return &found->second;
    }
    std::string locator = folder + "/archivio.sqlite";
    if (backend == Backend::Postgres) {
        server = std::make_unique<test::ThrowawayPostgres>();
        if (!server->Start(error)) {
            return nullptr;
        }
        auto admin = db::OpenPostgres(server->Url() + "/postgres", error);
        if (!admin || !admin->Execute("create database ricerca")) {
            return nullptr;
        }
        locator = server->Url() + "/ricerca";
    }
    ConnectOptions options;
    options.documentsRoot = folder + "/documenti";
    Archive archive;
    archive.connection = DorvaneConnection::Open(locator, options, error);
    if (!archive.connection || !admin::MakeAdministrator(*archive.connection, "bench", "", error) ||
        !admin::AddCatalogue(*archive.connection, StandardDocTypeSpecs(),
                             StandardArchiveSpecs(folder + "/documenti"), error)) {
        return nullptr;
    }
    if (!Fill(archive.connection)) {
        error = archive.connection->LastError();
        return nullptr;
    }
    archive.connection->Execute(backend == Backend::Postgres ? "analyze" : "analyze");
    archive.user = admin::UserId(*archive.connection, "bench");
    return &archives.emplace(backend, std::move(archive)).first->second;
}

void BM_Search(benchmark::State& state, Backend backend, search::Query query) {
    std::string error;
    Archive* archive = Filled(backend, error);
    if (archive == nullptr) {
        state.SkipWithError(error.c_str());
        return;
    }
    search::Finder finder(archive->connection, archive->user);
    long found = 0;
    for (auto _ : state) {
        search::Page page;
        if (!finder.Search(query, page, error)) {
            state.SkipWithError(error.c_str());
            return;
        }
        found = page.total;
    }
    state.counters["trovati"] = static_cast<double>(found);
}

search::Query Text(const std::string& text) {
    search::Query query;
    query.text = text;
    return query;
}

search::Query Protocol(const std::string& protocol) {
    search::Query query;
    query.protocol = protocol;
    return query;
}

search::Query TaxCodeAndYear() {
    search::Query query;
    query.taxCode = "RSSMRA80A01H0042";
    query.year = 2007;
    return query;
}

#define QUORVIN_SEARCHES(backend, name)                                                            \
    BENCHMARK_CAPTURE(BM_Search, name##_codice_fiscale, backend, Text("rssmra80a01h0042"))         \
        ->Unit(benchmark::kMillisecond);                                                           \
    BENCHMARK_CAPTURE(BM_Search, name##_parola, backend, Text("d'angelo"))                         \
        ->Unit(benchmark::kMillisecond);                                                           \
    BENCHMARK_CAPTURE(BM_Search, name##_protocollo, backend, Protocol("10061610424512345"))        \
        ->Unit(benchmark::kMillisecond);                                                           \
    BENCHMARK_CAPTURE(BM_Search, name##_filtri, backend, TaxCodeAndYear())                         \
        ->Unit(benchmark::kMillisecond);                                                           \
    BENCHMARK_CAPTURE(BM_Search, name##_tutto, backend, search::Query())                           \
        ->Unit(benchmark::kMillisecond)

QUORVIN_SEARCHES(Backend::Sqlite, SQLite);
QUORVIN_SEARCHES(Backend::Postgres, PostgreSQL);

} // namespace

BENCHMARK_MAIN();
