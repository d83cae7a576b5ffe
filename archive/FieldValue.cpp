#include "archive/FieldValue.h"

#include "archive/Convert.h"
#include "archive/Quoting.h"
#include "archive/Utf8.h"

#include <array>

namespace quorvin::field {

namespace {

struct BooleanWord {
    const char* word;
    bool value;
};

// "-1" is how the earlier program wrote true.
constexpr std::array<BooleanWord, 10> kBooleanWords = {{{"1", true},
                                                        {"-1", true},
                                                        {"true", true},
                                                        {"vero", true},
                                                        {"si", true},
                                                        {"sì", true},
                                                        {"0", false},
                                                        {"false", false},
                                                        {"falso", false},
                                                        {"no", false}}};

} // namespace

bool ToStored(FieldType type, std::string_view text, db::Cell& stored) {
    const std::string trimmed = Trim(text);
    if (trimmed.empty()) {
        stored = std::nullopt;
        return true;
    }
    switch (type) {
    case FieldType::Text: {
        std::string value;
        for (const char c : text) {
            if (c != '\0') {
                value += c;
            }
        }
        stored = value;
        return true;
    }
    case FieldType::Date: {
        auto date = ParseIsoDate(trimmed);
        if (!date) {
            date = ParseDate(trimmed);
        }
        if (!date) {
            return false;
        }
        stored = IsoDate(*date);
        return true;
    }
    case FieldType::Integer: {
        const auto value = ParseInteger(trimmed);
        if (!value) {
            return false;
        }
        stored = std::to_string(*value);
        return true;
    }
    case FieldType::Decimal: {
        const auto value = NormaliseAmount(trimmed);
        if (!value) {
            return false;
        }
        stored = *value;
        return true;
    }
    case FieldType::Boolean: {
        const std::string lower = Lower(trimmed);
        for (const auto& entry : kBooleanWords) {
            if (lower == entry.word) {
                stored = entry.value ? "1" : "0";
                return true;
            }
        }
        return false;
    }
    }
    return false;
}

std::string CanonicalDecimal(const std::string& number) {
    const size_t dot = number.find('.');
    if (number.find_first_of("eE") != std::string::npos) {
        return number;
    }
    std::string whole = dot == std::string::npos ? number : number.substr(0, dot);
    std::string fraction = dot == std::string::npos ? "" : number.substr(dot + 1);
    while (fraction.size() > 2 && fraction.back() == '0') {
        fraction.pop_back();
    }
    while (fraction.size() < 2) {
        fraction += '0';
    }
    if (whole.empty() || whole == "-") {
        whole += '0';
    }
    return whole + "." + fraction;
}

std::string ToDisplay(db::ColumnKind kind, const db::Cell& stored) {
    if (!stored) {
        return {};
    }
    switch (kind) {
    case db::ColumnKind::Date: {
        const auto date = ParseIsoDate(stored->substr(0, 10));
        return date ? FormatDate(*date) : *stored;
    }
    case db::ColumnKind::Decimal:
        return CanonicalDecimal(*stored);
    default:
        return *stored;
    }
}

db::ColumnKind KindOf(FieldType type) {
    switch (type) {
    case FieldType::Date:
        return db::ColumnKind::Date;
    case FieldType::Integer:
    case FieldType::Boolean:
        return db::ColumnKind::Integer;
    case FieldType::Decimal:
        return db::ColumnKind::Decimal;
    case FieldType::Text:
        break;
    }
    return db::ColumnKind::Text;
}

std::string Literal(FieldType type, const db::Cell& stored) {
    // Values of fields are text and numbers, written alike on both back ends.
    return db::LiteralOf(db::Backend::Sqlite, Parameter(type, stored));
}

db::Param Parameter(FieldType type, const db::Cell& stored) {
    const bool number =
        type == FieldType::Integer || type == FieldType::Decimal || type == FieldType::Boolean;
    return {stored, number ? db::Param::Kind::Number : db::Param::Kind::Text};
}

} // namespace quorvin::field
