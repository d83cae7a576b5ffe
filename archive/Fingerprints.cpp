#include "archive/Fingerprints.h"

#include "archive/DorvaneConnection.h"
#include "archive/Quoting.h"

#include <sodium.h>

#include <ctime>

namespace quorvin {

std::string Sha256Hex(std::string_view bytes) {
    unsigned char digest[crypto_hash_sha256_BYTES];
    crypto_hash_sha256(digest, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    static const char* kDigits = "0123456789abcdef";
    std::string hex;
    for (const unsigned char b : digest) {
        hex += kDigits[b >> 4];
        hex += kDigits[b & 0x0F];
    }
    return hex;
}

bool FindArchivedReceipt(DorvaneConnection& connection, const std::string& hash, long piece,
                         ArchivedReceipt& found) {
    connection.ClearError();
    db::Result rows;
    if (!connection.Query("select SYS_SERIALE, SYS_RECORD, DATA_ARCHIVIAZIONE from DB_IMPRONTE"
                          " where IMPRONTA=" +
                              SqlText(hash) + " and PEZZO=" + SqlNumber(piece) +
                              " order by DATA_ARCHIVIAZIONE",
                          rows)) {
        return false;
    }
    for (const auto& row : rows.rows) {
        if (!row[0] || !row[1] || !row[2]) {
            continue;
        }
        const ArchiveSpec* archive = connection.Archive(*row[0]);
        const auto record = ParseInteger(*row[1]);
        const auto date = ParseIsoDate(row[2]->substr(0, 10));
        db::Result exists;
        if (archive == nullptr || !record || !date ||
            !connection.Query("select sys_record from " + archive->table +
                                  " where sys_record=" + SqlNumber(*record),
                              exists)) {
            continue;
        }
        if (!exists.rows.empty()) {
            found =
                ArchivedReceipt{*date, archive->name, archive->code, static_cast<long>(*record)};
            return true;
        }
    }
    connection.ClearError();
    return false;
}

bool RecordArchivedReceipt(DorvaneConnection& connection, const std::string& hash, long piece,
                           const std::string& archive, long record) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    const Date date{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
    // A fingerprint left by a deleted record whose number came back belongs to no receipt.
    return connection.Execute("delete from DB_IMPRONTE where SYS_SERIALE=" + SqlText(archive) +
                              " and SYS_RECORD=" + SqlNumber(record) +
                              "; insert into DB_IMPRONTE (IMPRONTA, PEZZO, SYS_SERIALE, SYS_RECORD,"
                              " DATA_ARCHIVIAZIONE) values (" +
                              SqlText(hash) + ", " + SqlNumber(piece) + ", " + SqlText(archive) +
                              ", " + SqlNumber(record) + ", " + SqlDate(date) + ")");
}

} // namespace quorvin
