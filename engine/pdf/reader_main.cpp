// quorvin-pdfreader: the child behind the guarded page reader. Reads requests (a path)
// on stdin and answers each with the words of every page on stdout, until stdin ends.
// It runs with an address-space limit so that a hostile file hurts only this process.
#include "engine/pdf/PopplerFile.h"
#include "engine/pdf/ReaderProtocol.h"

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__)
#define QUORVIN_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUORVIN_ASAN 1
#endif
#endif

namespace {

using namespace quorvin::pdf;

void LimitAddressSpace(long long bytes) {
#ifdef QUORVIN_ASAN
    // AddressSanitizer reserves terabytes of address space up front.
    (void)bytes;
#else
    if (bytes > 0) {
        rlimit limit{static_cast<rlim_t>(bytes), static_cast<rlim_t>(bytes)};
        setrlimit(RLIMIT_AS, &limit);
    }
#endif
}

int g_out = -1;
std::atomic<bool> g_answerStarted{false};

// A file that makes poppler report error after error is given up at once instead of
// holding the run until the time limit: not opened when nothing of it went out yet, a
// broken answer otherwise. Either way this child ends and the parent starts another.
void OverErrorBudget() {
    if (!g_answerStarted) {
        std::string buffer;
        wire::PutU8(buffer, wire::kNotOpened);
        wire::WriteAll(g_out, buffer);
    }
    _exit(4);
}

bool Send(int out, const std::string& buffer) {
    g_answerStarted = true;
    return wire::WriteAll(out, buffer);
}

// Answers one file on out; false when the parent is gone.
bool Answer(int out, const std::string& path) {
    std::string buffer;
    g_answerStarted = false;
    const auto file = PopplerFile::Open(path);
    if (!file) {
        wire::PutU8(buffer, wire::kNotOpened);
        return Send(out, buffer);
    }
    const int pages = file->PageCount();
    wire::PutU8(buffer, wire::kOpened);
    wire::PutU32(buffer, static_cast<std::uint32_t>(pages));
    // Pages go out as they are read, so the parent decodes while we work.
    constexpr std::size_t kFlushBytes = 1 << 16;
    const bool whole = file->ReadInOrder([&](Page&& page) {
        wire::PutPage(buffer, page);
        if (buffer.size() < kFlushBytes) {
            return true;
        }
        const bool sent = Send(out, buffer);
        buffer.clear();
        return sent;
    });
    return whole && Send(out, buffer);
}

} // namespace

int main(int argc, char** argv) {
    // Never outlive the program that asked.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    long long limit = 0;
    long errors = 0;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--limite-memoria") == 0) {
            limit = std::atoll(argv[i + 1]);
        } else if (std::strcmp(argv[i], "--limite-errori") == 0) {
            errors = std::atol(argv[i + 1]);
        }
    }
    LimitAddressSpace(limit);

    // The answers get a descriptor of their own: anything a library prints on stdout
    // must not end up inside the stream.
    const int out = fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
    const int devNull = open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (out < 0 || devNull < 0 || dup2(devNull, STDOUT_FILENO) < 0) {
        return 2;
    }

    g_out = out;
    PopplerFile::ErrorBudget(errors, OverErrorBudget);

    wire::FdSource in(STDIN_FILENO);
    for (;;) {
        std::uint32_t length = 0;
        if (!in.GetU32(length) || length > wire::kMaxPathBytes) {
            return 0;
        }
        std::string path(length, '\0');
        if (!in.Read(path.data(), length)) {
            return 0;
        }
        try {
            if (!Answer(out, path)) {
                return 0;
            }
        } catch (...) {
            // Out of memory under the limit: the parent sees the stream end.
            return 3;
        }
    }
}
