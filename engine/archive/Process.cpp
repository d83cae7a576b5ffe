// Processing one classified receipt: first-page data, archive choice, the archiving job.
#include "archive/DorvaneEnv.h"
#include "archive/DorvaneFiles.h"
#include "archive/DorvaneRecordset.h"
#include "engine/RuntimeError.h"
#include "engine/archive/FirstPageRules.h"
#include "engine/bvTel.h"

#include <exception>

namespace quorvin {

bool bvTel::Process() {
    bool result = m_bIsOpen;
    if (!result) {
        return false;
    }
    for (size_t k = 0; k < 3; ++k) {
        WorkRecordset(k);
    }
    if (m_env) {
        m_env->ArchiveStore().OpenLinks(WorkRecordset(2));
    }
    if (!WorkRecordset(2).IsOpen()) {
        RaiseLog(1, "Collegamenti", "Process()", "Apertura tabella collegamenti non riuscita");
        result = false;
    }
    if (result) {
        result = ProcessSingleFile();
        RaiseLog(1, m_sFileNameOrig, "Process()",
                 result ? "Elaborazione terminata" : "Elaborazione interrotta");
    }
    PDFClose();
    return result;
}

bool bvTel::ProcessSingleFile() {
    try {
        // A type without a reference type must not search the previous file's originals.
        m_nRefTipoDoc = 0;
        m_bStoreSummary = true;
        ClearDocInfo();
        m_sSummaryArchive.clear();
        m_sSingleArchive.clear();
        m_sEarlierKey.clear();
        m_anEarlierRecords.clear();
        const std::string text = m_asPageText.empty() ? std::string() : m_asPageText[0];

        firstpage::State state{
            *this,      text, m_nDocType, m_nArchTipoDoc, m_bStoreSummary, m_bIs730Alt,
            m_nYear730, {},   {},         false};
        bool ok = firstpage::Apply(state, m_nIntentVariant);
        if (!ok) {
            RaiseLog(2, DorvaneFiles::FileName(m_sFile, true), "ProcessSingleFile()",
                     "Dati della ricezione non individuati nella prima pagina");
            return false;
        }
        if (m_bStoreSummary) {
            ok = SelectArchive(m_nDocType, m_sSummaryArchive, -1);
            if (ok) {
                ok = CheckPermissions(m_sSummaryArchive);
            }
        } else {
            m_sSummaryArchive.clear();
        }
        if (m_nArchTipoDoc != 0 && ok) {
            ok = SelectArchive(m_nArchTipoDoc, m_sSingleArchive, m_nYear730);
            if (ok) {
                ok = CheckPermissions(m_sSingleArchive);
            }
        }
        // Outcomes link their earlier receipts to the summary record inside the job, so
        // that the link belongs to the file's one transaction.
        if ((m_nDocType == 132 || m_nDocType == 95) && state.hasEarlier) {
            m_sEarlierKey = state.foundKey;
            m_anEarlierRecords = state.foundRecords;
        }
        if (ok) {
            ok = StoreFile();
        }
        return ok;
    } catch (const RuntimeError&) {
        return false;
    } catch (const std::exception&) {
        return false;
    }
}

} // namespace quorvin
