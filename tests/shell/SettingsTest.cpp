#include "shell/Settings.h"

#include "support/TestSupport.h"

#include <QSettings>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>
#include <system_error>
#include <utility>
#include <vector>

namespace quorvin::shell {
namespace {

namespace fs = std::filesystem;

class SettingsTest : public ::testing::Test {
protected:
    SettingsTest() {
        m_folders.entratel = m_dir.File("Entratel") + "/";
        m_folders.nolvaErrors = m_dir.File("Nolva_Errori") + "/";
        m_folders.documents = m_dir.File("Documenti") + "/";
        fs::create_directory(m_folders.documents);
    }

    std::string IniPath() const { return m_dir.File("Quorvin.conf"); }
    Settings Store() const { return Settings(IniPath(), m_folders); }

    // The group as another program (or an older version) sees it.
    std::unique_ptr<QSettings> Raw() const {
        auto raw =
            std::make_unique<QSettings>(QString::fromStdString(IniPath()), QSettings::IniFormat);
        raw->beginGroup("Impostazioni");
        return raw;
    }
    void Put(const QString& key, const QVariant& value) const { Raw()->setValue(key, value); }
    QString Stored(const QString& key) const { return Raw()->value(key).toString(); }

    test::TempDir m_dir;
    SettingsFolders m_folders;
};

TEST_F(SettingsTest, FirstStartDefaultsFollowTheSpecialFolders) {
    auto loaded = Store().Load();
    EXPECT_EQ(loaded.lastFolder, m_folders.documents);
    EXPECT_EQ(loaded.lastFolderNolva, m_folders.documents);
    EXPECT_TRUE(loaded.saveBackups);
    EXPECT_FALSE(fs::exists(IniPath())) << "reading must not create the store";

    fs::create_directory(m_folders.entratel);
    fs::create_directory(m_folders.nolvaErrors);
    loaded = Store().Load();
    EXPECT_EQ(loaded.lastFolder, m_folders.entratel);
    EXPECT_EQ(loaded.lastFolderNolva, m_folders.nolvaErrors);
}

TEST_F(SettingsTest, StoredValuesWinOverDefaults) {
    fs::create_directory(m_folders.nolvaErrors);
    Put("LastFolder", "/srv/ricevute");
    Put("LastFolderNolva", "");
    Put("SaveBackups", "0");
    const auto loaded = Store().Load();
    EXPECT_EQ(loaded.lastFolder, "/srv/ricevute");
    EXPECT_EQ(loaded.lastFolderNolva, "") << "an emptied reject folder stays off";
    EXPECT_FALSE(loaded.saveBackups);

    // Anything but 0 keeps backups on, an unreadable value included.
    for (const char* value : {"2", "abc"}) {
        Put("SaveBackups", value);
        EXPECT_TRUE(Store().Load().saveBackups) << value;
    }

    // The reading limit: whole seconds from 1 to 3600, anything else gives the fallback.
    EXPECT_EQ(Store().ReadLimitSeconds(10), 10);
    for (const auto& [value, seconds] : std::vector<std::pair<const char*, int>>{{"30", 30},
                                                                                 {"1", 1},
                                                                                 {"3600", 3600},
                                                                                 {"0", 10},
                                                                                 {"-5", 10},
                                                                                 {"3601", 10},
                                                                                 {"dieci", 10},
                                                                                 {"", 10}}) {
        Put("LimiteLettura", value);
        EXPECT_EQ(Store().ReadLimitSeconds(10), seconds) << value;
    }
}

TEST_F(SettingsTest, SaveWritesTheThreeValuesAndLoadsThemBack) {
    const FolderSettings saved{"/srv/entratel/ricevute", "", false};
    ASSERT_TRUE(Store().Save(saved));
    EXPECT_EQ(Stored("LastFolder"), "/srv/entratel/ricevute");
    EXPECT_EQ(Stored("LastFolderNolva"), "");
    EXPECT_EQ(Stored("SaveBackups"), "0");

    const auto loaded = Store().Load();
    EXPECT_EQ(loaded.lastFolder, saved.lastFolder);
    EXPECT_EQ(loaded.lastFolderNolva, "");
    EXPECT_FALSE(loaded.saveBackups);

    ASSERT_TRUE(Store().Save({"/a/Cartella àè", "/b", true}));
    EXPECT_EQ(Store().Load().lastFolder, "/a/Cartella àè");
    EXPECT_EQ(Stored("SaveBackups"), "1");
}

TEST_F(SettingsTest, FirstRunEnablesFiftySevenTypesAndLeaves293Off) {
    std::map<std::string, bool> flags;
    ASSERT_TRUE(Store().LoadTypeFlags(flags));
    ASSERT_EQ(flags.size(), 58u);
    EXPECT_EQ(std::count_if(flags.begin(), flags.end(), [](const auto& f) { return f.second; }),
              57);
    EXPECT_FALSE(flags.at("293"));
    EXPECT_TRUE(flags.at("78"));
    EXPECT_TRUE(flags.at("404"));

    const QStringList keys = Raw()->childKeys();
    EXPECT_EQ(keys.size(), 57);
    EXPECT_FALSE(keys.contains("293"));
    EXPECT_EQ(Stored("130"), "1") << "flags are stored as the integer 1";
}

TEST_F(SettingsTest, FlagsAreOnlyOnForTheInteger1) {
    std::map<std::string, bool> flags;
    ASSERT_TRUE(Store().LoadTypeFlags(flags));
    const struct {
        const char* code;
        QVariant stored;
        bool on;
    } kCases[] = {{"130", 2, false},  {"132", -1, false},   {"134", "si", false},
                  {"136", "", false}, {"138", " 1 ", true}, {"293", 1, true}};
    for (const auto& c : kCases) {
        Put(c.code, c.stored);
    }
    ASSERT_TRUE(Store().LoadTypeFlags(flags));
    for (const auto& c : kCases) {
        EXPECT_EQ(flags.at(c.code), c.on) << c.code;
    }
    EXPECT_EQ(flags.count("999"), 0u) << "a code outside the catalogue has no entry";
}

TEST_F(SettingsTest, ExistingGroupGetsNoFirstRunFlags) {
    ASSERT_TRUE(Store().Save({"/x", "/y", true}));
    std::map<std::string, bool> flags{{"stale", true}};
    ASSERT_TRUE(Store().LoadTypeFlags(flags));
    EXPECT_EQ(flags.size(), 58u);
    EXPECT_TRUE(std::none_of(flags.begin(), flags.end(), [](const auto& f) { return f.second; }));
    EXPECT_EQ(Raw()->childKeys().size(), 3);
}

TEST_F(SettingsTest, DialogWritesEveryFlagAndTheNextLoadSeesIt) {
    EXPECT_FALSE(Store().WriteTypeFlags({{130, true}})) << "the dialog never creates the group";
    EXPECT_FALSE(fs::exists(IniPath()));
    const auto before = Store().ReadTypeFlags();
    EXPECT_TRUE(std::none_of(before.begin(), before.end(), [](const auto& f) { return f.second; }));

    std::map<std::string, bool> flags;
    ASSERT_TRUE(Store().LoadTypeFlags(flags));
    Put("132", 7);
    auto checked = Store().ReadTypeFlags();
    EXPECT_FALSE(checked.at(132));
    EXPECT_FALSE(checked.at(293));
    checked[130] = false;
    checked[293] = true;
    ASSERT_TRUE(Store().WriteTypeFlags(checked));

    EXPECT_EQ(Raw()->childKeys().size(), 58);
    EXPECT_EQ(Stored("132"), "0") << "values other than 1 are normalised";
    ASSERT_TRUE(Store().LoadTypeFlags(flags));
    EXPECT_FALSE(flags.at("130"));
    EXPECT_TRUE(flags.at("293"));
    EXPECT_TRUE(flags.at("134"));
}

TEST_F(SettingsTest, UnwritableStoreLeavesTheFlagsAsTheyWere) {
    test::WriteAll(m_dir.File("blocker"), "not a folder");
    const Settings store(m_dir.File("blocker") + "/Quorvin.conf", m_folders);
    std::map<std::string, bool> flags{{"130", true}};
    EXPECT_FALSE(store.LoadTypeFlags(flags));
    EXPECT_EQ(flags, (std::map<std::string, bool>{{"130", true}}));
    EXPECT_FALSE(store.Save({"/x", "/y", true}));
}

TEST_F(SettingsTest, UserStoreIsBelvastQuorvinGroupImpostazioni) {
    const std::string home = m_dir.File("config");
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, QString::fromStdString(home));
    ASSERT_TRUE(Settings(m_folders).Save({"/r", "/n", true}));
    QSettings raw(QString::fromStdString(home + "/Belvast/Quorvin.conf"), QSettings::IniFormat);
    EXPECT_EQ(raw.value("Impostazioni/LastFolder").toString(), "/r");
}

TEST_F(SettingsTest, LayoutIsKeptApartFromTheProgramSettings) {
    EXPECT_TRUE(Store().LoadLayout().geometry.isEmpty());
    ASSERT_TRUE(Store().SaveLayout({"geometria", "divisore", QByteArray("colonne\0\xff", 9)}));
    const WindowLayout loaded = Store().LoadLayout();
    EXPECT_EQ(loaded.geometry, "geometria");
    EXPECT_EQ(loaded.splitter, "divisore");
    EXPECT_EQ(loaded.columns, QByteArray("colonne\0\xff", 9));
    // A remembered window is no reason to skip the first-run flags.
    std::map<std::string, bool> flags;
    ASSERT_TRUE(Store().LoadTypeFlags(flags));
    EXPECT_TRUE(flags.at("130"));
}

TEST(FolderCheckTest, ExplainsAFolderThatCannotBeUsed) {
    test::TempDir dir;
    test::WriteAll(dir.File("file.pdf"), "not a folder");
    const std::string locked = dir.File("chiusa");
    fs::create_directory(locked);
    fs::permissions(locked, fs::perms::none);
    std::error_code error;
    const bool lockedIsReadable = (fs::directory_iterator(locked, error), !error);

    const auto message = [](const std::string& folder) {
        return "Cartella " + folder +
               " inesistente o non raggiungibile.\n"
               "Verificare la correttezza del percorso impostato e i permessi di accesso.";
    };
    const struct {
        std::string folder;
        bool usable;
    } cases[] = {
        {dir.Path().string(), true},
        {dir.Path().string() + "/", true},
        {"/nessuna/cartella", false},
        {dir.File("file.pdf"), false},
        // It would look empty: its files would never be processed, silently.
        {locked, lockedIsReadable}, // an administrator reads every folder
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FolderCheck(c.folder), c.usable ? "" : message(c.folder)) << c.folder;
    }
    fs::permissions(locked, fs::perms::owner_all);
}

} // namespace
} // namespace quorvin::shell
