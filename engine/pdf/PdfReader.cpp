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

PageReader& DefaultReader() {
    static const std::unique_ptr<PageReader> reader = MakeGuardedReader();
    return *reader;
}

} // namespace quorvin::pdf
