#include "engine/pdf/PdfWriter.h"

#include <qpdf/Buffer.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>

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

} // namespace

bool PageCutter::WriteToMemory(int first, int last, std::string& bytes, std::string* error) {
    bytes.clear();
    if (!CheckRange(first, last, error)) {
        return false;
    }
    try {
        WritePiece(m_impl->source, m_impl->pages, first, last, [&](QPDF& piece, auto&& write) {
            QPDFWriter writer(piece);
            writer.setOutputMemory();
            write(writer);
            const auto buffer = writer.getBufferSharedPointer();
            bytes.assign(reinterpret_cast<const char*>(buffer->getBuffer()), buffer->getSize());
        });
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

} // namespace quorvin::pdf
