#pragma once
// What every page-storing routine shares: opening the single-receipt archive, and
// storing one single receipt (pages a..b of the open PDF) as a record of it with its own
// PDF, linked to the summary record, to what the routine links itself, and to the
// original document it acknowledges.
#include "engine/RuntimeError.h"
#include "engine/bvTel.h"

#include <exception>
#include <functional>
#include <string>

namespace quorvin {

// Runs a page-storing routine's body under its error handler: a run-time error is logged
// with the area "Estrazione pagina " + the page being handled, and the routine fails.
template <class Body>
bool RunPageRoutine(const bvTel& tel, const char* routine, const long& page, Body&& body) {
    try {
        return body();
    } catch (const RuntimeError& e) {
        tel.TelLogEvent(1, "Estrazione pagina " + std::to_string(page), routine, ErrorText(e));
    } catch (const std::exception& e) {
        tel.TelLogEvent(1, "Estrazione pagina " + std::to_string(page), routine,
                        ErrorText(RuntimeError{kErrInvalidCall, e.what()}));
    }
    return false;
}

class SinglePageStore {
public:
    // Fills the current record from the text of the document.
    using Writer = std::function<bool(const std::string& text)>;
    // The document's label for the log; asked after the writer ran, since the writer
    // reads the progressive number it is made of.
    using Label = std::function<std::string()>;
    // The routine's own links of the stored record (its SYS_RECORD); tmp is the
    // document's name in the routine's log lines (no file of that name is made). Empty:
    // none.
    using OwnLinks = std::function<bool(long record, const std::string& tmp)>;

    // routine: the routine's name with "()", as its log lines show it.
    SinglePageStore(bvTel& tel, std::string routine, long summaryRecord);

    // The step of Open that failed.
    enum class OpenStep { None, Archive, Description, Defaults };

    // Opens SingleArchive on the current record with its description and defaults;
    // false without a log line (FailedStep says where).
    bool Open();
    OpenStep FailedStep() const { return m_failedStep; }
    // Stores pages first..last as one single record; the success of that document.
    bool Store(long first, long last, const std::string& text, const Label& label,
               const Writer& writer, const OwnLinks& ownLinks = {});
    // The same for the whole file, stored as it is.
    bool StoreWholeFile(const std::string& text, const Label& label, const Writer& writer,
                        const OwnLinks& ownLinks = {});
    // Reports the page to the job; true when the user asked to stop.
    bool Progress(long page);

    const std::string& Routine() const { return m_routine; }
    // The open PDF's file name: the file of the routine's own summary lines.
    const std::string& PdfName() const { return m_pdfName; }

private:
    // Gives the document's PDF.
    using Save = std::function<bool(std::string& bytes)>;
    bool StoreWith(const Save& save, const std::string& text, const Label& label,
                   const Writer& writer, const OwnLinks& ownLinks);
    bool SaveRecord(std::string bytes);
    bool LinkRecord(long record, const std::string& tmp, const OwnLinks& ownLinks,
                    bool& referenceFailed);

    bvTel& m_tel;
    std::string m_routine;
    long m_summaryRecord;
    std::string m_pdfName;
    std::string m_folder;
    OpenStep m_failedStep = OpenStep::None;
};

} // namespace quorvin
