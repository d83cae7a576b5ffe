#include "archive/DorvaneArchiveStore.h"

#include "archive/DorvaneConnection.h"
#include "archive/DorvaneFiles.h"
#include "archive/FieldValue.h"
#include "archive/Quoting.h"
#include "archive/Schema.h"

#include <algorithm>
#include <filesystem>
#include <set>

namespace quorvin {

namespace {

constexpr size_t kMaxNameBytes = 200;

// The last part of name, made safe as a single file name inside a folder.
std::string SafeFileName(const std::string& name) {
    const size_t cut = name.find_last_of("/\\");
    std::string base = cut == std::string::npos ? name : name.substr(cut + 1);
    // Control characters and ':' go, runs of dots become one dot, leading dots and
    // blanks go: no hidden name, no "..".
    std::string clean;
    for (const char c : base) {
        const bool control = static_cast<unsigned char>(c) < 0x20 || c == ':';
        const bool repeatedDot = c == '.' && !clean.empty() && clean.back() == '.';
        const bool leading = clean.empty() && (c == '.' || c == ' ');
        if (!control && !repeatedDot && !leading) {
            clean.push_back(c);
        }
    }
    // "..pdf" or " .pdf": what is left is the extension, which keeps its dot.
    const size_t dot = base.rfind('.');
    if (!clean.empty() && clean.find('.') == std::string::npos && dot != std::string::npos &&
        base.compare(dot + 1, std::string::npos, clean) == 0) {
        clean = "documento." + clean;
    }
    if (clean.size() > kMaxNameBytes) {
        const std::string ext = DorvaneFiles::Extension(clean);
        size_t keep = kMaxNameBytes - std::min(ext.size() + 1, size_t{20});
        while (keep > 0 && (static_cast<unsigned char>(clean[keep]) & 0xC0) == 0x80) {
            --keep; // never split a UTF-8 character
        }
        clean = clean.substr(0, keep) + (ext.empty() || ext.size() > 19 ? "" : "." + ext);
    }
    return clean.empty() ? "documento" : clean;
}

} // namespace

DorvaneArchiveStore::DorvaneArchiveStore(std::shared_ptr<DorvaneConnection> connection)
    : m_connection(std::move(connection)) {}

std::string DorvaneArchiveStore::DescriptionTemplate(const std::string& code) {
    const ArchiveSpec* archive = m_connection->Archive(code);
    return archive != nullptr ? archive->descriptionTemplate : std::string();
}

bool DorvaneArchiveStore::PrepareRecord(DorvaneRecordset& defaults, const std::string& code) {
    const ArchiveSpec* archive = m_connection->Archive(code);
    if (archive == nullptr) {
        m_connection->SetError(1301, "Archivio '" + code + "' inesistente.");
        return false;
    }
    if (!defaults.Connection()) {
        defaults.Connection(m_connection);
    }
    std::vector<std::string> names;
    std::vector<FieldType> types;
    db::Row row;
    for (const auto& field : archive->fields) {
        db::Cell stored;
        if (!field::ToStored(field.type, field.defaultValue, stored)) {
            stored = std::nullopt; // a default that does not fit is no default
        }
        names.push_back(field.name);
        types.push_back(field.type);
        row.push_back(stored);
    }
    defaults.OpenValues(names, types, row);
    return true;
}

bool DorvaneArchiveStore::AddRecord(DorvaneRecordset& record) {
    return record.AddNew();
}

bool DorvaneArchiveStore::CopyRecordDefaults(DorvaneRecordset& record, DorvaneRecordset& defaults,
                                             bool onlyEmpty) {
    if (!record.IsOpen() || !defaults.IsOpen()) {
        return false;
    }
    for (const auto& name : defaults.FieldNames()) {
        const db::Cell value = defaults.StoredValue(name);
        if (!value || !record.HasField(name) || (onlyEmpty && !record.IsNull(name))) {
            continue;
        }
        if (!record.SetStoredValue(name, value)) {
            return false;
        }
    }
    return true;
}

std::string DorvaneArchiveStore::StoredName(const std::string& code, const std::string& fileName) {
    const std::string name = SafeFileName(fileName);
    const std::string ext = DorvaneFiles::Extension(name);
    const std::string stem = ext.empty() ? name : name.substr(0, name.size() - ext.size() - 1);
    // Names that differ only by "_N" suffixes share one set: "a_2.pdf" asked for after
    // "a.pdf" is one of the names "a.pdf" may be given.
    std::string family = stem;
    for (size_t cut = family.find_last_of('_');
         cut != std::string::npos && cut + 1 < family.size() &&
         family.find_first_not_of("0123456789", cut + 1) == std::string::npos;
         cut = family.find_last_of('_')) {
        family.erase(cut);
    }
    auto& names = m_connection->StoredNames(code, family);
    // The smallest free suffix, searched from where the last search for this name ended.
    int& n = names.nextSuffix[name];
    for (n = std::max(n, 1);; ++n) {
        std::string candidate =
            n == 1 ? name : stem + "_" + std::to_string(n) + (ext.empty() ? "" : "." + ext);
        if (names.taken.insert(candidate).second) {
            ++n;
            return candidate;
        }
    }
}

bool DorvaneArchiveStore::PrepareFile(DorvaneRecordset& record, const std::string& fileName,
                                      std::string& destination, const std::string& folder) {
    destination.clear();
    const ArchiveSpec* archive = m_connection->Archive(record.ArchiveCode());
    if (archive == nullptr) {
        m_connection->SetError(1301, "Il record non appartiene a un archivio.");
        return false;
    }
    std::error_code ec;
    if (!folder.empty() && std::filesystem::weakly_canonical(folder, ec) !=
                               std::filesystem::weakly_canonical(archive->folder, ec)) {
        m_connection->SetError(1305, "La cartella '" + folder +
                                         "' non è quella dell'archivio: file non preparato.");
        return false;
    }
    const std::string staging = m_connection->StagingFolder();
    const std::string path =
        staging.empty() ? std::string() : DorvaneFiles::TempFileName(staging, "file", "pdf");
    if (path.empty()) {
        m_connection->SetError(1303, "Impossibile creare il file temporaneo per '" + fileName +
                                         "' nella cartella '" + staging + "'.");
        return false;
    }
    m_connection->RegisterStoredFile(path);
    if (!record.SetStoredFile(StoredName(archive->code, fileName), path, true)) {
        DorvaneFiles::DeleteFile(path, true);
        return false;
    }
    destination = path;
    return true;
}

bool DorvaneArchiveStore::StoreFile(DorvaneRecordset& record, const std::string& source,
                                    const std::string& fileName, std::string& destination) {
    destination.clear();
    if (!DorvaneFiles::FileExists(source)) {
        m_connection->SetError(1304, "Copia file non riuscita: '" + source + "'.");
        return false;
    }
    if (!record.SetStoredFile(StoredName(record.ArchiveCode(), fileName), source, false)) {
        return false;
    }
    destination = source;
    return true;
}

bool DorvaneArchiveStore::StoreBytes(DorvaneRecordset& record, std::string bytes,
                                     const std::string& fileName) {
    return record.SetStoredBytes(StoredName(record.ArchiveCode(), fileName), std::move(bytes));
}

bool DorvaneArchiveStore::ReadStoredFile(const std::string& code, long record, std::string& name,
                                         std::string& bytes) {
    db::Result result;
    const auto backend = m_connection->Backend();
    if (!m_connection->Query("select NOME, " + schema::BlobColumn(backend, "DATI") +
                                 " from DB_FILE where SYS_SERIALE=" + SqlText(code) +
                                 " and SYS_RECORD=" + SqlNumber(record),
                             result)) {
        return false;
    }
    if (result.rows.empty() || !result.rows[0][0] || !result.rows[0][1]) {
        m_connection->SetError(1306, "Nessun file archiviato per il record " +
                                         std::to_string(record) + " dell'archivio '" + code + "'.");
        return false;
    }
    name = *result.rows[0][0];
    bytes = schema::BlobValue(backend, *result.rows[0][1]);
    return true;
}

bool DorvaneArchiveStore::ExtractStoredFile(const std::string& code, long record,
                                            const std::string& path) {
    std::string name;
    std::string bytes;
    if (!ReadStoredFile(code, record, name, bytes)) {
        return false;
    }
    if (!DorvaneFiles::WriteFile(path, bytes)) {
        m_connection->SetError(1303, "Impossibile scrivere il file '" + path + "'.");
        return false;
    }
    return true;
}

bool DorvaneArchiveStore::OpenLinks(DorvaneRecordset& links) {
    if (!links.Connection()) {
        links.Connection(m_connection);
    }
    return links.Open(kLinkTable, DorvaneRecordset::Mode::Updatable);
}

} // namespace quorvin
