#pragma once
// The 58 receipt types the program knows, in the order the selection dialog lists them.
#include <string>
#include <vector>

namespace quorvin::catalogue {

struct ReceiptType {
    long code;          // DocType, and the name of its flag in the settings
    std::string name;   // caption shown to the user
    bool firstRun;      // flag written as enabled when the settings are first created
};

const std::vector<ReceiptType>& ReceiptTypes();
// The type's name, or "" when the code is not in the catalogue.
std::string ReceiptTypeName(long code);
// The codes in the order flags are written on the first run and read by LoadTypeFlags
// (293, never written, sits between 291 and 350 when reading).
const std::vector<long>& FlagReadOrder();

} // namespace quorvin::catalogue
