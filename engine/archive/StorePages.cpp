#include "engine/archive/StorePages.h"

#include "archive/Convert.h"
#include "archive/DorvaneConnection.h"
#include "archive/DorvaneEnv.h"
#include "archive/DorvaneFiles.h"
#include "archive/DorvaneJob.h"
#include "archive/DorvaneRecordset.h"
#include "engine/bvTel.h"

#include <unistd.h>

#include <atomic>
#include <utility>

namespace quorvin {

DorvaneRecordset& bvTel::WorkRecordset(size_t k) {
    auto& slot = m_rsWork[k < 3 ? k : 2];
    if (!slot) {
        slot = std::make_unique<DorvaneRecordset>();
        if (m_env) {
            slot->Connection(m_env->Connection());
        }
    }
    return *slot;
}

namespace {

// A name for the log lines of one stored document, in the form the temporary PDFs had.
std::string LogName() {
    static std::atomic<unsigned> counter{0};
    return "ricevuta_" + std::to_string(getpid()) + "_" + std::to_string(counter.fetch_add(1)) +
           ".pdf";
}

} // namespace

SinglePageStore::SinglePageStore(bvTel& tel, std::string routine, long summaryRecord)
    : m_tel(tel), m_routine(std::move(routine)), m_summaryRecord(summaryRecord) {}

bool SinglePageStore::Open() {
    m_pdfName = DorvaneFiles::FileName(m_tel.File(), true);
    DorvaneEnv* env = m_tel.Env();
    if (env == nullptr) {
        return false;
    }
    const std::string& code = m_tel.SingleArchive();
    DorvaneRecordset& record = m_tel.CurrentRecord();
    m_failedStep = OpenStep::Archive;
    bool ok = record.Open(code, DorvaneRecordset::Mode::Updatable);
    if (ok) {
        m_failedStep = OpenStep::Description;
        ok = record.SetDescription(env->ArchiveStore().DescriptionTemplate(code), "SYS_DESCR", " ");
    }
    if (ok) {
        m_failedStep = OpenStep::Defaults;
        m_folder = env->Archives().Folder(code);
        ok = env->ArchiveStore().PrepareRecord(m_tel.WorkRecordset(0), code);
    }
    if (ok) {
        m_failedStep = OpenStep::None;
    }
    return ok;
}

bool SinglePageStore::Store(long first, long last, const std::string& text, const Label& label,
                            const Writer& writer, const OwnLinks& ownLinks) {
    const auto save = [&](std::string& bytes) {
        return m_tel.PDFPagesToMemory(first, last, bytes);
    };
    return StoreWith(save, text, label, writer, ownLinks);
}

bool SinglePageStore::StoreWholeFile(const std::string& text, const Label& label,
                                     const Writer& writer, const OwnLinks& ownLinks) {
    const auto save = [&](std::string& bytes) {
        return m_tel.PDFPagesToMemory(0, m_tel.PageCount() - 1, bytes);
    };
    return StoreWith(save, text, label, writer, ownLinks);
}

bool SinglePageStore::StoreWith(const Save& save, const std::string& text, const Label& label,
                                const Writer& writer, const OwnLinks& ownLinks) {
    DorvaneRecordset& record = m_tel.CurrentRecord();
    // One document is a part of the file's transaction: when it fails, none of it stays
    // (its record, its links), and the file's other documents go on.
    const auto& connection = m_tel.Env()->Connection();
    bool ok = connection->PartBegin() && m_tel.Env()->ArchiveStore().AddRecord(record);
    if (ok) {
        ok = writer(text);
    }
    const std::string tmp = LogName();
    std::string bytes;
    if (ok) {
        ok = save(bytes);
    }
    if (!ok) {
        if (record.Editing()) {
            record.CancelUpdate();
        }
        m_tel.TelLogEvent(1, tmp, m_routine, "Memorizzazione dati non riuscita");
    } else {
        ok = SaveRecord(std::move(bytes));
        const std::string name = label();
        bool referenceFailed = false;
        if (ok) {
            const long stored =
                static_cast<long>(ParseInteger(record.Value("SYS_RECORD")).value_or(-1));
            ok = LinkRecord(stored, tmp, ownLinks, referenceFailed);
            if (ok) {
                m_tel.TelLogEvent(2, tmp, m_routine, "Archiviazione " + name + " riuscita");
            } else {
                m_tel.TelLogEvent(1, tmp, m_routine,
                                  "Creazione collegamenti " + name + " non riuscita");
            }
        } else {
            record.CancelUpdate();
            m_tel.TelLogEvent(1, tmp, m_routine, "Archiviazione " + name + " non riuscita");
        }
        if (referenceFailed) {
            m_tel.TelLogEvent(1, m_pdfName, m_routine,
                              "Archiviazione " + name +
                                  ": Archivio documento di riferimento non trovato");
        }
    }
    if (!(ok ? connection->PartKeep() : connection->PartUndo())) {
        ok = false;
    }
    m_tel.CountDocument(
        ok, ok ? static_cast<long>(ParseInteger(record.Value("SYS_RECORD")).value_or(-1)) : -1);
    return ok;
}

bool SinglePageStore::SaveRecord(std::string bytes) {
    DorvaneArchiveStore& store = m_tel.Env()->ArchiveStore();
    DorvaneRecordset& record = m_tel.CurrentRecord();
    // Named after the user's file, never after a piece's temporary name.
    bool ok = store.StoreBytes(record, std::move(bytes), m_tel.FileNameOrig());
    if (ok) {
        record.BuildDescription();
        store.CopyRecordDefaults(record, m_tel.WorkRecordset(0), true);
        if (record.Value("Ditta").empty()) {
            record.SetValue("Ditta", m_tel.Info().Company);
            record.BuildDescription();
        }
        ok = record.Update();
    }
    return ok;
}

bool SinglePageStore::LinkRecord(long record, const std::string& tmp, const OwnLinks& ownLinks,
                                 bool& referenceFailed) {
    // A job without a summary record has nothing to link the single records to.
    bool ok = m_summaryRecord < 0 || m_tel.DocLinkCreate(m_tel.SummaryArchive(), m_summaryRecord,
                                                         m_tel.SingleArchive(), record);
    if (ok && ownLinks) {
        ok = ownLinks(record, tmp);
    }
    if (ok && m_tel.RefTipoDoc() != 0) {
        bool found = false;
        // The year is the one the archive selection derives for the reference type, so
        // that the period queries and the previous-year search have a year to work with.
        referenceFailed =
            !m_tel.FindOrigDoc(m_tel.SingleArchive(), record,
                               m_tel.DeriveArchiveYear(m_tel.RefTipoDoc()), false, found, -1);
    }
    return ok;
}

bool SinglePageStore::Progress(long page) {
    DorvaneJob* job = m_tel.Job();
    if (job == nullptr) {
        return false;
    }
    job->Progress(page);
    return job->Stopped();
}

} // namespace quorvin
