#include "archive/ArchiveTypes.h"

#include <array>

namespace quorvin {

namespace {

struct TypeName {
    FieldType type;
    const char* name;
};

constexpr std::array<TypeName, 5> kTypeNames = {{{FieldType::Text, "text"},
                                                 {FieldType::Date, "date"},
                                                 {FieldType::Integer, "integer"},
                                                 {FieldType::Decimal, "decimal"},
                                                 {FieldType::Boolean, "boolean"}}};

} // namespace

const char* FieldTypeName(FieldType type) {
    for (const auto& entry : kTypeNames) {
        if (entry.type == type) {
            return entry.name;
        }
    }
    return "text";
}

bool ParseFieldType(const std::string& name, FieldType& type) {
    for (const auto& entry : kTypeNames) {
        if (name == entry.name) {
            type = entry.type;
            return true;
        }
    }
    return false;
}

} // namespace quorvin
