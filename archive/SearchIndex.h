#pragma once
// What lets the archive be searched without reading every row: indexes on the fields
// searched by equality, and one search table (QUORVIN_RICERCA) holding each record's
// folded text, kept in step by triggers on every archive table (so rows written by any
// statement are found), with the engine's own text index over it: FTS5 (trigram) on
// SQLite, pg_trgm on PostgreSQL where the extension can be created, a plain scan
// otherwise. Every statement is idempotent.
#include "archive/ArchiveTypes.h"
#include "archive/Connection.h"

#include <string>
#include <vector>

namespace quorvin::search {

inline constexpr const char* kSearchTable = "QUORVIN_RICERCA";
inline constexpr const char* kFtsTable = "QUORVIN_RICERCA_FTS";
// While a transaction defers the text index, its one row says from which search row on
// the rows are not indexed yet.
inline constexpr const char* kDeferTable = "QUORVIN_RICERCA_RINVIO";

// The fields searched by equality; each gets an index where the archive has it.
inline constexpr const char* kIndexedFields[] = {"Cod_Fiscale", "Protocollo_Attribuito",
                                                 "Cod_Tipo_doc_F", "Data_doc"};

// The search table, its text index and (PostgreSQL) the folding function.
std::string SearchTablesSql(db::Connection& db);
// The indexes and triggers of one archive's table; backfill adds the rows it already has.
std::string ArchiveSearchSql(db::Backend backend, const std::string& code, const std::string& table,
                             const std::vector<FieldSpec>& fields, bool backfill);
// Everything above for a database that has archives already (a schema step).
std::string MigrationSql(db::Connection& db);

// SQLite's text index writes itself out at the end of every statement, so a file of a
// thousand records paid a thousand small index writes. A transaction may defer it: rows
// added while it does are indexed in one statement before the commit. The schema step,
// then the statements that open and close the deferral (empty without a text index).
std::string DeferredIndexSql(db::Connection& db);
std::string DeferIndexSql();
std::string CatchUpIndexSql();

} // namespace quorvin::search
