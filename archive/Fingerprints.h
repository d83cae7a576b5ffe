#pragma once
// Fingerprints of archived receipts: a receipt file (piece 0) or a piece of a split file
// (piece 1, 2, ...) is archived once. A fingerprint counts while the record it produced
// still exists, so a record deleted by hand lets its receipt be archived again.
#include "archive/Convert.h"

#include <string>
#include <string_view>

namespace quorvin {

class DorvaneConnection;

// The SHA-256 of bytes, in lower-case hex.
std::string Sha256Hex(std::string_view bytes);

struct ArchivedReceipt {
    Date date;               // when it was archived
    std::string archiveName; // ARCHIVIO of the record it produced
    std::string archive;     // its code
    long record = 0;
};

// True with the record when hash/piece is recorded and its record exists. False when it
// is not, or when the lookup fails (then LastError is set: callers archive as usual).
bool FindArchivedReceipt(DorvaneConnection& connection, const std::string& hash, long piece,
                         ArchivedReceipt& found);
// Records hash/piece as archived into record of archive, today; inside the caller's
// transaction.
bool RecordArchivedReceipt(DorvaneConnection& connection, const std::string& hash, long piece,
                           const std::string& archive, long record);

} // namespace quorvin
