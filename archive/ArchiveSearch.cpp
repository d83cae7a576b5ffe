#include "archive/ArchiveSearch.h"

#include "archive/DorvaneArchiveStore.h"
#include "archive/DorvaneConnection.h"
#include "archive/DorvaneFiles.h"
#include "archive/DorvaneRecordset.h"
#include "archive/FieldValue.h"
#include "archive/Quoting.h"
#include "archive/Schema.h"
#include "archive/SearchIndex.h"
#include "archive/SearchText.h"
#include "archive/Utf8.h"

#include <algorithm>
#include <fstream>
#include <sstream>

namespace quorvin::search {

namespace {

// The columns of a result row: alias, the field it comes from (empty: a system column),
// the type it must have to be shown, and the sort key that orders by it.
struct Column {
    const char* alias;
    const char* field;
    FieldType type;
};

// clang-format off
const Column kColumns[] = {
    {"data_doc",    "Data_doc",              FieldType::Date},
    {"tipo",        "Cod_Tipo_doc_F",        FieldType::Integer},
    {"ditta",       "Ditta",                 FieldType::Text},
    {"cod_fiscale", "Cod_Fiscale",           FieldType::Text},
    {"protocollo",  "Protocollo_Attribuito", FieldType::Text},
    {"esito",       "Esito",                 FieldType::Text},
};

// expression: over the union of the archives; inBranch: the same order inside one
// archive's part (empty when it needs the type names, which only the union joins).
struct SortColumn {
    SortKey key;
    const char* expression;
    const char* inBranch;
};

const SortColumn kSortColumns[] = {
    {SortKey::Date,        "u.data_doc",     "data_doc"},
    {SortKey::Type,        "t.DESCRIZIONE",  ""},
    {SortKey::Name,        "u.ditta",        "ditta"},
    {SortKey::TaxCode,     "u.cod_fiscale",  "cod_fiscale"},
    {SortKey::Protocol,    "u.protocollo",   "protocollo"},
    {SortKey::Outcome,     "u.esito",        "esito"},
    {SortKey::Description, "u.descr",        "descr"},
    {SortKey::Archive,     "u.seriale",      "seriale"},
};
// clang-format on

constexpr long kMaxLimit = 1000;
// Words shorter than this have no trigram: they are compared by like.
constexpr size_t kTrigram = 3;

const FieldSpec* FieldOf(const ArchiveSpec& spec, const std::string& name) {
    for (const auto& field : spec.fields) {
        if (Lower(field.name) == Lower(name)) {
            return &field;
        }
    }
    return nullptr;
}

// The archive's column for a filter, when it has the field with the right type.
std::optional<std::string> FilterColumn(const ArchiveSpec& spec, const char* name, FieldType type) {
    const FieldSpec* field = FieldOf(spec, name);
    if (field == nullptr || field->type != type) {
        return std::nullopt;
    }
    return "a." + schema::QuotedColumn(field->name);
}

std::string SqlTypeOf(FieldType type) {
    switch (type) {
    case FieldType::Integer:
        return "bigint";
    default:
        return "text";
    }
}

std::vector<std::string> Words(const std::string& text) {
    std::vector<std::string> words;
    std::istringstream in(Fold(text));
    for (std::string word; in >> word;) {
        words.push_back(word);
    }
    return words;
}

bool TableExists(DorvaneConnection& connection, const std::string& name) {
    db::Result result;
    const std::string sql =
        connection.Backend() == db::Backend::Sqlite
            ? "select count(*) from sqlite_master where lower(name)=" + SqlText(Lower(name))
            : "select count(*) from information_schema.tables where table_name=" +
                  SqlText(Lower(name));
    return connection.Query(sql, result) && !result.rows.empty() && result.rows[0][0] &&
           *result.rows[0][0] != "0";
}

// The records whose text holds every word: the text index narrows, like decides.
std::string TextCondition(DorvaneConnection& connection, const std::vector<std::string>& words) {
    std::string match;
    std::string sql =
        "select SYS_SERIALE, SYS_RECORD from " + std::string(kSearchTable) + " r where 1=1";
    const bool fts =
        connection.Backend() == db::Backend::Sqlite && TableExists(connection, kFtsTable);
    for (const auto& word : words) {
        if (fts && word.size() >= kTrigram) {
            // Words hold only letters, digits, % and _: nothing to escape in a phrase.
            match += (match.empty() ? "\"" : " AND \"") + word + "\"";
        } else {
            sql += " and r.TESTO like " + SqlLikeContains(word);
        }
    }
    if (!match.empty()) {
        sql += " and r.ID in (select rowid from " + std::string(kFtsTable) + " where " + kFtsTable +
               " match " + SqlText(match) + ")";
    }
    return sql;
}

// One archive's part of the search: what it shows, and the records it takes (from and
// where). None when a filter names a field the archive lacks.
struct Branch {
    std::string columns;
    std::string records;
};

std::optional<Branch> BranchOf(const ArchiveSpec& spec, const Query& query, bool text) {
    std::string columns = "select " + SqlText(spec.code) + " as seriale, a.sys_record as record";
    for (const auto& column : kColumns) {
        const FieldSpec* field = FieldOf(spec, column.field);
        const bool shown =
            field != nullptr && (field->type == column.type || column.type == FieldType::Text);
        const std::string value =
            shown ? "a." + schema::QuotedColumn(field->name) : std::string("NULL");
        // Dates stay as they are: SQLite would read a cast to date as a number.
        columns += ", " +
                   (column.type == FieldType::Date
                        ? value
                        : "cast(" + value + " as " + SqlTypeOf(column.type) + ")") +
                   " as " + column.alias;
    }
    columns += ", a.sys_descr as descr";
    std::string sql = " from " + spec.table + " a";
    if (text) {
        sql += " join hits h on h.SYS_SERIALE=" + SqlText(spec.code) +
               " and h.SYS_RECORD=a.sys_record";
    }
    sql += " where 1=1";
    const auto add = [&](const char* field, FieldType type, const std::string& condition) {
        const auto column = FilterColumn(spec, field, type);
        if (!column) {
            return false;
        }
        sql += " and " + *column + condition;
        return true;
    };
    if (query.docType &&
        !add("Cod_Tipo_doc_F", FieldType::Integer, "=" + SqlNumber(*query.docType))) {
        return std::nullopt;
    }
    if (!Trim(query.taxCode).empty() &&
        !add("Cod_Fiscale", FieldType::Text, "=" + SqlText(Upper(Trim(query.taxCode))))) {
        return std::nullopt;
    }
    if (!Trim(query.protocol).empty() &&
        !add("Protocollo_Attribuito", FieldType::Text, "=" + SqlText(Trim(query.protocol)))) {
        return std::nullopt;
    }
    if (query.from && !add("Data_doc", FieldType::Date, ">=" + SqlDate(*query.from))) {
        return std::nullopt;
    }
    if (query.to && !add("Data_doc", FieldType::Date, "<=" + SqlDate(*query.to))) {
        return std::nullopt;
    }
    if (query.year && !add("Anno", FieldType::Integer, "=" + SqlNumber(*query.year))) {
        return std::nullopt;
    }
    if (!Trim(query.outcome).empty()) {
        const auto column = FilterColumn(spec, "Esito", FieldType::Text);
        if (!column) {
            return std::nullopt;
        }
        sql += " and lower(" + *column + ") like " + SqlLikeContains(Lower(Trim(query.outcome)));
    }
    return Branch{columns, sql};
}

std::string Text(const db::Cell& cell) {
    return cell.value_or("");
}

} // namespace

bool StoredPdf(const std::shared_ptr<DorvaneConnection>& connection, const std::string& archive,
               long record, std::string& bytes, std::string& error) {
    bytes.clear();
    if (connection->Archive(archive) == nullptr) {
        error = "Archivio '" + archive + "' inesistente.";
        return false;
    }
    std::string name;
    if (!DorvaneArchiveStore(connection).ReadStoredFile(archive, record, name, bytes)) {
        error = connection->LastError();
        return false;
    }
    return true;
}

Finder::Finder(std::shared_ptr<DorvaneConnection> connection, long user)
    : m_connection(std::move(connection)), m_user(user) {}

std::vector<ArchiveName> Finder::ReadableArchives() {
    std::vector<ArchiveName> archives;
    db::Result result;
    if (m_user < 0 ||
        !m_connection->Query(
            "select distinct DB_ELENCO.SYS_SERIALE, DB_ELENCO.ARCHIVIO from DB_ELENCO"
            " join DB_PERMESSI on DB_ELENCO.SYS_SERIALE=DB_PERMESSI.SYS_SERIALE"
            " join PERMESSI on DB_PERMESSI.ID_PERMESSO=PERMESSI.ID_PERMESSO"
            " join UTENTE_PERMESSI on PERMESSI.ID_PERMESSO=UTENTE_PERMESSI.ID_PERMESSO"
            " where UTENTE_PERMESSI.ID_UTENTE=" +
                SqlNumber(m_user) + " order by DB_ELENCO.ARCHIVIO",
            result)) {
        return archives;
    }
    for (const auto& row : result.rows) {
        archives.push_back({Text(row[0]), Text(row[1])});
    }
    return archives;
}

bool Finder::MayRead(const std::string& archive) {
    const auto archives = ReadableArchives();
    return std::any_of(archives.begin(), archives.end(),
                       [&](const ArchiveName& a) { return a.code == archive; });
}

bool Finder::Search(const Query& query, Page& page, std::string& error) {
    page = Page{};
    const std::vector<std::string> words = Words(query.text);
    const SortColumn* sort = &kSortColumns[0];
    for (const auto& column : kSortColumns) {
        if (column.key == query.sort) {
            sort = &column;
        }
    }
    const std::string direction = query.descending ? " desc" : " asc";
    const long limit = std::clamp(query.limit, 1L, kMaxLimit);
    const long offset = std::max(0L, query.offset);
    // Each archive gives only its first offset + limit rows in the page's order, so the
    // union sorts a few rows instead of every match.
    const bool cut = *sort->inBranch != '\0';
    std::string rows;
    std::string counts;
    for (const auto& readable : ReadableArchives()) {
        if (!query.archive.empty() && readable.code != query.archive) {
            continue;
        }
        const ArchiveSpec* spec = m_connection->Archive(readable.code);
        const auto branch = spec != nullptr ? BranchOf(*spec, query, !words.empty()) : std::nullopt;
        if (!branch) {
            continue;
        }
        std::string part = branch->columns + branch->records;
        if (cut) {
            part = "select * from (" + part + " order by " + sort->inBranch + direction +
                   " nulls last, data_doc desc nulls last, record desc limit " +
                   SqlNumber(offset + limit) + ") p";
        }
        rows += std::string(rows.empty() ? "" : " union all ") + part;
        counts += std::string(counts.empty() ? "" : " union all ") + "select count(*) as n" +
                  branch->records;
    }
    if (rows.empty()) {
        return true;
    }
    const std::string hits = words.empty()
                                 ? std::string()
                                 : "with hits as (" + TextCondition(*m_connection, words) + ") ";
    const std::string count = "select sum(n) from (" + counts + ") c";
    // The count rides along with the page, so that the text matches are found once.
    const std::string sql =
        hits + "select u.*, t.DESCRIZIONE as tipo_nome, (" + count + ") as totale from (" + rows +
        ") u left join SYS_TIPO_DOC_F t on t.ID_TIPODOC=u.tipo order by " + sort->expression +
        direction + " nulls last, u.data_doc desc nulls last, u.seriale, u.record desc limit " +
        SqlNumber(limit) + " offset " + SqlNumber(offset);
    db::Result result;
    if (!m_connection->Query(sql, result)) {
        error = "Ricerca non riuscita: " + m_connection->LastError();
        return false;
    }
    if (result.rows.empty() && offset > 0) {
        // A page past the end still tells how many there are.
        db::Result counted;
        if (!m_connection->Query(hits + count, counted)) {
            error = "Ricerca non riuscita: " + m_connection->LastError();
            return false;
        }
        if (!counted.rows.empty() && !counted.rows[0].empty()) {
            page.total = static_cast<long>(ParseInteger(Text(counted.rows[0][0])).value_or(0));
        }
    }
    for (const auto& row : result.rows) {
        Found found;
        found.archive = Text(row[0]);
        const ArchiveSpec* spec = m_connection->Archive(found.archive);
        found.archiveName = spec != nullptr ? spec->name : found.archive;
        found.record = static_cast<long>(ParseInteger(Text(row[1])).value_or(-1));
        found.date = field::ToDisplay(db::ColumnKind::Date, row[2]);
        found.docType = Text(row[3]);
        found.name = Text(row[4]);
        found.taxCode = Text(row[5]);
        found.protocol = Text(row[6]);
        found.outcome = Text(row[7]);
        found.description = Text(row[8]);
        found.docTypeName = Text(row[9]);
        page.total = static_cast<long>(ParseInteger(Text(row[10])).value_or(0));
        page.rows.push_back(std::move(found));
    }
    return true;
}

bool Finder::Read(const std::string& archive, long record, Detail& detail, std::string& error) {
    detail = Detail{};
    const ArchiveSpec* spec = m_connection->Archive(archive);
    if (spec == nullptr || !MayRead(archive)) {
        error = "Archivio '" + archive + "' inesistente o non consultabile.";
        return false;
    }
    DorvaneRecordset rs(m_connection);
    if (!rs.Open("select * from " + spec->table + " where sys_record=" + SqlNumber(record))) {
        error = m_connection->LastError();
        return false;
    }
    if (rs.Eof()) {
        error = "Il record " + std::to_string(record) + " dell'archivio '" + spec->name +
                "' non esiste.";
        return false;
    }
    detail.archive = archive;
    detail.archiveName = spec->name;
    detail.record = record;
    detail.description = rs.Value(kFieldDescription);
    const std::string stored = rs.Value(kFieldStoredFile);
    detail.storedFile = stored.empty() ? "" : DorvaneFiles::FileName(stored, true);
    for (const auto& field : spec->fields) {
        detail.fields.push_back({field.name, rs.Value(field.name)});
    }
    const auto linked = [&](const char* own, const char* other, std::vector<Linked>& out) {
        db::Result links;
        m_connection->Query(std::string("select DB_") + other + "_SERIALE, DB_" + other +
                                "_RECORD from DB_COLLEGAMENTI where DB_" + own +
                                "_SERIALE=" + SqlText(archive) + " and DB_" + own +
                                "_RECORD=" + SqlNumber(record) + " order by ID_COLLEGAMENTO",
                            links);
        for (const auto& row : links.rows) {
            Linked link;
            link.archive = Text(row[0]);
            link.record = static_cast<long>(ParseInteger(Text(row[1])).value_or(-1));
            const ArchiveSpec* target = m_connection->Archive(link.archive);
            if (target == nullptr || !MayRead(link.archive)) {
                continue; // what the user may not read is not shown
            }
            link.archiveName = target->name;
            const bool dated = FieldOf(*target, "Data_doc") != nullptr;
            DorvaneRecordset other(m_connection);
            if (other.Open("select sys_descr" + std::string(dated ? ", data_doc" : "") + " from " +
                           target->table + " where sys_record=" + SqlNumber(link.record)) &&
                !other.Eof()) {
                link.description = other.Value(kFieldDescription);
                link.date = dated ? other.Value("Data_doc") : "";
            }
            out.push_back(std::move(link));
        }
    };
    linked("SON", "PAR", detail.parents);
    linked("PAR", "SON", detail.children);
    return true;
}

bool Finder::Pdf(const std::string& archive, long record, std::string& bytes, std::string& error) {
    if (!MayRead(archive)) {
        error = "Archivio '" + archive + "' inesistente o non consultabile.";
        return false;
    }
    return StoredPdf(m_connection, archive, record, bytes, error);
}

} // namespace quorvin::search
