#include "platform/ProfileFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "support/TempDir.h"

namespace sorrelbox {
namespace {

TEST(ProfileFileTest, ReadsIntegersFromHandEditedValues) {
    const ProfileFile profile = ProfileFile::FromText(
        "; settings\nkanryoumes=1\n[Main]\n  Soutai = 12abc  \nneg=-5\nplus=+7\nnone=abc\nempty=\n"
        "quoted=\"3\"\nbig=4294967297\nbare\nsoutai=9\n[tag\nbroken=1\n[ tag ]\r\nbackup=0\r\n");
    const std::tuple<const char*, const char*, std::uint32_t> rows[] = {
        {"main", "soutai", 12},      {"MAIN", "SOUTAI", 12}, {"main", "neg", 0},
        {"main", "plus", 7},         {"main", "none", 0},    {"main", "empty", 0},
        {"main", "quoted", 3},       {"main", "big", 1},     {"main", "bare", 0},
        {"main", "missing", 42},     {"tag", "backup", 0},   {"tag", "soutai", 42},
        {"main", "kanryoumes", 42},  {"tag", "broken", 42},  {"main", "broken", 1},
        {"nosection", "backup", 42},
    };
    for (const auto& [section, key, expected] : rows)
        EXPECT_EQ(profile.GetInt(section, key, 42), expected) << section << "/" << key;
}

TEST(ProfileFileTest, SetStringChangesOnlyItsLine) {
    const std::pair<const char*, const char*> rows[] = {
        // Updated in place with the file's spelling; comments and other lines kept.
        {"; mine\n[MAIN]\nSoutai = 0 \n; note\nother=x\n",
         "; mine\r\n[MAIN]\r\nSoutai=1\r\n; note\r\nother=x\r\n"},
        // New key after the section's last non-blank line.
        {"[main]\r\na=1\r\n\r\n[tag]\r\nb=2\r\n",
         "[main]\r\na=1\r\nsoutai=1\r\n\r\n[tag]\r\nb=2\r\n"},
        {"[main]\n[tag]\n", "[main]\r\nsoutai=1\r\n[tag]\r\n"},
        {"[tag]\nsoutai=0", "[tag]\r\nsoutai=0\r\n[main]\r\nsoutai=1\r\n"},
        {"", "[main]\r\nsoutai=1\r\n"},
        {"\xEF\xBB\xBF[main]\nsoutai=0\n", "\xEF\xBB\xBF[main]\r\nsoutai=1\r\n"},
    };
    for (const auto& [before, after] : rows) {
        ProfileFile profile = ProfileFile::FromText(before);
        profile.SetString("main", "soutai", "1");
        EXPECT_EQ(profile.ToText(), after) << before;
        EXPECT_EQ(profile.GetInt("main", "soutai", 7), 1u) << before;
    }
}

TEST(ProfileFileTest, WriteCreatesTheFileOrLeavesItAlone) {
    test::TempDir dir;
    const std::string ini = dir.File("a.ini");
    EXPECT_EQ(GetProfileInt(ini, "main", "soutai", 9), 9u);
    ASSERT_TRUE(WriteProfileString(ini, "main", "soutai", "1"));
    ASSERT_TRUE(WriteProfileString(ini, "tag", "backup", "0"));
    EXPECT_EQ(test::ReadAll(ini), "[main]\r\nsoutai=1\r\n[tag]\r\nbackup=0\r\n");

    EXPECT_FALSE(WriteProfileString(dir.File("no/a.ini"), "main", "soutai", "1"));
    std::filesystem::create_directory(dir.path() / "d.ini");
    EXPECT_FALSE(WriteProfileString(dir.File("d.ini"), "main", "soutai", "1"));
    EXPECT_EQ(GetProfileInt(dir.File("d.ini"), "main", "soutai", 3), 3u);
    if (::geteuid() != 0) {
        // Unreadable: rewriting it from nothing would lose its content.
        const std::string locked = dir.Write("l.ini", "[main]\nsoutai=1\n");
        ::chmod(locked.c_str(), 0200);
        EXPECT_FALSE(WriteProfileString(locked, "main", "zyuuhuku", "1"));
        ::chmod(locked.c_str(), 0600);
        EXPECT_EQ(test::ReadAll(locked), "[main]\nsoutai=1\n");
    }
}

}  // namespace
}  // namespace sorrelbox
