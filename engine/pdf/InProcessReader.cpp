// Reading in this process, without the guard of a child: for the reader child itself,
// and for tests, fuzzing and benchmarks. Only they link poppler.
#include "engine/pdf/PdfReader.h"
#include "engine/pdf/PopplerFile.h"

namespace quorvin::pdf {

namespace {

class InProcessReader : public PageReader {
public:
    std::optional<Document> Read(const std::string& path) override {
        try {
            const auto file = PopplerFile::Open(path);
            if (!file) {
                return std::nullopt;
            }
            Document document;
            document.pages.reserve(static_cast<std::size_t>(file->PageCount()));
            for (int i = 0; i < file->PageCount(); ++i) {
                document.pages.push_back(file->ReadPage(i));
            }
            return document;
        } catch (...) {
            return std::nullopt;
        }
    }
};

} // namespace

std::unique_ptr<PageReader> MakeInProcessReader() {
    return std::make_unique<InProcessReader>();
}

} // namespace quorvin::pdf
