// The JSON import: the export's format read back into an archive database.
#include "archive/ArchiveAdmin.h"
#include "archive/ArchiveExchange.h"
#include "archive/Convert.h"
#include "archive/DorvaneArchiveStore.h"
#include "archive/DorvaneConnection.h"
#include "archive/DorvaneFiles.h"
#include "archive/FieldValue.h"
#include "archive/Quoting.h"
#include "archive/Schema.h"
#include "archive/Utf8.h"

#include <nlohmann/json.hpp>

#include <charconv>
#include <map>
#include <memory>
#include <utility>

namespace quorvin {

namespace {

using Json = nlohmann::json;
using RecordMap = std::map<std::pair<std::string, long long>, long long>;

struct ImportError {
    std::string text;
};

[[noreturn]] void Throw(const std::string& text) {
    throw ImportError{text};
}

std::string TextOf(const Json& value, const char* what) {
    if (!value.is_string()) {
        Throw(std::string("Valore non valido per ") + what + ".");
    }
    return value.get<std::string>();
}

long long IntegerOf(const Json& value, const char* what) {
    if (value.is_number_integer()) {
        return value.get<long long>();
    }
    if (value.is_string()) {
        if (const auto parsed = ParseInteger(value.get<std::string>())) {
            return *parsed;
        }
    }
    Throw(std::string("Valore non valido per ") + what + ".");
}

db::Cell StoredOf(const FieldSpec& field, const Json& value) {
    if (value.is_null()) {
        return std::nullopt;
    }
    db::Cell stored;
    bool ok = false;
    if (value.is_string()) {
        ok = field::ToStored(field.type, value.get<std::string>(), stored);
    } else if (value.is_boolean() && field.type == FieldType::Boolean) {
        stored = value.get<bool>() ? "1" : "0";
        ok = true;
    } else if (value.is_number_integer() &&
               (field.type == FieldType::Integer || field.type == FieldType::Decimal ||
                field.type == FieldType::Boolean)) {
        const long long number = value.get<long long>();
        stored =
            field.type == FieldType::Boolean ? (number != 0 ? "1" : "0") : std::to_string(number);
        ok = true;
    } else if (value.is_number_float() && field.type == FieldType::Decimal) {
        // Straight from the number: an amount text would read "1.250" as a thousand.
        char buffer[64];
        const auto [end, ec] = std::to_chars(buffer, buffer + sizeof(buffer), value.get<double>());
        ok = ec == std::errc();
        stored = std::string(buffer, end);
    }
    if (!ok) {
        Throw("Valore non valido per il campo '" + field.name + "'.");
    }
    return stored;
}

ArchiveSpec SpecOf(const Json& archive) {
    ArchiveSpec spec;
    spec.code = TextOf(archive.at("SYS_SERIALE"), "SYS_SERIALE");
    spec.name = TextOf(archive.at("ARCHIVIO"), "ARCHIVIO");
    spec.tipoArch = static_cast<long>(IntegerOf(archive.at("TIPO_ARCH"), "TIPO_ARCH"));
    const Json& year = archive.value("ANNO", Json(nullptr));
    spec.anno = year.is_null() ? 0 : static_cast<long>(IntegerOf(year, "ANNO"));
    const Json& model = archive.value("MODELLO_DESCR", Json(""));
    spec.descriptionTemplate = model.is_null() ? "" : TextOf(model, "MODELLO_DESCR");
    for (const auto& item : archive.value("fields", Json::array())) {
        FieldSpec field;
        field.name = TextOf(item.at("name"), "name");
        if (!ParseFieldType(TextOf(item.at("type"), "type"), field.type)) {
            Throw("Tipo di campo sconosciuto per '" + field.name + "'.");
        }
        const Json& fallback = item.value("default", Json(nullptr));
        field.defaultValue = fallback.is_null() ? "" : TextOf(fallback, "default");
        spec.fields.push_back(std::move(field));
    }
    for (const auto& item : archive.value("document_types", Json::array())) {
        spec.docTypes.push_back(static_cast<long>(IntegerOf(item.at("ID_TIPODOC"), "ID_TIPODOC")));
    }
    return spec;
}

void ImportDocTypes(DorvaneConnection& connection, const Json& archive) {
    std::vector<DocTypeSpec> named;
    for (const auto& item : archive.value("document_types", Json::array())) {
        const Json& name = item.value("DESCRIZIONE", Json(nullptr));
        if (!name.is_null()) {
            named.push_back({static_cast<long>(IntegerOf(item.at("ID_TIPODOC"), "ID_TIPODOC")),
                             TextOf(name, "DESCRIZIONE")});
        }
    }
    std::string error;
    if (!admin::AddDocTypes(connection, named, error)) {
        Throw(error);
    }
}

const FieldSpec* FindField(const ArchiveSpec& spec, const std::string& name) {
    const std::string key = Lower(name);
    for (const auto& field : spec.fields) {
        if (Lower(field.name) == key) {
            return &field;
        }
    }
    return nullptr;
}

void ImportRecord(DorvaneConnection& connection, DorvaneArchiveStore& store,
                  const ArchiveSpec& spec, const Json& record, bool keepNumber,
                  RecordMap& numbers) {
    const long long old = IntegerOf(record.at("SYS_RECORD"), "SYS_RECORD");
    std::string names = "sys_seriale";
    std::string values = SqlText(spec.code);
    if (keepNumber) {
        names += ", sys_record";
        values += ", " + SqlNumber(old);
    }
    for (const auto& [key, value] : record.items()) {
        if (key == "SYS_RECORD" || value.is_null()) {
            continue;
        }
        if (key == "SYS_DESCR") {
            names += ", sys_descr";
            values += ", " + SqlText(TextOf(value, "SYS_DESCR"));
        } else if (key == "file") {
            const std::string source = TextOf(value, "file");
            std::string destination;
            if (!DorvaneFiles::FileExists(source)) {
                Throw("File archiviato non trovato: '" + source + "'.");
            }
            if (!store.ReserveFile(spec.folder, DorvaneFiles::FileName(source, true),
                                   destination) ||
                !DorvaneFiles::CopyFile(source, destination, true)) {
                Throw("Copia file non riuscita: '" + source + "'.");
            }
            names += ", sys_file";
            values += ", " + SqlText(destination);
        } else {
            const FieldSpec* field = FindField(spec, key);
            if (field == nullptr) {
                Throw("Campo '" + key + "' inesistente nell'archivio '" + spec.code + "'.");
            }
            names += ", " + schema::QuotedColumn(field->name);
            values += ", " + field::Literal(field->type, StoredOf(*field, value));
        }
    }
    db::Result result;
    if (!connection.Query("insert into " + spec.table + " (" + names + ") values (" + values +
                              ") returning sys_record",
                          result) ||
        result.rows.empty() || !result.rows[0][0]) {
        Throw("Record " + std::to_string(old) + " dell'archivio '" + spec.code +
              "' non importato: " + connection.LastError());
    }
    numbers[{spec.code, old}] = ParseInteger(*result.rows[0][0]).value_or(old);
}

void ImportArchive(DorvaneConnection& connection, DorvaneArchiveStore& store, const Json& archive,
                   RecordMap& numbers) {
    ArchiveSpec wanted = SpecOf(archive);
    ImportDocTypes(connection, archive);
    bool created = false;
    if (connection.Archive(wanted.code) == nullptr) {
        std::string error;
        if (!admin::AddArchive(connection, wanted, error)) {
            Throw(error);
        }
        created = true;
    }
    const ArchiveSpec spec = *connection.Archive(wanted.code);
    for (const auto& record : archive.value("records", Json::array())) {
        ImportRecord(connection, store, spec, record, created, numbers);
    }
    if (created && connection.Backend() == db::Backend::Postgres &&
        !connection.Execute("select setval(pg_get_serial_sequence('" + spec.table +
                            "', 'sys_record'), coalesce((select max(sys_record) from " +
                            spec.table + "), 0) + 1, false)")) {
        Throw(connection.LastError());
    }
}

void ImportLinks(DorvaneConnection& connection, const Json& links, const RecordMap& numbers) {
    for (const auto& link : links) {
        const auto mapped = [&](const char* serialKey, const char* recordKey) {
            const std::string code = TextOf(link.at(serialKey), serialKey);
            const long long record = IntegerOf(link.at(recordKey), recordKey);
            const auto it = numbers.find({code, record});
            return std::make_pair(code, it == numbers.end() ? record : it->second);
        };
        const auto [parent, parentRecord] = mapped("DB_PAR_SERIALE", "DB_PAR_RECORD");
        const auto [son, sonRecord] = mapped("DB_SON_SERIALE", "DB_SON_RECORD");
        if (!connection.Execute("insert into DB_COLLEGAMENTI (DB_PAR_SERIALE, DB_PAR_RECORD,"
                                " DB_SON_SERIALE, DB_SON_RECORD) values (" +
                                SqlText(parent) + ", " + SqlNumber(parentRecord) + ", " +
                                SqlText(son) + ", " + SqlNumber(sonRecord) + ")")) {
            Throw(connection.LastError());
        }
    }
}

} // namespace

bool ImportJson(DorvaneConnection& connection, const std::string& json, std::string& error) {
    const Json root = Json::parse(json, nullptr, false);
    if (root.is_discarded() || !root.is_object()) {
        error = "Il file non contiene JSON valido.";
        return false;
    }
    return admin::InTransaction(connection, error, [&] {
        try {
            // The connection is borrowed for the store: it lives as long as this call.
            std::shared_ptr<DorvaneConnection> borrowed(&connection, [](DorvaneConnection*) {});
            DorvaneArchiveStore store(borrowed);
            RecordMap numbers;
            for (const auto& archive : root.value("archives", Json::array())) {
                ImportArchive(connection, store, archive, numbers);
            }
            ImportLinks(connection, root.value("links", Json::array()), numbers);
            return true;
        } catch (const ImportError& e) {
            error = e.text.empty() ? "Importazione non riuscita." : e.text;
        } catch (const std::exception& e) {
            error = std::string("Formato JSON non valido: ") + e.what();
        }
        return false;
    });
}

} // namespace quorvin
