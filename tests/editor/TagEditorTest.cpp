#include <gtest/gtest.h>

#include "analysis/SongTable.h"
#include "editor/ContinuousEdit.h"
#include "platform/ScriptedPrompts.h"
#include "support/Mp3Builder.h"

// The pages' models: the ID3v1 page's change test and image, the ID3v2 page's mask and running
// tag length. The window test drives the editor's buttons, update and list mode.

namespace sorrelbox {
namespace {

using enum V2Field;
const CodePage kUtf8(CodePage::Kind::Utf8);

// A genre list of empty lines: each line's code is its position's in the code table.
GenreList Genres(int kuuran = 0) {
    return GenreList::FromBytes(std::string(kGenreCount, '\n'), static_cast<std::uint8_t>(kuuran));
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

// A genre byte without a line (80) is kept unless a line is picked; a track that is no whole
// number is refused, leaving the values as they were.
TEST(Id3v1PageTest, ChangesTrackRefusalsAndAnUnlistedGenre) {
    ScopedCodePage utf8(kUtf8);
    const auto bytes = [](test::Id3v1Tag tag) {
        std::array<std::uint8_t, kId3v1Size> out{};
        std::ranges::copy(tag.Build(), out.begin());
        return out;
    };
    test::Id3v1Tag want{"Abc", "Band", "", "199", "Nice", 5, 80, ' '};
    Id3v1Page page;
    page.Fill(bytes(want), Genres(), false);
    const Id3v1Values read{"Abc", "Band", "", "199", "Nice", 5, -1};
    EXPECT_EQ(page.values, read);
    EXPECT_FALSE(page.CollectId3v1(Genres()));  // nothing typed: nothing to write
    // Each track text with what it reads as, "-" for a refusal.
    for (const std::string row : {"7=7", " -3 =-3", "+4=4", "32767=32767", "=-", "x=-", "1.5=-",
                                  "32768=-", "7a=-", "--1=-"}) {
        const auto track = Id3v1Page::ParseTrack(row.substr(0, row.rfind('=')));
        EXPECT_EQ(row.substr(0, row.rfind('=') + 1) + (track ? std::to_string(*track) : "-"), row);
    }
    ScriptedPrompts prompts;
    const Id3v1Values typed{"Abd", "Band", "", "199", "Nice", 0, -1};
    EXPECT_FALSE(page.ReadFields(typed, "5a", prompts));
    EXPECT_EQ(std::tuple(page.values, prompts.messages.at(0).text),
              std::tuple(read, "Please enter an integer."));
    ASSERT_TRUE(page.ReadFields(typed, " 5", prompts) && page.CollectId3v1(Genres()));
    want.title = "Abd";
    EXPECT_EQ(page.image().Bytes(), bytes(want));
    page.values.genreLine = 0;
    want.genre = 247;
    ASSERT_TRUE(page.CollectId3v1(Genres()));
    EXPECT_EQ(page.image().Bytes(), bytes(want));
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
        {{{Genre, 0, 5, "(17)"}}, 100, Genre, nullptr, 0, 0, 16, 96},
        {{}, 100, Genre, nullptr, 83, 0, 16, 100 + 4 + 11, "(17)"},
        {{}, 100, Comment, "hello", -2, 0, 32, 100 + 15 + 5},
        {{}, 100, Url, "http://x", -2, 0, 1024, 100 + 12 + 8},
        {{{Title, 0, 6, "Hello"}}, 100, Title, "Hi", -2, 0, 1, 97},
        // UTF-16 grows 2 bytes a character of the code page.
        {{{Title, 1, 11, "Word"}}, 100, Title, "Wordあい", -2, 0, 1, 104},
        {{{Album, 1, 1, ""}}, 100, Album, "abc", -2, 0, 4, 108},
        {{{Title, 0, 2, "T"}}, 100, Composer, "Bach", -2, 0, 128, 115},
        // No TCON and the empty choice (255 with kuuran): no new empty frame.
        {{}, 100, Genre, nullptr, 0, 1, 0, 100},
        // A code the box cannot show stays unless a line is picked.
        {{{Genre, 0, 6, "(100)"}}, 100, Genre, nullptr, -2, 0, 0, 100},
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

// 追加 needs a field focused, and leaves none focused.
TEST(TagEditorTest, AddNeedsAndEndsTheFocus) {
    TagEditor editor(EditorMode::Single, "/m/a.mp3");
    EXPECT_FALSE(editor.AppendFocusedFieldToFileName());
    editor.focusCode = 1;
    EXPECT_TRUE(editor.AppendFocusedFieldToFileName());
    EXPECT_EQ(editor.focusCode, 0);
}

// Opened on a song that fails to load, list mode goes on to the damage check, or closes after the
// last song; single mode closes.
TEST(ContinuousEditTest, OpenedOnAMissingSong) {
    ScopedCodePage utf8(kUtf8);
    SongTable table(PathStyle::Posix);
    for (const char* path : {"/missing/a.mp3", "/missing/b.mp3"}) table.AppendEntry(path, "");
    ScriptedPrompts prompts;
    SongWalk walk{table, prompts, [](std::size_t) {}, nullptr, PathStyle::Posix};
    for (const auto& [mode, number, want] :
         {std::tuple(EditorMode::List, 1, WalkResult::Damaged),
          std::tuple(EditorMode::List, 2, WalkResult::Closed),
          std::tuple(EditorMode::Single, 1, WalkResult::Closed)}) {
        TagEditor editor(mode, table.songPaths()[number - 1]);
        editor.songTotal = 2;
        editor.songNumber = static_cast<std::uint16_t>(number);
        EXPECT_EQ(StartEditing(editor, walk), want) << number;
    }
}

}  // namespace
}  // namespace sorrelbox
