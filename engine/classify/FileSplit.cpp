// Cutting a receipt file that carries a document list followed by a second receipt.
#include "archive/DorvaneFiles.h"
#include "archive/Utf8.h"
#include "engine/bvTel.h"
#include "engine/classify/ClassifyRules.h"

#include <exception>

namespace quorvin {

namespace {

bool HasSplitListHeading(const std::string& upper) {
    return upper.find("ELENCO DEI DOCUMENTI ACQUISITI E/O SCARTATI") != std::string::npos ||
           upper.find("ELENCO DEI CONTRATTI DI LOCAZIONE ACQUISITI E REGISTRATI") !=
               std::string::npos;
}

bool HasDeclarationHeader(const std::string& upper) {
    return upper.find(classify::kHeaderSD) != std::string::npos ||
           upper.find(classify::kHeaderSE) != std::string::npos;
}

} // namespace

long bvTel::FileSplit(FileTable& xaFiles, long nIdx) {
    long result = 0;
    try {
        if (nIdx < 0 || nIdx >= static_cast<long>(xaFiles.size())) {
            return 0;
        }
        const FileRow row = xaFiles[static_cast<size_t>(nIdx)];
        // What is read here is kept for File, which opens this file (or its pieces) next.
        if (!PDFOpen(row.path, true)) {
            KeepReadAhead(row.path, 0, -1);
            return 0;
        }
        const long n = static_cast<long>(m_pdfDoc->pages.size());
        if (n < 1) {
            KeepReadAhead(row.path, 0, -1);
            PDFClose();
            return 0;
        }
        long k = -1;
        for (long i = 0; i < n && k < 0; ++i) {
            if (HasSplitListHeading(Upper(PlainPageText(i)))) {
                k = i;
            }
        }
        long s = -1;
        for (long i = k + 1; k >= 0 && i < n && s < 0; ++i) {
            if (HasDeclarationHeader(Upper(PlainPageText(i)))) {
                s = i;
            }
        }
        if (k < 0 || s < 0) {
            KeepReadAhead(row.path, 0, n - 1);
            PDFClose();
            return 0;
        }
        const std::string base = DorvaneFiles::FileName(row.name, false, "/");
        const std::string extension = DorvaneFiles::Extension(row.name);
        const std::string name1 = DorvaneFiles::TempFileName("", base, extension);
        bool written = !name1.empty() && PDFExtractPages(0, s - 1, name1);
        std::string name2;
        if (written) {
            name2 = DorvaneFiles::TempFileName("", base, extension);
            written = !name2.empty() && PDFExtractPages(s, n - 1, name2);
        }
        if (written) {
            m_sSplitFingerprint = PageFingerprint();
            KeepReadAhead(name1, 0, s - 1);
            KeepReadAhead(name2, s, n - 1);
            xaFiles.insert(xaFiles.begin() + nIdx + 1, FileRow{name2, row.name, false});
            xaFiles[static_cast<size_t>(nIdx)].path = name1;
            xaFiles[static_cast<size_t>(nIdx)].found = false;
            result = 1;
        } else {
            // The names were reserved on disk: give them back.
            for (const auto& name : {name1, name2}) {
                if (!name.empty()) {
                    DorvaneFiles::DeleteFile(name, true);
                }
            }
        }
        PDFClose();
        return result;
    } catch (const std::exception& e) {
        RaiseLog(1, "Suddivisione file", "FileSplit()", std::string("0: ") + e.what());
        return result;
    }
}

} // namespace quorvin
