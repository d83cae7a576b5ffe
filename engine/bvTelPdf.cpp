// The engine's five PDF operations over the page reader and the page cutter.
#include "archive/DorvaneFiles.h"
#include "archive/Fingerprints.h"
#include "engine/bvTel.h"
#include "engine/pdf/PdfReader.h"
#include "engine/pdf/PdfWriter.h"

#include <fstream>
#include <iterator>

namespace quorvin {

bool bvTel::PDFOpen(const std::string& path, bool quiet) {
    PDFClose();
    m_pdfDoc = m_reader->Read(path);
    const bool opened = m_pdfDoc.has_value();
    if (opened) {
        m_pdfPath = path;
    }
    if (!quiet) {
        RaiseLog(1, DorvaneFiles::FileName(path, true, "/"), "PDFOpen()",
                 opened ? "Inizio elaborazione" : "Impossibile aprire il file");
    }
    return opened;
}

std::string bvTel::PDFGetPageText(long page, long top, long left, long right, long bottom,
                                  const std::string& words) {
    if (!m_pdfDoc || page < 0 || page >= static_cast<long>(m_pdfDoc->pages.size())) {
        return std::string();
    }
    const pdf::Rect rect{top, left, right, bottom};
    return pdf::JoinRuns(pdf::PageRuns(m_pdfDoc->pages[static_cast<size_t>(page)], rect), words);
}

pdf::PageCutter* bvTel::Cutter() {
    if (!m_cutter && !m_pdfPath.empty()) {
        m_cutter = std::make_unique<pdf::PageCutter>(m_pdfPath);
    }
    return m_cutter.get();
}

bool bvTel::PDFExtractPages(long first, long last, const std::string& destination) {
    const long pages = m_pdfDoc ? static_cast<long>(m_pdfDoc->pages.size()) : 0;
    if (first < 0 || first > pages - 1 || last < first) {
        RaiseLog(2, m_sFileNameOrig, "PDFExtractPages()",
                 "Range pagine (" + std::to_string(first) + "-" + std::to_string(last) +
                     ") non valido");
        return false;
    }
    pdf::PageCutter* cutter = Cutter();
    // Pages past the end cannot be copied into the new document.
    if (!cutter || !cutter->IsOpen() || last > cutter->PageCount() - 1) {
        RaiseLog(2, m_sFile, "PDFExtractPages()",
                 "Estrazione pagine (" + std::to_string(first) + "-" + std::to_string(last) +
                     ") fallita");
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
        m_cutter.reset();
        m_pdfDoc.reset();
        m_pdfPath.clear();
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
    const long pages = m_pdfDoc ? static_cast<long>(m_pdfDoc->pages.size()) : 0;
    pdf::PageCutter* cutter = first < 0 || first > pages - 1 || last < first ? nullptr : Cutter();
    if (!cutter || !cutter->IsOpen() || last > cutter->PageCount() - 1) {
        RaiseLog(2, m_sFile, "PDFExtractPages()",
                 "Estrazione pagine (" + std::to_string(first) + "-" + std::to_string(last) +
                     ") fallita");
        return false;
    }
    std::string error;
    if (!cutter->WriteToMemory(static_cast<int>(first), static_cast<int>(last), bytes, &error)) {
        RaiseLog(2, m_sFileNameOrig, "PDFExtractPages()",
                 "Estrazione pagine (" + std::to_string(first) + "-" + std::to_string(last) +
                     ") fallita: " + error);
        return false;
    }
    return true;
}

bool bvTel::PDFReaderReady(std::string& tried) {
    return m_reader->Ready(tried);
}

std::string bvTel::PageFingerprint() {
    std::string texts;
    const long pages = m_pdfDoc ? static_cast<long>(m_pdfDoc->pages.size()) : 0;
    for (long i = 0; i < pages; ++i) {
        texts += PDFGetPageText(i, 850, 0, 600, 0, "");
        texts += '\f';
    }
    return Sha256Hex(texts);
}

void bvTel::PDFClose() {
    m_cutter.reset();
    m_pdfDoc.reset();
    m_pdfPath.clear();
}

} // namespace quorvin
