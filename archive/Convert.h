#pragma once
// The platform's value conversions: what counts as a date or a number in receipt text.
#include <optional>
#include <string>
#include <string_view>

namespace quorvin {

struct Date {
    int year = 0;
    int month = 0;
    int day = 0;
    auto operator<=>(const Date&) const = default;
};

// d/m/y with '/', '-' or '.', 1-2 digit day and month, 2 or 4 digit year; or
// "day month-name year" in Italian (full or three-letter). Impossible dates fail.
std::optional<Date> ParseDate(std::string_view text);
bool IsDate(std::string_view text);
bool IsValidDate(int year, int month, int day);
int DaysInMonth(int month, int year);
// dd/mm/yyyy
std::string FormatDate(const Date& date);
// yyyy-mm-dd
std::string IsoDate(const Date& date);
std::optional<Date> ParseIsoDate(std::string_view text);

// Two-digit years: 00-29 are 2000-2029, 30-99 are 1930-1999; other values unchanged.
int WidenYear(int year);

// Optional sign, digits, at most one decimal separator (',' or '.'), blanks around.
bool IsNumeric(std::string_view text);
std::optional<double> ParseNumber(std::string_view text);
// Whole number (optional sign and blanks); nothing else.
std::optional<long long> ParseInteger(std::string_view text);

// An amount as receipts print it ("1.250,00", "1250,00", "1250.00", "-3,5") as a
// numeric literal with a dot ("1250.00"); nullopt when it is not an amount.
std::optional<std::string> NormaliseAmount(std::string_view text);

} // namespace quorvin
