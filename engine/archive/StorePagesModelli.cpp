// Printed IRAP refund models: each original in the file is one record; the taxpayer's
// copies that follow the originals are not stored.
#include "archive/Convert.h"
#include "archive/DorvaneFiles.h"
#include "archive/DorvaneText.h"
#include "archive/Utf8.h"
#include "engine/RuntimeError.h"
#include "engine/archive/StorePages.h"
#include "engine/bvTel.h"

#include <exception>
#include <string>
#include <vector>

namespace quorvin {

namespace {

constexpr const char* kRoutine = "StorePagesModelli()";
constexpr const char* kOriginal = "originale";
constexpr const char* kCopy = "COPIA AD USO DEL CONTRIBUENTE";

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    DorvaneText::SplitLines(text, "\r\n", &lines);
    return lines;
}

// The page has a line that reads mark, whatever its case.
bool HasLine(const std::string& text, const std::string& mark) {
    const std::string wanted = Lower(mark);
    for (const std::string& line : Lines(text)) {
        if (Lower(Trim(line)) == wanted) {
            return true;
        }
    }
    return false;
}

std::string Padded(const std::string& digits, size_t width) {
    return digits.size() >= width ? digits : std::string(width - digits.size(), '0') + digits;
}

// The model's date closes its first page as "28 2 2013": day, month and year.
std::string ClosingDate(const std::string& page) {
    std::vector<std::string> lines = Lines(page);
    while (!lines.empty() && Trim(lines.back()).empty()) {
        lines.pop_back();
    }
    if (lines.empty()) {
        return std::string();
    }
    const std::string last = Trim(lines.back());
    const std::string date = Padded(DorvaneText::Token(last, 1, "", " "), 2) + "/" +
                             Padded(DorvaneText::Token(last, 2, "", " "), 2) + "/" +
                             Padded(DorvaneText::Token(last, 3, "", " "), 4);
    return ParseDate(date) ? date : std::string();
}

struct Document {
    long first;
    long last;
};

// Each original runs to the page before the next original or copy.
std::vector<Document> Originals(const std::vector<std::string>& pages) {
    std::vector<Document> documents;
    bool inOriginal = false;
    for (long i = 0; i < static_cast<long>(pages.size()); ++i) {
        const std::string& page = pages[static_cast<size_t>(i)];
        if (HasLine(page, kOriginal)) {
            documents.push_back({i, i});
            inOriginal = true;
        } else if (HasLine(page, kCopy)) {
            inOriginal = false;
        } else if (inOriginal) {
            documents.back().last = i;
        }
    }
    return documents;
}

} // namespace

bool bvTel::StorePagesModelli() {
    long page = 0;
    return RunPageRoutine(*this, kRoutine, page, [&]() -> bool {
        SinglePageStore store(*this, kRoutine, -1);
        if (!store.Open()) {
            return false;
        }
        const std::string date = ClosingDate(m_asPageText.empty() ? "" : m_asPageText[0]);
        if (!date.empty()) {
            m_TelInfo.PaymentDate = date;
            m_TelInfo.Year = std::to_string(ParseDate(date)->year);
        }
        const std::vector<Document> documents = Originals(m_asPageText);
        if (documents.empty()) {
            TelLogEvent(1, DorvaneFiles::FileName(m_sFile, true), kRoutine,
                        "Nessun documento originale trovato nel file");
            return false;
        }
        const auto writer = [this](const std::string& text) {
            m_TelInfo.TaxCode =
                GetLabelValue(text, "Codice fiscale: ", " \r\n", "", kTaxCode, false, false);
            m_TelInfo.Company =
                Trim(GetLabelValue(text, "Contribuente: ", "\r\n", "", kAnyText, false, false));
            m_TelInfo.PeriodFrom =
                GetLabelValue(text, "Periodo d'imposta: dal ", " al ", "", kDate, true, false);
            m_TelInfo.PeriodTo = GetLabelValue(text, " al ", " \r\n", "Periodo d'imposta: dal ",
                                               kDate, false, false);
            return WriteFieldsModelli(text);
        };
        bool ok = false;
        long n = 0;
        for (const Document& document : documents) {
            page = document.first;
            const std::string label = "documento n. " + std::to_string(++n);
            ok = store.Store(
                document.first, document.last, m_asPageText[static_cast<size_t>(document.first)],
                [label] { return label; }, writer);
            if (store.Progress(document.last)) {
                return ok;
            }
        }
        return ok;
    });
}

} // namespace quorvin
