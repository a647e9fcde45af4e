#include <gtest/gtest.h>

#include <string>

#include "editor/Id3v1Page.h"
#include "platform/CodePage.h"
#include "platform/ScriptedPrompts.h"
#include "support/Mp3Builder.h"
#include "support/TempDir.h"

// The ID3v1 page model: filling from a tag, holds, the image and its change test.

namespace sorrelbox {
namespace {

const CodePage kUtf8(CodePage::Kind::Utf8);

// A genre list whose lines are the first positions of the code table.
GenreList Genres(std::uint8_t kuuran = 0) {
    std::string bytes;
    for (std::size_t i = 0; i < kGenreCount; ++i) {
        bytes += (i == 0 ? std::string() : "g" + std::to_string(100 + i)) + "\n";
    }
    return GenreList::FromBytes(bytes, kuuran);
}

std::array<std::uint8_t, kId3v1Size> TagBytes(const test::Id3v1Tag& tag) {
    const std::string bytes = tag.Build();
    std::array<std::uint8_t, kId3v1Size> out{};
    std::copy(bytes.begin(), bytes.end(), out.begin());
    return out;
}

test::Id3v1Tag SpacePadded(std::string title) {
    test::Id3v1Tag tag;
    tag.title = std::move(title);
    tag.artist = "Band";
    tag.year = "199";
    tag.comment = "Nice";
    tag.track = 5;
    tag.genre = 17;
    tag.padByte = ' ';
    return tag;
}

std::string Text(std::span<const std::uint8_t> bytes) {
    return std::string(bytes.begin(), bytes.end());
}

TEST(Id3v1PageTest, FillTrimsAndSelectsGenre) {
    ScopedCodePage utf8(kUtf8);
    const GenreList genres = Genres();
    Id3v1Page page;
    page.Reset(false);
    page.Fill(TagBytes(SpacePadded("Abc")), genres, false);
    EXPECT_EQ(page.values.title, "Abc");
    EXPECT_EQ(page.values.artist, "Band");
    EXPECT_EQ(page.values.album, "");
    EXPECT_EQ(page.values.year, "199");
    EXPECT_EQ(page.values.comment, "Nice");
    EXPECT_EQ(page.values.track, 5);
    EXPECT_EQ(page.values.genreLine, *genres.FirstLineWithCode(17));
    EXPECT_TRUE(page.hasBox);
    // Nothing typed: nothing to write.
    EXPECT_FALSE(page.CollectId3v1(genres));
}

TEST(Id3v1PageTest, CommentWithoutTrackAndTrackShowsZero) {
    ScopedCodePage utf8(kUtf8);
    test::Id3v1Tag tag;
    tag.rawComment = std::string(30, 'c');
    Id3v1Page page;
    page.values.track = 9;
    page.Reset(false);
    page.Fill(TagBytes(tag), Genres(), false);
    EXPECT_EQ(page.values.comment, std::string(30, 'c'));
    EXPECT_EQ(page.values.track, 0);
    EXPECT_EQ(page.stored().track, 0);
}

TEST(Id3v1PageTest, HoldsKeepValuesAcrossSongs) {
    ScopedCodePage utf8(kUtf8);
    const GenreList genres = Genres();
    Id3v1Page page;
    page.values.title = "Held";
    page.values.artist = "Gone";
    page.values.track = 3;
    page.values.genreLine = 4;
    page.holds.title = true;
    page.holds.genre = true;
    page.Reset(true);  // the automatic-track box holds the track
    EXPECT_EQ(page.values.title, "Held");
    EXPECT_EQ(page.values.artist, "");
    EXPECT_EQ(page.values.track, 3);
    page.Fill(TagBytes(SpacePadded("Other")), genres, true);
    EXPECT_EQ(page.values.title, "Held");
    EXPECT_EQ(page.values.artist, "Band");
    EXPECT_EQ(page.values.track, 3);
    EXPECT_EQ(page.values.genreLine, 4);
    page.ReleaseHolds();
    page.Reset(false);
    EXPECT_EQ(page.values.title, "");
    EXPECT_EQ(page.values.genreLine, -1);
    EXPECT_FALSE(page.hasBox);
}

struct ImageCase {
    const char* name;
    std::string title;
    std::string year;
    std::string comment;
    std::int16_t track;
    int genreLine;
    std::uint8_t kuuran;
    // Expected bytes 3..32 (title), 93..96 (year), 97..126 (comment block) and 127 (genre).
    std::string wantTitle;
    std::string wantYear;
    std::string wantComment;
    std::uint8_t wantGenre;
};

TEST(Id3v1PageTest, ImageBytes) {
    ScopedCodePage utf8(kUtf8);
    const std::string t30(30, 'x');
    const ImageCase cases[] = {
        {"30-byte title, no space", t30, "1999", "", 0, 0, 0, t30, "1999",
         std::string(28, ' ') + '\0' + '\0', 247},
        {"longer title is cut", t30 + "yz", "19991", "", 0, 0, 0, t30, "1999",
         std::string(28, ' ') + '\0' + '\0', 247},
        {"3-byte year gets a space", "a", "199", "", 0, 0, 0, "a" + std::string(29, ' '), "199 ",
         std::string(28, ' ') + '\0' + '\0', 247},
        {"28-byte comment and track 7", "", "", std::string(28, 'c'), 7, 0, 0, std::string(30, ' '),
         "    ", std::string(28, 'c') + '\0' + '\x07', 247},
        {"29-byte comment, no track", "", "", std::string(29, 'c'), 7, 0, 0, std::string(30, ' '),
         "    ", std::string(29, 'c') + ' ', 247},
        {"30-byte comment, no track", "", "", std::string(30, 'c'), 7, 0, 0, std::string(30, ' '),
         "    ", std::string(30, 'c'), 247},
        // 284 counted in 8 bits is 28: the comment would lose two bytes to a track number.
        {"284-byte comment, no track", "", "", std::string(284, 'c'), 7, 0, 0, std::string(30, ' '),
         "    ", std::string(30, 'c'), 247},
        {"track 300 keeps its low byte", "", "", "", 300, 0, 0, std::string(30, ' '), "    ",
         std::string(28, ' ') + '\0' + '\x2C', 247},
        {"empty genre with kuuran", "", "", "", 0, 0, 1, std::string(30, ' '), "    ",
         std::string(28, ' ') + '\0' + '\0', 255},
        {"no selection is line 0", "", "", "", 0, -1, 0, std::string(30, ' '), "    ",
         std::string(28, ' ') + '\0' + '\0', 247},
        {"line 8", "", "", "", 0, 8, 0, std::string(30, ' '), "    ",
         std::string(28, ' ') + '\0' + '\0', 255},
    };
    for (const ImageCase& c : cases) {
        const GenreList genres = Genres(c.kuuran);
        Id3v1Page page;
        page.Reset(false);
        page.values.title = c.title;
        page.values.year = c.year;
        page.values.comment = c.comment;
        page.values.track = c.track;
        page.values.genreLine = c.genreLine;
        ASSERT_TRUE(page.CollectId3v1(genres)) << c.name;  // no tag: always written
        const auto bytes = page.image().Bytes();
        const std::string all(bytes.begin(), bytes.end());
        EXPECT_EQ(all.substr(3, 30), c.wantTitle) << c.name;
        EXPECT_EQ(all.substr(0, 3) + all.substr(33, 60), "TAG" + std::string(60, ' ')) << c.name;
        EXPECT_EQ(all.substr(93, 4), c.wantYear) << c.name;
        EXPECT_EQ(all.substr(97, 30), c.wantComment) << c.name;
        EXPECT_EQ(static_cast<std::uint8_t>(all[127]), c.wantGenre) << c.name;
    }
}

TEST(Id3v1PageTest, ChangesAreDetectedFieldByField) {
    ScopedCodePage utf8(kUtf8);
    const GenreList genres = Genres();
    const auto loaded = [&genres] {
        Id3v1Page page;
        page.Reset(false);
        page.Fill(TagBytes(SpacePadded("Abc")), genres, false);
        return page;
    };
    {
        Id3v1Page page = loaded();
        page.values.title = "Abd";
        EXPECT_TRUE(page.CollectId3v1(genres));
        EXPECT_EQ(Text(page.image().title), "Abd" + std::string(27, ' '));
        EXPECT_EQ(Text(page.image().artist), "Band" + std::string(26, ' '));
    }
    {
        Id3v1Page page = loaded();
        page.values.track = 6;
        EXPECT_TRUE(page.CollectId3v1(genres));
        EXPECT_EQ(page.image().commentBlock[29], 6);
    }
    {
        Id3v1Page page = loaded();
        page.values.genreLine = 0;
        EXPECT_TRUE(page.CollectId3v1(genres));
        EXPECT_EQ(page.image().commentBlock[30], 247);
    }
}

// A genre byte the box cannot show (80) is written back as it was unless a genre is picked.
TEST(Id3v1PageTest, UnlistedGenreIsKept) {
    ScopedCodePage utf8(kUtf8);
    const GenreList genres = Genres();
    test::Id3v1Tag tag = SpacePadded("Abc");
    tag.genre = 80;
    Id3v1Page page;
    page.Reset(false);
    page.Fill(TagBytes(tag), genres, false);
    EXPECT_TRUE(page.genreUnlisted());
    EXPECT_EQ(page.values.genreLine, -1);
    EXPECT_FALSE(page.CollectId3v1(genres));
    page.values.title = "New";
    ASSERT_TRUE(page.CollectId3v1(genres));
    EXPECT_EQ(page.image().commentBlock[30], 80);
    page.values.genreLine = 0;  // the user picks the empty choice
    ASSERT_TRUE(page.CollectId3v1(genres));
    EXPECT_EQ(page.image().commentBlock[30], 247);

    // Without a genre list nothing can be picked: the byte stays too.
    Id3v1Page noList;
    noList.Reset(false);
    noList.Fill(TagBytes(tag), GenreList(), false);
    EXPECT_FALSE(noList.CollectId3v1(GenreList()));
}

TEST(Id3v1PageTest, ParseTrack) {
    EXPECT_EQ(Id3v1Page::ParseTrack("7"), std::optional<std::int16_t>(7));
    EXPECT_EQ(Id3v1Page::ParseTrack(" -3 "), std::optional<std::int16_t>(-3));
    EXPECT_EQ(Id3v1Page::ParseTrack("32767"), std::optional<std::int16_t>(32767));
    for (const char* bad : {"", "x", "1.5", "32768", "7a", "--1"}) {
        EXPECT_EQ(Id3v1Page::ParseTrack(bad), std::nullopt) << bad;
    }
}

}  // namespace
}  // namespace sorrelbox

namespace sorrelbox {
namespace {

TEST(Id3v1PageTest, FieldExchangeRefusesANonIntegerTrack) {
    ScopedCodePage utf8(kUtf8);
    Id3v1Page page;
    page.values.title = "Before";
    Id3v1Values typed;
    typed.title = "After";
    typed.genreLine = 3;
    ScriptedPrompts prompts;
    EXPECT_FALSE(page.ReadFields(typed, "12a", prompts));
    EXPECT_EQ(page.values.title, "Before");
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].text, "Please enter an integer.");
    EXPECT_TRUE(page.ReadFields(typed, "12", prompts));
    EXPECT_EQ(page.values.title, "After");
    EXPECT_EQ(page.values.genreLine, 3);
    EXPECT_EQ(page.values.track, 12);
}

}  // namespace
}  // namespace sorrelbox
