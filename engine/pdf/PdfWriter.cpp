#include "engine/pdf/PdfWriter.h"

#include <qpdf/Buffer.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <thread>
#include <unistd.h>
#include <vector>

namespace quorvin::pdf {

namespace fs = std::filesystem;

struct PageCutter::Impl {
    std::string sourcePath;
    // The source's bytes: qpdf reads objects from memory, not with a seek and a read on
    // the file for each. Declared before source, which reads them until it goes.
    std::string bytes;
    QPDF source; // stays alive: the pieces copy their objects from it while writing
    std::vector<QPDFPageObjectHelper> pages;
    bool open = false;
};

namespace {

void SetError(std::string* error, const std::string& text) {
    if (error) {
        *error = text;
    }
}

bool SamePath(const std::string& a, const std::string& b) {
    std::error_code ec;
    if (fs::equivalent(a, b, ec)) {
        return true;
    }
    return fs::weakly_canonical(a, ec) == fs::weakly_canonical(b, ec) && !ec;
}

// A fresh, exclusive file beside destination: the piece appears under its real name only
// once it is complete.
FILE* CreateTemporary(const fs::path& destination, std::string& tmpPath) {
    static std::atomic<unsigned> counter{0};
    const fs::path folder = destination.has_parent_path() ? destination.parent_path() : ".";
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = ".";
        name += destination.filename().string();
        name += '.';
        name += std::to_string(getpid());
        name += '.';
        name += std::to_string(counter.fetch_add(1));
        name += ".tmp";
        const fs::path candidate = folder / name;
        const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            FILE* file = fdopen(fd, "wb");
            if (!file) {
                ::close(fd);
                ::unlink(candidate.c_str());
                return nullptr;
            }
            tmpPath = candidate.string();
            return file;
        }
        if (errno != EEXIST) {
            return nullptr;
        }
    }
    return nullptr;
}

} // namespace

PageCutter::PageCutter(const std::string& sourcePath) : m_impl(std::make_unique<Impl>()) {
    m_impl->sourcePath = sourcePath;
    try {
        m_impl->source.setSuppressWarnings(true);
        std::ifstream in(sourcePath, std::ios::binary);
        m_impl->bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        if (in.is_open() && !in.bad()) {
            m_impl->source.processMemoryFile(sourcePath.c_str(), m_impl->bytes.data(),
                                             m_impl->bytes.size());
        } else {
            m_impl->source.processFile(sourcePath.c_str());
        }
        m_impl->pages = QPDFPageDocumentHelper(m_impl->source).getAllPages();
        m_impl->open = true;
    } catch (...) {
        m_impl->pages.clear();
        m_impl->open = false;
    }
}

PageCutter::~PageCutter() = default;

bool PageCutter::IsOpen() const {
    return m_impl->open;
}

int PageCutter::PageCount() const {
    return static_cast<int>(m_impl->pages.size());
}

namespace {

// Pages first..last of source as a new document written by writer, which output gets
// to choose (a file or memory). Throws what qpdf throws.
template <class Output>
void WritePiece(QPDF& source, const std::vector<QPDFPageObjectHelper>& pages, int first, int last,
                Output&& output) {
    QPDF piece;
    piece.setSuppressWarnings(true);
    piece.emptyPDF();
    QPDFPageDocumentHelper pieceDoc(piece);
    for (int i = first; i <= last; ++i) {
        pieceDoc.addPage(pages[static_cast<std::size_t>(i)], false);
    }
    output(piece, [&](QPDFWriter& writer) {
        writer.setMinimumPDFVersion(source.getPDFVersion(), source.getExtensionLevel());
        writer.write();
    });
}

// Pages first..last of source as the bytes of a new document. Throws what qpdf throws.
void PieceToMemory(QPDF& source, const std::vector<QPDFPageObjectHelper>& pages, int first,
                   int last, std::string& bytes) {
    WritePiece(source, pages, first, last, [&](QPDF& piece, auto&& write) {
        QPDFWriter writer(piece);
        writer.setOutputMemory();
        write(writer);
        const auto buffer = writer.getBufferSharedPointer();
        bytes.assign(reinterpret_cast<const char*>(buffer->getBuffer()), buffer->getSize());
    });
}

} // namespace

bool PageCutter::WriteToMemory(int first, int last, std::string& bytes, std::string* error) {
    bytes.clear();
    if (!CheckRange(first, last, error)) {
        return false;
    }
    try {
        PieceToMemory(m_impl->source, m_impl->pages, first, last, bytes);
        return true;
    } catch (const std::exception& e) {
        SetError(error, e.what());
    } catch (...) {
        SetError(error, "errore sconosciuto");
    }
    return false;
}

bool PageCutter::CheckRange(int first, int last, std::string* error) const {
    if (!m_impl->open) {
        SetError(error, "file di origine non aperto");
        return false;
    }
    if (first < 0 || last < first || last >= PageCount()) {
        SetError(error, "intervallo di pagine non valido");
        return false;
    }
    return true;
}

bool PageCutter::Write(int first, int last, const std::string& destination, std::string* error) {
    if (!CheckRange(first, last, error)) {
        return false;
    }
    if (SamePath(destination, m_impl->sourcePath)) {
        SetError(error, "la destinazione coincide con il file di origine");
        return false;
    }
    std::string tmpPath;
    try {
        bool created = true;
        WritePiece(m_impl->source, m_impl->pages, first, last, [&](QPDF& piece, auto&& write) {
            FILE* file = CreateTemporary(destination, tmpPath);
            if (!file) {
                created = false;
                return;
            }
            QPDFWriter writer(piece, tmpPath.c_str(), file, true);
            write(writer);
        });
        if (!created) {
            SetError(error, "impossibile creare un file temporaneo accanto a " + destination);
            return false;
        }
        std::error_code ec;
        fs::rename(tmpPath, destination, ec);
        if (ec) {
            SetError(error, ec.message());
            fs::remove(tmpPath, ec);
            return false;
        }
        return true;
    } catch (const std::exception& e) {
        SetError(error, e.what());
    } catch (...) {
        SetError(error, "errore sconosciuto");
    }
    if (!tmpPath.empty()) {
        std::error_code ec;
        fs::remove(tmpPath, ec);
    }
    return false;
}

struct PiecesAhead::Impl {
    enum class State : unsigned char { Pending, Ready, Gone };
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<State> states; // one per page, once the source is parsed
    std::vector<std::string> pieces;
    bool parsed = false;
    bool finished = false; // the worker cuts no more
    bool stop = false;
    int passed = 0; // pages below it were passed over by the requests
    std::size_t held = 0;
    std::size_t budget = 0;
    std::thread worker;

    void Run(const std::string& sourcePath) {
        try {
            std::ifstream in(sourcePath, std::ios::binary);
            const std::string bytes{std::istreambuf_iterator<char>(in),
                                    std::istreambuf_iterator<char>()};
            QPDF source; // this thread's own: qpdf objects are never shared between threads
            source.setSuppressWarnings(true);
            source.processMemoryFile(sourcePath.c_str(), bytes.data(), bytes.size());
            const auto pages = QPDFPageDocumentHelper(source).getAllPages();
            {
                std::lock_guard<std::mutex> lock(mutex);
                states.assign(pages.size(), State::Pending);
                pieces.resize(pages.size());
                parsed = true;
            }
            changed.notify_all();
            for (size_t page = 0; page < pages.size(); ++page) {
                {
                    std::unique_lock<std::mutex> lock(mutex);
                    changed.wait(lock, [&] { return stop || held < budget; });
                    if (stop) {
                        break;
                    }
                    if (states[page] != State::Pending) {
                        continue;
                    }
                }
                std::string piece;
                bool cut = true;
                try {
                    PieceToMemory(source, pages, static_cast<int>(page), static_cast<int>(page),
                                  piece);
                } catch (...) {
                    cut = false; // the request cuts it again and tells why
                }
                {
                    std::lock_guard<std::mutex> lock(mutex);
                    if (cut && states[page] == State::Pending) {
                        held += piece.size();
                        pieces[page] = std::move(piece);
                        states[page] = State::Ready;
                    } else {
                        states[page] = State::Gone;
                    }
                }
                changed.notify_all();
            }
        } catch (...) {
            // A source qpdf cannot parse: every request cuts its piece itself.
        }
        {
            std::lock_guard<std::mutex> lock(mutex);
            finished = true;
        }
        changed.notify_all();
    }
};

PiecesAhead::PiecesAhead(const std::string& sourcePath, std::size_t budgetBytes)
    : m_impl(std::make_shared<Impl>()) {
    m_impl->budget = budgetBytes;
    try {
        m_impl->worker = std::thread([impl = m_impl, sourcePath] { impl->Run(sourcePath); });
    } catch (...) {
        m_impl->finished = true;
    }
}

PiecesAhead::~PiecesAhead() {
    std::unique_lock<std::mutex> lock(m_impl->mutex);
    m_impl->stop = true;
    m_impl->changed.notify_all();
    // The thread stops between two pieces; qpdf stuck inside one file must not hold the
    // run: after the reading's own time limit the thread is left to end by itself.
    const bool ended =
        m_impl->changed.wait_for(lock, std::chrono::seconds(10), [&] { return m_impl->finished; });
    lock.unlock();
    if (m_impl->worker.joinable()) {
        if (ended) {
            m_impl->worker.join();
        } else {
            m_impl->worker.detach();
        }
    }
}

bool PiecesAhead::Take(int page, std::string& bytes) {
    Impl& impl = *m_impl;
    std::unique_lock<std::mutex> lock(impl.mutex);
    const auto inRange = [&] {
        return page >= 0 && static_cast<size_t>(page) < impl.states.size();
    };
    // The pages before this one are not asked for again in order: what waits of them goes
    // (a late request cuts its own piece), so that the worker is never held by them.
    const auto passOver = [&] {
        for (; impl.passed < page && static_cast<size_t>(impl.passed) < impl.states.size();
             ++impl.passed) {
            const auto at = static_cast<size_t>(impl.passed);
            if (impl.states[at] == Impl::State::Ready) {
                impl.held -= impl.pieces[at].size();
                std::string().swap(impl.pieces[at]);
            }
            impl.states[at] = Impl::State::Gone;
        }
        impl.changed.notify_all();
    };
    // Passing over frees the budget the worker may be waiting on: done on every wake.
    for (;;) {
        if (impl.parsed) {
            if (!inRange()) {
                return false; // asks for no page: passes over none
            }
            passOver();
            if (impl.states[static_cast<size_t>(page)] != Impl::State::Pending) {
                break;
            }
        }
        if (impl.finished) {
            break;
        }
        impl.changed.wait(lock);
    }
    if (!inRange() || impl.states[static_cast<size_t>(page)] != Impl::State::Ready) {
        return false;
    }
    bytes = std::move(impl.pieces[static_cast<size_t>(page)]);
    impl.held -= bytes.size();
    impl.states[static_cast<size_t>(page)] = Impl::State::Gone;
    lock.unlock();
    impl.changed.notify_all();
    return true;
}

} // namespace quorvin::pdf
