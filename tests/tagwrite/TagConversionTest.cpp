#include <gtest/gtest.h>

#include <string>

#include "platform/CodePage.h"
#include "tagwrite/TagConversion.h"

// Copying between the two pages and the automatic-track box, on the editor's values alone.

namespace sorrelbox {
namespace {

const CodePage kUtf8(CodePage::Kind::Utf8);
const std::string kA = "\xE3\x81\x82";  // "あ", 3 bytes in UTF-8

TagEditor Editor() {
    TagEditor editor(EditorMode::List, "/m/song.mp3");
    Id3v2Values& v2 = editor.v2.values;
    v2[V2Field::Title] = std::string(40, 't');
    v2[V2Field::Artist] = "Band";
    v2[V2Field::Album] = "Album";
    v2[V2Field::Year] = "19990";
    v2[V2Field::Comment] = std::string(35, 'c');
    v2[V2Field::Track] = "7/12";
    v2.genreLine = 5;
    editor.v1.values.artist = "Old artist";
    return editor;
}

TEST(TagConversionTest, LeadingTrackNumberReadsThreeBytesAtMost) {
    const std::pair<const char*, int> cases[] = {
        {"", 0}, {"7/12", 7}, {"12/15", 12}, {"1234", 123}, {"x5", 0}, {"09", 9}, {"300", 300},
    };
    for (const auto& [text, want] : cases) EXPECT_EQ(LeadingTrackNumber(text), want) << text;
}

TEST(TagConversionTest, Id3v2ToId3v1CutsToTheWidths) {
    struct Case {
        const char* track;
        bool heldArtist;
        std::int16_t wantTrack;
        std::size_t wantComment;
    };
    const Case cases[] = {{"7/12", false, 7, 28}, {"", false, 0, 30}, {"300", true, 44, 28}};
    for (const Case& c : cases) {
        TagEditor editor = Editor();
        editor.currentPage = 2;
        editor.v2.values[V2Field::Track] = c.track;
        editor.v1.holds.artist = c.heldArtist;
        CopyId3v2ToId3v1(editor, kUtf8);
        const Id3v1Values& v1 = editor.v1.values;
        EXPECT_EQ(v1.title, std::string(30, 't'));
        EXPECT_EQ(v1.artist, c.heldArtist ? "Old artist" : "Band");
        EXPECT_EQ(v1.album, "Album");
        EXPECT_EQ(v1.year, "1999");
        EXPECT_EQ(v1.genreLine, 5);
        EXPECT_EQ(v1.track, c.wantTrack) << c.track;
        EXPECT_EQ(v1.comment, std::string(c.wantComment, 'c')) << c.track;
        EXPECT_TRUE(editor.v1.hasBox);
        EXPECT_EQ(editor.currentPage, 1);
    }
}

TEST(TagConversionTest, Id3v2ToId3v1NeverSplitsACharacter) {
    // "あ" takes bytes 29-31 of the title and 27-29 of the comment.
    TagEditor editor = Editor();
    editor.v2.values[V2Field::Title] = std::string(29, 't') + kA + "tail";
    editor.v2.values[V2Field::Comment] = std::string(27, 'c') + kA;
    editor.v2.values[V2Field::Year] = "19" + kA;
    CopyId3v2ToId3v1(editor, kUtf8);
    const Id3v1Values& v1 = editor.v1.values;
    EXPECT_EQ(v1.title, std::string(29, 't'));
    EXPECT_EQ(v1.comment, std::string(27, 'c'));
    EXPECT_EQ(v1.year, "19");
}

TEST(TagConversionTest, Id3v2ToId3v1TakesTheCounterWithAutomaticTracks) {
    TagEditor editor = Editor();
    editor.autoTrack = true;
    editor.trackCounter = 258;
    CopyId3v2ToId3v1(editor, kUtf8);
    EXPECT_EQ(editor.v1.values.track, 2);
}

TEST(TagConversionTest, Id3v1ToId3v2CopiesWholeAndKeepsLockedFrames) {
    TagEditor editor(EditorMode::List, "/m/song.mp3");
    Id3v1Values& v1 = editor.v1.values;
    v1 = {"Title", "Artist", "Album", "2001", "Comment", 0, 9};
    editor.v2.values[V2Field::Composer] = "Composer";
    editor.v2.values[V2Field::Track] = "3";
    editor.v2.holds[V2Field::Album] = true;
    editor.v2.values[V2Field::Album] = "Held";
    CopyId3v1ToId3v2(editor);
    const Id3v2Values& v2 = editor.v2.values;
    EXPECT_EQ(v2[V2Field::Title], "Title");
    EXPECT_EQ(v2[V2Field::Album], "Held");
    EXPECT_EQ(v2[V2Field::Comment], "Comment");
    EXPECT_EQ(v2.genreLine, 9);
    EXPECT_EQ(v2[V2Field::Track], "");  // track 0 is no track
    EXPECT_EQ(v2[V2Field::Composer], "Composer");
    EXPECT_TRUE(editor.v2.hasBox);
    EXPECT_EQ(editor.currentPage, 2);

    // A comment and genre frame that was not taken over: both stay as they are.
    TagEditor locked(EditorMode::List, "/m/song.mp3");
    locked.v1.values = {"T", "A", "B", "2001", "New comment", 4, 9};
    locked.v2.record.lockedFlags = FieldBit(V2Field::Comment) | FieldBit(V2Field::Genre);
    CopyId3v1ToId3v2(locked);
    EXPECT_EQ(locked.v2.values[V2Field::Comment], "");
    EXPECT_EQ(locked.v2.values.genreLine, -1);
    EXPECT_EQ(locked.v2.values[V2Field::Track], "4");

    locked.autoTrack = true;
    locked.trackCounter = 12;
    CopyId3v1ToId3v2(locked);
    EXPECT_EQ(locked.v2.values[V2Field::Track], "12");
}

TEST(TagConversionTest, AutomaticTrackStartsFromTheShownPage) {
    struct Case {
        std::uint8_t page;
        std::int16_t v1Track;
        const char* v2Track;
        std::uint16_t wantCounter;
    };
    const Case cases[] = {
        {1, 0, "", 1}, {1, 4, "9", 4}, {2, 4, "12/15", 12}, {2, 4, "", 1}, {1, -3, "", 1},
    };
    for (const Case& c : cases) {
        TagEditor editor(EditorMode::List, "/m/song.mp3");
        editor.currentPage = c.page;
        editor.v1.values.track = c.v1Track;
        editor.v2.values[V2Field::Track] = c.v2Track;
        editor.v2.record.oldValue[FieldIndex(V2Field::Track)] = "8/9";
        SetAutoTrack(editor, true);
        EXPECT_TRUE(editor.autoTrack);
        EXPECT_EQ(editor.trackCounter, c.wantCounter) << c.v2Track;
        EXPECT_EQ(editor.v1.values.track, c.wantCounter);
        EXPECT_EQ(editor.v2.values[V2Field::Track], std::to_string(c.wantCounter));

        // Unchecked: what the file held (no ID3v1 tag was read here, so 0).
        SetAutoTrack(editor, false);
        EXPECT_FALSE(editor.autoTrack);
        EXPECT_EQ(editor.v1.values.track, 0);
        EXPECT_EQ(editor.v2.values[V2Field::Track], "8/9");
    }
}

}  // namespace
}  // namespace sorrelbox
