// Adding and changing records, and their descriptions.
#include "archive/DorvaneConnection.h"
#include "archive/DorvaneFiles.h"
#include "archive/DorvaneRecordset.h"
#include "archive/FieldValue.h"
#include "archive/Quoting.h"
#include "archive/Schema.h"
#include "archive/Utf8.h"

#include <climits>
#include <fstream>
#include <iterator>

namespace quorvin {

namespace {

const char* TypeLabel(FieldType type) {
    switch (type) {
    case FieldType::Date:
        return "data";
    case FieldType::Integer:
        return "numero intero";
    case FieldType::Decimal:
        return "numero";
    case FieldType::Boolean:
        return "sì/no";
    case FieldType::Text:
        break;
    }
    return "testo";
}

} // namespace

bool DorvaneRecordset::AddNew() {
    if (!m_open || m_table.empty()) {
        return Fail(1201, "Il record set non consente l'aggiunta di record.");
    }
    if (m_file && m_file->staging) {
        DorvaneFiles::DeleteFile(m_file->path, true);
    }
    m_file.reset();
    m_pending.assign(m_columns.size(), std::nullopt);
    m_dirty.assign(m_columns.size(), false);
    if (!m_archiveCode.empty()) {
        const int serial = ColumnIndex(kFieldSerial);
        m_pending[static_cast<size_t>(serial)] = m_archiveCode;
        m_dirty[static_cast<size_t>(serial)] = true;
    }
    m_editMode = EditMode::Add;
    return true;
}

bool DorvaneRecordset::Edit() {
    if (m_editMode != EditMode::None) {
        return true;
    }
    if (!m_open || m_table.empty() || ColumnIndex(m_keyColumn) < 0) {
        return Fail(1202, "Il record set non consente modifiche.");
    }
    const db::Row* row = CurrentRow();
    if (row == nullptr) {
        return Fail(1203, "Nessun record corrente da modificare.");
    }
    m_pending = *row;
    m_dirty.assign(m_columns.size(), false);
    m_editMode = EditMode::Edit;
    return true;
}

bool DorvaneRecordset::SetValue(const std::string& field, const std::string& value) {
    const int column = ColumnIndex(field);
    if (column < 0) {
        return Fail(1102, "Campo '" + field + "' inesistente.");
    }
    const Column& info = m_columns[static_cast<size_t>(column)];
    if (!info.writable || !info.type) {
        return Fail(1204, "Il campo '" + info.name + "' non può essere modificato.");
    }
    db::Cell stored;
    if (!field::ToStored(*info.type, value, stored)) {
        return Fail(1205, "Valore '" + value + "' non valido per il campo '" + info.name + "' (" +
                              TypeLabel(*info.type) + ").");
    }
    return SetStoredValue(field, stored);
}

bool DorvaneRecordset::SetStoredValue(const std::string& field, const db::Cell& stored) {
    const int column = ColumnIndex(field);
    if (column < 0) {
        return Fail(1102, "Campo '" + field + "' inesistente.");
    }
    if (!m_columns[static_cast<size_t>(column)].writable) {
        return Fail(1204, "Il campo '" + field + "' non può essere modificato.");
    }
    if (m_editMode == EditMode::None && !Edit()) {
        return false;
    }
    m_pending[static_cast<size_t>(column)] = stored;
    m_dirty[static_cast<size_t>(column)] = true;
    return true;
}

bool DorvaneRecordset::SetStoredFile(const std::string& name, const std::string& path,
                                     bool staging) {
    if (m_archiveCode.empty() || !SetValue(kFieldStoredFile, name)) {
        return Fail(1210, "Il record non appartiene a un archivio.");
    }
    m_file = StagedFile{path, std::nullopt, staging};
    return true;
}

bool DorvaneRecordset::SetStoredBytes(const std::string& name, std::string bytes) {
    if (m_archiveCode.empty() || !SetValue(kFieldStoredFile, name)) {
        return Fail(1210, "Il record non appartiene a un archivio.");
    }
    m_file = StagedFile{std::string(), std::move(bytes), false};
    return true;
}

bool DorvaneRecordset::SaveStoredFile(const std::string& record) {
    StagedFile file = std::move(*m_file);
    m_file.reset();
    if (!file.bytes) {
        std::ifstream in(file.path, std::ios::binary);
        file.bytes.emplace(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        const bool read = in.good() || in.eof();
        if (file.staging) {
            DorvaneFiles::DeleteFile(file.path, true);
        }
        if (!in.is_open() || !read) {
            return Fail(1304, "Lettura del file '" + file.path + "' non riuscita.");
        }
    }
    const int column = ColumnIndex(kFieldStoredFile);
    const std::string name = column >= 0 && m_pending[static_cast<size_t>(column)]
                                 ? *m_pending[static_cast<size_t>(column)]
                                 : std::string();
    // Delete first: a record number that SQLite gives again may find old bytes.
    db::Result ignored;
    const db::Param code{m_archiveCode};
    const db::Param number{record, db::Param::Kind::Number};
    return m_connection->Query("delete from DB_FILE where SYS_SERIALE=$1 and SYS_RECORD=$2",
                               {code, number}, ignored) &&
           m_connection->Query(
               "insert into DB_FILE (SYS_SERIALE, SYS_RECORD, NOME, DIMENSIONE, DATI) "
               "values ($1, $2, $3, $4, $5)",
               {code,
                number,
                {name},
                {std::to_string(file.bytes->size()), db::Param::Kind::Number},
                {std::move(file.bytes), db::Param::Kind::Bytes}},
               ignored);
}

bool DorvaneRecordset::Update() {
    if (m_editMode == EditMode::None) {
        return Fail(1206, "Nessun record in modifica.");
    }
    // The values go apart from the text, so that the same statement serves every record
    // with the same fields and is parsed once.
    std::string sql;
    db::Params params;
    const auto placeholder = [&](size_t c) {
        params.push_back(
            field::Parameter(m_columns[c].type.value_or(FieldType::Text), m_pending[c]));
        return "$" + std::to_string(params.size());
    };
    if (m_editMode == EditMode::Add) {
        std::string names;
        std::string values;
        for (size_t c = 0; c < m_columns.size(); ++c) {
            if (!m_dirty[c] || !m_pending[c]) {
                continue;
            }
            names += (names.empty() ? "" : ", ") + schema::QuotedColumn(m_columns[c].key);
            values += (values.empty() ? "" : ", ") + placeholder(c);
        }
        sql = "insert into " + m_table + " (" + names + ") values (" + values + ") returning " +
              m_keyColumn;
    } else {
        std::string sets;
        for (size_t c = 0; c < m_columns.size(); ++c) {
            if (m_dirty[c]) {
                sets += (sets.empty() ? "" : ", ") + schema::QuotedColumn(m_columns[c].key) + "=" +
                        placeholder(c);
            }
        }
        const db::Cell key = m_pending[static_cast<size_t>(ColumnIndex(m_keyColumn))];
        if (!key) {
            return Fail(1203, "Nessun record corrente da modificare.");
        }
        if (sets.empty()) {
            m_editMode = EditMode::None;
            return true;
        }
        params.push_back({key, db::Param::Kind::Number});
        sql = "update " + m_table + " set " + sets + " where " + m_keyColumn + "=$" +
              std::to_string(params.size()) + " returning " + m_keyColumn;
    }
    db::Result result;
    if (!m_connection->Query(sql, params, result)) {
        return false;
    }
    if (m_editMode == EditMode::Edit && result.rows.empty()) {
        return Fail(1209, "Il record non è più presente nell'archivio.");
    }
    if (m_file && !result.rows.empty() && result.rows[0][0] &&
        !SaveStoredFile(*result.rows[0][0])) {
        // The record never stays without its file.
        if (m_editMode == EditMode::Add) {
            const std::string error = m_connection->LastError();
            m_connection->Execute("delete from " + m_table + " where " + m_keyColumn + "=" +
                                  *result.rows[0][0]);
            m_connection->SetError(1304, error);
        }
        return false;
    }
    if (m_editMode == EditMode::Add) {
        const auto number = !result.rows.empty() && result.rows[0][0]
                                ? ParseInteger(*result.rows[0][0])
                                : std::nullopt;
        if (!number || *number > INT32_MAX) {
            return Fail(1207, "Numero di record non assegnato dall'archivio.");
        }
        m_pending[static_cast<size_t>(ColumnIndex(m_keyColumn))] = std::to_string(*number);
        m_rows.push_back(std::move(m_pending));
        m_position = m_rows.size() - 1;
    } else if (m_position < m_rows.size()) {
        m_rows[m_position] = std::move(m_pending);
    }
    m_pending.clear();
    m_editMode = EditMode::None;
    return true;
}

bool DorvaneRecordset::CancelUpdate() {
    if (m_file && m_file->staging) {
        DorvaneFiles::DeleteFile(m_file->path, true);
    }
    m_file.reset();
    m_pending.clear();
    m_dirty.clear();
    m_editMode = EditMode::None;
    return true;
}

bool DorvaneRecordset::SetDescription(const std::string& descriptionTemplate,
                                      const std::string& field, const std::string& separator) {
    if (!m_open || ColumnIndex(field) < 0) {
        return Fail(1102, "Campo '" + field + "' inesistente.");
    }
    // Every placeholder must name a field, so a wrong template shows at once.
    size_t at = 0;
    while ((at = descriptionTemplate.find('{', at)) != std::string::npos) {
        if (at + 1 < descriptionTemplate.size() && descriptionTemplate[at + 1] == '{') {
            at += 2;
            continue;
        }
        const size_t end = descriptionTemplate.find('}', at);
        if (end == std::string::npos ||
            ColumnIndex(descriptionTemplate.substr(at + 1, end - at - 1)) < 0) {
            return Fail(1208, "Indice descrittivo non valido: " + descriptionTemplate);
        }
        at = end + 1;
    }
    m_descriptionTemplate = descriptionTemplate;
    m_descriptionField = field;
    m_descriptionSeparator = separator;
    return true;
}

std::string DorvaneRecordset::Render() {
    const std::string& t = m_descriptionTemplate;
    std::string out;
    for (size_t i = 0; i < t.size(); ++i) {
        if ((t[i] == '{' || t[i] == '}') && i + 1 < t.size() && t[i + 1] == t[i]) {
            out += t[i++];
        } else if (t[i] == '{') {
            const size_t end = t.find('}', i);
            out += Value(t.substr(i + 1, end - i - 1));
            i = end;
        } else {
            out += t[i];
        }
    }
    const std::string& sep = m_descriptionSeparator;
    if (sep.empty()) {
        return out;
    }
    std::string collapsed;
    size_t i = 0;
    while (i < out.size()) {
        if (out.compare(i, sep.size(), sep) == 0) {
            if (!collapsed.empty()) {
                collapsed += sep;
            }
            while (out.compare(i, sep.size(), sep) == 0) {
                i += sep.size();
            }
        } else {
            collapsed += out[i++];
        }
    }
    if (collapsed.size() >= sep.size() &&
        collapsed.compare(collapsed.size() - sep.size(), sep.size(), sep) == 0) {
        collapsed.resize(collapsed.size() - sep.size());
    }
    return collapsed;
}

bool DorvaneRecordset::BuildDescription() {
    if (m_descriptionField.empty()) {
        return Fail(1208, "Indice descrittivo non impostato.");
    }
    if (m_editMode == EditMode::None && !Edit()) {
        return false;
    }
    return SetValue(m_descriptionField, Render());
}

} // namespace quorvin
