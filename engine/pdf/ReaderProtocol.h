#pragma once
// The pipe protocol between the guarded reader and its child (same machine, same build,
// so numbers travel in native byte order).
//
//   request:  u32 length, path bytes
//   answer:   u8 status; when opened: u32 page count, then per page
//             u32 word count, per word u32 length, text bytes, 4 doubles (the box)
#include "engine/pdf/PageText.h"

#include <chrono>
#include <cstdint>
#include <string>

namespace quorvin::pdf::wire {

inline constexpr std::uint8_t kOpened = 0;
inline constexpr std::uint8_t kNotOpened = 1;

// Sanity bounds: a broken stream must not make the parent allocate gigabytes.
inline constexpr std::uint32_t kMaxPathBytes = 1U << 14;
inline constexpr std::uint32_t kMaxPages = 1U << 20;
inline constexpr std::uint32_t kMaxWordsPerPage = 1U << 22;
inline constexpr std::uint32_t kMaxWordBytes = 1U << 16;
// Over a whole document: what a child may make the parent hold, whatever the counts say.
inline constexpr std::uint64_t kMaxDocumentWords = 1U << 21;
inline constexpr std::uint64_t kMaxDocumentBytes = 1U << 27;

void PutU8(std::string& out, std::uint8_t value);
void PutU32(std::string& out, std::uint32_t value);
void PutPage(std::string& out, const Page& page);

// Buffered reading from a file descriptor, optionally up to a deadline. Every failure
// (end of stream, error, deadline passed) makes Read return false.
class FdSource {
public:
    using Clock = std::chrono::steady_clock;
    explicit FdSource(int fd) : m_fd(fd) {}
    void SetDeadline(Clock::time_point deadline) {
        m_deadline = deadline;
        m_hasDeadline = true;
    }
    bool TimedOut() const { return m_timedOut; }
    bool Read(void* dst, std::size_t size);

    bool GetU8(std::uint8_t& value) { return Read(&value, sizeof value); }
    bool GetU32(std::uint32_t& value) { return Read(&value, sizeof value); }
    // One page; words and text bytes count against the document's bounds.
    bool GetPage(Page& page);
    // The page count, then every page. Storage grows with what actually arrives, so a
    // huge count followed by nothing costs nothing.
    bool GetDocument(Document& document);

private:
    bool Fill();

    int m_fd;
    bool m_hasDeadline = false;
    bool m_timedOut = false;
    Clock::time_point m_deadline{};
    char m_buffer[1 << 16];
    std::size_t m_begin = 0;
    std::size_t m_end = 0;
    std::uint64_t m_words = 0;
    std::uint64_t m_textBytes = 0;
};

// Writes everything, retrying after signals; false when the other end is gone.
bool WriteAll(int fd, const char* data, std::size_t size);
inline bool WriteAll(int fd, const std::string& data) {
    return WriteAll(fd, data.data(), data.size());
}

} // namespace quorvin::pdf::wire
