#pragma once
// The standard archive catalogue that `quorvin-cli archivio init --esempio` creates: the
// document types (SYS_TIPO_DOC_F) and three archives (summary records, single receipts,
// transmitted originals) with their field dictionaries. Plain data, no database code.
#include <string>
#include <vector>

namespace quorvin::catalogue {

enum class FieldType { Text, Date, Integer, Decimal, Boolean };

struct FieldDef {
    std::string name;         // spelled as the writers spell it
    FieldType type;
    std::string defaultValue; // text form; empty = no default
};

struct DocTypeDef {
    long code;        // ID_TIPODOC
    std::string name; // DESCRIZIONE
};

struct ArchiveDef {
    std::string code;                // SYS_SERIALE, 16 characters
    std::string name;                // ARCHIVIO
    long tipoArch;                   // TIPO_ARCH
    int anno;                        // ANNO, 0 = any year
    std::string descriptionTemplate; // filled from the record's fields
    std::vector<FieldDef> fields;
    std::vector<long> docTypes;      // SYS_TATD rows for tipoArch
};

const std::vector<DocTypeDef>& StandardDocTypes();
const std::vector<ArchiveDef>& StandardArchives();

} // namespace quorvin::catalogue
