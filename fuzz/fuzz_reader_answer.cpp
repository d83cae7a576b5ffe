// Random bytes as the reader child's answer: the parent decodes it within its deadline
// and bounds, and whatever document comes out goes through the page-text layer the
// engine uses (any doubles, NaN and infinities included, as boxes).
#include "engine/pdf/PageText.h"
#include "engine/pdf/ReaderProtocol.h"

#include <sys/mman.h>
#include <unistd.h>

#include <chrono>
#include <cstddef>
#include <cstdint>

using namespace quorvin::pdf;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // A memory file stands for the pipe: reads and polls behave alike, with no size limit.
    static const int fd = memfd_create("quorvin-fuzz-answer", 0);
    if (fd < 0 || ftruncate(fd, 0) != 0 || lseek(fd, 0, SEEK_SET) != 0 ||
        !wire::WriteAll(fd, reinterpret_cast<const char*>(data), size) ||
        lseek(fd, 0, SEEK_SET) != 0) {
        return 0;
    }
    wire::FdSource in(fd);
    in.SetDeadline(wire::FdSource::Clock::now() + std::chrono::seconds(2));
    std::uint8_t status = 0;
    if (!in.GetU8(status) || status != wire::kOpened) {
        return 0;
    }
    Document document;
    if (!in.GetDocument(document)) {
        return 0;
    }
    if (document.pages.size() > size) {
        __builtin_trap(); // every page costs at least its word count on the wire
    }
    for (const Page& page : document.pages) {
        JoinRuns(PageRuns(page, kWholePage), "acquisito|scartato");
        JoinRuns(PageRuns(page, Rect{650, 140, 270, 540}), "");
    }
    return 0;
}
