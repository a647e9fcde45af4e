#include "settings/Settings.h"

#include <gtest/gtest.h>

#include "support/TempDir.h"

namespace sorrelbox {
namespace {

TEST(SettingsTest, MissingFileGivesDefaults) {
    test::TempDir dir;
    const Settings settings = LoadSettings(dir.File("sorrelbox.ini"));
    EXPECT_EQ(settings, Settings{});
    EXPECT_EQ(settings.backup, 1);
    EXPECT_EQ(settings.kanryoumes, 0);
}

TEST(SettingsTest, HandEditedValuesReadAsStored) {
    struct Case {
        const char* text;
        Settings expected;
    } cases[] = {
        {"[main]\r\nkanryoumes=1\r\nsoutai=1\r\nzyuuhuku=1\r\n[tag]\r\nhyouzi=1\r\nkuuran=1\r\n"
         "backup=0\r\n",
         {1, 1, 1, 1, 1, 0}},
        // LF ends, other letter case, blanks, comments and foreign sections.
        {"; mine\n[MAIN]\n KanryouMes = 2\n[extra]\nsoutai=1\n[Tag]\nBACKUP=1x\n",
         {2, 0, 0, 0, 0, 1}},
        // 256 keeps its low 8 bits; negative and digit-less values give 0; empty too.
        {"[main]\nkanryoumes=256\nsoutai=-1\nzyuuhuku=yes\n[tag]\nhyouzi=257\nbackup=\n",
         {0, 0, 0, 1, 0, 0}},
        // Keys in the wrong section are not seen.
        {"[tag]\nkanryoumes=1\n[main]\nbackup=0\n", {0, 0, 0, 0, 0, 1}},
    };
    for (const Case& c : cases) {
        test::TempDir dir;
        const Settings got = LoadSettings(dir.Write("sorrelbox.ini", c.text));
        EXPECT_EQ(got, c.expected) << c.text;
    }
}

TEST(SettingsTest, SaveWritesSevenKeysInOrder) {
    test::TempDir dir;
    const std::string ini = dir.File("sorrelbox.ini");
    ASSERT_TRUE(SaveSettings(ini, Settings{}));
    EXPECT_EQ(test::ReadAll(ini),
              "[main]\r\niniver=1.1\r\nkanryoumes=0\r\nsoutai=0\r\nzyuuhuku=0\r\n"
              "[tag]\r\nhyouzi=0\r\nkuuran=0\r\nbackup=1\r\n");
    const Settings changed{1, 0, 1, 0, 1, 0};
    ASSERT_TRUE(SaveSettings(ini, changed));
    EXPECT_EQ(LoadSettings(ini), changed);
    EXPECT_EQ(test::ReadAll(ini),
              "[main]\r\niniver=1.1\r\nkanryoumes=1\r\nsoutai=0\r\nzyuuhuku=1\r\n"
              "[tag]\r\nhyouzi=0\r\nkuuran=1\r\nbackup=0\r\n");
}

TEST(SettingsTest, SaveKeepsWhatTheUserAddedAndFixesOddValues) {
    test::TempDir dir;
    const std::string ini = dir.Write("sorrelbox.ini",
                                      "; my settings\n[Tag]\nBackup=7\nmine=keep\n\n"
                                      "[main]\nsoutai=2\n[other]\nx=1\n");
    Settings settings = LoadSettings(ini);
    EXPECT_EQ(settings.soutai, 2);  // stored as read; counts as off
    EXPECT_EQ(settings.backup, 7);
    settings.soutai = 0;
    settings.backup = 1;
    ASSERT_TRUE(SaveSettings(ini, settings));
    EXPECT_EQ(test::ReadAll(ini),
              "; my settings\r\n[Tag]\r\nBackup=1\r\nmine=keep\r\nhyouzi=0\r\nkuuran=0\r\n\r\n"
              "[main]\r\nsoutai=0\r\niniver=1.1\r\nkanryoumes=0\r\nzyuuhuku=0\r\n"
              "[other]\r\nx=1\r\n");
}

TEST(SettingsTest, StartupFindsTheIniAndTheManifestInTheFolder) {
    test::TempDir dir;
    const std::string folder = dir.path().string();
    StartupInfo info = MakeStartupInfo(folder, PathStyle::Posix);
    EXPECT_EQ(info.startupFolder, folder);
    EXPECT_EQ(info.iniPath, folder + "/sorrelbox.ini");
    EXPECT_FALSE(info.manifestPresent);
    dir.Write("sorrelbox.exe.manifest", "");
    EXPECT_TRUE(MakeStartupInfo(folder, PathStyle::Posix).manifestPresent);
    EXPECT_EQ(StartupFile(info, "manual.htm", PathStyle::Posix), folder + "/manual.htm");

    struct Case {
        const char* folder;
        PathStyle style;
        const char* ini;
    } cases[] = {
        {"C:\\Tools", PathStyle::Windows, "C:\\Tools\\sorrelbox.ini"},
        {"C:\\", PathStyle::Windows, "C:\\\\sorrelbox.ini"},  // the system accepts it
        {"/", PathStyle::Posix, "/sorrelbox.ini"},
        {"/home/u", PathStyle::Posix, "/home/u/sorrelbox.ini"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MakeStartupInfo(c.folder, c.style).iniPath, c.ini) << c.folder;
    }
}

}  // namespace
}  // namespace sorrelbox
