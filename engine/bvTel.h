#pragma once
// The receipt engine: one object that takes receipt files one at a time, reads and
// classifies them, and (later) archives them. It never prints: everything it does is
// reported through TelLogEvent.
#include "engine/FileTable.h"
#include "engine/LabelValue.h"
#include "engine/pdf/PageText.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quorvin {

namespace pdf {
class PageReader;
class PageCutter;
} // namespace pdf

class bvTel {
public:
    using TelLogEventHandler =
        std::function<void(long nPriority, const std::string& sFile, const std::string& sFunc,
                           const std::string& sMsg)>;
    using TelLogStatusHandler = std::function<void(long nPrc)>;

    bvTel();
    // With another page reader (tests, fuzzing); it must outlive the object.
    explicit bvTel(pdf::PageReader& reader);
    ~bvTel();
    bvTel(const bvTel&) = delete;
    bvTel& operator=(const bvTel&) = delete;

    // Events: every handler connected is called, in order of connection.
    void ConnectTelLogEvent(TelLogEventHandler handler);
    void ConnectTelLogStatus(TelLogStatusHandler handler);

    // Public members, in the order of the dispatch table.
    const std::string& File() const { return m_sFile; }
    void File(const std::string& path); // opens, reads every page, classifies
    const std::string& FileNameOrig() const { return m_sFileNameOrig; }
    void FileNameOrig(const std::string& name) { m_sFileNameOrig = name; }
    bool IsOpen() const { return m_bIsOpen; }
    long DocType() const { return m_nDocType; }
    bool ProcessStopped() const { return m_bProcessStopped; }
    long FileSplit(FileTable& xaFiles, long nIdx);
    void Init() { m_bProcessStopped = false; }
    bool StopProcess();

    // State read by the driver, the inspection command and the tests.
    long ArchTipoDoc() const { return m_nArchTipoDoc; }
    long PageCount() const { return m_nPageCount; }
    long ListPage() const { return m_nListPage; }
    const std::vector<std::string>& PageText() const { return m_asPageText; }
    const std::vector<std::string>& PageBoxText() const { return m_asPageBoxText; }
    bool StoreSummary() const { return m_bStoreSummary; }
    bool Is730Alt() const { return m_bIs730Alt; }
    long Year730() const { return m_nYear730; }
    long IntentVariant() const { return m_nIntentVariant; }
    bool OutcomeRegular() const { return m_bOutcomeRegular; }
    // Which classification row decided (1-based), 0 when none: for the inspection command.
    int ClassifiedRow() const { return m_nClassifiedRow; }

    // Label-value reading (no side effects).
    std::string GetLabelValue(const std::string& text, const std::string& label,
                              const LabelEnd& end, const std::string& anchor, long kind,
                              bool literalEnd, bool backward) const;
    // The value after label on the first list page (from ListPage, or page 0) that holds it.
    bool FindInfoInSummary(const std::string& label, const LabelEnd& end, bool literalEnd,
                           std::string& value) const;

    // PDF access layer.
    bool PDFOpen(const std::string& path, bool quiet);
    std::string PDFGetPageText(long page, long top, long left, long right, long bottom,
                               const std::string& words);
    bool PDFExtractPages(long first, long last, const std::string& destination);
    bool PDFSavePages(long first, long last, const std::string& destination);
    void PDFClose();

    // Classification of the upper-cased text of the first page.
    bool ClassifyDoc(const std::string& upperText);

private:
    void RaiseLog(long nPriority, const std::string& sFile, const std::string& sFunc,
                  const std::string& sMsg) const;
    void RaiseStatus(long nPrc) const;
    pdf::PageCutter* Cutter();

    // Classification predicates that read or write object state.
    friend struct ClassifyRules;
    bool ListPageTest(const std::string& upperText, bool change, bool individualFirm) const;
    bool Test730(const std::string& upperText);
    bool InvoiceSubjectTest(const std::string& upperText) const;
    bool DocumentTypeLineTest(const std::string& upperText) const;
    bool QuadriTest(const std::string& upperText);
    void FillPageBoxText();

    pdf::PageReader* m_reader;
    std::vector<TelLogEventHandler> m_logHandlers;
    std::vector<TelLogStatusHandler> m_statusHandlers;

    bool m_bIsOpen = false;
    bool m_bStoreSummary = true;
    bool m_bIs730Alt = false;
    bool m_bOutcomeRegular = false;
    std::string m_sFile;
    std::string m_sFileNameOrig;
    long m_nIntentVariant = 0;

    // The open PDF: every page read once at open, the cutter made on first use.
    std::optional<pdf::Document> m_pdfDoc;
    std::string m_pdfPath;
    std::unique_ptr<pdf::PageCutter> m_cutter;

    long m_nPageCount = 0;
    long m_nListPage = -1;
    std::vector<std::string> m_asPageText;
    std::vector<std::string> m_asPageBoxText;
    long m_nDocType = -1;
    long m_nArchTipoDoc = -1;
    long m_nRefTipoDoc = 0;
    long m_nYear730 = -1;
    long m_nSelTipoDoc = -1;
    long m_nSelYear = -1;
    bool m_bProcessStopped = false;
    int m_nClassifiedRow = 0;
    bool m_bJobRunning = false;
    bool m_bJobStopped = false;
};

} // namespace quorvin
