// Random text as a JSON archive export, imported into a fresh in-memory archive. A
// refusal is fine; it must leave the archive exactly as it was, and an accepted import
// must export again.
#include "archive/ArchiveExchange.h"
#include "archive/DorvaneConnection.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace quorvin;

namespace {

// New archives make their folders under here; emptied after every input.
const fs::path& DocumentsRoot() {
    static const fs::path root =
        fs::temp_directory_path() / ("quorvin-fuzz-import-" + std::to_string(getpid()));
    return root;
}

struct Cleanup {
    ~Cleanup() {
        std::error_code ec;
        fs::remove_all(DocumentsRoot(), ec);
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Cleanup atExit;
    const Cleanup afterInput;
    ConnectOptions options;
    options.documentsRoot = DocumentsRoot().string();
    std::string error;
    const auto connection = DorvaneConnection::Open(":memory:", options, error);
    if (!connection) {
        std::abort();
    }
    std::string before;
    if (!ExportJson(*connection, before, error)) {
        std::abort();
    }
    const std::string json(reinterpret_cast<const char*>(data), size);
    const bool imported = ImportJson(*connection, json, error);
    std::string after;
    if (!ExportJson(*connection, after, error)) {
        __builtin_trap(); // the archive no longer exports
    }
    if (!imported && after != before) {
        __builtin_trap(); // a refused import left part of itself behind
    }
    if (!imported && error.empty()) {
        __builtin_trap(); // refused without a reason
    }
    return 0;
}
