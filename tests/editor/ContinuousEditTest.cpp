#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "analysis/Id3Reader.h"
#include "analysis/SongTable.h"
#include "editor/ContinuousEdit.h"
#include "editor/TagUpdate.h"
#include "platform/CodePage.h"
#include "platform/ScriptedPrompts.h"
#include "support/Mp3Builder.h"
#include "support/TempDir.h"
#include "tagwrite/RenameSong.h"
#include "tagwrite/TagConversion.h"

// List mode over real files: the walk forwards and back, the damage check, skipped songs and
// automatic track numbers written by the update.

namespace sorrelbox {
namespace {

const CodePage kUtf8(CodePage::Kind::Utf8);

class ContinuousEditTest : public ::testing::Test {
  protected:
    void SetUp() override { settings.backup = 0; }

    // Songs a.mp3, b.mp3, ... each with an ID3v1 tag whose title is its letter.
    void MakeSongs(int count) {
        for (int i = 0; i < count; ++i) {
            const std::string letter(1, static_cast<char>('a' + i));
            test::Id3v1Tag tag;
            tag.title = letter;
            tag.track = static_cast<std::uint8_t>(40 + i);
            Add(letter + ".mp3", test::CbrFile(4000) + tag.Build());
        }
    }
    void Add(const std::string& name, const test::Bytes& bytes) {
        const std::string path = dir.Write(name, bytes);
        table.ScanMpegFile(path, ScanMode::Quiet);
        table.AppendEntry(path, SongListEntry(table.info().seconds, name));
    }

    std::unique_ptr<TagEditor> Open(std::uint16_t number) {
        auto editor = std::make_unique<TagEditor>(
            EditorMode::List, table.songPaths()[static_cast<std::size_t>(number) - 1]);
        editor->songTotal = static_cast<std::uint16_t>(table.songPaths().size());
        editor->songNumber = number;
        editor->LoadLists(std::string(SORRELBOX_RESOURCE_DIR) + "/genre.txt",
                          dir.File("artist.txt"), 0);
        return editor;
    }

    std::vector<std::string> Texts() {
        std::vector<std::string> texts;
        for (const auto& m : prompts.messages) texts.push_back(m.text);
        return texts;
    }

    std::string V1Title(const std::string& path) {
        const auto tags = ReadSongTags(path, 0);
        if (!tags) return "?";
        std::string title(tags->v1.title.data());
        while (!title.empty() && title.back() == ' ') title.pop_back();  // written padded
        return title;
    }
    int V1Track(const std::string& path) {
        const auto tags = ReadSongTags(path, 0);
        return tags && tags->v1.hasTrack ? tags->v1.track : -1;
    }

    ScopedCodePage utf8{kUtf8};
    test::TempDir dir;
    SongTable table{PathStyle::Posix};
    Settings settings;
    ScriptedPrompts prompts;
    std::vector<std::size_t> selected;
    int reads = 0;
    SongWalk walk{table, prompts,
                  [this](std::size_t index) {
                      selected.push_back(index);
                      table.ScanMpegFile(table.songPaths()[index], ScanMode::Show);
                  },
                  [this] { ++reads; }, PathStyle::Posix};
    const std::string damaged =
        CpText("今回の編集でファイルが破損した可能性があります\nファイルを確認してください");
    const std::string unreadable = CpText("ID3タグを読み込めませんでした");
};

TEST_F(ContinuousEditTest, WalksForwardsAndBackWithinTheList) {
    MakeSongs(3);
    auto editor = Open(2);
    ASSERT_EQ(StartEditing(*editor, walk), WalkResult::Loaded);
    EXPECT_EQ(selected, std::vector<std::size_t>{1});
    EXPECT_EQ(editor->v1.values.title, "b");
    EXPECT_EQ(ContinuousCaption(editor->songNumber, editor->songTotal),
              CpText("ID3タグ連続編集　2/3"));

    EXPECT_EQ(ForwardButton(*editor, walk), WalkResult::Loaded);
    EXPECT_EQ(editor->songNumber, 3);
    EXPECT_EQ(editor->songPath, table.songPaths()[2]);
    EXPECT_EQ(editor->v1.values.title, "c");
    EXPECT_EQ(ForwardButton(*editor, walk), WalkResult::Unchanged);
    EXPECT_EQ(editor->songNumber, 3);

    EXPECT_EQ(PreviousSong(*editor, walk), WalkResult::Loaded);
    EXPECT_EQ(PreviousSong(*editor, walk), WalkResult::Loaded);
    EXPECT_EQ(editor->songNumber, 1);
    EXPECT_EQ(editor->v1.values.title, "a");
    EXPECT_EQ(PreviousSong(*editor, walk), WalkResult::Unchanged);
    EXPECT_EQ(selected, (std::vector<std::size_t>{1, 2, 1, 0}));
    EXPECT_EQ(reads, 3);  // the fields are read before every load but the first

    // Update or cancel on the last song closes without a check.
    editor = Open(3);
    ASSERT_EQ(StartEditing(*editor, walk), WalkResult::Loaded);
    std::filesystem::remove(table.songPaths()[2]);
    EXPECT_EQ(NextSong(*editor, walk), WalkResult::Closed);
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(ContinuousEditTest, SingleModeNeverMoves) {
    MakeSongs(2);
    TagEditor editor(EditorMode::Single, table.songPaths()[0]);
    table.ScanMpegFile(editor.songPath, ScanMode::Show);
    ASSERT_EQ(StartEditing(editor, walk), WalkResult::Loaded);
    EXPECT_EQ(ForwardButton(editor, walk), WalkResult::Unchanged);
    EXPECT_EQ(PreviousSong(editor, walk), WalkResult::Unchanged);
    EXPECT_TRUE(selected.empty());

    std::filesystem::remove(editor.songPath);
    TagEditor gone(EditorMode::Single, table.songPaths()[0]);
    EXPECT_EQ(StartEditing(gone, walk), WalkResult::Closed);
    EXPECT_EQ(Texts(), std::vector<std::string>{unreadable});
}

TEST_F(ContinuousEditTest, AMissingSongGoingForwardsEndsAtTheDamageCheck) {
    MakeSongs(3);
    std::filesystem::remove(table.songPaths()[1]);
    auto editor = Open(1);
    ASSERT_EQ(StartEditing(*editor, walk), WalkResult::Loaded);
    EXPECT_EQ(NextSong(*editor, walk), WalkResult::Damaged);
    EXPECT_EQ(Texts(), (std::vector<std::string>{unreadable, damaged}));
    EXPECT_EQ(prompts.messages.back().icon, MessageIcon::Information);
    EXPECT_EQ(editor->songNumber, 2);
    // Opened on the missing song, list mode goes on to the same check instead of closing.
    EXPECT_EQ(StartEditing(*Open(2), walk), WalkResult::Damaged);
}

TEST_F(ContinuousEditTest, LeavingASongWithoutAudioIsReportedAsDamage) {
    MakeSongs(1);
    Add("noise.mp3", std::string(3000, 'x'));
    Add("z.mp3", test::CbrFile(4000));
    auto editor = Open(2);
    ASSERT_EQ(StartEditing(*editor, walk), WalkResult::Loaded);
    EXPECT_EQ(NextSong(*editor, walk), WalkResult::Damaged);
    EXPECT_EQ(Texts(), std::vector<std::string>{damaged});
}

TEST_F(ContinuousEditTest, GoingBackSkipsSongsThatFailToLoad) {
    MakeSongs(3);
    std::filesystem::remove(table.songPaths()[1]);
    auto editor = Open(3);
    ASSERT_EQ(StartEditing(*editor, walk), WalkResult::Loaded);
    EXPECT_EQ(PreviousSong(*editor, walk), WalkResult::Loaded);
    EXPECT_EQ(editor->songNumber, 1);
    EXPECT_EQ(editor->v1.values.title, "a");
    EXPECT_EQ(Texts(), std::vector<std::string>{unreadable});
}

TEST_F(ContinuousEditTest, AutomaticTracksCountUpdatedSongsOnly) {
    MakeSongs(4);
    auto editor = Open(1);
    ASSERT_EQ(StartEditing(*editor, walk), WalkResult::Loaded);
    EXPECT_EQ(editor->trackCounter, 1);
    editor->v1.values.track = 0;
    SetAutoTrack(*editor, true);
    EXPECT_EQ(editor->v1.values.track, 1);

    UpdateEnv env{table, 0, settings, dir.File("backup.mp3"), prompts, PathStyle::Posix};
    const auto update = [&] {
        RunTagUpdate(*editor, env);
        return NextSong(*editor, walk);
    };
    ASSERT_EQ(update(), WalkResult::Loaded);  // song 1 gets 1
    EXPECT_EQ(editor->v1.values.track, 2);
    EXPECT_EQ(editor->v2.values[V2Field::Track], "2");
    ASSERT_EQ(NextSong(*editor, walk), WalkResult::Loaded);  // cancel: song 2 keeps 41
    EXPECT_EQ(editor->v1.values.track, 2);
    ASSERT_EQ(update(), WalkResult::Loaded);  // song 3 gets 2
    EXPECT_EQ(editor->v1.values.track, 3);

    // Going back ends the numbering: the song shows what its file holds.
    EXPECT_EQ(PreviousSong(*editor, walk), WalkResult::Loaded);
    EXPECT_FALSE(editor->autoTrack);
    EXPECT_EQ(editor->v1.values.track, 2);

    const auto& paths = table.songPaths();
    EXPECT_EQ(V1Track(paths[0]), 1);
    EXPECT_EQ(V1Track(paths[1]), 41);
    EXPECT_EQ(V1Track(paths[2]), 2);
    EXPECT_EQ(V1Track(paths[3]), 43);
    EXPECT_EQ(V1Title(paths[2]), "c");
}

TEST_F(ContinuousEditTest, HeldFieldsCarryTheTypedValueToTheNextSong) {
    MakeSongs(2);
    auto editor = Open(1);
    ASSERT_EQ(StartEditing(*editor, walk), WalkResult::Loaded);
    // What the window's fields hold when the walk reads them.
    walk.readFields = [&editor] {
        editor->v1.values.title = "Typed";
        editor->v1.values.album = "Not held";
        editor->v1.holds.title = true;
    };
    ASSERT_EQ(NextSong(*editor, walk), WalkResult::Loaded);
    EXPECT_EQ(editor->v1.values.title, "Typed");
    EXPECT_EQ(editor->v1.values.album, "");
    EXPECT_EQ(editor->v1.stored().title, "b");
}

TEST_F(ContinuousEditTest, TheCounterStopsAt255) {
    MakeSongs(3);
    auto editor = Open(1);
    ASSERT_EQ(StartEditing(*editor, walk), WalkResult::Loaded);
    editor->autoTrack = true;
    editor->trackCounter = 254;
    UpdateEnv env{table, 0, settings, dir.File("backup.mp3"), prompts, PathStyle::Posix};
    RunTagUpdate(*editor, env);
    ASSERT_EQ(NextSong(*editor, walk), WalkResult::Loaded);
    RunTagUpdate(*editor, env);
    ASSERT_EQ(NextSong(*editor, walk), WalkResult::Loaded);
    EXPECT_EQ(editor->trackCounter, 255);
    EXPECT_EQ(V1Track(table.songPaths()[1]), 255);
}

}  // namespace
}  // namespace sorrelbox
