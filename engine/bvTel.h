#pragma once
// The receipt engine: one object that takes receipt files one at a time, reads and
// classifies them, and (later) archives them. It never prints: everything it does is
// reported through TelLogEvent.
#include "engine/FileTable.h"
#include "engine/LabelValue.h"
#include "engine/TelInfo.h"
#include "engine/pdf/PageText.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quorvin {

namespace pdf {
class PageReader;
class PageCutter;
class PiecesAhead;
} // namespace pdf

class DorvaneEnv;
class DorvaneJob;
class DorvaneRecordset;
struct SummaryList;

class bvTel {
public:
    using TelLogEventHandler =
        std::function<void(long nPriority, const std::string& sFile, const std::string& sFunc,
                           const std::string& sMsg)>;
    using TelLogStatusHandler = std::function<void(long nPrc)>;

    // Without an archive the object reads and classifies only (Process fails).
    bvTel();
    // With another page reader (tests, fuzzing); it must outlive the object.
    explicit bvTel(pdf::PageReader& reader);
    // With the archive environment (signed in); it must outlive the object.
    explicit bvTel(DorvaneEnv& env);
    bvTel(DorvaneEnv& env, pdf::PageReader& reader);
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
    // Called on every progress step of the archiving job: the window keeps itself
    // responsive through it (and may call StopProcess from there).
    void JobProgressHook(std::function<void()> hook) { m_jobProgressHook = std::move(hook); }
    long FileSplit(FileTable& xaFiles, long nIdx);
    void Init() { m_bProcessStopped = false; }
    bool Process();
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
    const std::string& SummaryArchive() const { return m_sSummaryArchive; }
    const std::string& SingleArchive() const { return m_sSingleArchive; }
    const std::string& RefArchive() const { return m_sRefArchive; }
    long SummaryRecord() const { return m_nSummaryRecord; }
    // The first single record the last file stored, -1 when none (files without summary).
    long FirstSingleRecord() const { return m_nFirstSingleRecord; }
    long RefTipoDoc() const { return m_nRefTipoDoc; }

    // ---- Internal operations. Public so that the writers (free functions over this
    // object), the page storing and the tests reach them; the driver uses only the
    // members above.

    // Raises TelLogEvent.
    void TelLogEvent(long nPriority, const std::string& sFile, const std::string& sFunc,
                     const std::string& sMsg) const {
        RaiseLog(nPriority, sFile, sFunc, sMsg);
    }
    TelInfo& Info() { return m_TelInfo; }
    const TelInfo& Info() const { return m_TelInfo; }
    long DocumentCount() const { return m_nDocCount; }
    void DocumentCount(long count) { m_nDocCount = count; }
    // The archive record being built; created (on the archive connection) when missing.
    DorvaneRecordset& CurrentRecord();
    DorvaneEnv* Env() const { return m_env; }
    DorvaneJob* Job() const { return m_cJob; }

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
    // Pages first..last of the open PDF as the bytes of a new PDF (the whole file as it
    // is when they are all of it); logged like PDFExtractPages on failure.
    bool PDFPagesToMemory(long first, long last, std::string& bytes);
    void PDFClose();

    // Classification of the upper-cased text of the first page.
    bool ClassifyDoc(const std::string& upperText);

    // Single-file processing, archive selection, links, archiving job (engine/archive/).
    bool ProcessSingleFile();
    bool SelectArchive(long type, std::string& code, long year);
    // The year SelectArchive derives for a type when it is given -1.
    long DeriveArchiveYear(long type) const;
    bool CheckPermissions(const std::string& code);
    bool FindTelDoc(long type, std::string& code, std::vector<long>& records,
                    std::vector<long>& dates);
    bool DocLinkCreate(const std::string& parentCode, long parentRecord,
                       const std::string& childCode, long childRecord);
    bool DocLinkCreate(const std::string& parentCode, const std::vector<long>& parentRecords,
                       const std::string& childCode, long childRecord);
    bool StoreFile();
    void m_cJob_OnJob(bool& ok);
    void m_cJob_OnStatus(long nPrc);
    // The body of m_cJob_OnJob, which guards it.
    void StoreSummaryAndPages(bool& ok);
    // Whether the job's file is all in the archive, given its routine's success; logs
    // "Nessun dato da archiviare nel file." when nothing was stored.
    bool FileWholeInArchive(bool routineOk);
    // Records the job's fingerprint with the record it produced (inside the job).
    bool RecordFingerprint();
    // Whether the PDF reader works; false with the program tried.
    bool PDFReaderReady(std::string& tried);
    // Lets the reader read path while this object works on the open file; the File (or
    // FileSplit) that opens path next takes what it read.
    void PDFReadAhead(const std::string& path);
    // The fingerprint of the open PDF: the SHA-256 of its page texts (whole pages, in
    // order, as the page-text model reads them).
    std::string PageFingerprint();
    // What the archiving job records as archived: the fingerprint of the file (or of the
    // source of a split piece) and the piece number (0: the whole file). Reset by File;
    // unset, the job records the open PDF's own fingerprint as piece 0.
    void Fingerprint(const std::string& hash, long piece);
    // The source's fingerprint taken by the last FileSplit that cut a file.
    const std::string& SplitFingerprint() const { return m_sSplitFingerprint; }
    // A single document the page routine stored, or failed to store.
    void CountDocument(bool stored, long record);
    // The last archived file had single documents that failed (kept by its summary).
    bool ArchivedWithErrors() const { return m_bArchivedWithErrors; }

    // Writers: common scheme and list lookups, summary writers (engine/writers/).
    bool FindInfoDocInSummary(long progressive, const std::string& taxCode,
                              const std::string& protocol, std::vector<std::string>& row);
    bool GetInfoDocFromSummary(long rowNumber, std::vector<std::string>& row);
    bool FindNumDocInSummary(long& total, long& acquired);
    // The lines after heading on a page, up to the page's end; read once per file, since
    // every single receipt of a long list looks its row up again.
    const std::vector<std::string>& ListLines(size_t page, const std::string& heading) const;
    long FindPageIndex(long start, const std::string& text, bool stepBack) const;
    void ClearDocInfo() { m_TelInfo.Clear(); }
    bool WriteFieldsModelli(const std::string& text);
    // The summary writer of DocType applied to text; false when the type has none.
    bool WriteSummaryFields(const std::string& text);

    // Page storing of single receipts and their writers (engine/archive/, engine/writers/).
    bool StorePagesF24(long& summaryRecord);
    bool WriteFieldsF24Sing(const std::string& text);
    bool WriteFieldsF24EsitoSing(const std::string& text);
    // Declarations: one single record per run of pages with the same document key. The
    // writers fill TelInfo only when write is false; supplementary marks the description.
    bool StorePagesDich(long summaryRecord);
    bool WriteFieldsDichiarazioniSing(const std::string& text, bool write, bool supplementary);
    bool WriteFields730FieldsSing(const std::string& text, bool write, bool supplementary);
    // The line "protocol - number date" under the "730 <year>" heading of an assistance
    // centre's receipt; a heading whose year is no number is taken as printed.
    std::string Line730(const std::string& text) const;
    bool FindOrigDoc(const std::string& receiptArchive, long receiptKey, long year, bool checkYear,
                     bool& found, long type);

    // Social-security receipts, fingerprint outcomes and refund models.
    bool StorePagesINAILAutoliq(long summaryRecord);
    bool StoreComAgen();
    bool StorePagesModelli();
    bool WriteFieldsEMENSSing(const std::string& text);
    bool WriteFieldsENPALSSing(const std::string& text);
    // The period is read in the box of the page whose text this is (PageBoxText).
    bool WriteFieldsDM10Sing(const std::string& text);
    bool WriteFieldsINAILAutoliqSing(const std::string& text);
    bool WriteFieldsComAgenSing(const std::string& text);

    // Communications, requests, leases and notices of regularity: one page per document
    // (engine/archive/StorePagesComunicazioni.cpp, engine/writers/CommunicationWriters*.cpp,
    // engine/writers/LeaseWriters.cpp, engine/writers/RegularityWriter.cpp).
    bool StorePagesComunicazioni(long summaryRecord);
    bool WriteFieldsAccCredImpSing(const std::string& text);
    bool WriteFieldsAnaRappSing(const std::string& text);
    bool WriteFieldsAnnullamentoSing(const std::string& text);
    bool WriteFieldsBlackListSing(const std::string& text);
    bool WriteFieldsComPoliSing(const std::string& text);
    bool WriteFieldsCompensiSing(const std::string& text);
    bool WriteFieldsComunicazione730_4Sing(const std::string& text);
    bool WriteFieldsComunicazioneFornDocFisc(const std::string& text);
    bool WriteFieldsComunicazioneINPGISing(const std::string& text);
    bool WriteFieldsCredSicSing(const std::string& text);
    bool WriteFieldsElencoCFSing(const std::string& text);
    bool WriteFieldsIRAPRimbSing(const std::string& text);
    bool WriteFieldsIvaAttivitaSing(const std::string& text);
    bool WriteFieldsIvaTrRimbSing(const std::string& text);
    bool WriteFieldsRichiestaSing(const std::string& text);
    bool WriteFieldsRiqEnergSing(const std::string& text);
    bool WriteFieldsStudiSettSing(const std::string& text);
    bool WriteFieldsLocazioneRicSing(const std::string& text);
    // rowNumber: the document's row in the list of documents (its page index).
    bool WriteFieldsLocSuccSing(const std::string& text, long rowNumber);
    bool WriteFieldsLocSuccEsitoSing(const std::string& text);
    // Judges the page by itself (regular or with errors) before reading it.
    bool WriteFieldsRegoOKSing(const std::string& text);
    // Work record set k (0 defaults, 1 queries, 2 links), made on the archive connection if
    // missing.
    DorvaneRecordset& WorkRecordset(size_t k);

private:
    void RaiseLog(long nPriority, const std::string& sFile, const std::string& sFunc,
                  const std::string& sMsg) const;
    void RaiseStatus(long nPrc) const;
    // The cutter of the open PDF (made on first use, one parse of the source for all its
    // pieces) when pages first..last can be cut from it; validRange tells the range's
    // fault from the source's.
    pdf::PageCutter* Cutter(long first, long last, bool& validRange);
    // The text of a whole page without list words (made once per open file).
    const std::string& PlainPageText(long page);

    // Classification predicates that read or write object state.
    friend struct ClassifyRules;
    bool ListPageTest(const std::string& upperText, bool change, bool individualFirm) const;
    bool Test730(const std::string& upperText);
    bool InvoiceSubjectTest(const std::string& upperText) const;
    bool DocumentTypeLineTest(const std::string& upperText) const;
    bool QuadriTest(const std::string& upperText);
    void FillPageBoxText();

    DorvaneEnv* m_env = nullptr;
    pdf::PageReader* m_reader;
    std::vector<TelLogEventHandler> m_logHandlers;
    std::vector<TelLogStatusHandler> m_statusHandlers;

    bool m_bIsOpen = false;
    bool m_bStoreSummary = true;
    bool m_bIs730Alt = false;
    bool m_bOutcomeRegular = false;
    std::string m_sFile;
    std::string m_sFileNameOrig;
    std::string m_sRefArchive;
    std::string m_sSummaryArchive;
    std::string m_sSingleArchive;
    long m_nJobValue = 0;
    long m_nIntentVariant = 0;
    // Work record sets: [0] record defaults, [1] queries, [2] the link table.
    std::unique_ptr<DorvaneRecordset> m_rsWork[3];

    // The open PDF: every page read once at open, the cutter made on first use, the
    // whole-page texts made once, when first asked for.
    std::optional<pdf::Document> m_pdfDoc;
    std::string m_pdfPath;
    std::unique_ptr<pdf::PageCutter> m_cutter;
    // A long file's pages cut one by one on another thread, from when it is first read.
    std::unique_ptr<pdf::PiecesAhead> m_piecesAhead;
    std::string m_piecesAheadPath;
    std::pair<std::uintmax_t, long long> m_piecesAheadStamp;
    std::vector<std::optional<std::string>> m_plainText;
    // Files FileSplit read and File has not opened yet (the file itself, or the pieces
    // cut from it): opening one takes its pages from here, so no page is read twice.
    // An entry without document is a file the reader could not open.
    struct ReadAhead {
        std::optional<pdf::Document> document;
        std::vector<std::optional<std::string>> plainText;
        std::pair<std::uintmax_t, long long> stamp; // size and modification time
    };
    std::map<std::string, ReadAhead> m_readAhead;
    void KeepReadAhead(const std::string& path, long first, long last);

    long m_nPageCount = 0;
    long m_nListPage = -1;
    std::vector<std::string> m_asPageText;
    std::vector<std::string> m_asPageBoxText;
    mutable std::map<std::pair<size_t, std::string>, std::vector<std::string>> m_listLines;
    // The list's rows split and indexed, by list page and layout.
    std::map<std::pair<long, long>, std::shared_ptr<const SummaryList>> m_summaryLists;
    // FindInfoInSummary's answers for this file, by question.
    mutable std::map<std::string, std::optional<std::string>> m_summaryInfo;
    long m_nDocType = -1;
    long m_nArchTipoDoc = -1;
    long m_nRefTipoDoc = 0;
    long m_nYear730 = -1;
    long m_nSelTipoDoc = -1;
    long m_nSelYear = -1;
    std::string m_sSelArchive; // the archive found by the cached selection (SelectArchive)
    // The archives FindTelDoc searches, by the catalogue query that lists them: asked
    // once per file, not once per document.
    std::map<std::string, std::vector<std::string>> m_telDocArchives;
    std::string m_sEarlierKey; // earlier receipts (FindTelDoc), linked inside the job
    std::vector<long> m_anEarlierRecords;
    bool m_bProcessStopped = false;
    long m_nDocCount = 0;
    long m_nSummaryRecord = -1;
    long m_nDocsStored = 0;
    long m_nFirstSingleRecord = -1;
    std::string m_sFingerprint;
    long m_nFingerprintPiece = 0;
    std::string m_sSplitFingerprint;
    long m_nDocsFailed = 0;
    bool m_bArchivedWithErrors = false;
    std::unique_ptr<DorvaneRecordset> m_rsCurrent;
    quorvin::TelInfo m_TelInfo;
    DorvaneJob* m_cJob = nullptr;
    std::function<void()> m_jobProgressHook;
    int m_nClassifiedRow = 0;
};

} // namespace quorvin
