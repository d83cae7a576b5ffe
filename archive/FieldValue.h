#pragma once
// Conversions between the text the program works with and what an archive column
// stores. Stored text is what the back ends give back: ISO dates, numbers with a dot,
// booleans as 0/1; both back ends give the same.
#include "archive/ArchiveTypes.h"
#include "archive/Connection.h"

#include <optional>
#include <string>
#include <string_view>

namespace quorvin::field {

// The text a writer gives ("12/03/2010", "1.250,00", "vero") as stored text for a field
// of the type; false when it does not fit. The empty text is NULL.
bool ToStored(FieldType type, std::string_view text, db::Cell& stored);
// Stored text as the program reads it: dates dd/mm/yyyy, decimals with a dot and at
// least two decimals, NULL as the empty text.
std::string ToDisplay(db::ColumnKind kind, const db::Cell& stored);
db::ColumnKind KindOf(FieldType type);
// An SQL literal for stored text of the type (NULL for an empty cell).
std::string Literal(FieldType type, const db::Cell& stored);
// The same value given apart from the statement: it goes in as its literal would.
db::Param Parameter(FieldType type, const db::Cell& stored);
// Canonical decimal text ("1250" -> "1250.00").
std::string CanonicalDecimal(const std::string& number);

} // namespace quorvin::field
