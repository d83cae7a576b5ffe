// Communications, requests, leases, notices of regularity and INPS returns: one page per
// single receipt, each stored with the writer of its ArchTipoDoc and linked to the
// summary record and to the original it acknowledges.
#include "archive/DorvaneConnection.h"
#include "archive/DorvaneEnv.h"
#include "engine/RuntimeError.h"
#include "engine/archive/StorePages.h"
#include "engine/bvTel.h"

#include <exception>
#include <string>
#include <vector>

namespace quorvin {

namespace {

constexpr const char* kRoutine = "StorePagesComunicazioni()";

using PageWriter = bool (bvTel::*)(const std::string&);
// A writer that also takes the document's row in the list (its page index).
using RowWriter = bool (bvTel::*)(const std::string&, long);

struct WriterRow {
    std::vector<long> archTipoDocs;
    PageWriter writer;
    RowWriter rowWriter = nullptr;
};

// clang-format off
const std::vector<WriterRow> kWriters = {
    {{79},                      &bvTel::WriteFieldsBlackListSing},
    {{80},                      &bvTel::WriteFieldsRegoOKSing},
    {{101},                     &bvTel::WriteFieldsIRAPRimbSing},
    {{121, 159, 161},           &bvTel::WriteFieldsCompensiSing},
    {{123, 199},                &bvTel::WriteFieldsRichiestaSing},
    {{128},                     &bvTel::WriteFieldsComunicazione730_4Sing},
    {{149},                     &bvTel::WriteFieldsStudiSettSing},
    {{153, 197},                &bvTel::WriteFieldsAnnullamentoSing},
    {{163, 165, 167, 175, 177}, &bvTel::WriteFieldsIvaAttivitaSing},
    {{171},                     &bvTel::WriteFieldsElencoCFSing},
    {{173},                     &bvTel::WriteFieldsLocazioneRicSing},
    {{179},                     nullptr, &bvTel::WriteFieldsLocSuccSing},
    {{181, 183},                &bvTel::WriteFieldsLocSuccEsitoSing},
    {{185},                     &bvTel::WriteFieldsIvaTrRimbSing},
    {{191},                     &bvTel::WriteFieldsAnaRappSing},
    {{193},                     &bvTel::WriteFieldsCredSicSing},
    {{195},                     &bvTel::WriteFieldsAccCredImpSing},
    {{287},                     &bvTel::WriteFieldsRiqEnergSing},
    {{290},                     &bvTel::WriteFieldsComunicazioneINPGISing},
    {{294},                     &bvTel::WriteFieldsComunicazioneFornDocFisc},
    {{317, 319, 351, 387, 389}, &bvTel::WriteFieldsComPoliSing},
    {{402},                     &bvTel::WriteFieldsEMENSSing},
    {{404},                     &bvTel::WriteFieldsDM10Sing},
    {{414},                     &bvTel::WriteFieldsENPALSSing},
};

// Where the documents start, and what each document's page carries, when it is not
// simply the next page from index 1.
struct PagesRule {
    long archTipoDoc;
    long firstPage;
    const char* startsAt; // the run starts at the first page from firstPage holding it
    const char* eachPage; // each document is the next page holding it
};
const PagesRule kPagesRules[] = {
    {80,  0, nullptr, nullptr},
    {128, 1, "il sistema informativo dell'agenzia delle entrate", nullptr},
    {402, 0, nullptr, "Codice Fiscale Azienda"},
    {404, 0, nullptr, "Data di Presentazione"},
};
// clang-format on

const WriterRow* WriterFor(long archTipoDoc) {
    for (const auto& row : kWriters) {
        for (const long code : row.archTipoDocs) {
            if (code == archTipoDoc) {
                return &row;
            }
        }
    }
    return nullptr;
}

PagesRule PagesRuleFor(long archTipoDoc) {
    for (const auto& rule : kPagesRules) {
        if (rule.archTipoDoc == archTipoDoc) {
            return rule;
        }
    }
    return {archTipoDoc, 1, nullptr, nullptr};
}

} // namespace

bool bvTel::StorePagesComunicazioni(long summaryRecord) {
    long page = -1;
    return RunPageRoutine(*this, kRoutine, page, [&]() -> bool {
        const WriterRow* row = WriterFor(m_nArchTipoDoc);
        // The summary link is made here, so that its failure can say which link failed.
        SinglePageStore store(*this, kRoutine, -1);
        if (!store.Open()) {
            return false;
        }
        if (row == nullptr) {
            return false;
        }
        const PagesRule rule = PagesRuleFor(m_nArchTipoDoc);
        const long lastPage = static_cast<long>(m_asPageText.size()) - 1;
        long next = rule.startsAt != nullptr ? FindPageIndex(rule.firstPage, rule.startsAt, false)
                                             : rule.firstPage;

        bool ok = true;
        long handled = 0;
        for (long n = 0; n < m_nDocCount; ++n) {
            page = rule.eachPage != nullptr ? FindPageIndex(next, rule.eachPage, false) : next;
            // The list of documents follows the single receipts: it is none of them.
            if (page > lastPage || (m_nListPage >= 0 && page >= m_nListPage)) {
                break;
            }
            const long index = page;
            const auto label = [this, index] {
                return m_TelInfo.SendNumber.empty() ? "singolo n. " + std::to_string(index)
                                                    : "progressivo " + m_TelInfo.SendNumber;
            };
            const auto writer = [this, row, index](const std::string& text) {
                return row->rowWriter != nullptr ? (this->*(row->rowWriter))(text, index)
                                                 : (this->*(row->writer))(text);
            };
            const auto links = [this, summaryRecord, &label](long record, const std::string& tmp) {
                // A job without a summary record has nothing to link the single records to.
                if (summaryRecord < 0 ||
                    DocLinkCreate(m_sSummaryArchive, summaryRecord, m_sSingleArchive, record)) {
                    return true;
                }
                const auto& connection = m_env->Connection();
                TelLogEvent(1, tmp, kRoutine,
                            "Creazione collegamenti al riepilogo per il " + label() +
                                " non riuscita (" + std::to_string(connection->LastErrorNumber()) +
                                "): " + connection->LastError());
                return false;
            };
            ok = store.Store(page, page, m_asPageText[static_cast<size_t>(page)], label, writer,
                             links);
            ++handled;
            // What one document read about its taxpayer is not the next one's.
            for (std::string* member :
                 {&m_TelInfo.TaxCode, &m_TelInfo.VatNumber, &m_TelInfo.Company, &m_TelInfo.Outcome,
                  &m_TelInfo.SendNumber, &m_TelInfo.PaymentProtocol}) {
                member->clear();
            }
            if (store.Progress(page)) {
                return ok;
            }
            next = page + 1;
        }
        if (handled == 0) {
            // A file whose single receipts are not where they belong must not leave the
            // folder as if it had been archived.
            TelLogEvent(1, store.PdfName(), kRoutine, "Nessuna ricevuta singola trovata nel file");
            return false;
        }
        return ok;
    });
}

} // namespace quorvin
