// The engine's five PDF operations over the page reader and the page cutter.
#include "archive/DorvaneFiles.h"
#include "archive/Fingerprints.h"
#include "engine/bvTel.h"
#include "engine/pdf/PdfReader.h"
#include "engine/pdf/PdfWriter.h"

#include <filesystem>
#include <fstream>
#include <iterator>

namespace quorvin {

namespace {

std::pair<std::uintmax_t, long long> FileStamp(const std::string& path) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    const auto time = std::filesystem::last_write_time(path, ec);
    return {ec ? 0 : size, ec ? 0 : static_cast<long long>(time.time_since_epoch().count())};
}

// From this many pages on a file is likely a transmission of many single receipts, each
// cut into a piece of one page: they are cut on another thread while the file is archived.
constexpr size_t kPiecesAheadPages = 32;

} // namespace

bool bvTel::PDFOpen(const std::string& path, bool quiet) {
    PDFClose();
    const auto stamp = FileStamp(path);
    if (m_piecesAhead && (m_piecesAheadPath != path || m_piecesAheadStamp != stamp)) {
        m_piecesAhead.reset();
    }
    const auto ahead = m_readAhead.find(path);
    if (ahead != m_readAhead.end() && ahead->second.stamp == stamp) {
        m_pdfDoc = std::move(ahead->second.document);
        m_plainText = std::move(ahead->second.plainText);
        m_readAhead.erase(ahead);
    } else {
        // Whatever was read ahead belongs to files that were not opened after all.
        m_readAhead.clear();
        m_pdfDoc = m_reader->Read(path);
    }
    const bool opened = m_pdfDoc.has_value();
    if (opened) {
        m_pdfPath = path;
        m_plainText.resize(m_pdfDoc->pages.size());
        // Only a file the reader could read: qpdf never meets what poppler gave up on.
        if (!m_piecesAhead && m_pdfDoc->pages.size() >= kPiecesAheadPages) {
            m_piecesAhead = std::make_unique<pdf::PiecesAhead>(path);
            m_piecesAheadPath = path;
            m_piecesAheadStamp = stamp;
        }
    }
    if (!quiet) {
        RaiseLog(1, DorvaneFiles::FileName(path, true, "/"), "PDFOpen()",
                 opened ? "Inizio elaborazione" : "Impossibile aprire il file");
    }
    return opened;
}

void bvTel::KeepReadAhead(const std::string& path, long first, long last) {
    ReadAhead& kept = m_readAhead[path];
    kept.stamp = FileStamp(path);
    kept.document.reset();
    kept.plainText.clear();
    if (!m_pdfDoc) {
        return;
    }
    kept.document.emplace();
    for (long i = first; i <= last; ++i) {
        const auto k = static_cast<size_t>(i);
        kept.document->pages.push_back(std::move(m_pdfDoc->pages[k]));
        kept.plainText.push_back(std::move(m_plainText[k]));
    }
}

const std::string& bvTel::PlainPageText(long page) {
    auto& text = m_plainText[static_cast<size_t>(page)];
    if (!text) {
        text = pdf::JoinRuns(
            pdf::PageRuns(m_pdfDoc->pages[static_cast<size_t>(page)], pdf::kWholePage), "");
    }
    return *text;
}

std::string bvTel::PDFGetPageText(long page, long top, long left, long right, long bottom,
                                  const std::string& words) {
    if (!m_pdfDoc || page < 0 || page >= static_cast<long>(m_pdfDoc->pages.size())) {
        return std::string();
    }
    const pdf::Rect rect{top, left, right, bottom};
    if (words.empty() && top == pdf::kWholePage.top && left == pdf::kWholePage.left &&
        right == pdf::kWholePage.right && bottom == pdf::kWholePage.bottom) {
        return PlainPageText(page);
    }
    return pdf::JoinRuns(pdf::PageRuns(m_pdfDoc->pages[static_cast<size_t>(page)], rect), words);
}

pdf::PageCutter* bvTel::Cutter(long first, long last, bool& validRange) {
    const long pages = m_pdfDoc ? static_cast<long>(m_pdfDoc->pages.size()) : 0;
    validRange = first >= 0 && first <= pages - 1 && last >= first;
    if (!validRange) {
        return nullptr;
    }
    if (!m_cutter && !m_pdfPath.empty()) {
        m_cutter = std::make_unique<pdf::PageCutter>(m_pdfPath);
    }
    // Pages past the end cannot be copied into the new document.
    if (!m_cutter || !m_cutter->IsOpen() || last > m_cutter->PageCount() - 1) {
        return nullptr;
    }
    return m_cutter.get();
}

bool bvTel::PDFExtractPages(long first, long last, const std::string& destination) {
    bool validRange = false;
    pdf::PageCutter* cutter = Cutter(first, last, validRange);
    const std::string range = "(" + std::to_string(first) + "-" + std::to_string(last) + ")";
    if (!validRange) {
        RaiseLog(2, m_sFileNameOrig, "PDFExtractPages()", "Range pagine " + range + " non valido");
        return false;
    }
    if (!cutter) {
        RaiseLog(2, m_sFile, "PDFExtractPages()", "Estrazione pagine " + range + " fallita");
        return false;
    }
    std::string error;
    if (!cutter->Write(static_cast<int>(first), static_cast<int>(last), destination, &error)) {
        RaiseLog(2, m_sFileNameOrig, "PDFExtractPages()",
                 "Salvataggio file " + destination + " non riuscito: " + error);
        if (DorvaneFiles::FileExists(destination)) {
            DorvaneFiles::DeleteFile(destination, true);
        }
        return false;
    }
    return true;
}

bool bvTel::PDFSavePages(long first, long last, const std::string& destination) {
    if (first == 0 && last == m_nPageCount - 1) {
        const std::string source = m_sFile;
        PDFClose();
        return DorvaneFiles::CopyFile(source, destination, true);
    }
    return PDFExtractPages(first, last, destination);
}

bool bvTel::PDFPagesToMemory(long first, long last, std::string& bytes) {
    bytes.clear();
    if (first == 0 && last == m_nPageCount - 1) {
        std::ifstream in(m_sFile, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        return in.is_open() && !in.bad();
    }
    if (first == last && m_piecesAhead && m_piecesAheadPath == m_pdfPath && first >= 0 &&
        m_pdfDoc && first < static_cast<long>(m_pdfDoc->pages.size()) &&
        m_piecesAhead->Take(static_cast<int>(first), bytes)) {
        return true;
    }
    bool validRange = false;
    pdf::PageCutter* cutter = Cutter(first, last, validRange);
    const std::string range = "(" + std::to_string(first) + "-" + std::to_string(last) + ")";
    if (!cutter) {
        RaiseLog(2, m_sFile, "PDFExtractPages()", "Estrazione pagine " + range + " fallita");
        return false;
    }
    std::string error;
    if (!cutter->WriteToMemory(static_cast<int>(first), static_cast<int>(last), bytes, &error)) {
        RaiseLog(2, m_sFileNameOrig, "PDFExtractPages()",
                 "Estrazione pagine " + range + " fallita: " + error);
        return false;
    }
    return true;
}

bool bvTel::PDFReaderReady(std::string& tried) {
    return m_reader->Ready(tried);
}

void bvTel::PDFReadAhead(const std::string& path) {
    m_reader->Prefetch(path);
}

std::string bvTel::PageFingerprint() {
    std::string texts;
    const long pages = m_pdfDoc ? static_cast<long>(m_pdfDoc->pages.size()) : 0;
    for (long i = 0; i < pages; ++i) {
        texts += PlainPageText(i);
        texts += '\f';
    }
    return Sha256Hex(texts);
}

void bvTel::PDFClose() {
    m_cutter.reset();
    m_pdfDoc.reset();
    m_pdfPath.clear();
    m_plainText.clear();
}

} // namespace quorvin
