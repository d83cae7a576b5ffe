#pragma once
// Label-value reading: the one way receipt text is read.
#include <string>
#include <variant>

namespace quorvin {

// Where a value ends: a length in characters, or a delimiter text.
class LabelEnd {
public:
    LabelEnd(int length) : m_end(static_cast<long>(length)) {}
    LabelEnd(long length) : m_end(length) {}
    LabelEnd(const char* delimiter) : m_end(std::string(delimiter)) {}
    LabelEnd(std::string delimiter) : m_end(std::move(delimiter)) {}

    bool IsLength() const { return std::holds_alternative<long>(m_end); }
    long Length() const { return std::get<long>(m_end); }
    const std::string& Delimiter() const { return std::get<std::string>(m_end); }

private:
    std::variant<long, std::string> m_end;
};

// Value kinds.
enum : long { kAnyText = 0, kDate = 1, kTaxCode11 = 2, kTaxCode = 3, kNumeric = 4 };

// The value that follows (or, backward, precedes) label in text; "" when no occurrence
// of the label yields a value valid for kind. Never throws.
std::string GetLabelValue(const std::string& text, const std::string& label, const LabelEnd& end,
                          const std::string& anchor, long kind, bool literalEnd, bool backward);

// The same over text already converted to characters, with its lower-case copy: for
// callers that read one text many times.
std::u32string GetLabelValue(const std::u32string& text, const std::u32string& lowerText,
                             const std::string& label, const LabelEnd& end,
                             const std::string& anchor, long kind, bool literalEnd, bool backward);

} // namespace quorvin
