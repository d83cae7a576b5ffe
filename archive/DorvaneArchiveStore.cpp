#include "archive/DorvaneArchiveStore.h"

#include "archive/DorvaneConnection.h"
#include "archive/DorvaneFiles.h"
#include "archive/FieldValue.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

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

// Creates path exclusively; false when it exists (errno EEXIST) or cannot be made.
bool CreateExclusive(const std::string& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
        return false;
    }
    ::close(fd);
    return true;
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

bool DorvaneArchiveStore::PrepareFile(DorvaneRecordset& record, const std::string& fileName,
                                      std::string& destination, const std::string& folder) {
    destination.clear();
    const ArchiveSpec* archive = m_connection->Archive(record.ArchiveCode());
    if (archive == nullptr) {
        m_connection->SetError(1301, "Il record non appartiene a un archivio.");
        return false;
    }
    const std::string target = archive->folder;
    std::error_code ec;
    if (!folder.empty() && std::filesystem::weakly_canonical(folder, ec) !=
                               std::filesystem::weakly_canonical(target, ec)) {
        m_connection->SetError(1305, "La cartella '" + folder +
                                         "' non è quella dell'archivio: file non preparato.");
        return false;
    }
    if (!ReserveFile(target, fileName, destination)) {
        return false;
    }
    if (!record.SetValue(kFieldStoredFile, destination)) {
        DorvaneFiles::DeleteFile(destination, true);
        destination.clear();
        return false;
    }
    return true;
}

bool DorvaneArchiveStore::ReserveFile(const std::string& folder, const std::string& fileName,
                                      std::string& destination) {
    destination.clear();
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (!DorvaneFiles::FolderExists(folder)) {
        m_connection->SetError(1302, "Impossibile creare la cartella '" + folder + "'.");
        return false;
    }
    const std::string name = SafeFileName(fileName);
    const std::string ext = DorvaneFiles::Extension(name);
    const std::string stem = ext.empty() ? name : name.substr(0, name.size() - ext.size() - 1);
    for (int n = 1; n < 100000; ++n) {
        const std::string candidate =
            n == 1 ? name : stem + "_" + std::to_string(n) + (ext.empty() ? "" : "." + ext);
        const std::string path = DorvaneFiles::AddSeparator(folder) + candidate;
        if (CreateExclusive(path)) {
            destination = path;
            break;
        }
        if (errno != EEXIST) {
            m_connection->SetError(1303, "Impossibile creare il file '" + path + "'.");
            return false;
        }
    }
    if (destination.empty()) {
        m_connection->SetError(1303, "Nessun nome libero per '" + name + "'.");
        return false;
    }
    m_connection->RegisterStoredFile(destination);
    return true;
}

bool DorvaneArchiveStore::StoreFile(DorvaneRecordset& record, const std::string& source,
                                    const std::string& fileName, std::string& destination) {
    if (!PrepareFile(record, fileName, destination)) {
        return false;
    }
    if (!DorvaneFiles::CopyFile(source, destination, true)) {
        m_connection->SetError(1304, "Copia file non riuscita: '" + source + "'.");
        DorvaneFiles::DeleteFile(destination, true);
        record.SetValue(kFieldStoredFile, "");
        destination.clear();
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
