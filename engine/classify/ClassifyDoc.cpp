// Receipt classification: the chain of rows over the upper-cased first page, and the
// tests that need more than phrases.
#include "archive/Convert.h"
#include "archive/DorvaneText.h"
#include "archive/Utf8.h"
#include "engine/bvTel.h"
#include "engine/classify/ClassifyRules.h"

#include <cmath>

namespace quorvin {

namespace {

using classify::Row;
using classify::Test;

constexpr std::string_view kListHeadingDocs = "ELENCO DEI DOCUMENTI ACQUISITI E/O SCARTATI";

// Phrases are written as the receipts print them; the page text is folded (FoldTypography).
bool Has(std::string_view text, std::string_view phrase) {
    return text.find(FoldTypography(phrase)) != std::string_view::npos;
}

// Byte offset reached by moving n characters forward in UTF-8 text from offset.
size_t AdvanceChars(std::string_view text, size_t offset, int n) {
    while (n > 0 && offset < text.size()) {
        ++offset;
        while (offset < text.size() && (static_cast<unsigned char>(text[offset]) & 0xC0) == 0x80) {
            ++offset;
        }
        --n;
    }
    return offset;
}

// A phrase searched from 6 characters after the end of the model phrase's first occurrence.
bool HasAfterModel(std::string_view text, std::string_view model, const classify::Phrases& after) {
    const std::string plainModel = FoldTypography(model);
    const size_t p = text.find(plainModel);
    if (p == std::string_view::npos) {
        return false;
    }
    const size_t from = AdvanceChars(text, p + plainModel.size(), 6);
    if (from >= text.size()) {
        return false;
    }
    for (auto phrase : after) {
        if (text.find(FoldTypography(phrase), from) != std::string_view::npos) {
            return true;
        }
    }
    return false;
}

bool HeadersHold(std::string_view text, unsigned headers) {
    if (headers == classify::kNoHeader) {
        return true;
    }
    return ((headers & classify::kAG) && Has(text, classify::kHeaderAG)) ||
           ((headers & classify::kSD) && Has(text, classify::kHeaderSD)) ||
           ((headers & classify::kSE) && Has(text, classify::kHeaderSE));
}

// Lower-cased text made once per classification, only when a row asks for it.
class LowerText {
public:
    explicit LowerText(const std::string& upper) : m_upper(upper) {}
    const std::string& Get() {
        if (!m_done) {
            m_lower = Lower(m_upper);
            m_done = true;
        }
        return m_lower;
    }

private:
    const std::string& m_upper;
    std::string m_lower;
    bool m_done = false;
};

bool PhrasesHold(const Row& row, const std::string& text, LowerText& lower) {
    if (!HeadersHold(text, row.headers)) {
        return false;
    }
    if (!row.anyOf.empty()) {
        bool any = false;
        for (auto phrase : row.anyOf) {
            any = any || Has(text, phrase);
        }
        if (!any) {
            return false;
        }
    }
    for (auto phrase : row.allOf) {
        if (!Has(text, phrase)) {
            return false;
        }
    }
    for (auto phrase : row.noneOf) {
        if (Has(text, phrase)) {
            return false;
        }
    }
    if (!row.model.empty() && !HasAfterModel(text, row.model, row.after)) {
        return false;
    }
    for (auto phrase : row.lowerAllOf) {
        if (!Has(lower.Get(), phrase)) {
            return false;
        }
    }
    for (auto phrase : row.lowerNoneOf) {
        if (Has(lower.Get(), phrase)) {
            return false;
        }
    }
    return true;
}

} // namespace

bool bvTel::ClassifyDoc(const std::string& upperText) {
    m_nDocType = -1;
    m_nArchTipoDoc = -1;
    m_nClassifiedRow = 0;
    LowerText lower(upperText);
    for (const Row& row : classify::Rows()) {
        if (!PhrasesHold(row, upperText, lower)) {
            continue;
        }
        bool holds = true;
        switch (row.test) {
        case Test::None:
            break;
        case Test::ListPageStartOther:
            holds = ListPageTest(upperText, false, false);
            break;
        case Test::ListPageStartFirm:
            holds = ListPageTest(upperText, false, true);
            break;
        case Test::ListPageChangeOther:
            holds = ListPageTest(upperText, true, false);
            break;
        case Test::ListPageChangeFirm:
            holds = ListPageTest(upperText, true, true);
            break;
        case Test::Model730:
            holds = Test730(upperText);
            break;
        case Test::InvoiceSubjectEqual:
            holds = InvoiceSubjectTest(upperText);
            break;
        case Test::InvoiceSubjectOther:
            holds = !InvoiceSubjectTest(upperText);
            break;
        case Test::Intent:
            if (Has(upperText, "COMUNICAZIONE DEI DATI CONTENUTI NELLE DICHIARAZIONI DI INTENTO "
                               "RICEVUTE") &&
                HeadersHold(upperText, classify::kSD | classify::kSE)) {
                m_nIntentVariant = 0;
            } else if (Has(upperText,
                           "COMUNICAZIONE DI AVVENUTO RICEVIMENTO DICHIARAZIONE D'INTENTO") &&
                       HeadersHold(upperText, classify::kAG)) {
                m_nIntentVariant = 1;
            } else {
                holds = false;
            }
            break;
        case Test::RentPaymentsOrTypeLine:
            holds = (HeadersHold(upperText, classify::kAG) &&
                     Has(upperText, "DAI CONTROLLI ESEGUITI, TUTTE LE RICHIESTE DI PAGAMENTO")) ||
                    DocumentTypeLineTest(upperText);
            break;
        case Test::Intrastat: {
            const bool declHeader = HeadersHold(upperText, classify::kSD | classify::kSE);
            holds =
                (declHeader &&
                 Has(upperText, "ELENCHI RIEPILOGATIVI DELLE CESSIONI E DEGLI ACQUISTI\r\n"
                                "INTRACOMUNITARI DI BENI E DI SERVIZI RESI E RICEVUTI") &&
                 Has(upperText,
                     "SONO STATI ESEGUITI I CONTROLLI SOSTANZIALI PREVISTI DALLE SPECIFICHE")) ||
                (!declHeader &&
                 Has(upperText, "DICHIARAZIONI INTRASTAT - CODICE ASSEGNATO AL FILE"));
            break;
        }
        case Test::Quadri:
            holds = QuadriTest(upperText);
            break;
        }
        if (!holds) {
            continue;
        }
        m_nDocType = row.docType;
        m_nArchTipoDoc = row.archTipoDoc;
        m_nClassifiedRow = row.number;
        if (row.fillPageBox) {
            FillPageBoxText();
        }
        return true;
    }
    return false;
}

bool bvTel::ListPageTest(const std::string& /*upperText*/, bool change, bool individualFirm) const {
    if (m_nListPage < 0) {
        return false;
    }
    for (long i = m_nListPage; i < static_cast<long>(m_asPageText.size()); ++i) {
        const std::string& page = m_asPageText[static_cast<size_t>(i)];
        if (!Has(Upper(page), kListHeadingDocs)) {
            continue;
        }
        const std::string lower = Lower(page);
        const std::string second =
            individualFirm ? "ditta individuale" : "soggetti diversi dalle persone fisiche";
        if (change) {
            return Has(lower, "variazione dati " + second);
        }
        return Has(lower, "inizio attivita’ " + second) || Has(lower, "inizio attivita' " + second);
    }
    return false;
}

bool bvTel::Test730(const std::string& upperText) {
    if (!HeadersHold(upperText, classify::kSD | classify::kSE)) {
        return false;
    }
    if (Has(upperText, "MODELLO DI DICHIARAZIONE 730")) {
        return true;
    }
    if (!Has(upperText, "MODELLO DI DICHIARAZIONE")) {
        return false;
    }
    const std::u32string value =
        ToU32(GetLabelValue(upperText, "COMUNICAZIONE DI AVVENUTO RICEVIMENTO PRODOTTA IL\r\n",
                            "\r\n", "", kAnyText, false, false));
    if (value.substr(0, 4) != U"730 ") {
        return false;
    }
    m_bIs730Alt = true;
    const std::string year = ToUtf8(value.substr(4, 4));
    if (const auto number = ParseNumber(year)) {
        m_nYear730 = std::lround(*number);
    }
    return true;
}

bool bvTel::InvoiceSubjectTest(const std::string& upperText) const {
    static const std::string kSubject = "PER LA TRASMISSIONE DEGLI F24";
    return GetLabelValue(upperText,
                         "ATTESTAZIONE DI ELABORAZIONE DELLA FATTURA/NOTA PER COMPENSI AGLI "
                         "INTERMEDIARI\r\n",
                         static_cast<long>(ToU32(kSubject).size()), "", kAnyText, false,
                         false) == kSubject;
}

bool bvTel::DocumentTypeLineTest(const std::string& /*upperText*/) const {
    std::string value;
    return FindInfoInSummary("TIPO DI DOCUMENTO : ", "\r\n", false, value) &&
           Upper(value) == "LOCAZIONI - PAGAMENTI SUCCESSIVI";
}

bool bvTel::QuadriTest(const std::string& upperText) {
    const std::string text = DorvaneText::Replace(upperText, "\r\n", " ");
    if (!Has(text, "QUADRI DELLA DICHIARAZIONE CHE RISULTANO COMPILATI")) {
        return false;
    }
    const std::string lower = Lower(text);
    if (Has(text, "DICHIARAZIONE REGOLARE") || Has(lower, "risulta regolare")) {
        m_bOutcomeRegular = true;
        return true;
    }
    if (Has(lower, "presenta gli errori che sono evidenziati nelle pagine")) {
        m_bOutcomeRegular = false;
        return true;
    }
    return false;
}

void bvTel::FillPageBoxText() {
    m_asPageBoxText.assign(static_cast<size_t>(m_nPageCount), std::string());
    for (long i = 0; i < m_nPageCount; ++i) {
        m_asPageBoxText[static_cast<size_t>(i)] = PDFGetPageText(i, 650, 140, 270, 540, "");
    }
}

} // namespace quorvin
