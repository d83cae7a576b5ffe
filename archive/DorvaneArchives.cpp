#include "archive/DorvaneArchives.h"

#include "archive/DorvaneConnection.h"

namespace quorvin {

DorvaneArchives::DorvaneArchives(std::shared_ptr<DorvaneConnection> connection)
    : m_connection(connection), m_list(connection), m_database(connection) {}

DorvaneRecordset& DorvaneArchives::List() {
    m_list.Open("select * from DB_ELENCO order by SYS_SERIALE");
    return m_list;
}

std::string DorvaneArchives::Name(const std::string& code) {
    if (code.empty() || code == "0") {
        return m_list.IsOpen() && !m_list.Eof() ? m_list.Value("ARCHIVIO") : std::string();
    }
    const ArchiveSpec* archive = m_connection->Archive(code);
    return archive != nullptr ? archive->name : std::string();
}

std::string DorvaneArchives::Folder(const std::string& code) {
    const ArchiveSpec* archive = m_connection->Archive(code);
    return archive != nullptr ? archive->folder : std::string();
}

} // namespace quorvin
