#pragma once
// Cutting page ranges of a PDF into new files (qpdf). The source is opened once for
// all the pieces cut from it.
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

} // namespace quorvin::pdf
