#include <gtest/gtest.h>

#include <filesystem>

#include "analysis/SongTable.h"
#include "editor/ContinuousEdit.h"
#include "editor/TagUpdate.h"
#include "support/Messages.h"
#include "support/Mp3Builder.h"
#include "support/TempDir.h"
#include "tagwrite/RenameSong.h"
#include "tagwrite/TagConversion.h"

// The update's steps with their questions over real files, and list mode's walk through the
// song table (CLI and window tests cover what answers OK or needs widgets).

namespace sorrelbox {
namespace {

using test::Bytes;
using test::Question;
using Message = ScriptedPrompts::Message;
using S = StepOutcome;
using Steps = std::tuple<StepOutcome, StepOutcome, StepOutcome>;

class TagUpdateTest : public ::testing::Test {
  protected:
    std::string Add(const std::string& name, const Bytes& bytes) {
        path = dir.Write(name, bytes);
        table.ScanMpegFile(path, ScanMode::Quiet);
        table.AppendEntry(path, SongListEntry(table.info().seconds, name));
        return path;
    }
    // List mode on song number of the table; single mode on one song as the main window opens it.
    std::unique_ptr<TagEditor> Open(std::uint16_t number) {
        auto editor = std::make_unique<TagEditor>(EditorMode::List, table.songPaths()[number - 1u]);
        editor->songTotal = static_cast<std::uint16_t>(table.songPaths().size());
        editor->songNumber = number;
        return editor;
    }
    std::unique_ptr<TagEditor> OpenSong(const Bytes& bytes) {
        table = SongTable(PathStyle::Posix);
        auto editor = std::make_unique<TagEditor>(EditorMode::Single, Add("song.mp3", bytes));
        EXPECT_TRUE(editor->LoadSong(table.info().id3v2Size, prompts, PathStyle::Posix));
        return editor;
    }
    Steps Update(TagEditor& editor) {
        UpdateEnv env{table, 0, settings, dir.File("backup.mp3"), prompts, PathStyle::Posix};
        const UpdateOutcome o = RunTagUpdate(editor, env);
        return {o.id3v2, o.id3v1, o.rename};
    }
    // a.mp3, b.mp3, ... each with an ID3v1 tag: its letter as title, track 40, 41, ...
    void Letters(int count) {
        for (int i = 0; i < count; ++i) {
            const std::string letter(1, static_cast<char>('a' + i));
            const test::Id3v1Tag tag{letter, "", "", "", "", 40 + i, 255, '\0', {}};
            Add(letter + ".mp3", test::CbrFile(4000) + tag.Build());
        }
    }
    int Track(std::size_t index) {
        return static_cast<std::uint8_t>(test::ReadAll(table.songPaths()[index]).end()[-2]);
    }

    ScopedCodePage utf8{CodePage(CodePage::Kind::Utf8)};
    test::TempDir dir;
    std::string path;
    Settings settings{.backup = 0};
    SongTable table{PathStyle::Posix};
    ScriptedPrompts prompts;
    const Bytes audio = test::CbrFile(4000);
    const Bytes song = [] {
        test::Id3v2Tag tag;
        tag.frames = {test::TextFrame("TIT2", "Hello"), test::TextFrame("TCON", "(17)")};
        tag.padding = 64;
        return tag.Build();
    }() + audio + test::BandV1Tag("V1 title");
    SongWalk walk{
        table, prompts,
        [this](std::size_t i) { table.ScanMpegFile(table.songPaths()[i], ScanMode::Show); },
        nullptr, PathStyle::Posix};
};

// A cancelled or refused step leaves the file and the others as they were.
TEST_F(TagUpdateTest, AnswersAndRefusalsLoseNothing) {
    const Message ask = Question("ファイル名を変更しますか？");
    const Message remove = Question("ID3v2タグを削除しますか？");
    const Message failed = test::Failure("ファイル名を編集できませんでした");
    const Message refused =
        test::Failure("ファイル名に以下の文字は使えません\n \\ / : * ? \" < > |");
    const MessageAnswer ok = MessageAnswer::Ok, cancel = MessageAnswer::Cancel;
    dir.Write("taken.mp3", "other file");
    const struct {
        const char* field;  // "": no name, the ID3v2 has box unchecked
        MessageAnswer answer;
        std::vector<Message> messages;
        Steps steps;
    } cases[] = {
        {"song", ok, {}, {S::None, S::None, S::None}},  // the same name
        {"%2al", ok, {}, {S::None, S::None, S::None}},  // an empty expansion
        {"", cancel, {remove}, {S::Cancelled, S::None, S::None}},
        {"other", cancel, {ask}, {S::None, S::None, S::Cancelled}},
        {"taken", ok, {ask, failed}, {S::None, S::None, S::Failed}},
        {"a?b", ok, {ask, refused}, {S::None, S::None, S::Refused}},
    };
    for (const auto& c : cases) {
        auto editor = OpenSong(song);
        prompts.messages.clear();
        editor->fileNameText = c.field;
        editor->v2.hasBox = *c.field != '\0';
        prompts.answers = {c.answer};
        EXPECT_EQ(Update(*editor), c.steps) << c.field;
        EXPECT_EQ(prompts.messages, c.messages) << c.field;
        EXPECT_EQ(
            std::tuple(editor->songPath, test::ReadAll(path), test::ReadAll(dir.File("taken.mp3"))),
            std::tuple(path, song, "other file"));
    }
}

TEST_F(TagUpdateTest, KeepNameKeepsTheTemplate) {
    auto editor = OpenSong(song);
    editor->keepName = true;
    editor->fileNameText = "%2ti";
    ASSERT_TRUE(editor->LoadSong(table.info().id3v2Size, prompts, PathStyle::Posix));
    EXPECT_EQ(editor->fileNameText, "%2ti");
}

class ContinuousEditTest : public TagUpdateTest {};

TEST_F(ContinuousEditTest, SongsThatFailAreSkippedBackAndReportedAsDamageForwards) {
    const Message damaged =
        test::Refusal("今回の編集でファイルが破損した可能性があります\nファイルを確認してください");
    const Message unreadable = test::Failure("ID3タグを読み込めませんでした");
    Letters(3);
    std::filesystem::remove(table.songPaths()[1]);
    auto editor = Open(3);
    ASSERT_EQ(StartEditing(*editor, walk), WalkResult::Loaded);
    EXPECT_EQ(PreviousSong(*editor, walk), WalkResult::Loaded);
    EXPECT_EQ(std::tuple(editor->songNumber, editor->v1.values.title), std::tuple(1, "a"));
    EXPECT_EQ(NextSong(*editor, walk), WalkResult::Damaged);
    EXPECT_EQ(prompts.messages, (std::vector<Message>{unreadable, unreadable, damaged}));
    EXPECT_EQ(editor->songNumber, 2);
    // Opened on the missing song, list mode goes on to the same check instead of closing.
    EXPECT_EQ(StartEditing(*Open(2), walk), WalkResult::Damaged);

    Add("noise.mp3", std::string(3000, 'x'));  // leaving a song without audio is damage too
    Add("z.mp3", audio);
    editor = Open(4);
    ASSERT_EQ(StartEditing(*editor, walk), WalkResult::Loaded);
    prompts.messages.clear();
    EXPECT_EQ(NextSong(*editor, walk), WalkResult::Damaged);
    EXPECT_EQ(prompts.messages, std::vector<Message>{damaged});
}

TEST_F(ContinuousEditTest, HeldFieldsCarryAndTheTrackCounterStopsAt255) {
    Letters(3);
    auto editor = Open(1);
    ASSERT_EQ(StartEditing(*editor, walk), WalkResult::Loaded);
    editor->v1.values = {"Typed", "Not held", "", "", "", 254};
    editor->v1.holds.title = true;
    SetAutoTrack(*editor, true);
    for (int song = 0; song < 2; ++song) {
        Update(*editor);
        ASSERT_EQ(NextSong(*editor, walk), WalkResult::Loaded);
    }
    EXPECT_EQ(std::tuple(editor->trackCounter, editor->v2.values[V2Field::Track],
                         editor->v1.values.title, editor->v1.values.artist),
              std::tuple(255, "255", "Typed", ""));
    EXPECT_EQ(std::tuple(Track(0), Track(1)), std::tuple(254, 255));
    // Going back ends the numbering: the song shows what its file holds.
    EXPECT_EQ(PreviousSong(*editor, walk), WalkResult::Loaded);
    EXPECT_EQ(std::tuple(editor->autoTrack, editor->v1.values.track), std::tuple(false, 255));
}

}  // namespace
}  // namespace sorrelbox
