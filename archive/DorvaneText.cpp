#include "archive/DorvaneText.h"

#include "archive/Utf8.h"

namespace quorvin {

long DorvaneText::SplitLines(const std::string& text, const std::string& separator,
                             std::vector<std::string>* lines) {
    std::vector<std::string> pieces;
    if (separator.empty()) {
        pieces.push_back(text);
    } else {
        size_t from = 0;
        for (;;) {
            const size_t at = text.find(separator, from);
            if (at == std::string::npos) {
                pieces.push_back(text.substr(from));
                break;
            }
            pieces.push_back(text.substr(from, at - from));
            from = at + separator.size();
        }
    }
    const long count = static_cast<long>(pieces.size());
    if (lines) {
        *lines = std::move(pieces);
    }
    return count;
}

std::string DorvaneText::Token(const std::string& text, long index, const std::string& fallback,
                               const std::string& separator) {
    if (index < 1 || separator.empty()) {
        return index == 1 && separator.empty() ? text : fallback;
    }
    size_t from = 0;
    for (long k = 1;; ++k) {
        const size_t at = text.find(separator, from);
        if (k == index) {
            return at == std::string::npos ? text.substr(from) : text.substr(from, at - from);
        }
        if (at == std::string::npos) {
            return fallback;
        }
        from = at + separator.size();
    }
}

bool DorvaneText::IsEmptyArray(const std::vector<long>& values) {
    return values.empty();
}

bool DorvaneText::IsEmptyArray(const std::vector<std::string>& values) {
    for (const auto& v : values) {
        if (!v.empty()) {
            return false;
        }
    }
    return true;
}

std::string DorvaneText::Replace(const std::string& text, const std::string& find,
                                 const std::string& with) {
    if (find.empty()) {
        return text;
    }
    std::string out;
    out.reserve(text.size());
    size_t from = 0;
    for (;;) {
        const size_t at = text.find(find, from);
        if (at == std::string::npos) {
            out.append(text, from, std::string::npos);
            return out;
        }
        out.append(text, from, at - from);
        out += with;
        from = at + find.size();
    }
}

bool DorvaneText::HasKey(const std::map<std::string, bool>& collection, const std::string& key) {
    return collection.count(key) > 0;
}

bool DorvaneText::InList(const std::vector<std::string>& list, const std::string& text) {
    const std::string wanted = Lower(text);
    for (const auto& entry : list) {
        if (Lower(entry) == wanted) {
            return true;
        }
    }
    return false;
}

long DorvaneText::FindAnyChar(long start, const std::u32string& text, const std::u32string& set) {
    if (start < 1) {
        start = 1;
    }
    for (size_t i = static_cast<size_t>(start - 1); i < text.size(); ++i) {
        if (set.find(text[i]) != std::u32string::npos) {
            return static_cast<long>(i + 1);
        }
    }
    return 0;
}

long DorvaneText::FindAnyChar(long start, const std::string& text, const std::string& set) {
    return FindAnyChar(start, ToU32(text), ToU32(set));
}

long DorvaneText::FindAnyWord(long start, const std::string& text, const std::string& words) {
    const std::u32string t = ToU32(text);
    std::vector<std::u32string> list;
    for (const auto& w : [&] {
             std::vector<std::string> pieces;
             SplitLines(words, "|", &pieces);
             return pieces;
         }()) {
        if (!w.empty()) {
            list.push_back(ToU32(w));
        }
    }
    if (start < 1) {
        start = 1;
    }
    long best = 0;
    for (const auto& w : list) {
        const size_t at = t.find(w, static_cast<size_t>(start - 1));
        if (at != std::u32string::npos && (best == 0 || static_cast<long>(at + 1) < best)) {
            best = static_cast<long>(at + 1);
        }
    }
    return best;
}

void DorvaneText::WidenYear(int& year) {
    year = quorvin::WidenYear(year);
}

Date DorvaneText::LastDayOfMonth(int month, int year) {
    return Date{year, month, DaysInMonth(month, year)};
}

} // namespace quorvin
