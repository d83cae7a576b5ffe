// Random bytes as a PDF file: the in-process reader, then the runs of every page for the
// whole page and for the period box.
#include "engine/pdf/PageText.h"
#include "engine/pdf/PdfReader.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>

using namespace quorvin::pdf;

namespace {
// The file the reader is given, removed when the fuzzer exits.
struct InputFile {
    std::string path;
    ~InputFile() { std::remove(path.c_str()); }
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const InputFile input{"/tmp/quorvin-fuzz-pdf-" + std::to_string(getpid()) + ".pdf"};
    const std::string& path = input.path;
    static const auto reader = MakeInProcessReader();
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        return 0;
    }
    std::fwrite(data, 1, size, file);
    std::fclose(file);

    const auto document = reader->Read(path);
    if (document) {
        for (const Page& page : document->pages) {
            JoinRuns(PageRuns(page, kWholePage), "acquisito|scartato");
            JoinRuns(PageRuns(page, Rect{650, 140, 270, 540}), "");
        }
    }
    return 0;
}
