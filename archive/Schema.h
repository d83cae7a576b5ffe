#pragma once
// The archive database's schema: creation, its version and the forward migrations, and
// the names and column types of archive tables.
//
// Naming rule, the same on both back ends: catalogue tables and columns are created
// unquoted (PostgreSQL folds them to lower case, SQLite keeps them and ignores case), and
// an archive's field becomes a column named by its lower-cased name. The field dictionary
// (DB_CAMPI) keeps each field's spelling; the SQL texts of the engine name fields
// unquoted, so they reach the same columns on both.
#include "archive/ArchiveTypes.h"
#include "archive/Connection.h"

#include <string>
#include <string_view>
#include <vector>

namespace quorvin::schema {

// 3: stored files and fingerprints in the database; 4: the search step (SearchIndex.h);
// 5: ids of users and rights from the database.
inline constexpr int kVersion = 6;

// The schema version of the database; 0 when it holds no archive schema, -1 when it
// cannot be read.
int Version(db::Connection& db);
// Brings the schema forward to version target (every step in one transaction).
bool Migrate(db::Connection& db, int target, std::string& error);

// Bytes as an SQL literal of the back end's binary type; the select expression that
// gives a binary column back as text, and the bytes of that text.
std::string BlobLiteral(db::Backend backend, std::string_view bytes);
std::string BlobColumn(db::Backend backend, const std::string& column);
std::string BlobValue(db::Backend backend, const std::string& cell);

std::string ColumnName(const std::string& field);
// The column as our own statements name it: quoted, so that a field named like an SQL
// keyword still works there.
std::string QuotedColumn(const std::string& field);
std::string TableNameFor(const std::string& code);
// Valid archive codes: 1 to 16 letters, digits or underscores.
bool IsValidCode(const std::string& code);
std::string ColumnType(db::Backend backend, FieldType type);
std::string CreateArchiveTableSql(db::Backend backend, const std::string& table,
                                  const std::vector<FieldSpec>& fields);

} // namespace quorvin::schema
