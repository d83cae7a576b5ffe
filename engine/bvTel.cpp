#include "engine/bvTel.h"

#include "archive/DorvaneEnv.h"
#include "archive/DorvaneJob.h"
#include "archive/DorvaneRecordset.h"
#include "archive/Utf8.h"
#include "engine/pdf/PdfReader.h"
#include "engine/pdf/PdfWriter.h"

#include <array>
#include <string_view>

namespace quorvin {

namespace {

// Headings of a document list: from the first page holding one, pages are read with
// the list words.
constexpr std::array<std::string_view, 3> kListHeadings = {
    "ELENCO DEI DOCUMENTI ACQUISITI E/O SCARTATI",
    "ELENCO CERTIFICAZIONI ACQUISITE E/O SCARTATE",
    "ELENCO DEI CONTRATTI DI LOCAZIONE ACQUISITI E REGISTRATI",
};
constexpr const char* kListWords = "acquisito|scartato";

bool HasListHeading(const std::string& upper) {
    for (auto heading : kListHeadings) {
        if (upper.find(heading) != std::string::npos) {
            return true;
        }
    }
    return false;
}

} // namespace

bvTel::bvTel() : m_reader(&pdf::DefaultReader()) {}

bvTel::bvTel(pdf::PageReader& reader) : m_reader(&reader) {}

bvTel::bvTel(DorvaneEnv& env) : bvTel(env, pdf::DefaultReader()) {}

// The current record exists from construction, on the archive's connection.
bvTel::bvTel(DorvaneEnv& env, pdf::PageReader& reader) : m_env(&env), m_reader(&reader) {
    CurrentRecord();
}

bvTel::~bvTel() = default;

void bvTel::ConnectTelLogEvent(TelLogEventHandler handler) {
    m_logHandlers.push_back(std::move(handler));
}

void bvTel::ConnectTelLogStatus(TelLogStatusHandler handler) {
    m_statusHandlers.push_back(std::move(handler));
}

void bvTel::RaiseLog(long nPriority, const std::string& sFile, const std::string& sFunc,
                     const std::string& sMsg) const {
    for (const auto& handler : m_logHandlers) {
        handler(nPriority, sFile, sFunc, sMsg);
    }
}

void bvTel::RaiseStatus(long nPrc) const {
    for (const auto& handler : m_statusHandlers) {
        handler(nPrc);
    }
}

void bvTel::Fingerprint(const std::string& hash, long piece) {
    m_sFingerprint = hash;
    m_nFingerprintPiece = piece;
}

void bvTel::File(const std::string& path) {
    m_sFingerprint.clear();
    m_nFingerprintPiece = 0;
    m_asPageText.clear();
    m_asPageBoxText.clear();
    m_listLines.clear();
    m_summaryLists.clear();
    m_summaryInfo.clear();
    m_telDocArchives.clear();
    m_nListPage = -1;
    m_sFile = path;
    m_bIsOpen = PDFOpen(path, false);
    m_bStoreSummary = true;
    m_bIs730Alt = false;
    m_nYear730 = -1;
    m_nIntentVariant = 0;
    m_bOutcomeRegular = false;
    m_nClassifiedRow = 0;
    m_nPageCount = 0;
    if (!m_bIsOpen) {
        m_nDocType = -1;
        m_nArchTipoDoc = -1;
        return;
    }
    m_nPageCount = static_cast<long>(m_pdfDoc->pages.size());
    if (m_nPageCount < 1) {
        m_nDocType = -1;
        m_nArchTipoDoc = -1;
        return;
    }
    m_asPageText.assign(static_cast<size_t>(m_nPageCount), std::string());
    for (long i = 0; i < m_nPageCount; ++i) {
        if (m_nListPage < 0 && !HasListHeading(Upper(PlainPageText(i)))) {
            m_asPageText[static_cast<size_t>(i)] = PlainPageText(i);
            continue;
        }
        if (m_nListPage < 0) {
            m_nListPage = i;
        }
        m_asPageText[static_cast<size_t>(i)] = PDFGetPageText(i, 850, 0, 600, 0, kListWords);
    }
    ClassifyDoc(Upper(m_asPageText[0]));
}

bool bvTel::StopProcess() {
    if (m_cJob) {
        m_cJob->Stopped(true);
        m_bProcessStopped = m_cJob->Stopped();
    }
    return m_bProcessStopped;
}

DorvaneRecordset& bvTel::CurrentRecord() {
    if (!m_rsCurrent) {
        m_rsCurrent = std::make_unique<DorvaneRecordset>();
        if (m_env) {
            m_rsCurrent->Connection(m_env->Connection());
        }
    }
    return *m_rsCurrent;
}

std::string bvTel::GetLabelValue(const std::string& text, const std::string& label,
                                 const LabelEnd& end, const std::string& anchor, long kind,
                                 bool literalEnd, bool backward) const {
    return quorvin::GetLabelValue(text, label, end, anchor, kind, literalEnd, backward);
}

bool bvTel::FindInfoInSummary(const std::string& label, const LabelEnd& end, bool literalEnd,
                              std::string& value) const {
    // The pages do not change while the file is archived, and each of its single receipts
    // asks the same few questions of the list.
    const std::string question =
        label + '\x1f' +
        (end.IsLength() ? std::to_string(end.Length()) + '#' : end.Delimiter() + '$') +
        (literalEnd ? '1' : '0');
    auto known = m_summaryInfo.find(question);
    if (known == m_summaryInfo.end()) {
        std::optional<std::string> answer;
        const std::string lowerLabel = Lower(FoldTypography(label));
        const long first = m_nListPage < 0 ? 0 : m_nListPage;
        for (long i = first; i < static_cast<long>(m_asPageText.size()); ++i) {
            const std::string& page = m_asPageText[static_cast<size_t>(i)];
            if (Lower(page).find(lowerLabel) != std::string::npos) {
                answer = GetLabelValue(page, label, end, "", kAnyText, literalEnd, false);
                break;
            }
        }
        known = m_summaryInfo.emplace(question, std::move(answer)).first;
    }
    if (!known->second) {
        return false;
    }
    value = *known->second;
    return true;
}

} // namespace quorvin
