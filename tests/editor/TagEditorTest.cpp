#include <gtest/gtest.h>

#include <string>

#include "editor/TagEditor.h"
#include "platform/CodePage.h"
#include "platform/ScriptedPrompts.h"
#include "support/TempDir.h"

// The editor's buttons that move text between fields, add artists and release holds.

namespace sorrelbox {
namespace {

const CodePage kUtf8(CodePage::Kind::Utf8);

TagEditor Filled() {
    TagEditor editor(EditorMode::Single, "/m/song.mp3");
    editor.v1.values.title = "T1";
    editor.v1.values.year = "1999";
    editor.v1.values.track = 7;
    editor.v2.values[V2Field::Title] = "T2";
    editor.v2.values[V2Field::Track] = "08";
    editor.v2.values[V2Field::EncodedBy] = "Enc";
    editor.fileNameText = "name";
    return editor;
}

TEST(TagEditorTest, AddAppendsTheFocusedFieldOfTheShownPage) {
    struct Case {
        std::uint8_t focusCode;
        std::uint8_t page;
        bool acts;
        const char* want;
    };
    const Case cases[] = {
        {0, 1, false, "name"},    {1, 1, true, "nameT1"},  {4, 1, true, "name1999"},
        {6, 1, true, "name7"},    {10, 2, true, "nameT2"}, {15, 2, true, "name08"},
        {20, 2, true, "nameEnc"}, {1, 2, true, "name"},  // page not shown: focus moves only
        {10, 1, true, "name"},
    };
    for (const Case& c : cases) {
        TagEditor editor = Filled();
        editor.focusCode = c.focusCode;
        editor.currentPage = c.page;
        EXPECT_EQ(editor.AppendFocusedFieldToFileName(), c.acts) << int{c.focusCode};
        EXPECT_EQ(editor.fileNameText, c.want) << int{c.focusCode};
        EXPECT_EQ(editor.focusCode, 0);
    }
}

TEST(TagEditorTest, FileNameInputGoesIntoTextFieldsOnly) {
    struct Case {
        std::uint8_t focusCode;
        std::uint8_t page;
        bool acts;
    };
    const Case cases[] = {
        {1, 1, true},  {5, 1, true},   {4, 1, false},  {6, 1, false}, {1, 2, false},
        {10, 2, true}, {13, 2, false}, {15, 2, false}, {20, 2, true}, {0, 1, false},
    };
    for (const Case& c : cases) {
        TagEditor editor = Filled();
        editor.focusCode = c.focusCode;
        editor.currentPage = c.page;
        EXPECT_EQ(editor.AppendFileNameToFocusedField(), c.acts) << int{c.focusCode};
    }
    TagEditor editor = Filled();
    editor.focusCode = 20;
    editor.currentPage = 2;
    editor.AppendFileNameToFocusedField();
    EXPECT_EQ(editor.v2.values[V2Field::EncodedBy], "Encname");
    editor.focusCode = 1;
    editor.currentPage = 1;
    editor.AppendFileNameToFocusedField();
    EXPECT_EQ(editor.v1.values.title, "T1name");
}

TEST(TagEditorTest, AddArtistTakesTheShownPage) {
    ScopedCodePage utf8(kUtf8);
    test::TempDir dir;
    const std::string artistPath = dir.File("artist.txt");
    TagEditor editor = Filled();
    editor.v1.values.artist = "One";
    editor.v2.values[V2Field::Artist] = "Two";
    ScriptedPrompts prompts;
    editor.currentPage = 2;
    EXPECT_EQ(editor.AddArtist(artistPath, 1, prompts), ArtistList::AddResult::Added);
    editor.currentPage = 1;
    EXPECT_EQ(editor.AddArtist(artistPath, 1, prompts), ArtistList::AddResult::Added);
    editor.v1.values.artist.clear();
    EXPECT_EQ(editor.AddArtist(artistPath, 1, prompts), ArtistList::AddResult::Empty);
    EXPECT_EQ(test::ReadAll(artistPath), "One\r\nTwo\r\n");
    EXPECT_TRUE(prompts.messages.empty());
}

TEST(TagEditorTest, ReleaseAllHoldsKeepsTheOtherBoxes) {
    TagEditor editor = Filled();
    editor.v1.holds.title = true;
    editor.v2.holds[V2Field::Url] = true;
    editor.autoTrack = true;
    editor.keepName = true;
    editor.focusCode = 3;
    editor.ReleaseAllHolds();
    EXPECT_FALSE(editor.v1.holds.title);
    EXPECT_FALSE(editor.v2.holds[V2Field::Url]);
    EXPECT_TRUE(editor.autoTrack);
    EXPECT_TRUE(editor.keepName);
    EXPECT_EQ(editor.focusCode, 0);
    editor.focusCode = 3;
    editor.ShowPage(1);  // choosing a tab forgets the focus too
    EXPECT_EQ(editor.currentPage, 2);
    EXPECT_EQ(editor.focusCode, 0);
}

TEST(TagEditorTest, GenreBoxesNeedTheList) {
    TagEditor editor = Filled();
    editor.v1.hasBox = true;
    editor.v2.hasBox = true;
    EXPECT_FALSE(editor.V1GenreEnabled());  // no genre.txt loaded
    EXPECT_FALSE(editor.V2FieldEnabled(V2Field::Genre));
    EXPECT_TRUE(editor.V2FieldEnabled(V2Field::Title));
    editor.genres = GenreList::FromBytes("\nA\n", 0);
    EXPECT_TRUE(editor.V1GenreEnabled());
    EXPECT_TRUE(editor.V2FieldEnabled(V2Field::Genre));
}

}  // namespace
}  // namespace sorrelbox
