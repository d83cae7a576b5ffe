#pragma once
// The archive catalogue (DB_ELENCO): the list, each archive's name and folder.
#include "archive/DorvaneDatabase.h"
#include "archive/DorvaneRecordset.h"

#include <memory>
#include <string>

namespace quorvin {

class DorvaneConnection;

class DorvaneArchives {
public:
    explicit DorvaneArchives(std::shared_ptr<DorvaneConnection> connection);

    // The catalogue as a record set (SYS_SERIALE, ARCHIVIO, TIPO_ARCH, ANNO, ...), read
    // afresh on each call; Find positions it.
    DorvaneRecordset& List();
    // The archive's name; with an empty code, the name of the row List is positioned on.
    std::string Name(const std::string& code = "");
    // The folder of the archive's stored files; empty when there is no such archive.
    std::string Folder(const std::string& code);
    DorvaneDatabase& Database() { return m_database; }

private:
    std::shared_ptr<DorvaneConnection> m_connection;
    DorvaneRecordset m_list;
    DorvaneDatabase m_database;
};

} // namespace quorvin
