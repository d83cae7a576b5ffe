#include "engine/LabelValue.h"

#include "archive/Convert.h"
#include "archive/DorvaneText.h"
#include "archive/Utf8.h"

#include <optional>

namespace quorvin {

namespace {

// Positions are 1-based as in the rest of the engine. A search that the original
// string functions would refuse (a start below 1, a negative length) is a "run-time
// error": the whole reading then gives the empty text.
struct RuntimeError {};

long InStr(long start, const std::u32string& text, const std::u32string& find) {
    if (start < 1) {
        throw RuntimeError{};
    }
    if (static_cast<size_t>(start) > text.size()) {
        return find.empty() && static_cast<size_t>(start) == text.size() + 1 ? start : 0;
    }
    const size_t at = text.find(find, static_cast<size_t>(start - 1));
    return at == std::u32string::npos ? 0 : static_cast<long>(at + 1);
}

// The last occurrence of find lying wholly within the first `end` characters.
long InStrRev(const std::u32string& text, const std::u32string& find, long end) {
    if (end < 1) {
        return 0;
    }
    if (find.empty()) {
        return end;
    }
    if (static_cast<size_t>(end) > text.size()) {
        end = static_cast<long>(text.size());
    }
    if (find.size() > static_cast<size_t>(end)) {
        return 0;
    }
    const size_t at = text.rfind(find, static_cast<size_t>(end) - find.size());
    return at == std::u32string::npos ? 0 : static_cast<long>(at + 1);
}

std::u32string Mid(const std::u32string& text, long start, std::optional<long> length) {
    if (start < 1 || (length && *length < 0)) {
        throw RuntimeError{};
    }
    if (static_cast<size_t>(start) > text.size()) {
        return {};
    }
    const size_t from = static_cast<size_t>(start - 1);
    return length ? text.substr(from, static_cast<size_t>(*length)) : text.substr(from);
}

bool IsValid(const std::u32string& value, long kind) {
    switch (kind) {
    case kAnyText:
        return true;
    case kDate:
        return IsDate(ToUtf8(value));
    case kTaxCode11:
    case kTaxCode:
        return value.size() == 11 || value.size() == 16;
    case kNumeric:
        return IsNumeric(ToUtf8(value));
    default:
        return false;
    }
}

std::u32string Read(const std::u32string& text, const std::u32string& lowerText,
                    const std::string& label, const LabelEnd& end, const std::string& anchor,
                    long kind, bool literalEnd, bool backward) {
    // Labels and ends are written as the receipts print them, in either apostrophe;
    // the page text they meet has been folded the same way.
    const std::u32string lowerLabel = Lower(FoldTypography(ToU32(label)));
    const auto labelLength = static_cast<long>(lowerLabel.size());
    const std::u32string delimiter =
        end.IsLength() ? std::u32string() : FoldTypography(ToU32(end.Delimiter()));

    long start = 1;
    if (!anchor.empty()) {
        const std::u32string lowerAnchor = Lower(FoldTypography(ToU32(anchor)));
        const long a = InStr(1, lowerText, lowerAnchor);
        start = a > 0 ? a + static_cast<long>(lowerAnchor.size()) : 0;
    }
    long pos = InStr(start, lowerText, lowerLabel);
    if (pos < 1) {
        return {};
    }
    for (;;) {
        long vstart = 0;
        long vend = 0;
        std::u32string value;
        if (!backward) {
            vstart = pos + labelLength;
            if (end.IsLength()) {
                vend = vstart + end.Length();
            } else if (literalEnd) {
                vend = InStr(vstart + 1, text, delimiter);
            } else {
                vend = DorvaneText::FindAnyChar(vstart + 1, text, delimiter);
            }
            value = vend < 1 ? Mid(text, vstart, std::nullopt) : Mid(text, vstart, vend - vstart);
        } else {
            vend = pos - 1;
            if (end.IsLength()) {
                vstart = vend - end.Length() + 1;
            } else {
                const long p = InStrRev(text, delimiter, vend);
                vstart = p > 0 ? p + static_cast<long>(delimiter.size()) : 1;
            }
            if (vstart < 1) {
                vstart = 1;
            }
            value =
                vend < 1 ? Mid(text, vstart, std::nullopt) : Mid(text, vstart, vend - vstart + 1);
        }
        if (IsValid(value, kind)) {
            // A short date read to a fixed length may run into the line end; what is
            // stored is the date, not the line break after it.
            return kind == kDate ? ToU32(Trim(ToUtf8(value))) : value;
        }
        const long next = backward ? vstart - 1 : InStr(vend, lowerText, lowerLabel);
        // A search that would not move on (a negative length) can only repeat itself.
        if (next < 1 || (backward ? next >= pos : next <= pos)) {
            return {};
        }
        pos = next;
    }
}

} // namespace

std::u32string GetLabelValue(const std::u32string& text, const std::u32string& lowerText,
                             const std::string& label, const LabelEnd& end,
                             const std::string& anchor, long kind, bool literalEnd, bool backward) {
    try {
        return Read(text, lowerText, label, end, anchor, kind, literalEnd, backward);
    } catch (const RuntimeError&) {
        return {};
    } catch (const std::exception&) {
        return {};
    }
}

std::string GetLabelValue(const std::string& text, const std::string& label, const LabelEnd& end,
                          const std::string& anchor, long kind, bool literalEnd, bool backward) {
    // A writer reads several values of one page in a row: the page is widened and
    // lower-cased once for all of them.
    struct Widened {
        std::string text;
        std::u32string wide;
        std::u32string lower;
    };
    thread_local Widened last;
    if (text != last.text) {
        Widened fresh{text, ToU32(text), {}};
        fresh.lower = Lower(fresh.wide);
        last = std::move(fresh);
    }
    return ToUtf8(
        GetLabelValue(last.wide, last.lower, label, end, anchor, kind, literalEnd, backward));
}

} // namespace quorvin
