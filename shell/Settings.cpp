#include "shell/Settings.h"

#include "archive/Convert.h"
#include "archive/DorvaneFiles.h"
#include "catalogue/ReceiptTypes.h"

#include <QDir>
#include <QSettings>
#include <QStandardPaths>
#include <QString>

#include <filesystem>
#include <memory>
#include <system_error>

namespace quorvin::shell {
namespace {

const QString kGroup = QStringLiteral("Impostazioni");
const QString kLastFolder = QStringLiteral("LastFolder");
const QString kLastFolderNolva = QStringLiteral("LastFolderNolva");
const QString kSaveBackups = QStringLiteral("SaveBackups");
const QString kReadLimit = QStringLiteral("LimiteLettura");
const QString kLayoutGroup = QStringLiteral("Finestra");
const QString kGeometry = QStringLiteral("Geometria");
const QString kSplitter = QStringLiteral("Divisore");
const QString kColumns = QStringLiteral("Colonne");

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

// A fresh handle per operation, like opening and closing the registry key: nothing stale
// is kept between a failed write and the next read.
std::unique_ptr<QSettings> OpenStore(const std::string& iniPath) {
    auto store =
        iniPath.empty()
            ? std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                          QStringLiteral("Belvast"), QStringLiteral("Quorvin"))
            : std::make_unique<QSettings>(Q(iniPath), QSettings::IniFormat);
    // Only the user's own values count: a system-wide file must not make the group exist.
    store->setFallbacksEnabled(false);
    return store;
}

bool GroupExists(QSettings& store) {
    return store.childGroups().contains(kGroup);
}

bool Readable(const QSettings& store) {
    return store.status() == QSettings::NoError;
}

// A flag is on only when its value converts to the integer 1.
bool FlagValue(const QSettings& store, long code) {
    const auto value = ParseInteger(store.value(QString::number(code)).toString().toStdString());
    return value && *value == 1;
}

std::string WithSeparator(const QString& folder) {
    return DorvaneFiles::AddSeparator(QDir::fromNativeSeparators(folder).toStdString());
}

} // namespace

SettingsFolders SettingsFolders::Defaults() {
    SettingsFolders folders;
#ifdef Q_OS_WIN
    const QString programs =
        qEnvironmentVariable("ProgramFiles", QStringLiteral("C:/Program Files"));
    folders.entratel = WithSeparator(programs) + "Entratel/";
    folders.nolvaErrors = "C:/KOLVEN/PRAVIS/tele/archivia/Nolva_Errori/";
#else
    folders.entratel = "/opt/Entratel/";
    folders.nolvaErrors = "/opt/KOLVEN/PRAVIS/tele/archivia/Nolva_Errori/";
#endif
    QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (documents.isEmpty()) {
        documents = QDir::homePath();
    }
    folders.documents = WithSeparator(documents);
    return folders;
}

Settings::Settings(SettingsFolders folders) : m_folders(std::move(folders)) {}

Settings::Settings(std::string iniPath, SettingsFolders folders)
    : m_iniPath(std::move(iniPath)), m_folders(std::move(folders)) {}

FolderSettings Settings::Load() const {
    auto store = OpenStore(m_iniPath);
    store->beginGroup(kGroup);
    // Names present decide whether an empty reject folder is a choice or a first start.
    const QStringList names = store->childKeys();

    FolderSettings settings;
    const std::string telDefault =
        DorvaneFiles::FolderExists(m_folders.entratel) ? m_folders.entratel : m_folders.documents;
    settings.lastFolder = store->value(kLastFolder, Q(telDefault)).toString().toStdString();

    if (names.contains(kLastFolderNolva, Qt::CaseInsensitive)) {
        settings.lastFolderNolva = store->value(kLastFolderNolva).toString().toStdString();
    } else {
        settings.lastFolderNolva = DorvaneFiles::FolderExists(m_folders.nolvaErrors)
                                       ? m_folders.nolvaErrors
                                       : m_folders.documents;
    }

    // An unreadable value keeps the default: copying backups is the safe side.
    const auto backups = ParseInteger(store->value(kSaveBackups, 1).toString().toStdString());
    settings.saveBackups = backups.value_or(1) != 0;
    return settings;
}

int Settings::ReadLimitSeconds(int fallback) const {
    auto store = OpenStore(m_iniPath);
    store->beginGroup(kGroup);
    const auto limit = ParseInteger(store->value(kReadLimit).toString().toStdString());
    return limit && *limit >= 1 && *limit <= 3600 ? static_cast<int>(*limit) : fallback;
}

bool Settings::Save(const FolderSettings& settings) const {
    auto store = OpenStore(m_iniPath);
    store->beginGroup(kGroup);
    store->setValue(kLastFolder, Q(settings.lastFolder));
    store->setValue(kLastFolderNolva, Q(settings.lastFolderNolva));
    store->setValue(kSaveBackups, settings.saveBackups ? 1 : 0);
    store->endGroup();
    store->sync();
    return Readable(*store);
}

bool Settings::LoadTypeFlags(std::map<std::string, bool>& colTipiDoc) const {
    auto store = OpenStore(m_iniPath);
    if (!Readable(*store)) {
        return false;
    }
    if (!GroupExists(*store)) {
        store->beginGroup(kGroup);
        for (long code : catalogue::FlagReadOrder()) {
            for (const auto& type : catalogue::ReceiptTypes()) {
                if (type.code == code && type.firstRun) {
                    // Written as the integer 1, never as a boolean "true".
                    store->setValue(QString::number(code), 1);
                }
            }
        }
        store->endGroup();
        store->sync();
        if (!Readable(*store)) {
            return false;
        }
    }

    store->beginGroup(kGroup);
    colTipiDoc.clear();
    for (long code : catalogue::FlagReadOrder()) {
        colTipiDoc[std::to_string(code)] = FlagValue(*store, code);
    }
    return true;
}

std::map<long, bool> Settings::ReadTypeFlags() const {
    std::map<long, bool> flags;
    auto store = OpenStore(m_iniPath);
    const bool open = Readable(*store) && GroupExists(*store);
    store->beginGroup(kGroup);
    for (const auto& type : catalogue::ReceiptTypes()) {
        flags[type.code] = open && FlagValue(*store, type.code);
    }
    return flags;
}

bool Settings::WriteTypeFlags(const std::map<long, bool>& checked) const {
    auto store = OpenStore(m_iniPath);
    if (!Readable(*store) || !GroupExists(*store)) {
        return false;
    }
    store->beginGroup(kGroup);
    for (const auto& type : catalogue::ReceiptTypes()) {
        const auto it = checked.find(type.code);
        store->setValue(QString::number(type.code), it != checked.end() && it->second ? 1 : 0);
    }
    store->endGroup();
    store->sync();
    return Readable(*store);
}

WindowLayout Settings::LoadLayout() const {
    auto store = OpenStore(m_iniPath);
    store->beginGroup(kLayoutGroup);
    return WindowLayout{store->value(kGeometry).toByteArray(),
                        store->value(kSplitter).toByteArray(),
                        store->value(kColumns).toByteArray()};
}

bool Settings::SaveLayout(const WindowLayout& layout) const {
    auto store = OpenStore(m_iniPath);
    store->beginGroup(kLayoutGroup);
    store->setValue(kGeometry, layout.geometry);
    store->setValue(kSplitter, layout.splitter);
    store->setValue(kColumns, layout.columns);
    store->endGroup();
    store->sync();
    return Readable(*store);
}

std::string FolderMissingMessage(const std::string& folder) {
    return "Cartella " + folder +
           " inesistente o non raggiungibile.\n"
           "Verificare la correttezza del percorso impostato e i permessi di accesso.";
}

std::string FolderCheck(const std::string& folder) {
    // A folder that cannot be listed would look empty: it is as unreachable as a missing one.
    std::error_code error;
    const bool readable = DorvaneFiles::FolderExists(folder) &&
                          (std::filesystem::directory_iterator(folder, error), !error);
    return readable ? std::string() : FolderMissingMessage(folder);
}

} // namespace quorvin::shell
