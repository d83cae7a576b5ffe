#pragma once
// A page reader that lays lines of text out as a monospaced receipt would be, without
// going through a PDF: for tests of the engine's rules.
#include "engine/pdf/PdfReader.h"

#include <map>
#include <string>
#include <vector>

namespace quorvin::test {

class FakeReader : public pdf::PageReader {
public:
    using Pages = std::vector<std::vector<std::string>>;

    // The document returned for path; any other path cannot be opened.
    void Add(const std::string& path, const Pages& pages) { m_docs[path] = Layout(pages); }
    std::optional<pdf::Document> Read(const std::string& path) override {
        ++reads;
        const auto it = m_docs.find(path);
        if (it == m_docs.end()) {
            return std::nullopt;
        }
        return it->second;
    }
    int reads = 0;

    // Courier 9 pt on A4: baseline 806 - 11 * line, 5.4 points per column from x = 28.
    static pdf::Document Layout(const Pages& pages) {
        pdf::Document doc;
        for (const auto& lines : pages) {
            pdf::Page page;
            for (size_t k = 0; k < lines.size(); ++k) {
                const double baseline = 806.0 - 11.0 * static_cast<double>(k);
                const std::u32string line = ToWide(lines[k]);
                size_t col = 0;
                while (col < line.size()) {
                    if (line[col] == U' ') {
                        ++col;
                        continue;
                    }
                    size_t end = col;
                    while (end < line.size() && line[end] != U' ') {
                        ++end;
                    }
                    pdf::Word word;
                    word.text = ToNarrow(line.substr(col, end - col));
                    word.xMin = 28.0 + 5.4 * static_cast<double>(col);
                    word.xMax = 28.0 + 5.4 * static_cast<double>(end);
                    word.yMin = baseline - 2.0;
                    word.yMax = baseline + 7.0;
                    page.words.push_back(word);
                    col = end;
                }
            }
            doc.pages.push_back(std::move(page));
        }
        return doc;
    }

private:
    static std::u32string ToWide(const std::string& s);
    static std::string ToNarrow(const std::u32string& s);
    std::map<std::string, pdf::Document> m_docs;
};

} // namespace quorvin::test

#include "archive/Utf8.h"

inline std::u32string quorvin::test::FakeReader::ToWide(const std::string& s) {
    return quorvin::ToU32(s);
}
inline std::string quorvin::test::FakeReader::ToNarrow(const std::u32string& s) {
    return quorvin::ToUtf8(s);
}
