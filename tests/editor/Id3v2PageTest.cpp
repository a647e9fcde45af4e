#include <gtest/gtest.h>

#include <string>

#include "analysis/Id3Reader.h"
#include "editor/Id3v2Page.h"
#include "platform/CodePage.h"

// The ID3v2 page model: recording frames, holds, UTF-16 locks, and CollectId3v2's mask and
// running tag length.

namespace sorrelbox {
namespace {

const CodePage kUtf8(CodePage::Kind::Utf8);
const CodePage kCp932(CodePage::Kind::Cp932);

GenreList Genres(std::uint8_t kuuran = 0) {
    std::string bytes;
    for (std::size_t i = 0; i < kGenreCount; ++i) {
        bytes += (i == 0 ? std::string() : "g" + std::to_string(100 + i)) + "\n";
    }
    return GenreList::FromBytes(bytes, kuuran);
}

Id3v2FrameRead Frame(V2Field field, std::string value, std::uint8_t encoding = 0,
                     std::uint32_t frameSize = 0, std::uint16_t descLength = 0) {
    Id3v2FrameRead frame;
    frame.field = field;
    frame.value = std::move(value);
    frame.encoding = encoding;
    frame.frameSize = frameSize ? frameSize : static_cast<std::uint32_t>(frame.value.size() + 1);
    frame.descLength = descLength;
    return frame;
}

// A page that read an existing tag of totalSize bytes holding frames.
Id3v2Page Loaded(const std::vector<Id3v2FrameRead>& frames, std::uint32_t totalSize,
                 const GenreList& genres) {
    Id3v2Page page;
    page.Reset(false);
    for (const auto& frame : frames) page.RecordFrame(frame, genres, false);
    page.hasBox = true;
    page.record.tagVersion = 3;
    page.record.tagTotalSize = totalSize;
    return page;
}

TEST(Id3v2PageTest, RecordFrameValuesAndLengths) {
    ScopedCodePage utf8(kUtf8);
    const GenreList genres = Genres();
    Id3v2Page page = Loaded(
        {
            Frame(V2Field::Title, "Word", 1, 11),  // UTF-16: BOM + 4 units
            Frame(V2Field::Artist, "Band"),        // plain
            Frame(V2Field::Album, "", 1, 1),       // UTF-16, only the encoding byte
            Frame(V2Field::Genre, "(17)"),
            Frame(V2Field::Comment, "Nice", 0, 1 + 3 + 5 + 4, 4),  // "jpn" "desc" NUL "Nice"
            [] {  // a WXXX the code page cannot hold: not taken
                Id3v2FrameRead url = Frame(V2Field::Url, "", 1, 9);
                url.locked = true;
                return url;
            }(),
        },
        500, genres);
    const Id3v2Record& r = page.record;
    EXPECT_EQ(page.values[V2Field::Title], "Word");
    EXPECT_EQ(r.oldLength[0], 8);
    EXPECT_EQ(page.values[V2Field::Artist], "Band");
    EXPECT_EQ(r.oldLength[1], 4);
    EXPECT_EQ(r.oldLength[2], -1);
    EXPECT_EQ(r.oldGenreCode, 17);
    EXPECT_TRUE(r.genreCodeRead);
    EXPECT_EQ(page.values.genreLine, *genres.FirstLineWithCode(17));
    EXPECT_EQ(page.values[V2Field::Comment], "Nice");
    EXPECT_EQ(r.commentDescLength, 4);
    EXPECT_EQ(r.oldLength[5], 4);
    const std::uint16_t present = FieldBit(V2Field::Title) | FieldBit(V2Field::Artist) |
                                  FieldBit(V2Field::Album) | FieldBit(V2Field::Genre) |
                                  FieldBit(V2Field::Comment) | FieldBit(V2Field::Url);
    EXPECT_EQ(r.presentFlags, present);
    EXPECT_EQ(r.utf16Flags,
              FieldBit(V2Field::Title) | FieldBit(V2Field::Album) | FieldBit(V2Field::Url));
    EXPECT_EQ(r.lockedFlags, FieldBit(V2Field::Url));
    EXPECT_TRUE(page.FieldLocked(V2Field::Url));
    EXPECT_FALSE(page.FieldLocked(V2Field::Title));  // converted text frames stay editable

    // Nothing typed: no change.
    EXPECT_EQ(page.CollectId3v2(genres), 0);
    EXPECT_EQ(page.record.tagTotalSize, 500u);
}

TEST(Id3v2PageTest, HoldsAndAutoTrack) {
    ScopedCodePage utf8(kUtf8);
    const GenreList genres = Genres();
    Id3v2Page page;
    page.values[V2Field::Title] = "Held";
    page.values[V2Field::Album] = "Gone";
    page.values[V2Field::Track] = "3";
    page.values.genreLine = 5;
    page.holds[V2Field::Title] = true;
    page.holds[V2Field::Genre] = true;
    page.Reset(true);
    EXPECT_EQ(page.values[V2Field::Title], "Held");
    EXPECT_EQ(page.values[V2Field::Album], "");
    EXPECT_EQ(page.values[V2Field::Track], "3");
    page.RecordFrame(Frame(V2Field::Title, "Other"), genres, true);
    page.RecordFrame(Frame(V2Field::Track, "9"), genres, true);
    page.RecordFrame(Frame(V2Field::Genre, "(17)"), genres, true);
    EXPECT_EQ(page.values[V2Field::Title], "Held");
    EXPECT_EQ(page.record.oldValue[0], "Other");
    EXPECT_EQ(page.values[V2Field::Track], "3");
    EXPECT_EQ(page.values.genreLine, 5);
    page.ReleaseHolds();
    page.Reset(false);
    EXPECT_EQ(page.values[V2Field::Title], "");
    EXPECT_EQ(page.values[V2Field::Track], "");
    EXPECT_EQ(page.values.genreLine, -1);
}

// What the user types: a text into a field, or a genre line.
struct Typed {
    V2Field field = V2Field::Title;
    const char* text = nullptr;
    int genreLine = -2;
};
Typed Type(V2Field field, const char* text) {
    return {field, text};
}
Typed Pick(int line) {
    return {V2Field::Genre, nullptr, line};
}

struct CollectCase {
    const char* name;
    std::vector<Id3v2FrameRead> frames;
    std::uint32_t totalSize;  // 0: the file has no tag
    Typed typed;
    std::uint8_t kuuran;
    std::uint16_t wantMask;
    std::uint32_t wantTotal;
    std::string wantGenreText;
};

TEST(Id3v2PageTest, CollectWorkedExamples) {
    ScopedCodePage utf8(kUtf8);
    using enum V2Field;
    const CollectCase cases[] = {
        {"no tag, title of 3 bytes", {}, 0, Type(Title, "abc"), 0, 1, 3, ""},
        {"no tag, nothing typed", {}, 0, {}, 1, 0, 0, ""},
        {"line 0 on (17) empties", {Frame(Genre, "(17)")}, 100, Pick(0), 0, 16, 96, ""},
        {"genre picked, no TCON", {}, 100, Pick(83), 0, 16, 100 + 4 + 11, "(17)"},
        {"comment, no COMM", {}, 100, Type(Comment, "hello"), 0, 32, 100 + 15 + 5, ""},
        {"URL, no WXXX", {}, 100, Type(Url, "http://x"), 0, 1024, 100 + 12 + 8, ""},
        {"plain title shortened", {Frame(Title, "Hello")}, 100, Type(Title, "Hi"), 0, 1, 97, ""},
        // UTF-16 grows 2 bytes a character.
        {"UTF-16 title", {Frame(Title, "Word", 1, 11)}, 100, Type(Title, "Words!"), 0, 1, 104, ""},
        {"UTF-16 encoding only", {Frame(Album, "", 1, 1)}, 100, Type(Album, "abc"), 0, 4, 108, ""},
        {"new composer", {Frame(Title, "T")}, 100, Type(Composer, "Bach"), 0, 128, 115, ""},
        // No TCON and the empty choice: no new empty frame, even when the empty choice's code
        // (255 with kuuran) differs from the "none" code.
        {"no TCON, empty choice, kuuran", {}, 100, Pick(0), 1, 0, 100, ""},
        // A code the box cannot show stays unless a line is picked.
        {"(100) kept", {Frame(Genre, "(100)")}, 100, {}, 0, 0, 100, ""},
        {"unknown name, kuuran", {Frame(Genre, "Kayokyoku")}, 100, {}, 1, 0, 100, ""},
    };
    for (const CollectCase& c : cases) {
        const GenreList genres = Genres(c.kuuran);
        Id3v2Page page = Loaded(c.frames, c.totalSize, genres);
        if (c.typed.text) page.values[c.typed.field] = c.typed.text;
        if (c.typed.genreLine != -2) page.values.genreLine = c.typed.genreLine;
        EXPECT_EQ(page.CollectId3v2(genres), c.wantMask) << c.name;
        EXPECT_EQ(page.record.tagTotalSize, c.wantTotal) << c.name;
        EXPECT_EQ(page.record.genreText, c.wantGenreText) << c.name;
    }
}

TEST(Id3v2PageTest, Utf16GrowthCountsCharactersInTheCodePage) {
    ScopedCodePage cp932(kCp932);
    const GenreList genres = Genres();
    Id3v2Page page = Loaded({Frame(V2Field::Title, "a", 1, 5)}, 100, genres);
    page.values[V2Field::Title] = "a\x82\xA0\x82\xA2";  // two double-byte characters added
    EXPECT_EQ(page.CollectId3v2(genres, kCp932), 1);
    EXPECT_EQ(page.record.tagTotalSize, 104u);
}

TEST(Id3v2PageTest, MakeEditCarriesValuesAndVersion) {
    ScopedCodePage utf8(kUtf8);
    const GenreList genres = Genres();
    Id3v2Page page = Loaded({Frame(V2Field::Genre, "(17)")}, 100, genres);
    page.record.tagVersion = 4;
    page.values[V2Field::Year] = "2024";
    page.values.genreLine = 3;
    ASSERT_EQ(page.CollectId3v2(genres), FieldBit(V2Field::Year) | FieldBit(V2Field::Genre));
    const Id3v2Edit edit = page.MakeEdit("/m/song.mp3", 110);
    EXPECT_EQ(edit.songPath, "/m/song.mp3");
    EXPECT_EQ(edit.oldTagLength, 110u);
    EXPECT_EQ(edit.tagVersion, 4);
    EXPECT_EQ(edit.values[FieldIndex(V2Field::Year)], "2024");
    EXPECT_EQ(edit.values[FieldIndex(V2Field::Genre)], "(14)");
}

}  // namespace
}  // namespace sorrelbox
