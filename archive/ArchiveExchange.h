#pragma once
// Whole archive databases as JSON, for inspection, backup and moving an office's archive
// from the embedded file to a server:
//
//   { "archives": [ { "SYS_SERIALE", "ARCHIVIO", "TIPO_ARCH", "ANNO", "MODELLO_DESCR",
//                     "fields": [ {"name", "type", "default"} ],
//                     "document_types": [ {"ID_TIPODOC", "DESCRIZIONE"} ],
//                     "records": [ {"SYS_RECORD", "SYS_DESCR", "file", <field>: value} ] } ],
//     "links": [ {"DB_PAR_SERIALE", "DB_PAR_RECORD", "DB_SON_SERIALE", "DB_SON_RECORD"} ] }
//
// Record values: dates as dd/mm/yyyy text, integers and decimals as numbers, booleans
// as true/false, empty as null; "file" is the stored file's path.
#include <string>

namespace quorvin {

class DorvaneConnection;

// The whole database as JSON text (indented).
bool ExportJson(DorvaneConnection& connection, std::string& json, std::string& error);

// Reads that format back, all or nothing: missing archives are created (their records
// keep their SYS_RECORD), records of existing archives get new numbers, stored files are
// copied in from the paths given, links follow the new numbers.
bool ImportJson(DorvaneConnection& connection, const std::string& json, std::string& error);

} // namespace quorvin
