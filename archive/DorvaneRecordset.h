#pragma once
// A record set over the archive database: the rows of a read-only SQL text, or the
// records of one archive (or of the link table) that can be added and changed.
//
// Values are text: dates dd/mm/yyyy, decimals with a dot and at least two decimals
// ("1250.00"), integers and booleans (0/1) in decimal, NULL as the empty text. Field
// names match without regard to case. Failures return false (or empty) and leave their
// reason in the connection's LastError; nothing throws.
//
// Description templates (SetDescription): text with {Field} placeholders, each replaced
// by the field's value; "{{" and "}}" stand for braces. After filling, runs of the
// separator collapse to one and separators at both ends are dropped, so an empty field
// leaves no gap: "{Cod_Fiscale} {Data_doc}" gives "RSSMRA80A01H501U 12/03/2010".
#include "archive/ArchiveTypes.h"
#include "archive/Connection.h"

#include <concepts>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quorvin {

class DorvaneConnection;

class DorvaneRecordset {
public:
    enum class Mode { ReadOnly, Updatable };

    DorvaneRecordset() = default;
    explicit DorvaneRecordset(std::shared_ptr<DorvaneConnection> connection);
    ~DorvaneRecordset();
    DorvaneRecordset(const DorvaneRecordset&) = delete;
    DorvaneRecordset& operator=(const DorvaneRecordset&) = delete;

    void Connection(std::shared_ptr<DorvaneConnection> connection);
    const std::shared_ptr<DorvaneConnection>& Connection() const { return m_connection; }

    // ReadOnly: source is an SQL text, run at once. Updatable: an archive code (no rows
    // are read until the set is moved or counted, so adding records stays cheap), the
    // link table's name, or an SQL text over one archive table that selects SYS_RECORD.
    bool Open(const std::string& source, Mode mode = Mode::ReadOnly);
    bool IsOpen() const { return m_open; }
    void Close();

    long RecordCount();
    // End of the rows (EOF in the library's interface; EOF is a C macro).
    bool Eof();
    bool MoveNext();
    void MoveFirst();
    // criterion: "FIELD=number" or "FIELD='text'" (quotes doubled inside). Searches from
    // the first row and stops on the first match; without one the set is at its end.
    bool Find(const std::string& criterion);

    std::string Value(const std::string& field);
    bool IsNull(const std::string& field);
    bool HasField(const std::string& field) const;
    // The field names, as the archive spells them (or as the SQL result names them).
    std::vector<std::string> FieldNames() const;
    // The field's dictionary type; nullopt for SQL columns outside an archive.
    std::optional<FieldType> TypeOf(const std::string& field) const;
    // The archive the set is open on (its code), empty for other sources.
    const std::string& ArchiveCode() const { return m_archiveCode; }

    bool Edit();
    // Converts text to the field's type; false (nothing changed) when it does not fit.
    // The empty text stores NULL. Without AddNew or Edit, the current row is edited.
    bool SetValue(const std::string& field, const std::string& value);
    bool SetValue(const std::string& field, const char* value) {
        return SetValue(field, std::string(value != nullptr ? value : ""));
    }
    template <std::integral T> bool SetValue(const std::string& field, T value) {
        if constexpr (std::same_as<T, bool>) {
            return SetValue(field, std::string(value ? "1" : "0"));
        } else {
            return SetValue(field, std::to_string(value));
        }
    }
    // Sets stored text as the back end gives it back (ISO dates), for copying records.
    bool SetStoredValue(const std::string& field, const db::Cell& stored);
    db::Cell StoredValue(const std::string& field);
    bool AddNew();
    // The record's stored file, saved with it by Update in the same transaction: named
    // name (SYS_FILE), its content read from path then (a staging file is deleted once
    // read), or the bytes given.
    bool SetStoredFile(const std::string& name, const std::string& path, bool staging);
    bool SetStoredBytes(const std::string& name, std::string bytes);
    // Saves the new or changed record; a new record gets its SYS_RECORD here.
    bool Update();
    bool CancelUpdate();
    bool Editing() const { return m_editMode != EditMode::None; }

    bool SetDescription(const std::string& descriptionTemplate,
                        const std::string& field = kFieldDescription,
                        const std::string& separator = " ");
    bool BuildDescription();

    // Replaces the rows with one row of the given values (used for an archive's record
    // defaults); read-only.
    void OpenValues(const std::vector<std::string>& names, const std::vector<FieldType>& types,
                    const db::Row& row);

private:
    enum class EditMode { None, Add, Edit };
    struct Column {
        std::string name;
        std::string key; // lower case, for lookups
        db::ColumnKind kind = db::ColumnKind::Text;
        std::optional<FieldType> type;
        bool writable = false;
    };

    bool Fail(long number, const std::string& text);
    bool OpenArchive(const std::string& code);
    bool OpenLinkTable();
    bool OpenSql(const std::string& sql, Mode mode);
    void BindTarget(const std::string& table);
    bool EnsureLoaded();
    bool Load(const std::string& sql);
    int ColumnIndex(const std::string& field) const;
    const db::Row* CurrentRow();
    std::string Render();

    std::shared_ptr<DorvaneConnection> m_connection;
    bool m_open = false;
    bool m_loaded = false;
    std::string m_loadSql;
    std::vector<Column> m_columns;
    std::vector<db::Row> m_rows;
    size_t m_position = 0;

    // Where changes go: empty table = not updatable.
    std::string m_table;
    std::string m_keyColumn; // sys_record, or id_collegamento for the link table
    std::string m_archiveCode;

    EditMode m_editMode = EditMode::None;
    db::Row m_pending;
    std::vector<bool> m_dirty;

    struct StagedFile {
        std::string path;
        std::optional<std::string> bytes;
        bool staging = false;
    };
    bool SaveStoredFile(const std::string& record);
    std::optional<StagedFile> m_file;

    std::string m_descriptionTemplate;
    std::string m_descriptionField;
    std::string m_descriptionSeparator;
};

} // namespace quorvin
