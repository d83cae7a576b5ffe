// The archiving job of one receipt file: the summary record, then the single receipts.
#include "archive/DorvaneEnv.h"
#include "archive/DorvaneFiles.h"
#include "archive/DorvaneJob.h"
#include "archive/DorvaneRecordset.h"
#include "archive/Fingerprints.h"
#include "engine/RuntimeError.h"
#include "engine/bvTel.h"

#include <exception>
#include <vector>

namespace quorvin {

namespace {

// Types that never get a summary record; the document count they start with.
// 80 is here like 404: no archive is ever chosen for an 80 summary record.
struct NoSummaryRow {
    long docType;
    bool pageCount; // the count is the page count, else 1
};
const NoSummaryRow kNoSummary[] = {{80, true}, {82, false}, {83, false}, {404, true}};

const NoSummaryRow* NoSummaryFor(long docType) {
    for (const auto& row : kNoSummary) {
        if (row.docType == docType) {
            return &row;
        }
    }
    return nullptr;
}

// The page-storing routine of each ArchTipoDoc, given the summary record; none: nothing
// to store, the job succeeds.
struct PagesRow {
    std::vector<long> archTipoDocs;
    bool (*store)(bvTel& tel, long& summaryRecord);
};

// clang-format off
const std::vector<PagesRow> kPages = {
    {{131, 133},
     [](bvTel& tel, long& summary) { return tel.StorePagesF24(summary); }},
    {{96, 135, 137, 139, 141, 143, 145, 147, 151, 155, 157, 169, 187, 189, 382},
     [](bvTel& tel, long& summary) { return tel.StorePagesDich(summary); }},
    {{79,  80,  101, 121, 123, 128, 149, 153, 159, 161, 163, 165, 167, 171, 173, 175, 177,
      179, 181, 183, 185, 191, 193, 195, 197, 199, 287, 290, 294, 317, 319, 351, 387, 389,
      402, 404, 414},
     [](bvTel& tel, long& summary) { return tel.StorePagesComunicazioni(summary); }},
    {{465},
     [](bvTel& tel, long& summary) { return tel.StorePagesINAILAutoliq(summary); }},
    {{82, 83},
     [](bvTel& tel, long&) { return tel.StoreComAgen(); }},
    {{99},
     [](bvTel& tel, long&) { return tel.StorePagesModelli(); }},
    {{94}, nullptr},
};
// clang-format on

const PagesRow* PagesFor(long archTipoDoc) {
    for (const auto& row : kPages) {
        for (const long code : row.archTipoDocs) {
            if (code == archTipoDoc) {
                return &row;
            }
        }
    }
    return nullptr;
}

} // namespace

bool bvTel::StoreFile() {
    try {
        if (!m_env) {
            Raise(kErrArchive, "Archivio non collegato.");
        }
        DorvaneJob job;
        m_cJob = &job;
        job.Option(0, true);
        job.Option(1, false);
        job.Total(m_nPageCount);
        job.Option(2, false);
        job.Option(3, false);
        bool handled = false;
        bool handlerOk = false;
        bool stopped = false;
        job.OnJob = [&](bool& ok) {
            handled = true;
            m_cJob_OnJob(ok);
            handlerOk = ok;
            // A file stopped half-way keeps nothing: it stays in the folder and is archived
            // whole next time, never partly twice.
            stopped = ok && job.Stopped();
            if (stopped) {
                ok = false;
            }
        };
        job.OnStatus = [this](long nPrc) { m_cJob_OnStatus(nPrc); };
        job.ProgressHook = m_jobProgressHook;
        // One receipt file, one transaction: a job without success leaves nothing
        // behind, so the file left in the folder is archived cleanly next time.
        job.UseTransaction(m_env->Connection());
        const bool result = job.Run();
        m_cJob = nullptr;
        if (!result && !stopped && (!handled || handlerOk)) {
            // The transaction could not begin or commit.
            const auto& connection = m_env->Connection();
            RaiseLog(1, "Archiviazione file", "StoreFile()",
                     std::to_string(connection->LastErrorNumber()) + ": " +
                         connection->LastError());
        }
        return result;
    } catch (const RuntimeError& e) {
        m_cJob = nullptr;
        RaiseLog(1, "Archiviazione file", "StoreFile()", ErrorText(e));
        return false;
    } catch (const std::exception& e) {
        m_cJob = nullptr;
        RaiseLog(1, "Archiviazione file", "StoreFile()",
                 std::to_string(kErrArchive) + ": " + e.what());
        return false;
    }
}

void bvTel::m_cJob_OnJob(bool& ok) {
    try {
        StoreSummaryAndPages(ok);
    } catch (const std::exception& e) {
        // A failing library call must still end the job with its closing line.
        ok = false;
        RaiseLog(1, m_sFileNameOrig, "m_cJob_OnJob()",
                 std::to_string(kErrArchive) + ": " + e.what());
        RaiseLog(1, m_sFileNameOrig, "m_cJob_OnJob()", "Archiviazione non completata");
    }
}

void bvTel::StoreSummaryAndPages(bool& ok) {
    m_bProcessStopped = false;
    m_nSummaryRecord = -1;
    m_nDocsStored = 0;
    m_nDocsFailed = 0;
    m_nFirstSingleRecord = -1;
    m_bArchivedWithErrors = false;
    std::string m;
    std::string destination;
    ok = true;
    const NoSummaryRow* noSummary = NoSummaryFor(m_nDocType);
    if (noSummary == nullptr && m_bStoreSummary) {
        DorvaneRecordset& record = CurrentRecord();
        DorvaneRecordset& defaults = WorkRecordset(0);
        DorvaneArchiveStore& store = m_env->ArchiveStore();
        ok = record.Open(m_sSummaryArchive, DorvaneRecordset::Mode::Updatable);
        if (!ok) {
            m = "Errore nell'apertura dell'archivio destinazione.";
        }
        std::string folder;
        if (ok) {
            record.SetDescription(store.DescriptionTemplate(m_sSummaryArchive), "SYS_DESCR", " ");
            folder = m_env->Archives().Folder(m_sSummaryArchive);
            store.PrepareRecord(defaults, m_sSummaryArchive);
            ok = store.AddRecord(record);
            if (!ok) {
                m = "Errore nell'aggiunta nuovo record.";
            }
        }
        if (ok) {
            ok = WriteSummaryFields(m_asPageText.empty() ? std::string() : m_asPageText[0]);
            if (!ok) {
                m = "Errore nella scrittura dei dati del riepilogo.";
            }
        }
        if (ok) {
            store.CopyRecordDefaults(record, defaults, true);
            // The receipt goes into the database with its record, named after the user's
            // file; nothing is copied anywhere before the record is saved.
            m_env->Connection()->ClearError();
            ok = store.StoreFile(record, m_sFile, m_sFileNameOrig, destination);
            if (!ok) {
                m = m_env->Connection()->LastError();
                if (m.empty()) {
                    m = "Impossibile leggere il file '" + m_sFile + "' da archiviare.";
                }
            }
        }
        if (ok) {
            record.BuildDescription();
        }
        if (ok) {
            ok = record.Update();
            if (ok) {
                m_nSummaryRecord = std::stol(record.Value("SYS_RECORD"));
            } else {
                m = "Errore nel salvataggio dei dati del riepilogo.";
            }
        } else if (record.Editing()) {
            record.CancelUpdate();
        }
        if (!ok) {
            RaiseLog(1, m_sFileNameOrig, "m_cJob_OnJob()", m);
        }
    } else if (noSummary != nullptr) {
        m_nDocCount = noSummary->pageCount ? m_nPageCount : 1;
    } else {
        m_nDocCount = 0;
    }
    if (ok) {
        const PagesRow* pages = PagesFor(m_nArchTipoDoc);
        ok = pages != nullptr && (pages->store == nullptr || pages->store(*this, m_nSummaryRecord));
        ok = FileWholeInArchive(ok);
    }
    // Without a summary record there is nothing to link the earlier receipts to.
    if (ok && !m_anEarlierRecords.empty() && m_nSummaryRecord >= 0) {
        ok = DocLinkCreate(m_sEarlierKey, m_anEarlierRecords, m_sSummaryArchive, m_nSummaryRecord);
    }
    // The fingerprint belongs to the file's transaction: archived and recorded, or neither.
    if (ok && !(m_cJob != nullptr && m_cJob->Stopped())) {
        ok = RecordFingerprint();
    }
    if (ok) {
        m = m_cJob != nullptr && m_cJob->Stopped() ? "Archiviazione interrotta dall'utente"
                                                   : "Archiviazione completata";
    } else {
        m = "Archiviazione non completata";
    }
    RaiseLog(1, m_sFileNameOrig, "m_cJob_OnJob()", m);
}

bool bvTel::FileWholeInArchive(bool routineOk) {
    const bool stopped = m_cJob != nullptr && m_cJob->Stopped();
    if (m_nSummaryRecord >= 0) {
        // The summary record holds the whole PDF: single documents that failed (each
        // logged with its label) do not keep the file out of the archive.
        m_bArchivedWithErrors = m_nDocsFailed > 0;
        if (!routineOk && m_nDocsFailed > 0 && !stopped) {
            return true;
        }
        return routineOk;
    }
    if (routineOk && m_nDocsFailed == 0 && m_nDocsStored == 0 && !stopped) {
        RaiseLog(1, m_sFileNameOrig, "m_cJob_OnJob()", "Nessun dato da archiviare nel file.");
        return false;
    }
    // Without a summary record, a document that failed is a part of the file that is not
    // in the archive: the whole file stays.
    return routineOk && m_nDocsFailed == 0;
}

void bvTel::CountDocument(bool stored, long record) {
    ++(stored ? m_nDocsStored : m_nDocsFailed);
    if (stored && m_nFirstSingleRecord < 0) {
        m_nFirstSingleRecord = record;
    }
}

bool bvTel::RecordFingerprint() {
    const bool summary = m_nSummaryRecord >= 0;
    const long record = summary ? m_nSummaryRecord : m_nFirstSingleRecord;
    if (record < 0) {
        return true; // updates only (outcomes of communications): nothing of its own
    }
    if (m_sFingerprint.empty()) {
        m_sFingerprint = PageFingerprint();
        m_nFingerprintPiece = 0;
    }
    if (RecordArchivedReceipt(*m_env->Connection(), m_sFingerprint, m_nFingerprintPiece,
                              summary ? m_sSummaryArchive : m_sSingleArchive, record)) {
        return true;
    }
    RaiseLog(1, m_sFileNameOrig, "m_cJob_OnJob()",
             std::to_string(m_env->Connection()->LastErrorNumber()) + ": " +
                 m_env->Connection()->LastError());
    return false;
}

void bvTel::m_cJob_OnStatus(long nPrc) {
    RaiseStatus(nPrc);
}

} // namespace quorvin
