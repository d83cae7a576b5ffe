#pragma once
// Cutting page ranges of a PDF into new files (qpdf). The source is opened once for
// all the pieces cut from it.
#include <cstddef>
#include <memory>
#include <string>

namespace quorvin::pdf {

class PageCutter {
public:
    explicit PageCutter(const std::string& sourcePath);
    ~PageCutter();
    PageCutter(const PageCutter&) = delete;
    PageCutter& operator=(const PageCutter&) = delete;

    bool IsOpen() const;
    int PageCount() const;
    // Writes pages first..last (0-based, inclusive) as a new PDF at destination (through
    // a temporary name and a rename). False with a reason on failure; never throws.
    bool Write(int first, int last, const std::string& destination, std::string* error);
    // The same piece as bytes in memory, no file made.
    bool WriteToMemory(int first, int last, std::string& bytes, std::string* error);

private:
    bool CheckRange(int first, int last, std::string* error) const;
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

// Every page of a source cut into a piece of its own on a thread of its own, in page order,
// ahead of the requests: the single receipts of a long transmission are cut while its
// pages are still being read and while the archive is written. The thread parses the
// source apart (qpdf objects are never shared between threads); pieces wait in memory up
// to a budget, and those passed over go.
class PiecesAhead {
public:
    explicit PiecesAhead(const std::string& sourcePath, std::size_t budgetBytes = 4u << 20);
    ~PiecesAhead();
    PiecesAhead(const PiecesAhead&) = delete;
    PiecesAhead& operator=(const PiecesAhead&) = delete;

    // Page page (0-based) alone as the bytes of a new document, waiting while it is being
    // cut, as PageCutter::WriteToMemory cuts it. False when it cannot be had here
    // (no such page, passed over, or qpdf failed): the caller cuts it itself.
    bool Take(int page, std::string& bytes);

private:
    struct Impl;
    std::shared_ptr<Impl> m_impl; // shared with the thread, which may outlive this
};

} // namespace quorvin::pdf
