// Opening, reading and moving through a record set.
#include "archive/DorvaneRecordset.h"

#include "archive/Convert.h"
#include "archive/DorvaneConnection.h"
#include "archive/FieldValue.h"
#include "archive/Schema.h"
#include "archive/Utf8.h"

#include <cctype>

namespace quorvin {

namespace {

struct FixedColumn {
    const char* name;
    FieldType type;
    bool writable;
};

const FixedColumn kArchiveSystemColumns[] = {
    {kFieldRecord, FieldType::Integer, false},
    {kFieldSerial, FieldType::Text, false},
    {kFieldDescription, FieldType::Text, true},
    {kFieldStoredFile, FieldType::Text, true},
};

const FixedColumn kLinkColumns[] = {
    {"ID_COLLEGAMENTO", FieldType::Integer, false}, {"DB_PAR_SERIALE", FieldType::Text, true},
    {"DB_PAR_RECORD", FieldType::Integer, true},    {"DB_SON_SERIALE", FieldType::Text, true},
    {"DB_SON_RECORD", FieldType::Integer, true},
};

// The table of "select ... from TABLE [where ...]" when the text reads one table only.
std::string SingleTableOf(const std::string& sql) {
    const std::string lower = Lower(sql);
    size_t at = 0;
    for (;;) {
        at = lower.find("from", at);
        if (at == std::string::npos) {
            return {};
        }
        const bool before = at == 0 || std::isspace(static_cast<unsigned char>(lower[at - 1]));
        const bool after =
            at + 4 < lower.size() && std::isspace(static_cast<unsigned char>(lower[at + 4]));
        if (before && after) {
            break;
        }
        at += 4;
    }
    size_t pos = at + 4;
    while (pos < lower.size() && std::isspace(static_cast<unsigned char>(lower[pos]))) {
        ++pos;
    }
    const size_t start = pos;
    while (pos < lower.size() &&
           (std::isalnum(static_cast<unsigned char>(lower[pos])) || lower[pos] == '_')) {
        ++pos;
    }
    const std::string table = lower.substr(start, pos - start);
    const std::string rest = lower.substr(pos);
    if (table.empty() || rest.find(" join ") != std::string::npos ||
        rest.find_first_not_of(" \t\r\n") == rest.find(',')) {
        return {};
    }
    return table;
}

} // namespace

DorvaneRecordset::DorvaneRecordset(std::shared_ptr<DorvaneConnection> connection)
    : m_connection(std::move(connection)) {}

DorvaneRecordset::~DorvaneRecordset() = default;

void DorvaneRecordset::Connection(std::shared_ptr<DorvaneConnection> connection) {
    Close();
    m_connection = std::move(connection);
}

bool DorvaneRecordset::Fail(long number, const std::string& text) {
    if (m_connection) {
        m_connection->SetError(number, text);
    }
    return false;
}

void DorvaneRecordset::Close() {
    m_open = false;
    m_loaded = false;
    m_loadSql.clear();
    m_columns.clear();
    m_rows.clear();
    m_position = 0;
    m_table.clear();
    m_keyColumn.clear();
    m_archiveCode.clear();
    m_editMode = EditMode::None;
    m_file.reset();
    m_pending.clear();
    m_dirty.clear();
    m_descriptionTemplate.clear();
    m_descriptionField.clear();
    m_descriptionSeparator.clear();
}

bool DorvaneRecordset::Open(const std::string& source, Mode mode) {
    Close();
    if (!m_connection) {
        return false;
    }
    m_connection->ClearError();
    if (mode == Mode::Updatable) {
        if (m_connection->Archive(source) != nullptr) {
            return OpenArchive(source);
        }
        if (Lower(source) == Lower(kLinkTable)) {
            return OpenLinkTable();
        }
    }
    return OpenSql(source, mode);
}

bool DorvaneRecordset::OpenArchive(const std::string& code) {
    const ArchiveSpec* archive = m_connection->Archive(code);
    for (const auto& fixed : kArchiveSystemColumns) {
        m_columns.push_back(
            {fixed.name, Lower(fixed.name), field::KindOf(fixed.type), fixed.type, fixed.writable});
    }
    for (const auto& f : archive->fields) {
        m_columns.push_back(
            {f.name, schema::ColumnName(f.name), field::KindOf(f.type), f.type, true});
    }
    m_table = archive->table;
    m_keyColumn = "sys_record";
    m_archiveCode = archive->code;
    m_loadSql = "select * from " + m_table + " order by sys_record";
    m_open = true;
    return true;
}

bool DorvaneRecordset::OpenLinkTable() {
    for (const auto& fixed : kLinkColumns) {
        m_columns.push_back(
            {fixed.name, Lower(fixed.name), field::KindOf(fixed.type), fixed.type, fixed.writable});
    }
    m_table = Lower(kLinkTable);
    m_keyColumn = "id_collegamento";
    m_loadSql = "select * from " + m_table + " order by id_collegamento";
    m_open = true;
    return true;
}

bool DorvaneRecordset::OpenSql(const std::string& sql, Mode mode) {
    db::Result result;
    if (!m_connection->Query(sql, result)) {
        return false;
    }
    // Columns of an archive table keep the dictionary's spelling and type.
    const std::string table = SingleTableOf(sql);
    const ArchiveSpec* archive = table.empty() ? nullptr : m_connection->ArchiveByTable(table);
    for (size_t c = 0; c < result.columns.size(); ++c) {
        Column column{result.columns[c], Lower(result.columns[c]), result.kinds[c], std::nullopt,
                      false};
        if (archive != nullptr) {
            for (const auto& fixed : kArchiveSystemColumns) {
                if (column.key == Lower(fixed.name)) {
                    column = {fixed.name, column.key, field::KindOf(fixed.type), fixed.type,
                              fixed.writable};
                }
            }
            for (const auto& f : archive->fields) {
                if (column.key == schema::ColumnName(f.name)) {
                    column = {f.name, column.key, field::KindOf(f.type), f.type, true};
                }
            }
        }
        m_columns.push_back(std::move(column));
    }
    m_rows = std::move(result.rows);
    m_loaded = true;
    m_open = true;
    if (mode == Mode::Updatable && archive != nullptr) {
        m_table = archive->table;
        m_keyColumn = "sys_record";
        m_archiveCode = archive->code;
    }
    return true;
}

bool DorvaneRecordset::Load(const std::string& sql) {
    db::Result result;
    if (!m_connection->Query(sql, result)) {
        return false;
    }
    std::vector<int> map(result.columns.size(), -1);
    for (size_t c = 0; c < result.columns.size(); ++c) {
        map[c] = ColumnIndex(result.columns[c]);
    }
    m_rows.clear();
    m_rows.reserve(result.rows.size());
    for (auto& row : result.rows) {
        db::Row mapped(m_columns.size());
        for (size_t c = 0; c < row.size() && c < map.size(); ++c) {
            if (map[c] >= 0) {
                mapped[static_cast<size_t>(map[c])] = std::move(row[c]);
            }
        }
        m_rows.push_back(std::move(mapped));
    }
    return true;
}

bool DorvaneRecordset::EnsureLoaded() {
    if (!m_open) {
        return false;
    }
    if (m_loaded) {
        return true;
    }
    // Records added before the first read stay current after it.
    std::optional<std::string> current;
    const int key = ColumnIndex(m_keyColumn);
    if (key >= 0 && m_position < m_rows.size()) {
        current = m_rows[m_position][static_cast<size_t>(key)];
    }
    if (!Load(m_loadSql)) {
        return false;
    }
    m_loaded = true;
    m_position = 0;
    if (current) {
        for (size_t r = 0; r < m_rows.size(); ++r) {
            if (m_rows[r][static_cast<size_t>(key)] == current) {
                m_position = r;
            }
        }
    }
    return true;
}

void DorvaneRecordset::OpenValues(const std::vector<std::string>& names,
                                  const std::vector<FieldType>& types, const db::Row& row) {
    Close();
    for (size_t c = 0; c < names.size(); ++c) {
        const FieldType type = c < types.size() ? types[c] : FieldType::Text;
        m_columns.push_back({names[c], Lower(names[c]), field::KindOf(type), type, false});
    }
    m_rows.push_back(row);
    m_rows.back().resize(m_columns.size());
    m_loaded = true;
    m_open = true;
}

long DorvaneRecordset::RecordCount() {
    if (!EnsureLoaded()) {
        return 0;
    }
    return static_cast<long>(m_rows.size());
}

bool DorvaneRecordset::Eof() {
    if (!EnsureLoaded()) {
        return true;
    }
    return m_position >= m_rows.size();
}

bool DorvaneRecordset::MoveNext() {
    if (!EnsureLoaded() || m_position >= m_rows.size()) {
        return false;
    }
    ++m_position;
    return m_position < m_rows.size();
}

void DorvaneRecordset::MoveFirst() {
    if (EnsureLoaded()) {
        m_position = 0;
    }
}

bool DorvaneRecordset::Find(const std::string& criterion) {
    if (!EnsureLoaded()) {
        return false;
    }
    const size_t eq = criterion.find('=');
    if (eq == std::string::npos) {
        return Fail(1101, "Criterio di ricerca non valido: " + criterion);
    }
    const int column = ColumnIndex(Trim(criterion.substr(0, eq)));
    if (column < 0) {
        return Fail(1102, "Campo inesistente nel criterio: " + criterion);
    }
    const std::string operand = Trim(criterion.substr(eq + 1));
    std::optional<std::string> text;
    std::optional<double> number;
    if (operand.size() >= 2 && operand.front() == '\'' && operand.back() == '\'') {
        std::string value;
        const std::string inner = operand.substr(1, operand.size() - 2);
        for (size_t i = 0; i < inner.size(); ++i) {
            if (inner[i] == '\'') {
                if (i + 1 >= inner.size() || inner[i + 1] != '\'') {
                    return Fail(1101, "Criterio di ricerca non valido: " + criterion);
                }
                ++i;
            }
            value += inner[i];
        }
        text = value;
    } else {
        number = ParseNumber(operand);
        if (!number) {
            return Fail(1101, "Criterio di ricerca non valido: " + criterion);
        }
    }
    const auto c = static_cast<size_t>(column);
    for (size_t r = 0; r < m_rows.size(); ++r) {
        const db::Cell& cell = m_rows[r][c];
        if (!cell) {
            continue;
        }
        bool match = false;
        if (text) {
            match = *cell == *text || field::ToDisplay(m_columns[c].kind, cell) == *text;
        } else {
            const auto value = ParseNumber(*cell);
            match = value && *value == *number;
        }
        if (match) {
            m_position = r;
            return true;
        }
    }
    m_position = m_rows.size();
    return false;
}

int DorvaneRecordset::ColumnIndex(const std::string& field) const {
    const std::string key = Lower(field);
    for (size_t c = 0; c < m_columns.size(); ++c) {
        if (m_columns[c].key == key) {
            return static_cast<int>(c);
        }
    }
    return -1;
}

const db::Row* DorvaneRecordset::CurrentRow() {
    if (m_editMode != EditMode::None) {
        return &m_pending;
    }
    if (!m_loaded && m_rows.empty() && !EnsureLoaded()) {
        return nullptr;
    }
    return m_position < m_rows.size() ? &m_rows[m_position] : nullptr;
}

db::Cell DorvaneRecordset::StoredValue(const std::string& field) {
    const int column = ColumnIndex(field);
    const db::Row* row = column >= 0 ? CurrentRow() : nullptr;
    if (row == nullptr) {
        return std::nullopt;
    }
    return (*row)[static_cast<size_t>(column)];
}

std::string DorvaneRecordset::Value(const std::string& field) {
    const int column = ColumnIndex(field);
    if (column < 0) {
        Fail(1102, "Campo '" + field + "' inesistente.");
        return {};
    }
    return field::ToDisplay(m_columns[static_cast<size_t>(column)].kind, StoredValue(field));
}

bool DorvaneRecordset::IsNull(const std::string& field) {
    return !StoredValue(field).has_value();
}

bool DorvaneRecordset::HasField(const std::string& field) const {
    return ColumnIndex(field) >= 0;
}

std::vector<std::string> DorvaneRecordset::FieldNames() const {
    std::vector<std::string> names;
    for (const auto& column : m_columns) {
        names.push_back(column.name);
    }
    return names;
}

std::optional<FieldType> DorvaneRecordset::TypeOf(const std::string& field) const {
    const int column = ColumnIndex(field);
    return column < 0 ? std::nullopt : m_columns[static_cast<size_t>(column)].type;
}

} // namespace quorvin
