#pragma once
// The standard catalogue (catalogue/StandardCatalogue.h, plain data) as the archive
// library's specifications, ready for admin::AddCatalogue.
#include "archive/ArchiveTypes.h"

#include <string>
#include <vector>

namespace quorvin {

std::vector<DocTypeSpec> StandardDocTypeSpecs();
// documentsRoot empty: each archive keeps the library's default folder.
std::vector<ArchiveSpec> StandardArchiveSpecs(const std::string& documentsRoot = "");

} // namespace quorvin
