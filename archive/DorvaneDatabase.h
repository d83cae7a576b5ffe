#pragma once
// The archive database as the engine's SQL texts see it: table names, field lookup,
// statements, and the form of date literals.
#include "archive/Convert.h"

#include <memory>
#include <string>

namespace quorvin {

class DorvaneConnection;

class DorvaneFieldInfo {
public:
    explicit DorvaneFieldInfo(std::shared_ptr<DorvaneConnection> connection)
        : m_connection(std::move(connection)) {}
    // The archive has the field (any case), a field of its dictionary or a system one.
    bool HasField(const std::string& code, const std::string& field) const;

private:
    std::shared_ptr<DorvaneConnection> m_connection;
};

class DorvaneDatabase {
public:
    // The kinds of archive database: never 0, so date literals are 'yyyy-mm-dd'.
    static constexpr int kKindSqlite = 1;
    static constexpr int kKindPostgres = 2;

    explicit DorvaneDatabase(std::shared_ptr<DorvaneConnection> connection);

    // The archive's table, usable after "select * from "; empty when there is no such
    // archive.
    std::string TableName(const std::string& code) const;
    const DorvaneFieldInfo& FieldInfo() const { return m_fieldInfo; }
    // Runs a statement (update, delete, ...); false with the reason in LastError.
    bool Execute(const std::string& sql);
    int Kind() const;
    std::string DateLiteral(const Date& date) const;
    long LastErrorNumber() const;
    std::string LastError() const;

private:
    std::shared_ptr<DorvaneConnection> m_connection;
    DorvaneFieldInfo m_fieldInfo;
};

} // namespace quorvin
