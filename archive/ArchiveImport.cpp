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

#include <algorithm>
#include <cctype>
#include <charconv>
#include <climits>
#include <filesystem>
#include <fstream>
#include <iterator>
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

// "-1250.00": sign, digits, at most one dot with digits after it.
bool IsPlainDecimal(const std::string& text) {
    size_t i = text.starts_with('-') ? 1 : 0;
    const size_t digits = i;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
        ++i;
    }
    if (i == digits || i > digits + 30) {
        return false;
    }
    if (i < text.size() && text[i] == '.') {
        const size_t fraction = ++i;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
            ++i;
        }
        if (i == fraction) {
            return false;
        }
    }
    return i == text.size();
}

long long RecordNumberOf(const Json& value, const char* what) {
    const long long number = IntegerOf(value, what);
    if (number < 1 || number > INT32_MAX) {
        Throw(std::string("Numero di record fuori intervallo per ") + what + ": " +
              std::to_string(number) + ".");
    }
    return number;
}

// The file named by a "file" path: inside base, reached without leaving it.
std::string InsideBase(const std::string& base, const std::string& relative) {
    namespace fs = std::filesystem;
    const fs::path path(relative);
    bool leaves = path.is_absolute() || path.has_root_name() || path.has_root_directory();
    for (const auto& part : path) {
        leaves = leaves || part == "..";
    }
    std::error_code ec;
    const fs::path root = fs::weakly_canonical(base.empty() ? fs::path(".") : fs::path(base), ec);
    const fs::path full = fs::weakly_canonical(root / path, ec);
    const auto [rootEnd, fullAt] =
        std::mismatch(root.begin(), root.end(), full.begin(), full.end());
    if (leaves || relative.empty() || ec || rootEnd != root.end()) {
        Throw("Percorso di file non ammesso: '" + relative +
              "' (solo file nella cartella dell'esportazione).");
    }
    return full.string();
}

db::Cell StoredOf(const FieldSpec& field, const Json& value) {
    if (value.is_null()) {
        return std::nullopt;
    }
    db::Cell stored;
    bool ok = false;
    if (value.is_string() && field.type == FieldType::Decimal &&
        IsPlainDecimal(value.get<std::string>())) {
        // Every digit as written: no pass through a double.
        stored = value.get<std::string>();
        ok = true;
    } else if (value.is_string()) {
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
                  const std::string& baseFolder, RecordMap& numbers) {
    const long long old = RecordNumberOf(record.at("SYS_RECORD"), "SYS_RECORD");
    std::string fileName;
    std::string fileBytes;
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
            const std::string source = InsideBase(baseFolder, TextOf(value, "file"));
            std::ifstream in(source, std::ios::binary);
            if (!in) {
                Throw("File archiviato non trovato: '" + TextOf(value, "file") + "'.");
            }
            fileBytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
            // The export writes "<record>_<name>": the stored name is what follows.
            const std::string written = DorvaneFiles::FileName(source, true);
            const size_t cut = written.find('_');
            fileName = store.StoredName(
                spec.code, cut == std::string::npos ? written : written.substr(cut + 1));
            names += ", sys_file";
            values += ", " + SqlText(fileName);
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
    const std::string number = *result.rows[0][0];
    numbers[{spec.code, old}] = ParseInteger(number).value_or(old);
    if (!fileName.empty() &&
        !connection.Execute(
            "insert into DB_FILE (SYS_SERIALE, SYS_RECORD, NOME, DIMENSIONE, DATI) values (" +
            SqlText(spec.code) + ", " + number + ", " + SqlText(fileName) + ", " +
            std::to_string(fileBytes.size()) + ", " +
            schema::BlobLiteral(connection.Backend(), fileBytes) + ")")) {
        Throw("File del record " + std::to_string(old) +
              " non importato: " + connection.LastError());
    }
}

void ImportArchive(DorvaneConnection& connection, DorvaneArchiveStore& store, const Json& archive,
                   const std::string& baseFolder, RecordMap& numbers) {
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
        ImportRecord(connection, store, spec, record, created, baseFolder, numbers);
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
            const long long record = RecordNumberOf(link.at(recordKey), recordKey);
            const auto it = numbers.find({code, record});
            if (it != numbers.end()) {
                return std::make_pair(code, it->second);
            }
            const ArchiveSpec* spec = connection.Archive(code);
            db::Result found;
            if (spec == nullptr ||
                !connection.Query("select sys_record from " + spec->table +
                                      " where sys_record=" + SqlNumber(record),
                                  found) ||
                found.rows.empty()) {
                Throw("Collegamento a un record inesistente: archivio '" + code + "', record " +
                      std::to_string(record) + ".");
            }
            return std::make_pair(code, record);
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

// Users keep their names, administrators and hashes (a server keeps no hash: the role
// has no password until one is set); permissions are added where the user lacks them.
void ImportUsers(DorvaneConnection& connection, const Json& users) {
    for (const auto& user : users) {
        const std::string name = TextOf(user.at("NOME"), "NOME");
        const bool administrator = user.value("AMMINISTRATORE", false);
        const Json& hash = user.value("HASH_PASSWORD", Json(nullptr));
        std::string error;
        if (admin::UserId(connection, name) < 0 &&
            admin::AddUserWithHash(connection, name,
                                   hash.is_null() ? "" : TextOf(hash, "HASH_PASSWORD"), "",
                                   administrator, error) < 0) {
            Throw("Utente " + name + " non importato: " + error);
        }
        for (const auto& grant : user.value("permissions", Json::array())) {
            const std::string code = TextOf(grant.at("SYS_SERIALE"), "SYS_SERIALE");
            const bool create = grant.value("CREA_REC", false);
            const long rights = static_cast<long>(RecordNumberOf(grant.at("DIRITTI"), "DIRITTI"));
            db::Result held;
            if (!connection.Query(
                    "select count(*) from UTENTE_PERMESSI join DB_PERMESSI on"
                    " UTENTE_PERMESSI.ID_PERMESSO=DB_PERMESSI.ID_PERMESSO join PERMESSI on"
                    " PERMESSI.ID_PERMESSO=UTENTE_PERMESSI.ID_PERMESSO join UTENTI on"
                    " UTENTI.ID_UTENTE=UTENTE_PERMESSI.ID_UTENTE where UTENTI.NOME=" +
                        SqlText(name) + " and DB_PERMESSI.SYS_SERIALE=" + SqlText(code) +
                        " and PERMESSI.CREA_REC=" + (create ? "1" : "0") +
                        " and PERMESSI.DIRITTI=" + SqlNumber(rights),
                    held)) {
                Throw(connection.LastError());
            }
            if (held.rows.empty() || held.rows[0][0].value_or("0") == "0") {
                if (!admin::Grant(connection, name, code, create, rights, error)) {
                    Throw("Permesso di " + name + " sull'archivio '" + code +
                          "' non importato: " + error);
                }
            }
        }
    }
}

} // namespace

bool ImportJson(DorvaneConnection& connection, const std::string& json, std::string& error,
                const std::string& baseFolder) {
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
                ImportArchive(connection, store, archive, baseFolder, numbers);
            }
            ImportLinks(connection, root.value("links", Json::array()), numbers);
            ImportUsers(connection, root.value("users", Json::array()));
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
