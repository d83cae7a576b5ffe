#pragma once
// The program's settings: the two working folders, the backup switch and one archive flag
// per receipt type, all in the group "Impostazioni" of the user's settings (organisation
// "Belvast", application "Quorvin"). Paths are UTF-8.
#include <QByteArray>

#include <map>
#include <string>

namespace quorvin::shell {

// The folders the defaults are made of; injectable so tests can stand in for the machine.
struct SettingsFolders {
    std::string entratel;    // programs folder + "Entratel/": receipt folder if it exists
    std::string nolvaErrors; // the console's reject folder, if it exists
    std::string documents;   // the user's documents folder, with a trailing separator

    static SettingsFolders Defaults();
};

struct FolderSettings {
    std::string lastFolder;      // receipt folder (m_sTelFolder)
    std::string lastFolderNolva; // reject folder (m_sNolvaErrFolder); empty = no reject pass
    bool saveBackups = true;     // m_bSaveBackups
};

// The main window's layout as Qt saves it: geometry, the splitter between the settings and
// the list, and the list's columns. Empty members: nothing remembered.
struct WindowLayout {
    QByteArray geometry;
    QByteArray splitter;
    QByteArray columns;
};

class Settings {
public:
    // The user's own settings store.
    explicit Settings(SettingsFolders folders = SettingsFolders::Defaults());
    // A store of its own in an INI file (tests, portable runs).
    explicit Settings(std::string iniPath, SettingsFolders folders = SettingsFolders::Defaults());

    // Read at the first activation of the main window; missing values take their defaults.
    // An existing empty "LastFolderNolva" stays empty.
    FolderSettings Load() const;
    // Written when the main window unloads; false when the store could not be written.
    bool Save(const FolderSettings& settings) const;

    // Rebuilds colTipiDoc (keyed by the decimal code, true = archive) from the flags. When
    // the group does not exist yet the first-run flags are written first. False, leaving
    // colTipiDoc as it was, when the store can neither be read nor created.
    bool LoadTypeFlags(std::map<std::string, bool>& colTipiDoc) const;
    // The flags as the selection dialog shows them: every catalogue code, true only for a
    // stored 1; all false when the group does not exist. Creates nothing.
    std::map<long, bool> ReadTypeFlags() const;
    // Writes all 58 flags in catalogue order (1 for a code mapped to true, else 0), as the
    // dialog does on closing. Writes nothing and returns false when the group does not
    // exist (the dialog never creates it) or the store could not be written.
    bool WriteTypeFlags(const std::map<long, bool>& checked) const;

    // "LimiteLettura": the seconds one PDF may take to be read before it is given up
    // (set by hand; a value that is no number from 1 to 3600 gives fallback).
    int ReadLimitSeconds(int fallback) const;

    // Kept in a group of its own ("Finestra"), beside the program's settings.
    WindowLayout LoadLayout() const;
    bool SaveLayout(const WindowLayout& layout) const;

    const SettingsFolders& Folders() const { return m_folders; }

private:
    std::string m_iniPath; // empty = the user's own store
    SettingsFolders m_folders;
};

// "" when the folder exists; otherwise the message the user is shown (information style).
std::string FolderCheck(const std::string& folder);
std::string FolderMissingMessage(const std::string& folder);

} // namespace quorvin::shell
