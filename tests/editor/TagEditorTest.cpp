#include <gtest/gtest.h>

#include <filesystem>

#include "analysis/SongTable.h"
#include "editor/ContinuousEdit.h"
#include "editor/TagUpdate.h"
#include "support/Messages.h"
#include "support/Mp3Builder.h"
#include "support/TempDir.h"
#include "tagwrite/RenameSong.h"

// The editor's model: both pages (change test, ID3v1 image, ID3v2 mask and running tag
// length), the buttons that move text between fields, the update and list mode.

namespace sorrelbox {
namespace {

using enum V2Field;
const CodePage kUtf8(CodePage::Kind::Utf8);

// A genre list whose lines are the first positions of the code table.
GenreList Genres(int kuuran = 0) {
    std::string bytes;
    for (std::size_t i = 0; i < kGenreCount; ++i)
        bytes += (i ? "g" + std::to_string(i) : "") + "\n";
    return GenreList::FromBytes(bytes, static_cast<std::uint8_t>(kuuran));
}

const std::string kNoComment = std::string(28, ' ') + std::string(2, '\0');
struct ImageCase {
    std::string title{}, year{}, comment{};
    std::int16_t track = 0;
    int line = 0;
    std::string wTitle = std::string(30, ' '), wYear = "    ", wComment = kNoComment;
    int wGenre = 247;
};

TEST(Id3v1PageTest, ImageBytesCutAtCharacterBoundaries) {
    ScopedCodePage utf8(kUtf8);
    const std::string t30(30, 'x'), c28(28, 'c');
    const ImageCase cases[] = {
        {.title = t30 + "yz", .year = "19991", .wTitle = t30, .wYear = "1999"},
        {.title = "a", .year = "199", .wTitle = "a" + std::string(29, ' '), .wYear = "199 "},
        {.comment = c28, .track = 7, .wComment = c28 + '\0' + '\x07'},
        {.comment = c28 + "c", .track = 7, .wComment = c28 + "c "},
        // 284 counted in 8 bits is 28: the comment would lose two bytes to a track number.
        {.comment = std::string(284, 'c'), .track = 7, .wComment = std::string(30, 'c')},
        {.track = 300, .wComment = kNoComment.substr(0, 29) + '\x2C'},
        {.line = 8, .wGenre = 255},
        {.comment = c28 + "あ", .wComment = c28 + "  "},
    };
    for (const ImageCase& c : cases) {
        Id3v1Page page;
        page.values = {c.title, "", "", c.year, c.comment, c.track, c.line};
        ASSERT_TRUE(page.CollectId3v1(Genres()));  // no tag read: always written
        const auto b = page.image().Bytes();
        EXPECT_EQ(std::string(b.begin(), b.end()),
                  "TAG" + c.wTitle + std::string(60, ' ') + c.wYear + c.wComment + char(c.wGenre));
    }
}

// A genre byte without a line (80) is kept unless a line is picked.
TEST(Id3v1PageTest, ChangesAndAnUnlistedGenre) {
    ScopedCodePage utf8(kUtf8);
    const auto bytes = [](test::Id3v1Tag tag) {
        std::array<std::uint8_t, kId3v1Size> out{};
        std::ranges::copy(tag.Build(), out.begin());
        return out;
    };
    test::Id3v1Tag want{"Abc", "Band", "", "199", "Nice", 5, 80, ' ', {}};
    Id3v1Page page;
    page.Fill(bytes(want), Genres(), false);
    EXPECT_EQ(page.values, (Id3v1Values{"Abc", "Band", "", "199", "Nice", 5, -1}));
    EXPECT_FALSE(page.CollectId3v1(Genres()));  // nothing typed: nothing to write
    page.values.title = want.title = "Abd";
    ASSERT_TRUE(page.CollectId3v1(Genres()));
    EXPECT_EQ(page.image().Bytes(), bytes(want));
    page.values.genreLine = 0;
    want.genre = 247;
    ASSERT_TRUE(page.CollectId3v1(Genres()));
    EXPECT_EQ(page.image().Bytes(), bytes(want));
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
    EXPECT_EQ(std::tuple(page.values, prompts.messages.at(0).text),
              std::tuple(Id3v1Values{}, "Please enter an integer."));
    EXPECT_TRUE(page.ReadFields(typed, "12", prompts));
    EXPECT_EQ(page.values, (Id3v1Values{"After", "", "", "", "", 12, 3}));
}

Id3v2FrameRead Frame(V2Field field, std::string value, std::uint8_t encoding = 0,
                     std::uint32_t size = 0) {
    const auto n = static_cast<std::uint32_t>(value.size() + 1);
    return {field, encoding, size ? size : n, std::move(value), 0, false};
}

struct CollectCase {
    std::vector<Id3v2FrameRead> frames;
    std::uint32_t totalSize;  // 0: the file has no tag
    V2Field field;
    const char* text;                       // typed into field, or nullptr
    int line, kuuran, wantMask, wantTotal;  // line: the genre line picked, or -2
    std::string wantGenreText = "";
};

TEST(Id3v2PageTest, CollectWorkedExamples) {
    ScopedCodePage utf8(kUtf8);
    const CollectCase cases[] = {
        {{}, 0, Title, "abc", -2, 0, 1, 3},
        {{}, 0, Title, nullptr, 0, 1, 0, 0},  // the empty choice is no change without a tag
        {{Frame(Genre, "(17)")}, 100, Genre, nullptr, 0, 0, 16, 96},
        {{}, 100, Genre, nullptr, 83, 0, 16, 100 + 4 + 11, "(17)"},
        {{}, 100, Comment, "hello", -2, 0, 32, 100 + 15 + 5},
        {{}, 100, Url, "http://x", -2, 0, 1024, 100 + 12 + 8},
        {{Frame(Title, "Hello")}, 100, Title, "Hi", -2, 0, 1, 97},
        // UTF-16 grows 2 bytes a character of the code page.
        {{Frame(Title, "Word", 1, 11)}, 100, Title, "Wordあい", -2, 0, 1, 104},
        {{Frame(Album, "", 1, 1)}, 100, Album, "abc", -2, 0, 4, 108},
        {{Frame(Title, "T")}, 100, Composer, "Bach", -2, 0, 128, 115},
        // No TCON and the empty choice (255 with kuuran): no new empty frame.
        {{}, 100, Genre, nullptr, 0, 1, 0, 100},
        // A code the box cannot show stays unless a line is picked.
        {{Frame(Genre, "(100)")}, 100, Genre, nullptr, -2, 0, 0, 100},
    };
    for (const CollectCase& c : cases) {
        const GenreList genres = Genres(c.kuuran);
        Id3v2Page page;
        for (const auto& frame : c.frames) page.RecordFrame(frame, genres, false);
        page.record.tagTotalSize = c.totalSize;
        if (c.text) page.values[c.field] = c.text;
        if (c.line != -2) page.values.genreLine = c.line;
        EXPECT_EQ(page.CollectId3v2(genres), c.wantMask) << &c - cases;
        EXPECT_EQ(std::tuple(page.record.tagTotalSize, page.record.genreText),
                  std::tuple(c.wantTotal, c.wantGenreText))
            << &c - cases;
    }
}

// 追加 appends the focused field of the shown page to the name; ファイル名入力 the name to
// the focused text field.
TEST(TagEditorTest, AddAndFileNameInputFollowTheFocus) {
    // The focus code, the page shown, what 追加 returns and makes of "name", what ファイル名入力
    // returns.
    using Row = std::tuple<int, int, bool, const char*, bool>;
    for (const auto& [focus, shown, adds, name, inputs] :
         {Row{0, 1, false, "name", false}, Row{1, 1, true, "nameT1", true},
          Row{4, 1, true, "name1999", false}, Row{5, 1, true, "name", true},
          Row{6, 1, true, "name7", false}, Row{10, 2, true, "nameT2", true},
          Row{13, 2, true, "name", false}, Row{15, 2, true, "name08", false},
          Row{20, 2, true, "nameEnc", true}, Row{1, 2, true, "name", false},
          Row{10, 1, true, "name", false}}) {
        TagEditor add(EditorMode::Single, "/m/song.mp3");
        add.v1.values = {"T1", "", "", "1999", "", 7};
        add.v2.values.texts = {"T2", "", "", "", "", "", "08", "", "", "", "", "Enc"};
        add.fileNameText = "name";
        add.focusCode = static_cast<std::uint8_t>(focus);
        add.currentPage = static_cast<std::uint8_t>(shown);
        TagEditor input = add;
        EXPECT_EQ(add.AppendFocusedFieldToFileName(), adds) << focus;
        EXPECT_EQ(std::tuple(add.fileNameText, add.focusCode), std::tuple(name, 0));
        EXPECT_EQ(input.AppendFileNameToFocusedField(), inputs) << focus;
        EXPECT_EQ(input.v2.values[EncodedBy], focus == 20 ? "Encname" : "Enc");
    }
}

// List mode's walk past songs that fail to load (the window test walks the songs that load).
class ContinuousEditTest : public ::testing::Test {
  protected:
    // Opened in list mode on song number of a.mp3, b.mp3 (missing), c.mp3, titled by letter.
    TagEditor Open(std::uint16_t number) {
        TagEditor editor(EditorMode::List, table.songPaths()[number - 1u]);
        editor.songTotal = 3;
        editor.songNumber = number;
        return editor;
    }

    ScopedCodePage utf8{kUtf8};
    test::TempDir dir;
    SongTable table{PathStyle::Posix};
    ScriptedPrompts prompts;
    SongWalk walk{
        table, prompts,
        [this](std::size_t i) { table.ScanMpegFile(table.songPaths()[i], ScanMode::Show); },
        nullptr, PathStyle::Posix};
};

TEST_F(ContinuousEditTest, SongsThatFailAreSkippedBackAndReportedAsDamageForwards) {
    using Message = ScriptedPrompts::Message;
    const Message damaged =
        test::Refusal("今回の編集でファイルが破損した可能性があります\nファイルを確認してください");
    const Message unreadable = test::Failure("ID3タグを読み込めませんでした");
    for (const std::string name : {"a", "b", "c"}) {
        const std::string path =
            dir.Write(name + ".mp3", test::CbrFile(4000) + test::BandV1Tag(name));
        table.ScanMpegFile(path, ScanMode::Quiet);
        table.AppendEntry(path, SongListEntry(table.info().seconds, name));
    }
    std::filesystem::remove(table.songPaths()[1]);
    TagEditor editor = Open(3);
    ASSERT_EQ(StartEditing(editor, walk), WalkResult::Loaded);
    EXPECT_EQ(PreviousSong(editor, walk), WalkResult::Loaded);
    EXPECT_EQ(std::tuple(editor.songNumber, editor.v1.values.title), std::tuple(1, "a"));
    EXPECT_EQ(NextSong(editor, walk), WalkResult::Damaged);
    EXPECT_EQ(prompts.messages, (std::vector<Message>{unreadable, unreadable, damaged}));
    EXPECT_EQ(editor.songNumber, 2);
    // Opened on the missing song, list mode goes on to the same check instead of closing.
    TagEditor missing = Open(2);
    EXPECT_EQ(StartEditing(missing, walk), WalkResult::Damaged);
}

}  // namespace
}  // namespace sorrelbox
