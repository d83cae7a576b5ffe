#pragma once
// SQL literals for values that come from a receipt, a file name or a user. Every such
// value goes through these before it enters an SQL text, so that no value can change a
// query. The literals run unchanged on both back ends.
#include "archive/Convert.h"

#include <optional>
#include <string>
#include <string_view>

namespace quorvin {

// 'text' with single quotes doubled (NUL characters dropped).
std::string SqlText(std::string_view value);
// The same without the surrounding quotes, for SQL texts that write the quotes themselves
// ("where Cod_Fiscale='" + SqlTextContent(taxCode) + "'").
std::string SqlTextContent(std::string_view value);
std::string SqlNumber(long long value);
// Sign, digits with at most one dot, an optional exponent: what a back end gives for a
// number, and what may go into an SQL text unquoted.
bool IsPlainNumber(std::string_view text);
// A number or an amount ("12", "-3,5", "1.250,00") as a numeric literal ("1250.00");
// nullopt when the text is not a number.
std::optional<std::string> SqlNumber(std::string_view text);
// 'yyyy-mm-dd'
std::string SqlDate(const Date& date);
// A date text as ParseDate reads it, as a literal; nullopt when it is not a date.
std::optional<std::string> SqlDate(std::string_view text);

// The escape character of like patterns: '!' behaves the same on both back ends.
inline constexpr char kLikeEscape = '!';
// The value with %, _ and the escape character escaped, quotes doubled, no quotes.
std::string SqlLikeContent(std::string_view value);
// A complete like operand that matches texts starting with value taken literally:
// 'value%' escape '!'  (use as: "Cod_Fiscale like " + SqlLikePrefix(taxCode)).
std::string SqlLikePrefix(std::string_view value);
// The same for texts containing value.
std::string SqlLikeContains(std::string_view value);

// "name" with double quotes doubled (NUL characters dropped): a role or table name as
// the user wrote it, which can never end the identifier early.
std::string SqlIdentifier(std::string_view name);

// A name the archive accepts for a field or a table: a letter, then letters, digits and
// underscores, at most 60 characters. Such names need no quoting on either back end.
bool IsPlainIdentifier(std::string_view name);

} // namespace quorvin
