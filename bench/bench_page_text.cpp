// Where the time of page reading goes: poppler in process, the guarded child, run
// building and the word rule, and cutting one-page pieces.
#include "engine/pdf/PageText.h"
#include "engine/pdf/PdfReader.h"
#include "engine/pdf/PdfWriter.h"
#include "tools/fixture/FixtureWriter.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <unistd.h>

using namespace quorvin::pdf;

namespace {

constexpr int kPages = 20;

std::vector<std::string> ReceiptPage(int page) {
    std::vector<std::string> lines = {
        "RICEVUTA DI PRESENTAZIONE DELLE DELEGHE F24          Pagina " + std::to_string(page),
        "Protocollo telematico: 10031215123456789 - 000001   Data ricezione: 12/03/2010", "",
        "  N.  Codice fiscale     Denominazione                 Importo     Esito"};
    for (int r = 1; r <= 48; ++r) {
        char line[128];
        std::snprintf(line, sizeof line,
                      "%5d  RSSMRA80A01H501U   CONTRIBUENTE %-12d   %9d,%02d   %s", r,
                      page * 100 + r, r * 37, r % 100, r % 20 ? "acquisito" : "scartato");
        lines.emplace_back(line);
    }
    return lines;
}

// A receipt written once per process into the temporary folder, removed at exit.
struct ReceiptFile {
    std::string path;
    ~ReceiptFile() { std::remove(path.c_str()); }
};

const std::string& ReceiptPdf() {
    static const ReceiptFile file{[] {
        const std::string path = (std::filesystem::temp_directory_path() /
                                  ("quorvin-bench-" + std::to_string(getpid()) + ".pdf"))
                                     .string();
        std::vector<std::vector<std::string>> pages;
        for (int p = 1; p <= kPages; ++p) {
            pages.push_back(ReceiptPage(p));
        }
        std::string error;
        quorvin::fixture::WritePdf(pages, path, &error);
        return path;
    }()};
    return file.path;
}

const Page& FirstPage() {
    static const Page page = MakeInProcessReader()->Read(ReceiptPdf())->pages.at(0);
    return page;
}

void PagesPerSecond(benchmark::State& state, int pagesPerIteration) {
    state.counters["pagine/s"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * pagesPerIteration, benchmark::Counter::kIsRate);
}

void BM_ReadInProcess(benchmark::State& state) {
    const auto reader = MakeInProcessReader();
    for (auto _ : state) {
        benchmark::DoNotOptimize(reader->Read(ReceiptPdf()));
    }
    PagesPerSecond(state, kPages);
}
BENCHMARK(BM_ReadInProcess)->Unit(benchmark::kMillisecond);

void BM_ReadGuarded(benchmark::State& state) {
    const auto reader = MakeGuardedReader();
    for (auto _ : state) {
        benchmark::DoNotOptimize(reader->Read(ReceiptPdf()));
    }
    PagesPerSecond(state, kPages);
}
BENCHMARK(BM_ReadGuarded)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PageRuns(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(PageRuns(FirstPage(), kWholePage));
    }
    PagesPerSecond(state, 1);
}
BENCHMARK(BM_PageRuns);

void BM_JoinRunsWithWords(benchmark::State& state) {
    const auto runs = PageRuns(FirstPage(), kWholePage);
    for (auto _ : state) {
        benchmark::DoNotOptimize(JoinRuns(runs, "acquisito|scartato"));
    }
    PagesPerSecond(state, 1);
}
BENCHMARK(BM_JoinRunsWithWords);

void BM_CutOnePagePieces(benchmark::State& state) {
    PageCutter cutter(ReceiptPdf());
    const std::string piece = ReceiptPdf() + ".pezzo.pdf";
    int page = 0;
    for (auto _ : state) {
        std::string error;
        cutter.Write(page, page, piece, &error);
        page = (page + 1) % kPages;
    }
    std::remove(piece.c_str());
    PagesPerSecond(state, 1);
}
BENCHMARK(BM_CutOnePagePieces);

} // namespace

BENCHMARK_MAIN();
