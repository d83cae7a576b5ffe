#include "archive/StandardCatalogueSpecs.h"

#include "catalogue/StandardCatalogue.h"

namespace quorvin {

namespace {

struct TypeMapping {
    catalogue::FieldType from;
    FieldType to;
};

constexpr TypeMapping kTypes[] = {
    {catalogue::FieldType::Text, FieldType::Text},
    {catalogue::FieldType::Date, FieldType::Date},
    {catalogue::FieldType::Integer, FieldType::Integer},
    {catalogue::FieldType::Decimal, FieldType::Decimal},
    {catalogue::FieldType::Boolean, FieldType::Boolean},
};

FieldType ToFieldType(catalogue::FieldType type) {
    for (const auto& entry : kTypes) {
        if (entry.from == type) {
            return entry.to;
        }
    }
    return FieldType::Text;
}

} // namespace

std::vector<DocTypeSpec> StandardDocTypeSpecs() {
    std::vector<DocTypeSpec> types;
    for (const auto& type : catalogue::StandardDocTypes()) {
        types.push_back({type.code, type.name});
    }
    return types;
}

std::vector<ArchiveSpec> StandardArchiveSpecs(const std::string& documentsRoot) {
    std::vector<ArchiveSpec> archives;
    for (const auto& def : catalogue::StandardArchives()) {
        ArchiveSpec spec;
        spec.code = def.code;
        spec.name = def.name;
        spec.tipoArch = def.tipoArch;
        spec.anno = def.anno;
        spec.descriptionTemplate = def.descriptionTemplate;
        if (!documentsRoot.empty()) {
            spec.folder = documentsRoot + "/" + def.code;
        }
        spec.docTypes = def.docTypes;
        for (const auto& field : def.fields) {
            spec.fields.push_back({field.name, ToFieldType(field.type), field.defaultValue});
        }
        archives.push_back(std::move(spec));
    }
    return archives;
}

} // namespace quorvin
