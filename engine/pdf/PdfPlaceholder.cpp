// Placeholder until the PDF layer lands.
#include "engine/pdf/PageText.h"
#include "engine/pdf/PdfReader.h"
#include "engine/pdf/PdfWriter.h"
namespace quorvin::pdf {
std::vector<std::string> PageRuns(const Page&, const Rect&) { return {}; }
std::string JoinRuns(const std::vector<std::string>&, const std::string&) { return {}; }
std::unique_ptr<PageReader> MakeInProcessReader() { return nullptr; }
std::unique_ptr<PageReader> MakeGuardedReader(const ReaderLimits&) { return nullptr; }
PageReader& DefaultReader() { static PageReader* r = nullptr; return *r; }
struct PageCutter::Impl {};
PageCutter::PageCutter(const std::string&) {}
PageCutter::~PageCutter() = default;
bool PageCutter::IsOpen() const { return false; }
int PageCutter::PageCount() const { return 0; }
bool PageCutter::Write(int, int, const std::string&, std::string*) { return false; }
} // namespace quorvin::pdf
