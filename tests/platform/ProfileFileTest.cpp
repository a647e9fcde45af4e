#include "platform/ProfileFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "support/TempDir.h"

namespace sorrelbox {
namespace {

TEST(ProfileFileTest, ReadsIntegersFromHandEditedValues) {
    const ProfileFile profile = ProfileFile::FromText(
        "; settings\n"
        "[Main]\n"
        "  Soutai = 12abc  \n"
        "neg=-5\n"
        "plus=+7\n"
        "none=abc\n"
        "empty=\n"
        "quoted=\"3\"\n"
        "big=4294967297\n"
        "bare\n"
        "soutai=9\n"  // a second spelling: the first one counts
        "[tag]\n"
        "backup=0\n");
    struct Case {
        const char* section;
        const char* key;
        std::uint32_t expected;
    } cases[] = {
        {"main", "soutai", 12},      {"MAIN", "SOUTAI", 12}, {"main", "neg", 0},
        {"main", "plus", 7},         {"main", "none", 0},    {"main", "empty", 0},
        {"main", "quoted", 3},       {"main", "big", 1},     {"main", "bare", 0},
        {"main", "missing", 42},     {"tag", "backup", 0},   {"tag", "soutai", 42},
        {"nosection", "backup", 42},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(profile.GetInt(c.section, c.key, 42), c.expected) << c.section << "/" << c.key;
    }
}

TEST(ProfileFileTest, LinesOutsideSectionsAndBrokenHeadersBelongToNoNamedSection) {
    const ProfileFile profile = ProfileFile::FromText(
        "kanryoumes=1\r\n"
        "[main\r\n"
        "soutai=1\r\n"
        "[ main ]\r\n"
        "zyuuhuku=1\r\n");
    EXPECT_EQ(profile.GetInt("main", "kanryoumes", 5), 5u);
    EXPECT_EQ(profile.GetInt("main", "soutai", 5), 5u);
    EXPECT_EQ(profile.GetInt("main", "zyuuhuku", 5), 1u);
}

TEST(ProfileFileTest, SetStringChangesOnlyItsLine) {
    struct Case {
        const char* name;
        const char* before;
        const char* section;
        const char* key;
        const char* after;
    } cases[] = {
        {"update in place keeps the file's spelling and the other lines",
         "; mine\n[MAIN]\nSoutai = 0 \n; note\nother=x\n", "main", "soutai",
         "; mine\r\n[MAIN]\r\nSoutai=1\r\n; note\r\nother=x\r\n"},
        {"new key after the section's last non-blank line", "[main]\r\na=1\r\n\r\n[tag]\r\nb=2\r\n",
         "main", "soutai", "[main]\r\na=1\r\nsoutai=1\r\n\r\n[tag]\r\nb=2\r\n"},
        {"new key in an empty section", "[main]\n[tag]\n", "main", "soutai",
         "[main]\r\nsoutai=1\r\n[tag]\r\n"},
        {"new section at the end, last line without line end", "[tag]\nb=2", "main", "soutai",
         "[tag]\r\nb=2\r\n[main]\r\nsoutai=1\r\n"},
        {"empty file", "", "main", "soutai", "[main]\r\nsoutai=1\r\n"},
        {"key of the same name in another section is left alone", "[tag]\nsoutai=0\n", "main",
         "soutai", "[tag]\r\nsoutai=0\r\n[main]\r\nsoutai=1\r\n"},
        {"byte-order mark kept", "\xEF\xBB\xBF[main]\nsoutai=0\n", "main", "soutai",
         "\xEF\xBB\xBF[main]\r\nsoutai=1\r\n"},
    };
    for (const Case& c : cases) {
        ProfileFile profile = ProfileFile::FromText(c.before);
        profile.SetString(c.section, c.key, "1");
        EXPECT_EQ(profile.ToText(), c.after) << c.name;
        EXPECT_EQ(profile.GetInt(c.section, c.key, 7), 1u) << c.name;
    }
}

TEST(ProfileFileTest, WriteCreatesTheFileAndKeepsOtherContent) {
    test::TempDir dir;
    const std::string ini = dir.File("a.ini");
    EXPECT_EQ(GetProfileInt(ini, "main", "soutai", 9), 9u);
    ASSERT_TRUE(WriteProfileString(ini, "main", "soutai", "1"));
    ASSERT_TRUE(WriteProfileString(ini, "tag", "backup", "0"));
    EXPECT_EQ(test::ReadAll(ini), "[main]\r\nsoutai=1\r\n[tag]\r\nbackup=0\r\n");

    dir.Write("b.ini", "# x\n[other]\nk=v\n");
    ASSERT_TRUE(WriteProfileString(dir.File("b.ini"), "main", "soutai", "0"));
    EXPECT_EQ(test::ReadAll(dir.File("b.ini")), "# x\r\n[other]\r\nk=v\r\n[main]\r\nsoutai=0\r\n");
}

TEST(ProfileFileTest, FailedWriteLeavesTheFileAlone) {
    test::TempDir dir;
    // Not in a folder that exists.
    EXPECT_FALSE(WriteProfileString(dir.File("no/a.ini"), "main", "soutai", "1"));
    // A folder in the way.
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
