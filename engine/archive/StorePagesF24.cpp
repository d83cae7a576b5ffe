// F24 receipts: one single record per payment page of a transmission (131) or per
// outcome page of a debit request (133).
#include "archive/Convert.h"
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

constexpr const char* kRoutine = "StorePagesF24()";
constexpr const char* kListHeading = "ELENCO DEI DOCUMENTI ACQUISITI E/O SCARTATI";

struct F24Kind {
    long archTipoDoc;
    const char* heading; // first line of each single receipt, exact case
    bool (bvTel::*writer)(const std::string&);
    const char* expected; // closing line: "<expected> N <what>, presenti M."
    const char* what;
};

const F24Kind kKinds[] = {
    {131, "ATTESTAZIONE DI AVVENUTA TRASMISSIONE", &bvTel::WriteFieldsF24Sing, "Previste",
     "ricevute singole"},
    {133, "RICHIESTA DI PAGAMENTO TELEMATICO - ESITO DEL VERSAMENTO",
     &bvTel::WriteFieldsF24EsitoSing, "Previsti", "esiti singoli"},
};

const F24Kind* KindOf(long archTipoDoc) {
    for (const auto& kind : kKinds) {
        if (kind.archTipoDoc == archTipoDoc) {
            return &kind;
        }
    }
    return nullptr;
}

long CounterAfter(const bvTel& tel, const std::string& text, const char* label) {
    const std::string value = tel.GetLabelValue(text, label, "\r\n", "", kNumeric, false, false);
    return static_cast<long>(ParseNumber(value).value_or(0));
}

} // namespace

bool bvTel::StorePagesF24(long& summaryRecord) {
    long page = -1;
    return RunPageRoutine(*this, kRoutine, page, [&]() -> bool {
        const F24Kind* kind = KindOf(m_nArchTipoDoc);
        if (kind == nullptr) {
            return false;
        }
        SinglePageStore store(*this, kRoutine, summaryRecord);
        if (!store.Open()) {
            return false;
        }
        const long lastPage = static_cast<long>(m_asPageText.size()) - 1;
        long first = 1;
        while (first <= lastPage &&
               m_asPageText[static_cast<size_t>(first)].find(kind->heading) == std::string::npos) {
            ++first;
        }
        if (first > lastPage) {
            TelLogEvent(1, store.PdfName(), kRoutine, "Nessuna ricevuta singola trovata nel file");
            return false;
        }

        // An outcome is linked to the payment of the transmission it answers.
        SinglePageStore::OwnLinks ownLinks;
        if (kind->archTipoDoc == 133) {
            ownLinks = [this](long record, const std::string& tmp) {
                std::string key;
                std::vector<long> records;
                std::vector<long> dates;
                if (FindTelDoc(131, key, records, dates) && !key.empty() &&
                    !DorvaneText::IsEmptyArray(records)) {
                    return DocLinkCreate(key, records, m_sSingleArchive, record);
                }
                TelLogEvent(1, tmp, kRoutine,
                            "Progressivo " + m_TelInfo.SendNumber +
                                ": Trasmissione singola non trovata");
                return true;
            };
        }
        const auto writer = [this, kind](const std::string& text) {
            return (this->*(kind->writer))(text);
        };

        bool ok = true;
        page = first;
        const long end = first + m_nDocCount;
        for (; page < end && page <= lastPage; ++page) {
            const std::string& text = m_asPageText[static_cast<size_t>(page)];
            if (Upper(text).find(kListHeading) != std::string::npos) {
                break;
            }
            const long index = page;
            const auto label = [this, index] {
                return m_TelInfo.SendNumber.empty() ? "singolo n. " + std::to_string(index)
                                                    : "progressivo " + m_TelInfo.SendNumber;
            };
            ok = store.Store(page, page, text, label, writer, ownLinks);
            if (store.Progress(page)) {
                return ok;
            }
        }

        // The counters are printed on the list that follows the single receipts.
        long present = 0;
        for (long i = page; i <= lastPage; ++i) {
            const std::string& text = m_asPageText[static_cast<size_t>(i)];
            if (Upper(text).find(kListHeading) != std::string::npos) {
                present = CounterAfter(*this, text, "DOCUMENTI ACQUISITI : ") +
                          CounterAfter(*this, text, "DOCUMENTI SCARTATI : ");
                break;
            }
        }
        TelLogEvent(1, store.PdfName(), kRoutine,
                    std::string(kind->expected) + " " + std::to_string(m_nDocCount) + " " +
                        kind->what + ", presenti " + std::to_string(present) + ".");
        return ok;
    });
}

} // namespace quorvin
