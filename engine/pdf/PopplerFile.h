#pragma once
// Poppler behind a narrow door: open a PDF, count its pages, read one page's words. The
// reader child streams pages one at a time, so the pages are read on demand.
#include "engine/pdf/PageText.h"

#include <functional>
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
    // Hands every page to take, in page order, on the calling thread, until take returns
    // false (then false). A long file that poppler opened without a complaint is read by a
    // second reader on a thread of its own as well: poppler allows one document per
    // thread, so that reader opens the file again.
    bool ReadInOrder(const std::function<bool(Page&&)>& take) const;

private:
    // Opens without resetting the file's error count, from bytes when there are any.
    static std::unique_ptr<PopplerFile> OpenAgain(const std::string& path,
                                                  std::shared_ptr<const std::string> bytes);
    struct Impl;
    explicit PopplerFile(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> m_impl;
};

} // namespace quorvin::pdf
