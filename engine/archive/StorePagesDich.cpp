// Declaration receipts: one single record per declaration of the transmission. A
// declaration is a run of consecutive pages that carry the same document key (two parts
// joined by "###"): usually the protocol and the progressive number of the declaration.
#include "archive/Convert.h"
#include "archive/DorvaneFiles.h"
#include "archive/DorvaneText.h"
#include "archive/Utf8.h"
#include "engine/RuntimeError.h"
#include "engine/archive/StorePages.h"
#include "engine/bvTel.h"

#include <exception>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

namespace quorvin {

namespace {

constexpr const char* kRoutine = "StorePagesDich()";

const char* const kDeclarationHeadings[] = {
    "SERVIZIO TELEMATICO DI PRESENTAZIONE DELLE DICHIARAZIONI",
    "SERVIZIO TELEMATICO ENTRATEL DI PRESENTAZIONE DELLE DICHIARAZIONI",
};
const char* const kIntentHeadings[] = {"RICEVUTA DI PRESENTAZIONE DICHIARAZIONE D'INTENTO"};

const char* const kSupplementary[] = {
    "Dichiarazione integrativa : SI",
    "Dichiarazione integrativa a favore: SI",
};

struct Key {
    std::string a;
    std::string b;
    bool operator==(const Key&) const = default;
};

// How the key of the page after the current one is read.
enum class NextKeyBy {
    Declaration,   // "DICHIARAZIONE PROTOCOLLO N. " / "... SCARTATA ..."
    Communication, // the same with "COMUNICAZIONE"
    AsCurrent,     // the rule of the current page, applied to the next one
    Alt730,        // the line after "prodotta il" / "730 <year>"
    Intrastat,     // the protocol the Intrastat receipt prints
};

struct KeyLabels {
    const char* accepted; // read up to the first "p"
    const char* rejected; // read to the line end
};
const KeyLabels kDeclarationLabels = {"DICHIARAZIONE PROTOCOLLO N. ",
                                      "DICHIARAZIONE SCARTATA - PROTOCOLLO INVIO N. "};
const KeyLabels kCommunicationLabels = {"COMUNICAZIONE PROTOCOLLO N. ",
                                        "COMUNICAZIONE SCARTATA - PROTOCOLLO INVIO N. "};

// The original the search looks for, by the number after "Dichiarazione UNICO : ".
struct UnicoOriginal {
    long unico;
    long refTipoDoc;
};
const UnicoOriginal kUnicoOriginals[] = {{0, 87}, {1, 87}, {2, 97}, {3, 98}, {4, 129}};

std::string Read(const bvTel& tel, const std::string& text, const std::string& label,
                 const LabelEnd& end, bool literal = false, const std::string& anchor = "") {
    return tel.GetLabelValue(text, label, end, anchor, kAnyText, literal, false);
}

bool ContainsAny(const std::string& text, const char* const* phrases, size_t n) {
    for (size_t k = 0; k < n; ++k) {
        if (text.find(phrases[k]) != std::string::npos) {
            return true;
        }
    }
    return false;
}

Key SplitKey(const std::string& value, const std::string& separator) {
    const size_t at = value.find(separator);
    if (at == std::string::npos) {
        return {value, ""};
    }
    return {value.substr(0, at), Trim(value.substr(at + separator.size()))};
}

// The key of a page as this routine reads it itself (intent variant 1, certifications);
// nullopt for the types whose key is the protocol the writer read.
std::optional<Key> OwnKey(const bvTel& tel, const std::string& text) {
    if (tel.ArchTipoDoc() == 157 && tel.IntentVariant() == 1) {
        return Key{Trim(tel.GetLabelValue(text, ", partita IVA", "presentata da", "", kAnyText,
                                          false, true)),
                   Trim(Read(tel, text, ", partita IVA", "\r\n"))};
    }
    if (tel.ArchTipoDoc() == 382) {
        std::string name = Read(
            tel, text, "AL DATORE DI LAVORO, Denominazione : ", "\r\nENTE PENSIONISTICO", true);
        if (name.empty()) {
            name = Read(tel, text,
                        "AL DATORE DI LAVORO, Cognome e nome : ", "\r\nENTE PENSIONISTICO", true);
        }
        return Key{Trim(Read(tel, text, "Codice fiscale : ", "\r\nAL DATORE DI LAVORO", true)),
                   Trim(name)};
    }
    return std::nullopt;
}

NextKeyBy NextKeyRule(const bvTel& tel) {
    switch (tel.ArchTipoDoc()) {
    case 96:
        return NextKeyBy::Intrastat;
    case 157:
        return tel.IntentVariant() == 1 ? NextKeyBy::AsCurrent : NextKeyBy::Communication;
    case 187:
        return tel.Is730Alt() ? NextKeyBy::Alt730 : NextKeyBy::Declaration;
    case 382:
        return NextKeyBy::AsCurrent;
    default:
        return NextKeyBy::Declaration;
    }
}

Key NextKey(const bvTel& tel, const std::string& next) {
    if (next.empty()) {
        return {};
    }
    const auto byLabels = [&](const KeyLabels& labels) {
        std::string value = Read(tel, next, labels.accepted, "p");
        if (value.empty()) {
            value = Read(tel, next, labels.rejected, "\r\n");
        }
        return SplitKey(value, " -");
    };
    switch (NextKeyRule(tel)) {
    case NextKeyBy::Declaration:
        return byLabels(kDeclarationLabels);
    case NextKeyBy::Communication:
        return byLabels(kCommunicationLabels);
    case NextKeyBy::AsCurrent:
        if (tel.ArchTipoDoc() == 382 &&
            next.find("ELENCO CERTIFICAZIONI ACQUISITE E/O SCARTATE") != std::string::npos) {
            return {};
        }
        return OwnKey(tel, next).value_or(Key{});
    case NextKeyBy::Alt730: {
        const std::string line = tel.Line730(next);
        Key key = SplitKey(line, " - ");
        key.b = DorvaneText::Token(key.b, 1, "", " ");
        return key;
    }
    case NextKeyBy::Intrastat: {
        const std::string value = tel.StoreSummary()
                                      ? Read(tel, next, "attribuito il protocollo ", "\r\n")
                                      : Read(tel, next, "Numero di protocollo/CIN : ", "\r\n");
        return SplitKey(value, value.find('-') != std::string::npos ? "-" : " -");
    }
    }
    return {};
}

} // namespace

bool bvTel::StorePagesDich(long summaryRecord) {
    long page = -1;
    try {
        SinglePageStore store(*this, kRoutine, summaryRecord);
        if (!store.Open()) {
            return false;
        }
        const long lastPage = static_cast<long>(m_asPageText.size()) - 1;
        long first = 0;
        if (m_bStoreSummary) {
            const bool intent = m_nArchTipoDoc == 157;
            const auto* headings = intent ? kIntentHeadings : kDeclarationHeadings;
            const size_t n = intent ? std::size(kIntentHeadings) : std::size(kDeclarationHeadings);
            first = 1;
            while (first <= lastPage &&
                   !ContainsAny(m_asPageText[static_cast<size_t>(first)], headings, n)) {
                ++first;
            }
        }
        if (first > lastPage) {
            TelLogEvent(1, store.PdfName(), kRoutine, "Nessuna ricevuta singola trovata nel file");
            return false;
        }
        page = first;

        // The date the declaration commits to (intent) or the date it was received.
        const std::string& firstText = m_asPageText[static_cast<size_t>(first)];
        std::string date =
            GetLabelValue(firstText, "Data dell’impegno: ", "\r\n", "", kDate, false, false);
        if (date.empty()) {
            date = GetLabelValue(firstText, "Data dell'impegno: ", "\r\n", "", kDate, false, false);
        }
        if (date.empty()) {
            FindInfoInSummary("Data dell'impegno: ", "\r\n", false, date);
        }
        if (date.empty()) {
            date = GetLabelValue(firstText, "In data ", " il sistema informativo", "", kDate, true,
                                 false);
        }
        m_TelInfo.PaymentDate = date;

        // An IRAP declaration's original is of the kind of UNICO it goes with.
        if (m_nArchTipoDoc == 169) {
            const std::string unico = GetLabelValue(firstText, "Dichiarazione UNICO : ", "\r\n", "",
                                                    kNumeric, false, false);
            const long n = static_cast<long>(ParseNumber(unico).value_or(0));
            for (const auto& row : kUnicoOriginals) {
                if (row.unico == n) {
                    m_nRefTipoDoc = row.refTipoDoc;
                }
            }
        }

        const bool alt730 = m_nArchTipoDoc == 187 && m_bIs730Alt;
        const auto read = [this, alt730](const std::string& text, bool write, bool supplementary) {
            return alt730 ? WriteFields730FieldsSing(text, write, supplementary)
                          : WriteFieldsDichiarazioniSing(text, write, supplementary);
        };
        // What one declaration reads must not carry over into the next.
        const TelInfo fileInfo = m_TelInfo;
        const auto forgetDocument = [this, &fileInfo] {
            m_TelInfo.TaxCode.clear();
            m_TelInfo.VatNumber.clear();
            m_TelInfo.Company = fileInfo.Company;
            m_TelInfo.Outcome = fileInfo.Outcome;
            m_TelInfo.Period = fileInfo.Period;
            m_TelInfo.PeriodFrom = fileInfo.PeriodFrom;
            m_TelInfo.PeriodTo = fileInfo.PeriodTo;
        };

        bool ok = true;
        bool stored = false;
        bool supplementary = false;
        long group = first;
        for (long i = first; i <= lastPage; ++i) {
            page = i;
            const std::string& text = m_asPageText[static_cast<size_t>(i)];
            const std::string next =
                i < lastPage ? m_asPageText[static_cast<size_t>(i + 1)] : std::string();
            supplementary =
                supplementary || ContainsAny(text, kSupplementary, std::size(kSupplementary));
            read(text, false, supplementary);
            const Key current =
                OwnKey(*this, text).value_or(Key{m_TelInfo.PaymentProtocol, m_TelInfo.SendNumber});
            const Key following = NextKey(*this, next);
            if (!(current == following)) {
                const bool byPage = m_nArchTipoDoc == 157 && m_nIntentVariant == 1;
                const long index = i;
                const auto label = [this, byPage, index] {
                    if (byPage || m_TelInfo.SendNumber.empty()) {
                        const long shown = !byPage && !m_bStoreSummary ? index + 1 : index;
                        return "singolo n. " + std::to_string(shown);
                    }
                    return "progressivo " + m_TelInfo.SendNumber;
                };
                const bool flag = supplementary;
                ok = store.Store(group, i, text, label, [&read, flag](const std::string& t) {
                    return read(t, true, flag);
                });
                stored = true;
                supplementary = false;
                forgetDocument();
                group = i + 1;
            }
            if (store.Progress(i)) {
                return ok;
            }
            if (following.a.empty()) {
                break;
            }
        }
        // A file whose first page gives no key would otherwise count as archived with
        // none of its declarations: it stays in the folder instead.
        if (!stored) {
            TelLogEvent(1, store.PdfName(), kRoutine, "Nessuna ricevuta singola trovata nel file");
            return false;
        }
        return ok;
    } catch (const RuntimeError& e) {
        TelLogEvent(1, "Estrazione pagina", kRoutine, ErrorText(e));
    } catch (const std::exception& e) {
        TelLogEvent(1, "Estrazione pagina", kRoutine,
                    ErrorText(RuntimeError{kErrInvalidCall, e.what()}));
    }
    TelLogEvent(1, DorvaneFiles::FileName(m_sFile, true), kRoutine,
                "Controllare la pagina " + std::to_string(page) + ": Probabile file malformato.");
    return false;
}

} // namespace quorvin
