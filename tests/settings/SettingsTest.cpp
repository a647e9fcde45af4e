#include "settings/Settings.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "support/TempDir.h"

namespace sorrelbox {
namespace {

// How values read is the profile file's rule; here each key's section and default, the low 8 bits
// kept, the order written and what the user added kept.
TEST(SettingsTest, LoadsEachKeyFromItsSectionAndSavesThemAll) {
    test::TempDir dir;
    EXPECT_EQ(LoadSettings(dir.Write("a.ini",
                                     "[main]\nkanryoumes=2\nsoutai=257\nzyuuhuku=3\n"
                                     "backup=0\n[tag]\nhyouzi=4\nkuuran=5\nsoutai=6\n")),
              (Settings{2, 1, 3, 4, 5, 1}));
    const std::string ini = dir.Write("b.ini", "; mine\n[Tag]\nBackup=7\n[other]\nx=1\n");
    ASSERT_TRUE(SaveSettings(ini, {1, 0, 1, 0, 1, 0}));
    EXPECT_EQ(test::ReadAll(ini),
              "; mine\r\n[Tag]\r\nBackup=0\r\nhyouzi=0\r\nkuuran=1\r\n[other]\r\nx=1\r\n"
              "[main]\r\niniver=1.1\r\nkanryoumes=1\r\nsoutai=0\r\nzyuuhuku=1\r\n");
    // Refused: no folder, a folder, a file that cannot be read (its content would be lost).
    for (const std::string& path : {dir.File("no/a.ini"), dir.path().string()})
        EXPECT_FALSE(SaveSettings(path, {})) << path;
    if (::geteuid() == 0) return;  // root reads any file
    const std::string locked = dir.Write("l.ini", "[main]\nsoutai=1\n");
    ::chmod(locked.c_str(), 0200);
    EXPECT_FALSE(SaveSettings(locked, {}));
    ::chmod(locked.c_str(), 0600);
    EXPECT_EQ(test::ReadAll(locked), "[main]\nsoutai=1\n");
}

TEST(SettingsTest, StartupFindsTheIniInTheFolder) {
    const std::tuple<const char*, PathStyle, const char*> rows[] = {
        {"C:\\Tools", PathStyle::Windows, "C:\\Tools\\sorrelbox.ini"},
        {"/", PathStyle::Posix, "/sorrelbox.ini"},
        {"/home/u", PathStyle::Posix, "/home/u/sorrelbox.ini"},
        {"", PathStyle::Posix, "sorrelbox.ini"}};
    for (const auto& [from, style, ini] : rows)
        EXPECT_EQ(MakeStartupInfo(from, style).iniPath, ini) << from;
}

}  // namespace
}  // namespace sorrelbox
