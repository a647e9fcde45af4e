#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "analysis/SongTable.h"
#include "platform/CodePage.h"
#include "platform/ScriptedPrompts.h"
#include "support/TempDir.h"
#include "tagwrite/RenameSong.h"

namespace sorrelbox {
namespace {

const CodePage kUtf8(CodePage::Kind::Utf8);
const CodePage kCp932(CodePage::Kind::Cp932);

TEST(RenameSongTest, ForbiddenCharactersByCharacter) {
    for (const char c : std::string("\\/:*?\"<>|")) {
        EXPECT_EQ(FindForbiddenNameChar(std::string("ab") + c, kCp932), 2u) << c;
    }
    // 0x95 0x5C and 0x83 0x7C are single Shift-JIS characters, not a backslash or a bar.
    EXPECT_EQ(FindForbiddenNameChar("\x95\x5C\x83\x7C", kCp932), std::string::npos);
    EXPECT_EQ(FindForbiddenNameChar("\x95\x5C", kUtf8), 1u);
    EXPECT_EQ(FindForbiddenNameChar("plain name", kCp932), std::string::npos);
}

TEST(RenameSongTest, ListEntryFormat) {
    ScopedCodePage utf8(kUtf8);
    EXPECT_EQ(SongListEntry(65, "a.mp3"), "  1：05  a.mp3");
    EXPECT_EQ(SongListEntry(6000, "b.mp3"), "100：00  b.mp3");
}

TEST(RenameSongTest, RenamesAndUpdatesTheTableEntry) {
    ScopedCodePage utf8(kUtf8);
    test::TempDir dir;
    SongTable table(PathStyle::Posix);
    table.AppendEntry(dir.Write("first.mp3", "1"), "first");
    std::string songPath = dir.Write("song.mp3", "song bytes");
    table.AppendEntry(songPath, "old entry");
    table.AppendEntry(dir.Write("last.mp3", "3"), "last");
    table.info().seconds = 125;
    ScriptedPrompts prompts;
    const std::string newPath = dir.File("新しい.mp3");
    EXPECT_EQ(RenameSongFile(songPath, "新しい", newPath, table, 1, 1, prompts),
              RenameOutcome::Renamed);
    EXPECT_EQ(songPath, newPath);
    EXPECT_EQ(test::ReadAll(newPath), "song bytes");
    EXPECT_EQ(table.songPaths()[1], newPath);
    EXPECT_EQ(table.entries(), (std::vector<std::string>{"first", "  2：05  新しい.mp3", "last"}));
    EXPECT_TRUE(prompts.messages.empty());  // kanryoumes
}

}  // namespace
}  // namespace sorrelbox
