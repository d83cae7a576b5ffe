#pragma once
// The text the archive searches in: every text of a record folded to one plain form, so
// that a search finds "D’ANGELO" as "d'angelo" and "CITTÀ" as "citta". The same folding
// runs in C++ (SQLite calls it as quorvin_piega) and as an SQL function on PostgreSQL,
// built from the same table, so both back ends index the same text.
#include <string>
#include <string_view>

namespace quorvin::search {

// Typography folded, ASCII letters and accented Latin letters to plain lower-case letters,
// digits, % and _ kept; everything else is a separator. Words are separated by one blank.
std::string Fold(std::string_view utf8);

// The SQL name of the folding function on both back ends.
inline constexpr const char* kFoldFunction = "quorvin_piega";
// "create or replace function quorvin_piega(text)" for PostgreSQL.
std::string PostgresFoldFunctionSql();

} // namespace quorvin::search
