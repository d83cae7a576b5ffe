#pragma once
// Storing records and their files into archives: the defaults of an archive's records,
// the destination of a stored file, and the link table.
#include "archive/DorvaneRecordset.h"

#include <memory>
#include <string>

namespace quorvin {

class DorvaneConnection;

class DorvaneArchiveStore {
public:
    explicit DorvaneArchiveStore(std::shared_ptr<DorvaneConnection> connection);

    // The archive's description template (see DorvaneRecordset::SetDescription).
    std::string DescriptionTemplate(const std::string& code);
    // Opens defaults on one row holding the default of every field of the archive.
    bool PrepareRecord(DorvaneRecordset& defaults, const std::string& code);
    // Starts a new record on a record set open on an archive.
    bool AddRecord(DorvaneRecordset& record);
    // Copies each default into the record; onlyEmpty keeps the values already set.
    bool CopyRecordDefaults(DorvaneRecordset& record, DorvaneRecordset& defaults,
                            bool onlyEmpty = true);
    // Names the record's stored file after fileName (its last part only, without
    // separators, leading dots or "..", with a numeric suffix "name_2.pdf" when the
    // archive already holds that name) and hands out destination: a fresh staging file
    // of this session, outside every receipt folder, whose content the record takes in
    // when it is saved (Update), in the transaction of the record. folder, when given,
    // must be the archive's folder.
    bool PrepareFile(DorvaneRecordset& record, const std::string& fileName,
                     std::string& destination, const std::string& folder = "");
    // The same without a staging file: the record takes source (left where it is) or
    // bytes when it is saved.
    bool StoreFile(DorvaneRecordset& record, const std::string& source, const std::string& fileName,
                   std::string& destination);
    bool StoreBytes(DorvaneRecordset& record, std::string bytes, const std::string& fileName);
    // The stored file of a record: its name and bytes, or written to path (replaced
    // whole, never left half-written). False when the record has none.
    bool ReadStoredFile(const std::string& code, long record, std::string& name,
                        std::string& bytes);
    bool ExtractStoredFile(const std::string& code, long record, const std::string& path);
    // The name a file named fileName gets in archive code.
    std::string StoredName(const std::string& code, const std::string& fileName);
    // Opens links on the link table, updatable: AddNew, SetValue of DB_PAR_SERIALE,
    // DB_PAR_RECORD, DB_SON_SERIALE, DB_SON_RECORD, Update.
    bool OpenLinks(DorvaneRecordset& links);

private:
    std::shared_ptr<DorvaneConnection> m_connection;
};

} // namespace quorvin
