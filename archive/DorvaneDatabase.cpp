#include "archive/DorvaneDatabase.h"

#include "archive/DorvaneConnection.h"
#include "archive/Quoting.h"
#include "archive/Utf8.h"

namespace quorvin {

bool DorvaneFieldInfo::HasField(const std::string& code, const std::string& field) const {
    const ArchiveSpec* archive = m_connection->Archive(code);
    if (archive == nullptr) {
        return false;
    }
    const std::string wanted = Lower(field);
    for (const char* system : {kFieldRecord, kFieldSerial, kFieldDescription, kFieldStoredFile}) {
        if (wanted == Lower(system)) {
            return true;
        }
    }
    for (const auto& f : archive->fields) {
        if (Lower(f.name) == wanted) {
            return true;
        }
    }
    return false;
}

DorvaneDatabase::DorvaneDatabase(std::shared_ptr<DorvaneConnection> connection)
    : m_connection(connection), m_fieldInfo(connection) {}

std::string DorvaneDatabase::TableName(const std::string& code) const {
    const ArchiveSpec* archive = m_connection->Archive(code);
    return archive != nullptr ? archive->table : std::string();
}

bool DorvaneDatabase::Execute(const std::string& sql) {
    m_connection->ClearError();
    return m_connection->Execute(sql);
}

int DorvaneDatabase::Kind() const {
    return m_connection->Backend() == db::Backend::Sqlite ? kKindSqlite : kKindPostgres;
}

std::string DorvaneDatabase::DateLiteral(const Date& date) const {
    return SqlDate(date);
}

long DorvaneDatabase::LastErrorNumber() const {
    return m_connection->LastErrorNumber();
}

std::string DorvaneDatabase::LastError() const {
    return m_connection->LastError();
}

} // namespace quorvin
