#include "settings/Settings.h"

#include <gtest/gtest.h>

#include "support/TempDir.h"

namespace sorrelbox {
namespace {

TEST(SettingsTest, HandEditedValuesReadAsStoredAndSavedWithWhatTheUserAdded) {
    const std::pair<const char*, Settings> rows[] = {
        {nullptr, {}},  // no file: the defaults
        {"[main]\r\nkanryoumes=1\r\nsoutai=1\r\nzyuuhuku=1\r\n[tag]\r\nhyouzi=1\r\nkuuran=1\r\n"
         "backup=0\r\n",
         {1, 1, 1, 1, 1, 0}},
        // LF ends, letter case, blanks, comments, foreign sections, digits then junk.
        {"; mine\n[MAIN]\n KanryouMes = 2\n[extra]\nsoutai=1\n[Tag]\nBACKUP=1x\n",
         {2, 0, 0, 0, 0, 1}},
        // 256 keeps its low 8 bits; negative and digit-less values give 0; empty too.
        {"[main]\nkanryoumes=256\nsoutai=-1\nzyuuhuku=yes\n[tag]\nhyouzi=257\nbackup=\n",
         {0, 0, 0, 1, 0, 0}},
        {"[tag]\nkanryoumes=1\n[main]\nbackup=0\n", {0, 0, 0, 0, 0, 1}}};  // wrong section
    test::TempDir dir;
    for (const auto& [text, expected] : rows)
        EXPECT_EQ(LoadSettings(text ? dir.Write("s.ini", text) : dir.File("no.ini")), expected)
            << (text ? text : "no file");
    const std::string ini = dir.File("new.ini");
    ASSERT_TRUE(SaveSettings(ini, {1, 0, 1, 0, 1, 0}));
    EXPECT_EQ(test::ReadAll(ini),
              "[main]\r\niniver=1.1\r\nkanryoumes=1\r\nsoutai=0\r\nzyuuhuku=1\r\n"
              "[tag]\r\nhyouzi=0\r\nkuuran=1\r\nbackup=0\r\n");
    const std::string mine =
        dir.Write("mine.ini",
                  "; my settings\n[Tag]\nBackup=7\nmine=keep\n\n[main]\nsoutai=2\n[other]\nx=1\n");
    Settings settings = LoadSettings(mine);
    EXPECT_EQ(settings, (Settings{0, 2, 0, 0, 0, 7}));
    settings.soutai = 0;
    settings.backup = 1;
    ASSERT_TRUE(SaveSettings(mine, settings));
    EXPECT_EQ(
        test::ReadAll(mine),
        "; my settings\r\n[Tag]\r\nBackup=1\r\nmine=keep\r\nhyouzi=0\r\nkuuran=0\r\n\r\n"
        "[main]\r\nsoutai=0\r\niniver=1.1\r\nkanryoumes=0\r\nzyuuhuku=0\r\n[other]\r\nx=1\r\n");
}

TEST(SettingsTest, StartupFindsTheIniInTheFolder) {
    test::TempDir dir;
    const std::string folder = dir.path().string();
    const StartupInfo info = MakeStartupInfo(folder, PathStyle::Posix);
    EXPECT_EQ(info.startupFolder, folder);
    EXPECT_EQ(StartupFile(info, "manual.htm", PathStyle::Posix), folder + "/manual.htm");
    const std::tuple<const char*, PathStyle, const char*> rows[] = {
        {"C:\\Tools", PathStyle::Windows, "C:\\Tools\\sorrelbox.ini"},
        {"C:\\", PathStyle::Windows, "C:\\\\sorrelbox.ini"},  // the system accepts it
        {"/", PathStyle::Posix, "/sorrelbox.ini"},
        {"/home/u", PathStyle::Posix, "/home/u/sorrelbox.ini"}};
    for (const auto& [from, style, ini] : rows)
        EXPECT_EQ(MakeStartupInfo(from, style).iniPath, ini);
}

}  // namespace
}  // namespace sorrelbox
