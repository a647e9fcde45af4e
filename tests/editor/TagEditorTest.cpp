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

// The editor's model: both pages (change test, ID3v1 image, ID3v2 mask and running tag
// length), the buttons that move text between fields, the update and list mode.

namespace sorrelbox {
namespace {

using enum V2Field;
const CodePage kUtf8(CodePage::Kind::Utf8);
const CodePage kCp932(CodePage::Kind::Cp932);

// A genre list whose lines are the first positions of the code table.
GenreList Genres(int kuuran = 0) {
    std::string bytes;
    for (std::size_t i = 0; i < kGenreCount; ++i)
        bytes += (i ? "g" + std::to_string(i) : "") + "\n";
    return GenreList::FromBytes(bytes, static_cast<std::uint8_t>(kuuran));
}

test::Id3v1Tag Padded(std::string title, std::uint8_t genre = 17) {
    return {std::move(title), "Band", "", "199", "Nice", 5, genre, ' ', {}};
}
std::array<std::uint8_t, kId3v1Size> Bytes128(const test::Id3v1Tag& tag) {
    std::array<std::uint8_t, kId3v1Size> out{};
    std::ranges::copy(tag.Build(), out.begin());
    return out;
}

const std::string kNoComment = std::string(28, ' ') + std::string(2, '\0');
struct ImageCase {
    std::string title{}, year{}, comment{};
    std::int16_t track = 0;
    int line = 0, kuuran = 0;
    bool cp932 = false;
    std::string wTitle = std::string(30, ' '), wYear = "    ", wComment = kNoComment;
    int wGenre = 247;
};

TEST(Id3v1PageTest, ImageBytesCutAtCharacterBoundaries) {
    const std::string t30(30, 'x'), c28(28, 'c'), a29(29, 'a');
    const ImageCase cases[] = {
        {.title = t30 + "yz", .year = "19991", .wTitle = t30, .wYear = "1999"},
        {.title = "a", .year = "199", .wTitle = "a" + std::string(29, ' '), .wYear = "199 "},
        {.comment = c28, .track = 7, .wComment = c28 + '\0' + '\x07'},
        {.comment = c28 + "c", .track = 7, .wComment = c28 + "c "},
        // 284 counted in 8 bits is 28: the comment would lose two bytes to a track number.
        {.comment = std::string(284, 'c'), .track = 7, .wComment = std::string(30, 'c')},
        {.track = 300, .wComment = kNoComment.substr(0, 29) + '\x2C'},
        {.kuuran = 1, .wGenre = 255},
        {.line = -1},
        {.line = 8, .wGenre = 255},
        {.title = a29 + "\x82\xA0", .cp932 = true, .wTitle = a29 + " "},
        {.title = "Aあいうえおかきくけこさ", .wTitle = "Aあいうえおかきくけ  "},
        {.comment = c28 + "あ", .wComment = c28 + "  "},
    };
    for (const ImageCase& c : cases) {
        ScopedCodePage cp(c.cp932 ? kCp932 : kUtf8);
        Id3v1Page page;
        page.values = {c.title, "", "", c.year, c.comment, c.track, c.line};
        ASSERT_TRUE(page.CollectId3v1(Genres(c.kuuran)));  // no tag read: always written
        const auto b = page.image().Bytes();
        EXPECT_EQ(std::string(b.begin(), b.end()),
                  "TAG" + c.wTitle + std::string(60, ' ') + c.wYear + c.wComment + char(c.wGenre));
    }
}

// A genre byte without a line (80) is kept unless a line is picked.
TEST(Id3v1PageTest, ChangesAndAnUnlistedGenre) {
    ScopedCodePage utf8(kUtf8);
    const GenreList genres = Genres();
    Id3v1Page page;
    test::Id3v1Tag want = Padded("Abc", 80);
    page.Fill(Bytes128(want), genres, false);
    EXPECT_EQ(page.values, (Id3v1Values{"Abc", "Band", "", "199", "Nice", 5, -1}));
    EXPECT_FALSE(page.CollectId3v1(genres));  // nothing typed: nothing to write
    page.values.title = want.title = "Abd";
    ASSERT_TRUE(page.CollectId3v1(genres));
    EXPECT_EQ(page.image().Bytes(), Bytes128(want));
    page.values.genreLine = 0;
    want.genre = 247;
    ASSERT_TRUE(page.CollectId3v1(genres));
    EXPECT_EQ(page.image().Bytes(), Bytes128(want));
}

TEST(Id3v1PageTest, TrackMustBeAWholeNumber) {
    using Row = std::pair<const char*, std::optional<std::int16_t>>;
    for (const auto& [text, want] :
         {Row{"7", 7}, Row{" -3 ", -3}, Row{"+4", 4}, Row{"32767", 32767}, Row{"", {}},
          Row{"x", {}}, Row{"1.5", {}}, Row{"32768", {}}, Row{"7a", {}}, Row{"--1", {}}}) {
        EXPECT_EQ(Id3v1Page::ParseTrack(text), want) << text;
    }
    ScopedCodePage utf8(kUtf8);
    Id3v1Page page;
    ScriptedPrompts prompts;
    const Id3v1Values typed{"After", "", "", "", "", 0, 3};
    EXPECT_FALSE(page.ReadFields(typed, "12a", prompts));  // refused: nothing changes
    EXPECT_EQ(page.values, Id3v1Values{});
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].text, "Please enter an integer.");
    EXPECT_TRUE(page.ReadFields(typed, "12", prompts));
    EXPECT_EQ(page.values, (Id3v1Values{"After", "", "", "", "", 12, 3}));
}

Id3v2FrameRead Frame(V2Field field, std::string value, std::uint8_t encoding = 0,
                     std::uint32_t size = 0, std::uint16_t descLength = 0, bool locked = false) {
    const auto n = static_cast<std::uint32_t>(value.size() + 1);
    return {field, encoding, size ? size : n, std::move(value), descLength, locked};
}
// A page that read an ID3v2.3 tag of totalSize bytes holding frames.
Id3v2Page Loaded(const std::vector<Id3v2FrameRead>& frames, std::uint32_t totalSize,
                 const GenreList& genres) {
    Id3v2Page page;
    for (const auto& frame : frames) page.RecordFrame(frame, genres, false);
    page.hasBox = true;
    page.record.tagVersion = 3;
    page.record.tagTotalSize = totalSize;
    return page;
}

struct CollectCase {
    std::vector<Id3v2FrameRead> frames;
    std::uint32_t totalSize;  // 0: the file has no tag
    V2Field field;
    const char* text;  // typed into field, or nullptr
    int line, kuuran;  // line: the genre line picked, or -2
    int wantMask, wantTotal;
    std::string wantGenreText = "";
    bool cp932 = false;
};

TEST(Id3v2PageTest, CollectWorkedExamples) {
    const CollectCase cases[] = {
        {{}, 0, Title, "abc", -2, 0, 1, 3},
        {{}, 0, Title, nullptr, -2, 1, 0, 0},
        {{Frame(Genre, "(17)")}, 100, Genre, nullptr, 0, 0, 16, 96},
        {{}, 100, Genre, nullptr, 83, 0, 16, 100 + 4 + 11, "(17)"},
        {{}, 100, Comment, "hello", -2, 0, 32, 100 + 15 + 5},
        {{}, 100, Url, "http://x", -2, 0, 1024, 100 + 12 + 8},
        {{Frame(Title, "Hello")}, 100, Title, "Hi", -2, 0, 1, 97},
        // UTF-16 grows 2 bytes a character of the code page.
        {{Frame(Title, "Word", 1, 11)}, 100, Title, "Words!", -2, 0, 1, 104},
        {{Frame(Title, "a", 1, 5)}, 100, Title, "a\x82\xA0\x82\xA2", -2, 0, 1, 104, "", true},
        {{Frame(Album, "", 1, 1)}, 100, Album, "abc", -2, 0, 4, 108},
        {{Frame(Title, "T")}, 100, Composer, "Bach", -2, 0, 128, 115},
        // No TCON and the empty choice (255 with kuuran): no new empty frame.
        {{}, 100, Genre, nullptr, 0, 1, 0, 100},
        // A code the box cannot show stays unless a line is picked.
        {{Frame(Genre, "(100)")}, 100, Genre, nullptr, -2, 0, 0, 100},
        {{Frame(Genre, "Kayokyoku")}, 100, Genre, nullptr, -2, 1, 0, 100},
    };
    for (const CollectCase& c : cases) {
        ScopedCodePage cp(c.cp932 ? kCp932 : kUtf8);
        const GenreList genres = Genres(c.kuuran);
        Id3v2Page page = Loaded(c.frames, c.totalSize, genres);
        if (c.text) page.values[c.field] = c.text;
        if (c.line != -2) page.values.genreLine = c.line;
        EXPECT_EQ(page.CollectId3v2(genres), c.wantMask) << &c - cases;
        EXPECT_EQ(std::tuple(page.record.tagTotalSize, page.record.genreText),
                  std::tuple(c.wantTotal, c.wantGenreText))
            << &c - cases;
    }
}

TagEditor Filled() {
    TagEditor editor(EditorMode::Single, "/m/song.mp3");
    editor.v1.values = {"T1", "", "", "1999", "", 7};
    editor.v2.values.texts = {"T2", "", "", "", "", "", "08", "", "", "", "", "Enc"};
    editor.fileNameText = "name";
    return editor;
}

// 追加 appends the focused field of the shown page to the name; ファイル名入力 the name to
// the focused text field.
TEST(TagEditorTest, AddAndFileNameInputFollowTheFocus) {
    const struct {
        std::uint8_t focus, page;
        bool adds;
        const char* name;
        bool inputs;
    } cases[] = {
        {0, 1, false, "name", false},    {1, 1, true, "nameT1", true},
        {4, 1, true, "name1999", false}, {5, 1, true, "name", true},
        {6, 1, true, "name7", false},    {10, 2, true, "nameT2", true},
        {13, 2, true, "name", false},    {15, 2, true, "name08", false},
        {20, 2, true, "nameEnc", true},  {1, 2, true, "name", false},
        {10, 1, true, "name", false},  // page not shown
    };
    for (const auto& c : cases) {
        TagEditor add = Filled(), input = Filled();
        add.focusCode = input.focusCode = c.focus;
        add.currentPage = input.currentPage = c.page;
        EXPECT_EQ(add.AppendFocusedFieldToFileName(), c.adds) << int{c.focus};
        EXPECT_EQ(std::tuple(add.fileNameText, add.focusCode), std::tuple(c.name, 0));
        EXPECT_EQ(input.AppendFileNameToFocusedField(), c.inputs) << int{c.focus};
        EXPECT_EQ(input.v2.values[EncodedBy], c.focus == 20 ? "Encname" : "Enc");
    }
}

// The update's steps with their questions over real files, and list mode's walk through the
// song table (CLI and window tests cover what answers OK or needs widgets).

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

    ScopedCodePage utf8{kUtf8};
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
