#include "archive/Convert.h"

#include "archive/Utf8.h"

#include <array>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace quorvin {

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

std::string_view TrimView(std::string_view s) {
    while (!s.empty() &&
           (s.front() == ' ' || s.front() == '\t' || s.front() == '\r' || s.front() == '\n')) {
        s.remove_prefix(1);
    }
    while (!s.empty() &&
           (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n')) {
        s.remove_suffix(1);
    }
    return s;
}

bool AllDigits(std::string_view s) {
    if (s.empty()) {
        return false;
    }
    for (char c : s) {
        if (!IsDigit(c)) {
            return false;
        }
    }
    return true;
}

int ToInt(std::string_view s) {
    int v = 0;
    for (char c : s) {
        v = v * 10 + (c - '0');
    }
    return v;
}

struct MonthName {
    const char* name;
    int month;
};
constexpr std::array<MonthName, 12> kMonths = {{{"gennaio", 1},
                                                {"febbraio", 2},
                                                {"marzo", 3},
                                                {"aprile", 4},
                                                {"maggio", 5},
                                                {"giugno", 6},
                                                {"luglio", 7},
                                                {"agosto", 8},
                                                {"settembre", 9},
                                                {"ottobre", 10},
                                                {"novembre", 11},
                                                {"dicembre", 12}}};

int MonthFromName(std::string_view word) {
    const std::string lower = Lower(word);
    for (const auto& m : kMonths) {
        const std::string_view full(m.name);
        if (lower == full || (lower.size() == 3 && full.substr(0, 3) == lower)) {
            return m.month;
        }
    }
    return 0;
}

std::optional<int> YearOf(std::string_view s) {
    if (!AllDigits(s) || (s.size() != 2 && s.size() != 4)) {
        return std::nullopt;
    }
    const int y = ToInt(s);
    return s.size() == 2 ? WidenYear(y) : y;
}

std::optional<Date> Build(int y, int m, int d) {
    if (!IsValidDate(y, m, d)) {
        return std::nullopt;
    }
    return Date{y, m, d};
}

} // namespace

int DaysInMonth(int month, int year) {
    static constexpr std::array<int, 12> kDays = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) {
        return 0;
    }
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[static_cast<size_t>(month - 1)];
}

bool IsValidDate(int year, int month, int day) {
    return year >= 1 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 &&
           day <= DaysInMonth(month, year);
}

int WidenYear(int year) {
    if (year >= 0 && year <= 29) {
        return 2000 + year;
    }
    if (year >= 30 && year <= 99) {
        return 1900 + year;
    }
    return year;
}

std::optional<Date> ParseDate(std::string_view text) {
    const std::string_view s = TrimView(text);
    if (s.empty()) {
        return std::nullopt;
    }
    // Numeric form: one separator kind used twice.
    for (char sep : {'/', '-', '.'}) {
        const size_t a = s.find(sep);
        if (a == std::string_view::npos) {
            continue;
        }
        const size_t b = s.find(sep, a + 1);
        if (b == std::string_view::npos || s.find(sep, b + 1) != std::string_view::npos) {
            return std::nullopt;
        }
        const auto d = s.substr(0, a);
        const auto m = s.substr(a + 1, b - a - 1);
        const auto y = s.substr(b + 1);
        if (!AllDigits(d) || !AllDigits(m) || d.size() > 2 || m.size() > 2) {
            return std::nullopt;
        }
        const auto year = YearOf(y);
        if (!year) {
            return std::nullopt;
        }
        return Build(*year, ToInt(m), ToInt(d));
    }
    // "01 MARZO 2010": three words separated by blanks.
    std::vector<std::string_view> words;
    size_t i = 0;
    while (i < s.size()) {
        while (i < s.size() && s[i] == ' ') {
            ++i;
        }
        const size_t j = s.find(' ', i);
        const size_t end = j == std::string_view::npos ? s.size() : j;
        if (end > i) {
            words.push_back(s.substr(i, end - i));
        }
        i = end;
    }
    if (words.size() != 3 || !AllDigits(words[0]) || words[0].size() > 2) {
        return std::nullopt;
    }
    const int month = MonthFromName(words[1]);
    const auto year = YearOf(words[2]);
    if (month == 0 || !year) {
        return std::nullopt;
    }
    return Build(*year, month, ToInt(words[0]));
}

bool IsDate(std::string_view text) {
    return ParseDate(text).has_value();
}

std::string FormatDate(const Date& d) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d/%02d/%04d", d.day, d.month, d.year);
    return buf;
}

std::string IsoDate(const Date& d) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", d.year, d.month, d.day);
    return buf;
}

std::optional<Date> ParseIsoDate(std::string_view text) {
    const std::string_view s = TrimView(text);
    if (s.size() < 10 || s[4] != '-' || s[7] != '-' || !AllDigits(s.substr(0, 4)) ||
        !AllDigits(s.substr(5, 2)) || !AllDigits(s.substr(8, 2))) {
        return std::nullopt;
    }
    return Build(ToInt(s.substr(0, 4)), ToInt(s.substr(5, 2)), ToInt(s.substr(8, 2)));
}

bool IsNumeric(std::string_view text) {
    std::string_view s = TrimView(text);
    if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
        s.remove_prefix(1);
    }
    int digits = 0;
    int separators = 0;
    for (char c : s) {
        if (IsDigit(c)) {
            ++digits;
        } else if (c == ',' || c == '.') {
            ++separators;
        } else {
            return false;
        }
    }
    return digits > 0 && separators <= 1;
}

std::optional<double> ParseNumber(std::string_view text) {
    if (!IsNumeric(text)) {
        return std::nullopt;
    }
    std::string s(TrimView(text));
    for (char& c : s) {
        if (c == ',') {
            c = '.';
        }
    }
    return std::strtod(s.c_str(), nullptr);
}

std::optional<long long> ParseInteger(std::string_view text) {
    std::string_view s = TrimView(text);
    bool negative = false;
    if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    if (!AllDigits(s) || s.size() > 18) {
        return std::nullopt;
    }
    long long v = 0;
    std::from_chars(s.data(), s.data() + s.size(), v);
    return negative ? -v : v;
}

std::optional<std::string> NormaliseAmount(std::string_view text) {
    std::string_view s = TrimView(text);
    std::string sign;
    if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
        if (s.front() == '-') {
            sign = "-";
        }
        s.remove_prefix(1);
    }
    if (s.empty() || !IsDigit(s.front())) {
        return std::nullopt;
    }
    // The decimal separator is the last ',' when there is one; otherwise a single '.'
    // followed by other than exactly three digits ("1.250" is one thousand two hundred fifty).
    const size_t comma = s.rfind(',');
    std::string_view intPart = s;
    std::string_view decPart;
    if (comma != std::string_view::npos) {
        intPart = s.substr(0, comma);
        decPart = s.substr(comma + 1);
        if (decPart.find('.') != std::string_view::npos) {
            return std::nullopt;
        }
    } else {
        const size_t firstDot = s.find('.');
        const size_t lastDot = s.rfind('.');
        if (firstDot != std::string_view::npos && firstDot == lastDot &&
            s.size() - lastDot - 1 != 3) {
            intPart = s.substr(0, lastDot);
            decPart = s.substr(lastDot + 1);
        }
    }
    // Thousands groups: dots between groups of three digits.
    std::string digits;
    size_t group = 0;
    bool grouped = false;
    for (size_t k = 0; k < intPart.size(); ++k) {
        const char c = intPart[k];
        if (IsDigit(c)) {
            digits.push_back(c);
            ++group;
        } else if (c == '.') {
            if (group == 0 || (grouped && group != 3) || (!grouped && group > 3)) {
                return std::nullopt;
            }
            grouped = true;
            group = 0;
        } else {
            return std::nullopt;
        }
    }
    if (digits.empty() || (grouped && group != 3)) {
        return std::nullopt;
    }
    if (comma != std::string_view::npos || !decPart.empty()) {
        if (!AllDigits(decPart)) {
            return std::nullopt;
        }
        return sign + digits + "." + std::string(decPart);
    }
    return sign + digits;
}

} // namespace quorvin
