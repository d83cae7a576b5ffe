// quorvin-bench-readpages FILE.pdf [--in-process]
// Reads every page of a PDF the way the engine does (guarded reader, runs of the whole
// page) and prints the page count and the seconds taken.
#include "engine/pdf/PageText.h"
#include "engine/pdf/PdfReader.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

using namespace quorvin::pdf;

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "Uso: quorvin-bench-readpages FILE.pdf [--in-process]\n");
        return 2;
    }
    const bool inProcess = argc > 2 && std::strcmp(argv[2], "--in-process") == 0;
    const auto start = std::chrono::steady_clock::now();
    const auto own = inProcess ? MakeInProcessReader() : nullptr;
    const auto document = (inProcess ? *own : DefaultReader()).Read(argv[1]);
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
