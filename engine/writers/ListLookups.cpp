// Lookups over the list pages of a receipt file: the list of documents and its counters.
#include "archive/Convert.h"
#include "archive/DorvaneText.h"
#include "archive/Utf8.h"
#include "engine/bvTel.h"
#include "engine/writers/WriterSupport.h"

#include <algorithm>
#include <array>
#include <map>
#include <string_view>
#include <unordered_map>

namespace quorvin {

namespace {

using writers::kFF;
using writers::kWS;

// How a list of documents is laid out, by DocType.
struct ListLayout {
    long docType; // 0 = any other
    std::string_view heading;
    std::string_view secondHeading; // empty = none
    size_t columns;                 // leading columns split at single spaces
    size_t numberColumn;
    size_t taxCodeColumn;
};

// clang-format off
constexpr std::array<ListLayout, 3> kListLayouts = {{
    {172, "Protocollo Locatore Conduttore Registr. Importo\r\n", "", 3, 1, 2},
    {381, "Esito Protocollo Progressivo Codice fiscale\r\ntelematico certificazione percipiente\r\n",
          "Esito Protocollo telematico Progressivo\r\ncertificazione\r\nCodice fiscale percipiente\r\n",
          4, 2, 4},
    {0,   "Esito Protocollo Codice fiscale Denominazione\r\ndocumenti\r\n",
          "Esito Protocollo documenti Codice fiscale Denominazione\r\n", 3, 1, 2},
}};
// clang-format on

const ListLayout& LayoutFor(long docType) {
    for (const auto& layout : kListLayouts) {
        if (layout.docType == docType) {
            return layout;
        }
    }
    return kListLayouts.back();
}

// The list's lines on one page: the text after the heading, to the end of the page.
std::string ListText(const bvTel& tel, const std::string& page, std::string_view heading) {
    if (heading.empty()) {
        return {};
    }
    return tel.GetLabelValue(page, std::string(heading), std::string(kFF.text), "", kAnyText, true,
                             false);
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    DorvaneText::SplitLines(text, "\r\n", &lines);
    return lines;
}

// Columns 0 to n-1 split at single spaces, the rest of the line in element n; a line
// that runs out of spaces leaves the following elements empty.
std::vector<std::string> SplitRow(const std::string& line, size_t columns) {
    std::vector<std::string> row(columns + 1);
    size_t from = 0;
    for (size_t k = 0; k < columns; ++k) {
        const size_t space = line.find(' ', from);
        if (space == std::string::npos) {
            row[k] = line.substr(from);
            return row;
        }
        row[k] = line.substr(from, space - from);
        from = space + 1;
    }
    row[columns] = line.substr(from);
    return row;
}

bool Matches(const std::vector<std::string>& row, const ListLayout& layout, long progressive,
             const std::string& taxCode, const std::string& protocol) {
    const std::string& number = row[layout.numberColumn];
    if (IsNumeric(number)) {
        if (!protocol.empty()) {
            return number == protocol || progressive == -1;
        }
        const auto value = ParseNumber(number);
        return (value && *value == static_cast<double>(progressive)) || progressive == -1;
    }
    return row[layout.taxCodeColumn] == taxCode || (progressive == -1 && protocol.empty());
}

} // namespace

const std::vector<std::string>& bvTel::ListLines(size_t page, const std::string& heading) const {
    const auto key = std::make_pair(page, heading);
    auto it = m_listLines.find(key);
    if (it == m_listLines.end()) {
        const std::string text =
            page < m_asPageText.size() ? ListText(*this, m_asPageText[page], heading) : "";
        it = m_listLines.emplace(key, Lines(text)).first;
    }
    return it->second;
}

// The rows of a list in page order, split as its layout says, with the first row of each
// number and tax code: every single receipt of a long list looks its row up.
struct SummaryList {
    std::vector<std::vector<std::string>> rows;
    std::unordered_map<std::string, size_t> firstByNumber;  // numeric rows, by their text
    std::map<double, size_t> firstByValue;                  // numeric rows, by their value
    std::unordered_map<std::string, size_t> firstByTaxCode; // the other rows
};

bool bvTel::FindInfoDocInSummary(long progressive, const std::string& taxCode,
                                 const std::string& protocol, std::vector<std::string>& row) {
    const bool found = writers::RunGuarded(*this, "", "FindInfoDocInSummary", [&] {
        if (m_nListPage < 0) {
            return false;
        }
        const ListLayout& layout = LayoutFor(m_nDocType);
        auto& list = m_summaryLists[{m_nListPage, layout.docType}];
        if (!list) {
            auto made = std::make_shared<SummaryList>();
            for (size_t page = static_cast<size_t>(m_nListPage); page < m_asPageText.size();
                 ++page) {
                const std::vector<std::string>* lines =
                    &ListLines(page, std::string(layout.heading));
                if (lines->size() == 1 && lines->front().empty()) {
                    lines = &ListLines(page, std::string(layout.secondHeading));
                }
                for (const std::string& line : *lines) {
                    // The text ends with a line break: its empty last piece is no document.
                    if (line.empty()) {
                        continue;
                    }
                    const size_t at = made->rows.size();
                    made->rows.push_back(SplitRow(line, layout.columns));
                    const std::vector<std::string>& split = made->rows.back();
                    const std::string& number = split[layout.numberColumn];
                    if (IsNumeric(number)) {
                        made->firstByNumber.emplace(number, at);
                        if (const auto value = ParseNumber(number)) {
                            made->firstByValue.emplace(*value, at);
                        }
                    } else {
                        made->firstByTaxCode.emplace(split[layout.taxCodeColumn], at);
                    }
                }
            }
            list = std::move(made);
        }
        size_t first = list->rows.size();
        if (progressive == -1) {
            for (first = 0; first < list->rows.size(); ++first) {
                if (Matches(list->rows[first], layout, progressive, taxCode, protocol)) {
                    break;
                }
            }
        } else {
            const auto earliest = [&first](const auto& index, const auto& key) {
                if (const auto it = index.find(key); it != index.end()) {
                    first = std::min(first, it->second);
                }
            };
            if (protocol.empty()) {
                earliest(list->firstByValue, static_cast<double>(progressive));
            } else {
                earliest(list->firstByNumber, protocol);
            }
            earliest(list->firstByTaxCode, taxCode);
        }
        if (first >= list->rows.size()) {
            return false;
        }
        row = list->rows[first];
        return true;
    });
    if (!found) {
        row.clear();
    }
    return found;
}

bool bvTel::GetInfoDocFromSummary(long rowNumber, std::vector<std::string>& row) {
    return writers::RunGuarded(*this, "", "GetInfoDocFromSummary", [&] {
        if (m_nListPage < 0 || rowNumber < 1) {
            return false;
        }
        const std::string_view heading = LayoutFor(m_nDocType == 172 ? 172 : 0).heading;
        long running = 0;
        for (size_t page = static_cast<size_t>(m_nListPage); page < m_asPageText.size(); ++page) {
            const std::vector<std::string>& lines = ListLines(page, std::string(heading));
            const long highest = static_cast<long>(lines.size()) - 1;
            running += highest;
            if (running >= rowNumber) {
                const long index = highest - (running - rowNumber + 1);
                row = SplitRow(lines.at(static_cast<size_t>(index)), 3);
                return true;
            }
        }
        return false;
    });
}

bool bvTel::FindNumDocInSummary(long& total, long& acquired) {
    return writers::RunGuarded(*this, "", "FindNumDocInSummary", [&] {
        if (m_nListPage < 0 || m_nListPage >= m_nPageCount ||
            static_cast<size_t>(m_nListPage) >= m_asPageText.size()) {
            return false;
        }
        const std::string& page = m_asPageText[static_cast<size_t>(m_nListPage)];
        const auto read = [&](const char* label) {
            return writers::Count(GetLabelValue(page, label, std::string(kWS.text), "", kNumeric,
                                                false, false))
                .value_or(0);
        };
        const long inArchive = read("DOCUMENTI ACQUISITI : ");
        const long rejected = read("DOCUMENTI SCARTATI : ");
        total = inArchive + rejected;
        acquired = inArchive;
        return true;
    });
}

long bvTel::FindPageIndex(long start, const std::string& text, bool stepBack) const {
    const long pages = static_cast<long>(m_asPageText.size());
    long found = start;
    if (start < pages) {
        const std::string lowerText = Lower(FoldTypography(text));
        found = pages;
        for (long i = start < 0 ? 0 : start; i < pages; ++i) {
            if (Lower(m_asPageText[static_cast<size_t>(i)]).find(lowerText) != std::string::npos) {
                found = i;
                break;
            }
        }
    }
    return stepBack ? found - 1 : found;
}

} // namespace quorvin
