// quorvin-bench-readpages FILE.pdf
// quorvin-bench-readpages-inprocess FILE.pdf
// Reads every page of a PDF the way the engine does (guarded reader, runs of the whole
// page) and prints the page count and the seconds taken. The first does not load poppler
// itself, as the programs do not: only its reader child does. The second reads in its own
// process, for comparison.
#include "engine/pdf/PageText.h"
#include "engine/pdf/PdfReader.h"

#include <chrono>
#include <cstdio>
#include <string>

using namespace quorvin::pdf;

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "Uso: %s FILE.pdf\n", argv[0]);
        return 2;
    }
    const auto start = std::chrono::steady_clock::now();
#ifdef QUORVIN_BENCH_IN_PROCESS
    const auto document = MakeInProcessReader()->Read(argv[1]);
#else
    const auto document = DefaultReader().Read(argv[1]);
#endif
    if (!document) {
        std::fprintf(stderr, "Impossibile aprire il file\n");
        return 1;
    }
    const auto read = std::chrono::steady_clock::now();
    std::size_t runs = 0;
    for (const Page& page : document->pages) {
        runs += PageRuns(page, kWholePage).size();
    }
    const auto end = std::chrono::steady_clock::now();
    const auto seconds = [](auto d) { return std::chrono::duration<double>(d).count(); };
    std::printf("pagine %zu parole %zu secondi %.4f (lettura %.4f, righe %.4f)\n",
                document->pages.size(), runs, seconds(end - start), seconds(read - start),
                seconds(end - read));
    return 0;
}
