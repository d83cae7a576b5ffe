#pragma once
// Whole archive databases as JSON, for inspection, backup and moving an office's archive
// from the embedded file to a server:
//
//   { "archives": [ { "SYS_SERIALE", "ARCHIVIO", "TIPO_ARCH", "ANNO", "MODELLO_DESCR",
//                     "fields": [ {"name", "type", "default"} ],
//                     "document_types": [ {"ID_TIPODOC", "DESCRIZIONE"} ],
//                     "records": [ {"SYS_RECORD", "SYS_DESCR", "file", <field>: value} ] } ],
//     "links": [ {"DB_PAR_SERIALE", "DB_PAR_RECORD", "DB_SON_SERIALE", "DB_SON_RECORD"} ],
//     "users": [ {"NOME", "AMMINISTRATORE", "HASH_PASSWORD" (argon2id, or null),
//                 "permissions": [ {"SYS_SERIALE", "CREA_REC", "DIRITTI"} ]} ] }
//
// Record values: dates as dd/mm/yyyy text, integers and decimals as numbers, booleans
// as true/false, decimals as text with every digit, empty as null; "file" is the path of
// the stored file relative to the JSON (files are written into a folder of their own
// beside it), or only its stored name when the export has no folder.
#include <string>

namespace quorvin {

class DorvaneConnection;

// The whole database as JSON text (indented).
// filesFolder: where the stored files go ("" = not written); relativeTo: the folder the
// "file" paths are relative to (the JSON's).
bool ExportJson(DorvaneConnection& connection, std::string& json, std::string& error,
                const std::string& filesFolder = "", const std::string& relativeTo = "");

// Reads that format back, all or nothing: missing archives are created (their records
// keep their SYS_RECORD), records of existing archives get new numbers, stored files are
// read in from the paths given, relative to baseFolder and never outside it; links follow
// the new numbers and must name records that exist.
bool ImportJson(DorvaneConnection& connection, const std::string& json, std::string& error,
                const std::string& baseFolder = "");

} // namespace quorvin
