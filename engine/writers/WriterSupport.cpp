#include "engine/writers/WriterSupport.h"

#include "archive/Convert.h"
#include "archive/DorvaneRecordset.h"
#include "archive/DorvaneText.h"
#include "archive/Utf8.h"

#include <cstdint>
#include <limits>

namespace quorvin::writers {

namespace {

LabelEnd ToLabelEnd(const End& end) {
    if (end.type == End::Type::Length) {
        return LabelEnd(end.length);
    }
    return LabelEnd(std::string(end.text));
}

bool Empty(const std::string& value, bool untilNumeric) {
    return untilNumeric ? !IsNumeric(value) : value.empty();
}

} // namespace

namespace {

// One form into value; false when a summary form found its label on no list page.
bool ReadForm(const bvTel& tel, const std::string& text, const Form& form, std::string& value) {
    const std::string label(form.label);
    const bool literal = form.end.type == End::Type::Literal;
    if (form.summary) {
        return tel.FindInfoInSummary(label, ToLabelEnd(form.end), literal, value);
    }
    value = tel.GetLabelValue(text, label, ToLabelEnd(form.end), std::string(form.after), form.kind,
                              literal, form.back);
    return true;
}

} // namespace

std::string FieldWriter::Read(const Form& form) const {
    std::string value;
    ReadForm(m_tel, m_text, form, value);
    return value;
}

std::string FieldWriter::Read(const std::vector<Form>& forms, bool untilNumeric) const {
    std::string value;
    ReadInto(forms, value, untilNumeric);
    return value;
}

void FieldWriter::ReadInto(const std::vector<Form>& forms, std::string& value,
                           bool untilNumeric) const {
    for (const Form& form : forms) {
        ReadForm(m_tel, m_text, form, value);
        if (!Empty(value, untilNumeric)) {
            break;
        }
    }
}

void FieldWriter::Run(const Step& step) {
    std::string& into = At(step.into);
    if ((step.flags & kOnlyIfEmpty) != 0 && !into.empty()) {
        return;
    }
    ReadInto(step.forms, into, (step.flags & kUntilNumeric) != 0);
    if ((step.flags & kTrimmed) != 0) {
        into = Trim(into);
    }
}

void FieldWriter::Run(const std::vector<Step>& steps) {
    for (const Step& step : steps) {
        Run(step);
    }
}

std::string& FieldWriter::At(const Slot& slot) {
    if (const auto* member = std::get_if<InfoMember>(&slot)) {
        return Info().*(*member);
    }
    return work.*std::get<WorkMember>(slot);
}

std::string FieldWriter::Value(const Source& source) {
    switch (source.type) {
    case Source::Type::Info:
        return Info().*source.info;
    case Source::Type::Work:
        return work.*source.work;
    case Source::Type::YearOf:
        return std::to_string(YearOfDate(Info().*source.info));
    case Source::Type::DocType:
        return std::to_string(m_tel.DocType());
    case Source::Type::ArchTipoDoc:
        return std::to_string(m_tel.ArchTipoDoc());
    case Source::Type::Constant:
        return std::to_string(source.constant);
    case Source::Type::DocumentCount:
        return std::to_string(m_tel.DocumentCount());
    }
    return {};
}

bool FieldWriter::Write(const Field& field) {
    std::string value = Value(field.from);
    if ((field.flags & kIfNonEmpty) != 0 && value.empty()) {
        return true;
    }
    if ((field.flags & kAsLong) != 0) {
        const auto count = Count(value);
        return count ? Set(field.name, *count) : Set(field.name, std::string());
    }
    return Set(field.name, value);
}

bool FieldWriter::Write(const std::vector<Field>& fields) {
    bool ok = true;
    for (const Field& field : fields) {
        ok = Write(field) && ok;
    }
    return ok;
}

bool FieldWriter::Set(std::string_view field, const std::string& value) {
    return m_tel.CurrentRecord().SetValue(std::string(field), value);
}

bool FieldWriter::Set(std::string_view field, long value) {
    return m_tel.CurrentRecord().SetValue(std::string(field), value);
}

ProtocolParts SplitProtocol(const std::string& value, std::string_view separator, bool trimmed) {
    ProtocolParts parts;
    // " prog. " is printed in any case; the others are not letters.
    const std::string haystack = separator == " prog. " ? Lower(value) : value;
    const size_t at = haystack.find(separator);
    if (at == std::string::npos) {
        parts.protocol = value;
    } else {
        parts.split = true;
        parts.protocol = value.substr(0, at);
        parts.number = value.substr(at + separator.size());
    }
    if (trimmed) {
        parts.protocol = Trim(parts.protocol);
        parts.number = Trim(parts.number);
    }
    return parts;
}

long YearOfDate(const std::string& date) {
    const auto parsed = ParseDate(date);
    if (!parsed) {
        Raise(kErrTypeMismatch, "Tipo non corrispondente: '" + date + "' non è una data");
    }
    return parsed->year;
}

std::string WidenYearText(const std::string& year) {
    const std::string trimmed = Trim(year);
    const auto value = ParseInteger(trimmed);
    if (!value || trimmed.size() != 2) {
        return year;
    }
    int widened = static_cast<int>(*value);
    DorvaneText::WidenYear(widened);
    return std::to_string(widened);
}

std::string LastDayOfMonthOf(const std::string& date) {
    const auto parsed = ParseDate(date);
    if (!parsed) {
        Raise(kErrTypeMismatch, "Tipo non corrispondente: '" + date + "' non è una data");
    }
    return FormatDate(DorvaneText::LastDayOfMonth(parsed->month, parsed->year));
}

namespace {

int YearNumber(const std::string& year) {
    const auto value = ParseInteger(WidenYearText(year));
    if (!value || *value < 1 || *value > 9999) {
        Raise(kErrTypeMismatch, "Tipo non corrispondente: '" + year + "' non è un anno");
    }
    return static_cast<int>(*value);
}

std::string TwoDigits(long n) {
    return (n < 10 ? "0" : "") + std::to_string(n);
}

Period MonthsPeriod(long firstMonth, long lastMonth, const std::string& year) {
    const int y = YearNumber(year);
    return {"01/" + TwoDigits(firstMonth) + "/" + std::to_string(y),
            FormatDate(DorvaneText::LastDayOfMonth(static_cast<int>(lastMonth), y))};
}

} // namespace

Period MonthPeriod(long month, const std::string& year) {
    if (month < 1 || month > 12) {
        Raise(kErrInvalidCall, "Mese non valido: " + std::to_string(month));
    }
    return MonthsPeriod(month, month, year);
}

Period QuarterPeriod(long quarter, const std::string& year) {
    if (quarter < 1 || quarter > 4) {
        Raise(kErrInvalidCall, "Trimestre non valido: " + std::to_string(quarter));
    }
    return MonthsPeriod(quarter * 3 - 2, quarter * 3, year);
}

Period YearPeriod(const std::string& year) {
    const std::string y = std::to_string(YearNumber(year));
    return {"01/01/" + y, "31/12/" + y};
}

std::optional<long> Count(const std::string& text, bool un) {
    if (un && Lower(Trim(text)) == "un") {
        return 1;
    }
    const auto value = ParseInteger(text);
    if (!value) {
        return std::nullopt;
    }
    // Counts are 32-bit in the archive, as in the receipts' own software.
    if (*value > std::numeric_limits<int32_t>::max() ||
        *value < std::numeric_limits<int32_t>::min()) {
        Raise(kErrOverflow, "Overflow: " + Trim(text));
    }
    return static_cast<long>(*value);
}

long SumOfCounts(std::initializer_list<const std::string*> texts) {
    long sum = 0;
    for (const std::string* text : texts) {
        sum += Count(*text).value_or(0);
    }
    return sum;
}

} // namespace quorvin::writers
