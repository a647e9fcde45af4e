#include "loading/PlaylistLine.h"

#include <gtest/gtest.h>

#include "loading/FolderEntries.h"
#include "platform/CodePage.h"

namespace sorrelbox {
namespace {

TEST(PlaylistLineTest, WindowsRules) {
    struct Case {
        const char* line;
        const char* playlist;
        const char* candidate;
        const char* retryTable;
        const char* failureName;
    } cases[] = {
        {"C:\\music\\a.mp3", "D:\\lists\\x.m3u", "C:\\music\\a.mp3", "D:C:\\music\\a.mp3", "a.mp3"},
        {"sub\\a.mp3", "D:\\lists\\x.m3u", "D:\\lists\\sub\\a.mp3", "D:sub\\a.mp3", "a.mp3"},
        // Found on the current drive by the retry and stored with the playlist's drive.
        {"\\music\\a.mp3", "D:\\lists\\x.m3u", "D:\\lists\\\\music\\a.mp3", "D:\\music\\a.mp3",
         "a.mp3"},
        {"", "D:\\lists\\x.m3u", "D:\\lists\\", "D:", ""},
        {"ab:c.mp3", "D:\\x.m3u", "D:\\ab:c.mp3", "D:ab:c.mp3", "ab:c.mp3"},  // ':' not second
        {"a.mp3\r", "D:\\x.m3u", "D:\\a.mp3", "D:a.mp3\r", "a.mp3\r"},
        {"a.mp3", "x.m3u", "\\a.mp3", "x.a.mp3", "a.mp3"},  // playlist without a folder
    };
    for (const Case& c : cases) {
        const PlaylistLinePlan plan = PlanPlaylistLine(c.line, c.playlist, PathStyle::Windows);
        EXPECT_FALSE(plan.comment);
        EXPECT_EQ(plan.candidate, c.candidate) << c.line;
        ASSERT_TRUE(plan.retryScanPath) << c.line;
        EXPECT_EQ(*plan.retryScanPath, c.line);
        EXPECT_EQ(plan.retryTablePath, c.retryTable) << c.line;
        EXPECT_EQ(plan.failureName, c.failureName) << c.line;
    }
    EXPECT_TRUE(PlanPlaylistLine("#EXTINF:1,x", "D:\\x.m3u", PathStyle::Windows).comment);
    EXPECT_FALSE(PlanPlaylistLine(" #x", "D:\\x.m3u", PathStyle::Windows).comment);
}

TEST(PlaylistLineTest, WindowsFolderOfAShiftJisPlaylist) {
    ScopedCodePage sjis{CodePage(CodePage::Kind::Cp932)};
    // 表 ends in 0x5C; the folder is cut at the real backslash after it.
    const PlaylistLinePlan plan =
        PlanPlaylistLine("\x83\x5C.mp3", "D:\\\x95\x5C\\x.m3u", PathStyle::Windows);
    EXPECT_EQ(plan.candidate, "D:\\\x95\x5C\\\x83\x5C.mp3");
    EXPECT_EQ(plan.failureName, "\x83\x5C.mp3");
}

TEST(PlaylistLineTest, PosixRules) {
    struct Case {
        const char* line;
        const char* playlist;
        const char* candidate;
    } cases[] = {
        {"/music/a.mp3", "/lists/x.m3u", "/music/a.mp3"},
        {"sub/a.mp3", "/lists/x.m3u", "/lists/sub/a.mp3"},
        {"a.mp3", "/x.m3u", "/a.mp3"},
        {"a.mp3", "x.m3u", "a.mp3"},
        {"../a.mp3", "/lists/x.m3u", "/lists/../a.mp3"},
        {"C:\\a.mp3", "/lists/x.m3u", "/lists/C:\\a.mp3"},
        {"a\r.mp3", "/l/x.m3u", "/l/a.mp3"},
        {"", "/l/x.m3u", "/l/"},
    };
    for (const Case& c : cases) {
        const PlaylistLinePlan plan = PlanPlaylistLine(c.line, c.playlist, PathStyle::Posix);
        EXPECT_EQ(plan.candidate, c.candidate) << c.line;
        EXPECT_FALSE(plan.retryScanPath) << c.line;
    }
}

TEST(PlaylistLineTest, SplitsLinesOfEitherEnding) {
    using Lines = std::vector<std::string>;
    EXPECT_EQ(SplitPlaylistLines("a\r\nb\nc"), (Lines{"a", "b", "c"}));
    EXPECT_EQ(SplitPlaylistLines("a\r\n\r\nb\r\n"), (Lines{"a", "", "b"}));
    EXPECT_EQ(SplitPlaylistLines("a\rb\n"), (Lines{"a\rb"}));
    EXPECT_EQ(SplitPlaylistLines(""), Lines{});
    EXPECT_EQ(SplitPlaylistLines("\n"), Lines{""});
    EXPECT_EQ(SplitPlaylistLines("\xEF\xBB\xBF"
                                 "a\n"),
              Lines{"a"});
    ScopedCodePage sjis{CodePage(CodePage::Kind::Cp932)};
    EXPECT_EQ(SplitPlaylistLines("\xEF\xBB\xBF"
                                 "a\n"),
              Lines{"\xEF\xBB\xBF"
                    "a"});
}

TEST(FolderEntriesTest, MatchingOrderAndJoining) {
    EXPECT_EQ(SelectMp3Entries(
                  {"b.mp3", "a.txt", "B.mp3", "a.MP3", "[.mp3", "Z.mp3", ".mp3", "mp3", "x.mp3 "}),
              (std::vector<std::string>{".mp3", "a.MP3", "B.mp3", "b.mp3", "Z.mp3", "[.mp3"}));
    struct Case {
        const char* folder;
        PathStyle style;
        const char* path;
    } cases[] = {
        {"C:\\music", PathStyle::Windows, "C:\\music\\a.mp3"},
        {"C:\\", PathStyle::Windows, "C:\\\\a.mp3"},
        {"/music", PathStyle::Posix, "/music/a.mp3"},
        {"/", PathStyle::Posix, "/a.mp3"},
        {"/music/", PathStyle::Posix, "/music/a.mp3"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(JoinFolderEntry(c.folder, "a.mp3", c.style), c.path) << c.folder;
    }
}

}  // namespace
}  // namespace sorrelbox
