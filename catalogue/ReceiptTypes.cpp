#include "catalogue/ReceiptTypes.h"
namespace quorvin::catalogue {
// Placeholder until the catalogue lands.
const std::vector<ReceiptType>& ReceiptTypes() { static std::vector<ReceiptType> v; return v; }
std::string ReceiptTypeName(long) { return {}; }
const std::vector<long>& FlagReadOrder() { static std::vector<long> v; return v; }
} // namespace quorvin::catalogue
