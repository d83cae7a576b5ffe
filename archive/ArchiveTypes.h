#pragma once
// Plain descriptions of what the archive database holds: document types, archives and
// their field dictionaries. Used to create archives and read back what exists.
#include <string>
#include <vector>

namespace quorvin {

enum class FieldType { Text, Date, Integer, Decimal, Boolean };

// "text", "date", "integer", "decimal", "boolean": the names the dictionary and the JSON
// export use.
const char* FieldTypeName(FieldType type);
bool ParseFieldType(const std::string& name, FieldType& type);

struct FieldSpec {
    std::string name; // as the archive spells it; matched without regard to case
    FieldType type = FieldType::Text;
    std::string defaultValue; // in the text form SetValue accepts; empty = none
};

struct DocTypeSpec {
    long code = 0;    // ID_TIPODOC
    std::string name; // DESCRIZIONE
};

struct ArchiveSpec {
    std::string code;                // SYS_SERIALE: 16 letters, digits or underscores
    std::string name;                // ARCHIVIO
    long tipoArch = 0;               // TIPO_ARCH
    long anno = 0;                   // ANNO; 0 = any year
    std::string descriptionTemplate; // see DorvaneRecordset::SetDescription
    std::string folder;              // where its stored files live; empty = the default
    std::vector<FieldSpec> fields;
    std::vector<long> docTypes; // the SYS_TATD rows of tipoArch
    std::string table;          // filled when read from the database
};

// Rights of a permission (PERMESSI.DIRITTI): bits, as HasPermission asks for them.
inline constexpr long kRightInsertDocuments = 256;
inline constexpr long kAllRights = 0x7fffffff;

// The system columns every archive table has, besides its fields.
inline constexpr const char* kFieldRecord = "SYS_RECORD";
inline constexpr const char* kFieldSerial = "SYS_SERIALE";
inline constexpr const char* kFieldDescription = "SYS_DESCR";
inline constexpr const char* kFieldStoredFile = "SYS_FILE";

// The link table, opened by DorvaneArchiveStore::OpenLinks.
inline constexpr const char* kLinkTable = "DB_COLLEGAMENTI";

} // namespace quorvin
