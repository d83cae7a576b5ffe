#pragma once
// Poppler behind a narrow door: open a PDF, count its pages, read one page's words. The
// reader child streams pages one at a time, so the pages are read on demand.
#include "engine/pdf/PageText.h"

#include <memory>
#include <string>

namespace quorvin::pdf {

class PopplerFile {
public:
    // Null when poppler cannot open the file or it needs a password.
    static std::unique_ptr<PopplerFile> Open(const std::string& path);
    // Past budget error messages of poppler about one file (counted from Open; 0: no
    // limit) overBudget is called from inside poppler, and must not return there.
    static void ErrorBudget(long budget, void (*overBudget)());
    ~PopplerFile();
    PopplerFile(const PopplerFile&) = delete;
    PopplerFile& operator=(const PopplerFile&) = delete;

    int PageCount() const;
    // The words of page index (0-based) in PDF user space; an unreadable page is empty.
    Page ReadPage(int index) const;

private:
    struct Impl;
    explicit PopplerFile(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> m_impl;
};

} // namespace quorvin::pdf
