#include "engine/pdf/ReaderProtocol.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <unistd.h>

namespace quorvin::pdf::wire {

void PutU8(std::string& out, std::uint8_t value) {
    out.push_back(static_cast<char>(value));
}

void PutU32(std::string& out, std::uint32_t value) {
    out.append(reinterpret_cast<const char*>(&value), sizeof value);
}

namespace {
void PutDouble(std::string& out, double value) {
    out.append(reinterpret_cast<const char*>(&value), sizeof value);
}
} // namespace

void PutPage(std::string& out, const Page& page) {
    // A "word" too long to be one is dropped rather than break the stream.
    const auto fits = [](const Word& w) { return w.text.size() <= kMaxWordBytes; };
    PutU32(out,
           static_cast<std::uint32_t>(std::count_if(page.words.begin(), page.words.end(), fits)));
    for (const Word& w : page.words) {
        if (!fits(w)) {
            continue;
        }
        PutU32(out, static_cast<std::uint32_t>(w.text.size()));
        out += w.text;
        PutDouble(out, w.xMin);
        PutDouble(out, w.yMin);
        PutDouble(out, w.xMax);
        PutDouble(out, w.yMax);
    }
}

bool FdSource::Fill() {
    for (;;) {
        int timeoutMs = -1;
        if (m_hasDeadline) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(m_deadline - Clock::now());
            if (left.count() <= 0) {
                m_timedOut = true;
                return false;
            }
            timeoutMs = static_cast<int>(std::min<long long>(left.count() + 1, 1 << 30));
        }
        pollfd pfd{m_fd, POLLIN, 0};
        const int ready = poll(&pfd, 1, timeoutMs);
        if (ready < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        if (ready == 0) {
            continue; // the deadline check above decides
        }
        const ssize_t got = ::read(m_fd, m_buffer, sizeof m_buffer);
        if (got < 0) {
            if (errno == EINTR || errno == EAGAIN) {
                continue;
            }
            return false;
        }
        if (got == 0) {
            return false;
        }
        m_begin = 0;
        m_end = static_cast<std::size_t>(got);
        return true;
    }
}

bool FdSource::Read(void* dst, std::size_t size) {
    char* out = static_cast<char*>(dst);
    while (size > 0) {
        if (m_begin == m_end && !Fill()) {
            return false;
        }
        const std::size_t n = std::min(size, m_end - m_begin);
        std::memcpy(out, m_buffer + m_begin, n);
        m_begin += n;
        out += n;
        size -= n;
    }
    return true;
}

bool FdSource::GetPage(Page& page) {
    std::uint32_t count = 0;
    if (!GetU32(count) || count > kMaxWordsPerPage) {
        return false;
    }
    page.words.clear();
    page.words.reserve(std::min<std::uint32_t>(count, 1U << 12));
    for (std::uint32_t k = 0; k < count; ++k) {
        std::uint32_t length = 0;
        if (!GetU32(length) || length > kMaxWordBytes || ++m_words > kMaxDocumentWords ||
            (m_textBytes += length) > kMaxDocumentBytes) {
            return false;
        }
        Word w;
        w.text.resize(length);
        double box[4];
        if (!Read(w.text.data(), length) || !Read(box, sizeof box)) {
            return false;
        }
        w.xMin = box[0];
        w.yMin = box[1];
        w.xMax = box[2];
        w.yMax = box[3];
        page.words.push_back(std::move(w));
    }
    return true;
}

bool FdSource::GetDocument(Document& document) {
    std::uint32_t pages = 0;
    if (!GetU32(pages) || pages > kMaxPages) {
        return false;
    }
    document.pages.clear();
    document.pages.reserve(std::min<std::uint32_t>(pages, 1U << 12));
    for (std::uint32_t k = 0; k < pages; ++k) {
        Page page;
        if (!GetPage(page)) {
            return false;
        }
        document.pages.push_back(std::move(page));
    }
    return true;
}

bool WriteAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t put = ::write(fd, data, size);
        if (put < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data += put;
        size -= static_cast<std::size_t>(put);
    }
    return true;
}

} // namespace quorvin::pdf::wire
