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
    // A fresh path inside the record's archive folder (folder, when given, must be that
    // folder) named after fileName: its last part only, without separators, leading dots
    // or "..", with a numeric suffix ("name_2.pdf") when the name is taken. The empty file
    // is created to hold the name; it is the record's stored file and is deleted if the
    // transaction around it is rolled back.
    bool PrepareFile(DorvaneRecordset& record, const std::string& fileName,
                     std::string& destination, const std::string& folder = "");
    // The reservation behind PrepareFile, for callers without a record set: a fresh
    // file in folder named after fileName, registered with the open transaction.
    bool ReserveFile(const std::string& folder, const std::string& fileName,
                     std::string& destination);
    // PrepareFile, then the copy of source; on failure nothing of the copy is left and
    // the record has no stored file (a full disk fails this record only).
    bool StoreFile(DorvaneRecordset& record, const std::string& source, const std::string& fileName,
                   std::string& destination);
    // Opens links on the link table, updatable: AddNew, SetValue of DB_PAR_SERIALE,
    // DB_PAR_RECORD, DB_SON_SERIALE, DB_SON_RECORD, Update.
    bool OpenLinks(DorvaneRecordset& links);

private:
    std::shared_ptr<DorvaneConnection> m_connection;
};

} // namespace quorvin
