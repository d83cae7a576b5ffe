#pragma once
// Shared machinery of the field writers.
//
// A writer is two tables and a little code between them:
//
//   const std::vector<Step> kReads = {
//       {&TelInfo::ReceiptTime, {{" alle ore ", Chars(5)}, {"alle ore ", Chars(5)}}},
//       {&TelInfo::SenderCode, {{"codice fiscale : ", kWS, kTaxCode, "trasmesso da:"}}},
//       {&Work::total, {{"contenente ", kWS, kNumeric}}},
//       {&Work::description, {Summary("TIPO DI DOCUMENTO : ", kEOL)}},
//   };
//   const std::vector<Field> kFields = {
//       {"Data_doc", From(&TelInfo::DocDate)},
//       {"Anno", YearOf(&TelInfo::ReceiptDate)},
//       {"Cod_Tipo_doc_F", kDocTypeCode},
//       {"Num_accolte", From(&Work::acquired), kIfNonEmpty},
//   };
//
//   bool bvTel::WriteFieldsX(const std::string& text) {
//       return RunWriter(*this, "WriteFieldsX", [&] {
//           FieldWriter w(*this, text);
//           w.Run(kReads);
//           /* derivations: split protocols, counts, periods ... */
//           return w.Write(kFields);
//       });
//   }
//
// A Form is one call of GetLabelValue: label, end, kind, anchor ("after"), backward.
// A Step lists the forms of one value, tried in order while the value is still empty.
// A Field sets one archive field from a TelInfo member, a working value or a code; the
// results of all fields are combined with AND. Run-time errors (RuntimeError, raised for
// instance by YearOf on a member that is not a date) are caught by RunWriter, which logs
// them as the writer's failure and returns false.
#include "engine/LabelValue.h"
#include "engine/RuntimeError.h"
#include "engine/TelInfo.h"
#include "engine/bvTel.h"

#include <exception>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace quorvin::writers {

// ---- Where a value ends ----

struct End {
    enum class Type { Set, Literal, Length };
    Type type = Type::Set;
    std::string_view text; // the character set or the literal end text
    long length = 0;       // Length: characters
};

constexpr End Set(std::string_view chars) {
    return {End::Type::Set, chars, 0};
}
constexpr End Lit(std::string_view text) {
    return {End::Type::Literal, text, 0};
}
constexpr End Chars(long n) {
    return {End::Type::Length, {}, n};
}

inline constexpr End kEOL = Set("\r\n");
inline constexpr End kWS = Set(" \r\n");
// Pages are separate texts, so a reading "to the form feed" runs to the end of the page.
inline constexpr End kFF = Lit("\f");

// ---- Reading steps ----

// Values a writer reads that have no TelInfo member.
struct Work {
    std::string total;
    std::string acquired;
    std::string rejected;
    std::string description;
    // F24 counters
    std::string payments;
    std::string positive;
    std::string zero;
    std::string waiting;
    std::string cancelled;
};

using InfoMember = std::string TelInfo::*;
using WorkMember = std::string Work::*;
using Slot = std::variant<InfoMember, WorkMember>;

// One reading: GetLabelValue(text, label, end, after, kind, end is literal, back); or,
// with summary set, FindInfoInSummary(label, end) over the list pages (any kind, no
// anchor, forwards).
struct Form {
    constexpr Form(std::string_view label_, End end_ = kEOL, long kind_ = kAnyText,
                   std::string_view after_ = {}, bool back_ = false)
        : label(label_), end(end_), kind(kind_), after(after_), back(back_) {}

    std::string_view label;
    End end;
    long kind;
    std::string_view after;
    bool back;
    bool summary = false;
};

constexpr Form Summary(std::string_view label, End end) {
    Form form(label, end);
    form.summary = true;
    return form;
}

enum StepFlag : unsigned {
    kUntilNumeric = 1u, // the next form is tried while the value is not numeric
    kOnlyIfEmpty = 2u,  // read only when the destination holds nothing yet
    kTrimmed = 4u,      // leading and trailing blanks removed
};

struct Step {
    Step(Slot into_, std::vector<Form> forms_, unsigned flags_ = 0)
        : into(into_), forms(std::move(forms_)), flags(flags_) {}

    Slot into;
    std::vector<Form> forms;
    unsigned flags;
};

// ---- Field writes ----

struct Source {
    enum class Type { Info, Work, YearOf, DocType, ArchTipoDoc, Constant, DocumentCount };
    Type type;
    InfoMember info;
    WorkMember work;
    long constant;
};

constexpr Source From(InfoMember m) {
    return {Source::Type::Info, m, nullptr, 0};
}
constexpr Source From(WorkMember m) {
    return {Source::Type::Work, nullptr, m, 0};
}
// The year of a member read as a date; a member that is not a date is a run-time error.
constexpr Source YearOf(InfoMember m) {
    return {Source::Type::YearOf, m, nullptr, 0};
}
constexpr Source Const(long value) {
    return {Source::Type::Constant, nullptr, nullptr, value};
}
inline constexpr Source kDocTypeCode{Source::Type::DocType, nullptr, nullptr, 0};
inline constexpr Source kArchTipoDocCode{Source::Type::ArchTipoDoc, nullptr, nullptr, 0};
inline constexpr Source kDocumentCount{Source::Type::DocumentCount, nullptr, nullptr, 0};

enum FieldFlag : unsigned {
    kIfNonEmpty = 1u, // skipped when the source is empty
    kAsLong = 2u,     // a text count written as an integer (empty when not a number)
};

struct Field {
    constexpr Field(std::string_view name_, Source from_, unsigned flags_ = 0)
        : name(name_), from(from_), flags(flags_) {}

    std::string_view name;
    Source from;
    unsigned flags;
};

// ---- The writer at work ----

class FieldWriter {
public:
    FieldWriter(bvTel& tel, const std::string& text) : m_tel(tel), m_text(text) {}

    bvTel& Tel() { return m_tel; }
    TelInfo& Info() { return m_tel.Info(); }
    const std::string& Text() const { return m_text; }
    Work work;

    // One reading of the text (or of the list pages for a summary form).
    std::string Read(const Form& form) const;
    // The forms in order, the next only while the value is empty (or not numeric).
    std::string Read(const std::vector<Form>& forms, bool untilNumeric = false) const;
    // The same starting from value: a summary form whose label is on no list page
    // leaves the value as it was, as FindInfoInSummary does.
    void ReadInto(const std::vector<Form>& forms, std::string& value,
                  bool untilNumeric = false) const;
    void Run(const Step& step);
    void Run(const std::vector<Step>& steps);

    std::string& At(const Slot& slot);
    // The value a source gives, as text (codes and years in decimal).
    std::string Value(const Source& source);

    // Sets every field in order; true when the record accepted them all.
    bool Write(const std::vector<Field>& fields);
    bool Write(const Field& field);
    bool Set(std::string_view field, const std::string& value);
    bool Set(std::string_view field, long value);

private:
    bvTel& m_tel;
    const std::string& m_text;
};

// Runs a routine's body under its error handler: a run-time error (or any exception)
// is logged as priority 1, sFile, routine + "()", "number: description", and gives false.
template <class Body>
bool RunGuarded(const bvTel& tel, const std::string& sFile, std::string_view routine,
                Body&& body) noexcept {
    const auto fail = [&](long number, const std::string& description) noexcept {
        try {
            tel.TelLogEvent(1, sFile, std::string(routine) + "()",
                            ErrorText(RuntimeError{number, description}));
        } catch (...) {
            // A failing log handler must not turn a reported failure into a crash.
        }
        return false;
    };
    try {
        return body();
    } catch (const RuntimeError& e) {
        return fail(e.number, e.description);
    } catch (const std::exception& e) {
        return fail(kErrInvalidCall, e.what());
    } catch (...) {
        return fail(kErrInvalidCall, "errore imprevisto");
    }
}

// A writer's body: failures are logged under "Estrazione dati".
template <class Body> bool RunWriter(const bvTel& tel, std::string_view name, Body&& body) {
    return RunGuarded(tel, "Estrazione dati", name, std::forward<Body>(body));
}

// ---- Derivations ----

struct ProtocolParts {
    std::string protocol;
    std::string number;
    bool split = false; // the separator was there
};

// Splits at the first separator: " - ", "/" or " prog. " (the last compared in lower
// case). Without the separator the whole value is the protocol and the number is empty.
ProtocolParts SplitProtocol(const std::string& value, std::string_view separator,
                            bool trimmed = false);

// The year of a date text; a text that is not a date raises kErrTypeMismatch.
long YearOfDate(const std::string& date);
// A two-digit year widened to four digits; any other text unchanged.
std::string WidenYearText(const std::string& year);
// "dd/mm/yyyy" of the last day of the month of a date text (raises when not a date).
std::string LastDayOfMonthOf(const std::string& date);

struct Period {
    std::string from;
    std::string to;
};
// A month (1-12), a quarter (1-4) or a whole year; the year as printed (two digits are
// widened). A month or quarter out of range, or a year that is not a number, raises.
Period MonthPeriod(long month, const std::string& year);
Period QuarterPeriod(long quarter, const std::string& year);
Period YearPeriod(const std::string& year);

// A count read as text: nullopt when empty or not a whole number; raises kErrOverflow
// when it does not fit. With un, the word "un" (any case, blanks around) counts 1.
std::optional<long> Count(const std::string& text, bool un = false);
// Sum of the counts present.
long SumOfCounts(std::initializer_list<const std::string*> texts);

} // namespace quorvin::writers
