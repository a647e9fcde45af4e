#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "analysis/SongTable.h"
#include "editor/TagEditor.h"
#include "editor/TagUpdate.h"
#include "platform/CodePage.h"
#include "platform/ScriptedPrompts.h"
#include "support/Messages.h"
#include "support/Mp3Builder.h"
#include "support/TempDir.h"
#include "tagwrite/RenameSong.h"

// The editor's load and update over real files: reading into the pages, the three steps in
// their order with their questions, round trips, renaming and the decisions about genres.

namespace sorrelbox {
namespace {

using test::Bytes;
using test::Id3v2Tag;
using test::TextFrame;
using Message = ScriptedPrompts::Message;
using test::Done;
using test::Failure;
using test::Question;
using test::Refusal;

const CodePage kUtf8(CodePage::Kind::Utf8);

Id3v2Tag V2Tag(std::uint8_t major = 3) {
    Id3v2Tag tag;
    tag.major = major;
    tag.frames = {TextFrame("TIT2", "Hello"), TextFrame("TPE1", "Band"), TextFrame("TCON", "(17)")};
    tag.padding = 64;
    return tag;
}

class TagUpdateTest : public ::testing::Test {
  protected:
    void SetUp() override {
        genrePath = std::string(SORRELBOX_RESOURCE_DIR) + "/genre.txt";
        settings.backup = 0;
    }

    // Puts bytes in song.mp3 and opens the editor on it in single mode, as the main window
    // does: the song in the table, selected and scanned.
    std::unique_ptr<TagEditor> Open(const Bytes& bytes, std::string name = "song.mp3") {
        path = dir.Write(name, bytes);
        table = SongTable(PathStyle::Posix);
        table.ScanMpegFile(path, ScanMode::Quiet);
        table.AppendEntry(path, SongListEntry(table.info().seconds, name));
        auto editor = std::make_unique<TagEditor>(EditorMode::Single, path);
        editor->LoadLists(genrePath, dir.File("artist.txt"), settings.kuuran);
        if (!editor->LoadSong(table.info().id3v2Size, prompts, PathStyle::Posix)) return nullptr;
        prompts.messages.clear();
        return editor;
    }

    UpdateOutcome Update(TagEditor& editor) {
        UpdateEnv env{table, 0, settings, dir.File("backup.mp3"), prompts, PathStyle::Posix};
        return RunTagUpdate(editor, env);
    }

    ScopedCodePage utf8{kUtf8};
    test::TempDir dir;
    std::string genrePath;
    std::string path;
    Settings settings;
    SongTable table{PathStyle::Posix};
    ScriptedPrompts prompts;
    const Bytes audio = test::CbrFile(4000);
};

TEST_F(TagUpdateTest, LoadFillsBothPagesAndNothingChangedWritesNothing) {
    for (const std::uint8_t major : {3, 4}) {
        const Bytes before = V2Tag(major).Build() + audio + test::BandV1Tag("V1 title");
        auto editor = Open(before);
        ASSERT_TRUE(editor);
        EXPECT_TRUE(editor->hasId3v1 && editor->hasId3v2 && !editor->isId3v22);
        EXPECT_EQ(editor->v2.values[V2Field::Title], "Hello");
        EXPECT_EQ(editor->genres.CodeAt(editor->v2.values.genreLine), 17);
        EXPECT_EQ(editor->v1.values.title, "V1 title");
        EXPECT_EQ(editor->v1.values.track, 5);
        EXPECT_EQ(editor->fileNameText, "song");
        EXPECT_EQ(editor->pathText, path);
        EXPECT_EQ(editor->currentPage, 1);
        const UpdateOutcome outcome = Update(*editor);
        EXPECT_EQ(outcome.id3v2, StepOutcome::None);
        EXPECT_EQ(outcome.id3v1, StepOutcome::None);
        EXPECT_EQ(outcome.rename, StepOutcome::None);
        EXPECT_TRUE(prompts.messages.empty());
        EXPECT_EQ(test::ReadAll(path), before) << int{major};
    }
}

TEST_F(TagUpdateTest, WriteThenReadBackRoundTrip) {
    settings.backup = 1;
    const Bytes before = V2Tag().Build() + audio + test::BandV1Tag("V1 title");
    auto editor = Open(before);
    ASSERT_TRUE(editor);
    editor->v2.values[V2Field::Title] = "New title";
    editor->v2.values[V2Field::Comment] = "A comment";
    editor->v2.values[V2Field::Composer] = "Bach";
    editor->v2.values.genreLine = 3;  // R&B, code 14
    editor->v1.values.album = "Album";
    editor->v1.values.track = 9;
    const UpdateOutcome outcome = Update(*editor);
    EXPECT_EQ(outcome.id3v2, StepOutcome::Done);
    EXPECT_EQ(outcome.id3v1, StepOutcome::Done);
    EXPECT_EQ(prompts.messages, (std::vector<Message>{Done("ID3v2タグを編集しました"),
                                                      Done("ID3v1タグを編集しました")}));
    EXPECT_EQ(test::ReadAll(dir.File("backup.mp3")), before);

    const Id3v2Values v2 = editor->v2.values;
    const Id3v1Values v1 = editor->v1.values;
    auto again = Open(test::ReadAll(path));
    ASSERT_TRUE(again);
    EXPECT_EQ(again->v2.values, v2);
    EXPECT_EQ(again->v1.values, v1);
    // The audio and the old tag's other frames are untouched.
    const Bytes after = test::ReadAll(path);
    EXPECT_EQ(after.substr(after.size() - 128 - audio.size(), audio.size()), audio);
    // And a second update with nothing changed leaves the file byte for byte.
    EXPECT_EQ(Update(*again).id3v2, StepOutcome::None);
    EXPECT_EQ(test::ReadAll(path), after);
}

TEST_F(TagUpdateTest, FileWithoutTagsGetsBoth) {
    auto editor = Open(audio);
    ASSERT_TRUE(editor);
    EXPECT_FALSE(editor->hasId3v1);
    EXPECT_FALSE(editor->hasId3v2);
    // Unchecked has boxes: no question, nothing written.
    EXPECT_EQ(Update(*editor).id3v2, StepOutcome::None);
    EXPECT_EQ(test::ReadAll(path), audio);

    editor->v2.hasBox = true;
    editor->v1.hasBox = true;
    editor->v2.values[V2Field::Title] = "abc";
    const UpdateOutcome outcome = Update(*editor);
    EXPECT_EQ(outcome.id3v2, StepOutcome::Done);
    EXPECT_EQ(outcome.id3v1, StepOutcome::Done);
    const Bytes after = test::ReadAll(path);
    ASSERT_EQ(after.size(), 150 + audio.size() + 128);
    EXPECT_EQ(after.substr(150, audio.size()), audio);
    EXPECT_EQ(after.substr(after.size() - 128, 3), "TAG");
    EXPECT_EQ(static_cast<std::uint8_t>(after.back()), 247);  // the empty genre
}

TEST_F(TagUpdateTest, DeleteQuestionsAndCancel) {
    const Bytes before = V2Tag().Build() + audio + test::BandV1Tag("V1 title");
    {
        auto editor = Open(before);
        ASSERT_TRUE(editor);
        editor->v2.hasBox = false;
        editor->v1.values.title = "Changed";
        prompts.answers = {MessageAnswer::Cancel};
        const UpdateOutcome outcome = Update(*editor);
        EXPECT_EQ(outcome.id3v2, StepOutcome::Cancelled);
        EXPECT_EQ(outcome.id3v1, StepOutcome::Done);
        EXPECT_EQ(prompts.messages, (std::vector<Message>{Question("ID3v2タグを削除しますか？"),
                                                          Done("ID3v1タグを編集しました")}));
        const Bytes after = test::ReadAll(path);
        EXPECT_EQ(after.substr(0, after.size() - 128), before.substr(0, before.size() - 128));
    }
    prompts.messages.clear();
    {
        auto editor = Open(before);
        ASSERT_TRUE(editor);
        editor->v2.hasBox = false;
        editor->v1.hasBox = false;
        const UpdateOutcome outcome = Update(*editor);
        EXPECT_EQ(outcome.id3v2, StepOutcome::Done);
        EXPECT_EQ(outcome.id3v1, StepOutcome::Done);
        EXPECT_EQ(prompts.messages,
                  (std::vector<Message>{
                      Question("ID3v2タグを削除しますか？"), Done("ID3v2タグを削除しました"),
                      Question("ID3v1タグを削除しますか？"), Done("ID3v1タグを削除しました")}));
        EXPECT_EQ(test::ReadAll(path), audio);
    }
}

TEST_F(TagUpdateTest, Version22IsRefusedButTheRestGoesOn) {
    Id3v2Tag tag;
    tag.major = 2;
    tag.frames = {TextFrame("TT2", "Old")};
    path = dir.Write("song.mp3", tag.Build() + audio + test::BandV1Tag("V1 title"));
    table.ScanMpegFile(path, ScanMode::Quiet);
    TagEditor editor(EditorMode::Single, path);
    ASSERT_TRUE(editor.LoadSong(table.info().id3v2Size, prompts, PathStyle::Posix));
    EXPECT_EQ(prompts.messages, std::vector<Message>{Refusal("ID3v2.2には対応していません")});
    EXPECT_TRUE(editor.isId3v22);
    EXPECT_FALSE(editor.hasId3v2);
    prompts.messages.clear();
    editor.v1.values.title = "New";
    editor.fileNameText = "renamed";
    const UpdateOutcome outcome = Update(editor);
    EXPECT_EQ(outcome.id3v2, StepOutcome::Refused);
    EXPECT_EQ(outcome.id3v1, StepOutcome::Done);
    EXPECT_EQ(outcome.rename, StepOutcome::Done);
    EXPECT_EQ(prompts.messages[0], Refusal("ID3v2.2は編集できません"));
    EXPECT_TRUE(std::filesystem::exists(dir.path() / "renamed.mp3"));

    prompts.messages.clear();
    TagEditor missing(EditorMode::Single, dir.File("missing.mp3"));
    EXPECT_FALSE(missing.LoadSong(0, prompts, PathStyle::Posix));
    EXPECT_EQ(prompts.messages, std::vector<Message>{Failure("ID3タグを読み込めませんでした")});
}

TEST_F(TagUpdateTest, ReturnKeyOnlyClearsTheFlag) {
    auto editor = Open(V2Tag().Build() + audio);
    ASSERT_TRUE(editor);
    editor->v2.values[V2Field::Title] = "x";
    editor->returnPressed = true;
    EXPECT_TRUE(Update(*editor).returnKeyOnly);
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_EQ(Update(*editor).id3v2, StepOutcome::Done);
}

// A genre the boxes cannot show survives an edit of another field, in both tags.
TEST_F(TagUpdateTest, UnlistedGenresAreKept) {
    Id3v2Tag tag = V2Tag();
    tag.frames[2] = TextFrame("TCON", "(100)");
    auto editor = Open(tag.Build() + audio + test::BandV1Tag("V1 title", 80));
    ASSERT_TRUE(editor);
    EXPECT_EQ(editor->v2.values.genreLine, -1);
    EXPECT_EQ(editor->v1.values.genreLine, -1);
    editor->v2.values[V2Field::Title] = "Other";
    editor->v1.values.title = "Other";
    Update(*editor);
    const Bytes after = test::ReadAll(path);
    EXPECT_NE(after.find(Bytes("TCON\x00\x00\x00\x06\x00\x00\x00(100)", 16)), Bytes::npos);
    EXPECT_EQ(static_cast<std::uint8_t>(after.back()), 80);
}

TEST_F(TagUpdateTest, NoEmptyGenreFrameIsAdded) {
    settings.kuuran = 1;
    Id3v2Tag tag;
    tag.frames = {TextFrame("TIT2", "Hello")};
    auto editor = Open(tag.Build() + audio);
    ASSERT_TRUE(editor);
    editor->v2.values[V2Field::Title] = "Other";
    editor->v2.values.genreLine = 0;  // even the empty choice picked outright
    EXPECT_EQ(Update(*editor).id3v2, StepOutcome::Done);
    EXPECT_EQ(test::ReadAll(path).find("TCON"), Bytes::npos);
}

TEST_F(TagUpdateTest, CommentTheCodePageCannotHoldStaysLocked) {
    ScopedCodePage cp932(CodePage(CodePage::Kind::Cp932));
    Id3v2Tag tag = V2Tag();
    test::Id3v2Frame comm = TextFrame("COMM", "");
    comm.body = test::CommBody(1, "eng", "", test::Utf16Le("\xF0\x9F\x8E\xB5"));
    tag.frames.push_back(comm);
    auto editor = Open(tag.Build() + audio);
    ASSERT_TRUE(editor);
    EXPECT_TRUE(editor->v2.FieldLocked(V2Field::Comment));
    EXPECT_FALSE(editor->V2FieldEnabled(V2Field::Comment));
    EXPECT_TRUE(editor->V2FieldEnabled(V2Field::Title));
    EXPECT_EQ(editor->v2.values[V2Field::Comment], "");
    editor->v2.hasBox = false;
    EXPECT_FALSE(editor->V2FieldEnabled(V2Field::Title));
    editor->v2.hasBox = true;
    EXPECT_FALSE(editor->V2FieldEnabled(V2Field::Comment));
}

TEST_F(TagUpdateTest, RenameFromTemplate) {
    auto editor = Open(V2Tag().Build() + audio + test::BandV1Tag("V1 title"));
    ASSERT_TRUE(editor);
    editor->fileNameText = "%1tr2 %2ti";
    const UpdateOutcome outcome = Update(*editor);
    EXPECT_EQ(outcome.rename, StepOutcome::Done);
    const std::string newPath = dir.File("05 Hello.mp3");
    EXPECT_EQ(editor->songPath, newPath);
    EXPECT_EQ(editor->fileNameText, "%1tr2 %2ti");  // the template stays
    EXPECT_EQ(table.songPaths(), std::vector<std::string>{newPath});
    EXPECT_EQ(table.entries(),
              std::vector<std::string>{SongListEntry(table.info().seconds, "05 Hello.mp3")});
    EXPECT_EQ(prompts.messages, (std::vector<Message>{Question("ファイル名を変更しますか？"),
                                                      Done("ファイル名を編集しました")}));
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "song.mp3"));
}

TEST_F(TagUpdateTest, RenameRefusalsLoseNothing) {
    const Bytes song = V2Tag().Build() + audio;
    const Message ask = Question("ファイル名を変更しますか？");
    dir.Write("taken.mp3", "other file");
    const struct {
        const char* field;
        std::vector<MessageAnswer> answers;
        std::vector<Message> messages;
        StepOutcome outcome;
    } cases[] = {
        {"song", {}, {}, StepOutcome::None},  // the same name
        {"%2al", {}, {}, StepOutcome::None},  // an empty expansion
        {"other", {MessageAnswer::Cancel}, {ask}, StepOutcome::Cancelled},
        {"taken", {}, {ask, Failure("ファイル名を編集できませんでした")}, StepOutcome::Failed},
        {"a?b",
         {},
         {ask, Failure("ファイル名に以下の文字は使えません\n \\ / : * ? \" < > |")},
         StepOutcome::Refused},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.field);
        auto editor = Open(song);
        ASSERT_TRUE(editor);
        editor->fileNameText = c.field;
        prompts.answers.assign(c.answers.begin(), c.answers.end());
        EXPECT_EQ(Update(*editor).rename, c.outcome);
        EXPECT_EQ(prompts.messages, c.messages);
        EXPECT_EQ(editor->songPath, path);
        EXPECT_EQ(test::ReadAll(path), song);
        EXPECT_EQ(test::ReadAll(dir.File("taken.mp3")), "other file");
        prompts.messages.clear();
    }
}

TEST_F(TagUpdateTest, KeepNameAndPages) {
    auto editor = Open(V2Tag().Build() + audio);
    ASSERT_TRUE(editor);
    editor->keepName = true;
    editor->fileNameText = "%2ti";
    editor->firstPage = 1;
    ASSERT_TRUE(editor->LoadSong(table.info().id3v2Size, prompts, PathStyle::Posix));
    EXPECT_EQ(editor->fileNameText, "%2ti");
    EXPECT_EQ(editor->currentPage, 2);
    editor->firstPage = 5;  // a hand-edited setting: the page stays as it was
    editor->currentPage = 1;
    ASSERT_TRUE(editor->LoadSong(table.info().id3v2Size, prompts, PathStyle::Posix));
    EXPECT_EQ(editor->currentPage, 1);
    editor->firstPage = 0;
    editor->currentPage = 2;
    ASSERT_TRUE(editor->LoadSong(table.info().id3v2Size, prompts, PathStyle::Posix));
    EXPECT_EQ(editor->currentPage, 1);
    editor->ClearFileName();
    EXPECT_EQ(editor->fileNameText, "");
}

}  // namespace
}  // namespace sorrelbox
