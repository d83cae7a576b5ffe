// The JSON export of a whole archive database.
#include "archive/ArchiveExchange.h"
#include "archive/Convert.h"
#include "archive/DorvaneConnection.h"
#include "archive/DorvaneFiles.h"
#include "archive/FieldValue.h"
#include "archive/Quoting.h"
#include "archive/Schema.h"
#include "archive/Utf8.h"

#include <nlohmann/json.hpp>

#include <filesystem>

namespace quorvin {

namespace {

using Json = nlohmann::ordered_json;

Json NumberOrNull(const db::Cell& cell) {
    const auto value = cell ? ParseInteger(*cell) : std::nullopt;
    return value ? Json(*value) : Json(nullptr);
}

Json FieldJson(FieldType type, const db::Cell& cell) {
    if (!cell) {
        return nullptr;
    }
    switch (type) {
    case FieldType::Date: {
        const auto date = ParseIsoDate(cell->substr(0, 10));
        return date ? Json(FormatDate(*date)) : Json(*cell);
    }
    case FieldType::Integer:
        return NumberOrNull(cell);
    case FieldType::Decimal:
        // As text: a double would lose digits of a long amount.
        return field::CanonicalDecimal(*cell);
    case FieldType::Boolean:
        return *cell != "0";
    case FieldType::Text:
        break;
    }
    return *cell;
}

struct FilesOut {
    std::string folder;
    std::string relativeTo;
};

// Writes the record's stored file under files.folder/CODE/; its path relative to the JSON.
bool ExportFile(DorvaneConnection& connection, const ArchiveSpec& spec, const std::string& record,
                const FilesOut& files, Json& out, std::string& error) {
    db::Result result;
    const auto backend = connection.Backend();
    if (!connection.Query("select NOME, " + schema::BlobColumn(backend, "DATI") +
                              " from DB_FILE where SYS_SERIALE=" + SqlText(spec.code) +
                              " and SYS_RECORD=" + record,
                          result)) {
        error = connection.LastError();
        return false;
    }
    if (result.rows.empty() || !result.rows[0][0] || !result.rows[0][1]) {
        out = nullptr;
        return true;
    }
    const std::string name = *result.rows[0][0];
    if (files.folder.empty()) {
        out = name;
        return true;
    }
    const std::filesystem::path folder = std::filesystem::path(files.folder) / spec.code;
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    const std::filesystem::path path = folder / (record + "_" + name);
    if (!DorvaneFiles::WriteFile(path.string(), schema::BlobValue(backend, *result.rows[0][1]))) {
        error = "Impossibile scrivere '" + path.string() + "'.";
        return false;
    }
    out = std::filesystem::proximate(path, files.relativeTo.empty() ? "." : files.relativeTo, ec)
              .generic_string();
    return true;
}

bool ExportArchive(DorvaneConnection& connection, const ArchiveSpec& spec, const FilesOut& files,
                   Json& out, std::string& error) {
    out["SYS_SERIALE"] = spec.code;
    out["ARCHIVIO"] = spec.name;
    out["TIPO_ARCH"] = spec.tipoArch;
    out["ANNO"] = spec.anno;
    out["MODELLO_DESCR"] = spec.descriptionTemplate;
    out["fields"] = Json::array();
    for (const auto& field : spec.fields) {
        out["fields"].push_back(
            {{"name", field.name},
             {"type", FieldTypeName(field.type)},
             {"default", field.defaultValue.empty() ? Json(nullptr) : Json(field.defaultValue)}});
    }
    db::Result types;
    if (!connection.Query("select SYS_TATD.ID_TIPODOC, SYS_TIPO_DOC_F.DESCRIZIONE from SYS_TATD"
                          " left join SYS_TIPO_DOC_F on SYS_TATD.ID_TIPODOC="
                          "SYS_TIPO_DOC_F.ID_TIPODOC where SYS_TATD.ID_TIPOARC=" +
                              SqlNumber(spec.tipoArch) + " order by SYS_TATD.ID_TIPODOC",
                          types)) {
        error = connection.LastError();
        return false;
    }
    out["document_types"] = Json::array();
    for (const auto& row : types.rows) {
        out["document_types"].push_back({{"ID_TIPODOC", NumberOrNull(row[0])},
                                         {"DESCRIZIONE", row[1] ? Json(*row[1]) : Json(nullptr)}});
    }
    db::Result records;
    if (!connection.Query("select * from " + spec.table + " order by sys_record", records)) {
        error = connection.LastError();
        return false;
    }
    std::vector<int> columnOf(spec.fields.size(), -1);
    int record = -1;
    int description = -1;
    int file = -1;
    for (size_t c = 0; c < records.columns.size(); ++c) {
        const std::string name = Lower(records.columns[c]);
        record = name == "sys_record" ? static_cast<int>(c) : record;
        description = name == "sys_descr" ? static_cast<int>(c) : description;
        file = name == "sys_file" ? static_cast<int>(c) : file;
        for (size_t f = 0; f < spec.fields.size(); ++f) {
            if (name == schema::ColumnName(spec.fields[f].name)) {
                columnOf[f] = static_cast<int>(c);
            }
        }
    }
    if (record < 0 || description < 0 || file < 0) {
        error = "Tabella dell'archivio '" + spec.code + "' incompleta.";
        return false;
    }
    out["records"] = Json::array();
    for (const auto& row : records.rows) {
        Json item;
        item["SYS_RECORD"] = NumberOrNull(row[static_cast<size_t>(record)]);
        item["SYS_DESCR"] = FieldJson(FieldType::Text, row[static_cast<size_t>(description)]);
        item["file"] = nullptr;
        if (row[static_cast<size_t>(file)] && row[static_cast<size_t>(record)] &&
            !ExportFile(connection, spec, *row[static_cast<size_t>(record)], files, item["file"],
                        error)) {
            return false;
        }
        for (size_t f = 0; f < spec.fields.size(); ++f) {
            item[spec.fields[f].name] =
                columnOf[f] < 0
                    ? Json(nullptr)
                    : FieldJson(spec.fields[f].type, row[static_cast<size_t>(columnOf[f])]);
        }
        out["records"].push_back(std::move(item));
    }
    return true;
}

// Users, administrators and their permissions; a hash only where the archive keeps one
// (a server keeps the passwords itself).
bool ExportUsers(DorvaneConnection& connection, Json& out, std::string& error) {
    db::Result users;
    db::Result grants;
    if (!connection.Query("select ID_UTENTE, NOME, HASH_PASSWORD, AMMINISTRATORE from UTENTI"
                          " order by ID_UTENTE",
                          users) ||
        !connection.Query(
            "select UTENTE_PERMESSI.ID_UTENTE, DB_PERMESSI.SYS_SERIALE, PERMESSI.CREA_REC,"
            " PERMESSI.DIRITTI from UTENTE_PERMESSI join DB_PERMESSI on"
            " UTENTE_PERMESSI.ID_PERMESSO=DB_PERMESSI.ID_PERMESSO join PERMESSI on"
            " PERMESSI.ID_PERMESSO=UTENTE_PERMESSI.ID_PERMESSO order by DB_PERMESSI.SYS_SERIALE,"
            " PERMESSI.CREA_REC, PERMESSI.DIRITTI",
            grants)) {
        error = connection.LastError();
        return false;
    }
    out = Json::array();
    for (const auto& user : users.rows) {
        Json item;
        item["NOME"] = user[1].value_or("");
        item["AMMINISTRATORE"] = user[3].value_or("0") != "0";
        item["HASH_PASSWORD"] = user[2] && !user[2]->empty() ? Json(*user[2]) : Json(nullptr);
        item["permissions"] = Json::array();
        for (const auto& grant : grants.rows) {
            if (grant[0] == user[0]) {
                item["permissions"].push_back({{"SYS_SERIALE", grant[1].value_or("")},
                                               {"CREA_REC", grant[2].value_or("0") != "0"},
                                               {"DIRITTI", NumberOrNull(grant[3])}});
            }
        }
        out.push_back(std::move(item));
    }
    return true;
}

} // namespace

bool ExportJson(DorvaneConnection& connection, std::string& json, std::string& error,
                const std::string& filesFolder, const std::string& relativeTo) {
    const FilesOut files{filesFolder, relativeTo};
    try {
        Json root;
        root["archives"] = Json::array();
        for (const auto& code : connection.ArchiveCodes()) {
            const ArchiveSpec* spec = connection.Archive(code);
            if (spec == nullptr) {
                error = "Archivio '" + code + "' illeggibile: " + connection.LastError();
                return false;
            }
            Json archive;
            if (!ExportArchive(connection, *spec, files, archive, error)) {
                return false;
            }
            root["archives"].push_back(std::move(archive));
        }
        db::Result links;
        if (!connection.Query("select DB_PAR_SERIALE, DB_PAR_RECORD, DB_SON_SERIALE,"
                              " DB_SON_RECORD from DB_COLLEGAMENTI order by ID_COLLEGAMENTO",
                              links)) {
            error = connection.LastError();
            return false;
        }
        root["links"] = Json::array();
        for (const auto& row : links.rows) {
            root["links"].push_back({{"DB_PAR_SERIALE", row[0].value_or("")},
                                     {"DB_PAR_RECORD", NumberOrNull(row[1])},
                                     {"DB_SON_SERIALE", row[2].value_or("")},
                                     {"DB_SON_RECORD", NumberOrNull(row[3])}});
        }
        if (!ExportUsers(connection, root["users"], error)) {
            return false;
        }
        json = root.dump(2, ' ', false, Json::error_handler_t::strict) + "\n";
        return true;
    } catch (const Json::type_error&) {
        // Text is never changed on the way out: a value that is not UTF-8 stops the export.
        error = "Esportazione non riuscita: l'archivio contiene testo non valido (UTF-8).";
        return false;
    } catch (const std::exception& e) {
        error = std::string("Esportazione non riuscita: ") + e.what();
        return false;
    }
}

} // namespace quorvin
