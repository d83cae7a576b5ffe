#pragma once
// Reading every page of a PDF into words with boxes. Poppler runs behind a guard: a
// reader child process with a time and memory limit, so one bad file never stops a run.
#include "engine/pdf/PageText.h"

#include <memory>
#include <optional>
#include <string>

namespace quorvin::pdf {

// A damaged file is given up at the first limit it reaches: the time it takes, the
// memory it needs, or the errors poppler reports about it (a file that makes poppler
// loop on errors would otherwise hold the run for the whole time limit).
struct ReaderLimits {
    int secondsPerFile = 10;
    long long addressSpaceBytes = 1LL << 30;
    long errorBudget = 10000; // 0: no limit
};

class PageReader {
public:
    virtual ~PageReader() = default;
    // Every page of the file, or nullopt when it cannot be opened (damaged, encrypted,
    // not a PDF, empty, over a limit). Never throws.
    virtual std::optional<Document> Read(const std::string& path) = 0;
    // Whether files can be read at all (the reader program starts and answers); false
    // with the program tried in tried.
    virtual bool Ready(std::string& tried) {
        tried.clear();
        return true;
    }
    // Starts reading path ahead of its Read, which then waits only for what is left;
    // a Read of another file drops it. (A reader that cannot read ahead ignores it.)
    virtual void Prefetch(const std::string&) {}
    // The limits of the files read from now on (a reader that has none ignores them).
    virtual void Limits(const ReaderLimits&) {}
    // Gets the reader going before its first use, so that its start-up overlaps the
    // caller's own (a reader with nothing to start ignores it).
    virtual void WarmUp() {}
};

// Poppler in this process: for the reader child itself and for fuzzing.
std::unique_ptr<PageReader> MakeInProcessReader();
// Poppler in a guarded child process (kept alive across files, restarted when it dies).
std::unique_ptr<PageReader> MakeGuardedReader(const ReaderLimits& limits = {});
// The process-wide reader the engine uses (guarded).
PageReader& DefaultReader();

} // namespace quorvin::pdf
