#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <filesystem>

#include "analysis/SongTable.h"
#include "support/Messages.h"
#include "support/TempDir.h"
#include "tagwrite/ArtistList.h"
#include "tagwrite/FileNameTemplate.h"
#include "tagwrite/GenreList.h"
#include "tagwrite/ListOrder.h"
#include "tagwrite/RenameSong.h"
#include "tagwrite/TagConversion.h"

// The genre and artist lists in the boxes' fixed order, copying between the tag pages, file
// name templates and renaming.
namespace sorrelbox {
namespace {

using Lines = std::vector<std::string>;
const CodePage kUtf8(CodePage::Kind::Utf8), kCp932(CodePage::Kind::Cp932);
Lines Split(std::string_view text) {  // "a|b|c"
    Lines out(1);
    for (char c : text) c == '|' ? out.emplace_back() : (out.back().push_back(c), out.back());
    return out;
}
const std::string kShipped = test::ReadAll(std::string(SORRELBOX_RESOURCE_DIR) + "/genre.txt");

// Each a sorts strictly before b, in both code pages: case and width folded, ties by code
// point, ASCII before kana, voiced kana with their plain forms, the long mark as the vowel
// before it, small kana as large, hiragana with katakana, kanji after kana.
TEST(ListOrderTest, FixedOrderAndEquality) {
    const Lines order = Split(
        "|a|abc|ABD|ABC|abc|Ｂ|c|R&B|アシッド|カルト|ガングスタ|ガングスタ|カントリー|カ|ガ|"
        "オールディーズ|"
        "オルタナティブ|ジャングル|ショーチューン|ソウル|その他|ロックンロール|歌謡曲|歌謡曲|演歌");
    for (const CodePage& cp : {kUtf8, kCp932}) {
        for (std::size_t i = 0; i < std::size(order); i += 2) {
            const std::string a = cp.FromUtf8(order[i]), b = cp.FromUtf8(order[i + 1]);
            EXPECT_TRUE(ListOrderLess(a, b, cp) && !ListOrderLess(b, a, cp) &&
                        !ListOrderLess(a, a, cp))
                << order[i];
        }
    }
    // Equal apart from case and width; two invalid byte strings are still different.
    const Lines equal = Split("The Band|the BAND|ＡＢＣ|ａｂｃ|カ|ガ|Band|Bands|\xFF|\xFE");
    for (std::size_t i = 0; i < equal.size(); i += 2) {
        EXPECT_EQ(ListTextEqualIgnoringCase(equal[i], equal[i + 1], kUtf8), i < 4) << equal[i];
    }
    EXPECT_EQ(SplitListLines("a\r\nb\r\n\r\nc\rd\n\ne"), (Lines{"a", "b", "", "c\rd", "", "e"}));
    EXPECT_EQ(SplitListLines(""), Lines{});
}

// The shipped genre.txt is in the boxes' order under any locale; codes follow box positions
// whatever the file's order, and lines past the table are left out.
TEST(GenreListTest, ShippedFileAndCodes) {
    for (const CodePage& cp : {kUtf8, kCp932}) {
        ScopedCodePage scoped(cp);
        const Lines lines = SplitListLines(cp.FromUtf8(kShipped));
        ASSERT_EQ(lines.size(), kGenreCount);
        for (std::size_t i = 1; i < lines.size(); ++i)
            EXPECT_TRUE(ListOrderLess(lines[i - 1], lines[i])) << i;
        for (const char* locale : {"C", "ja_JP.UTF-8", "en_US.UTF-8", "de_DE.UTF-8"}) {
            std::setlocale(LC_ALL, locale);  // may fail; the order must not care either way
            EXPECT_EQ(GenreList::FromBytes(cp.FromUtf8(kShipped), 0).names(), lines) << locale;
        }
        std::setlocale(LC_ALL, "C");
    }
    ScopedCodePage utf8(kUtf8);
    test::TempDir dir;
    Lines reversed = SplitListLines(kShipped);
    std::string shuffled;
    for (auto line = reversed.rbegin(); line != reversed.rend(); ++line) shuffled += *line + "\r\n";
    const GenreList list = GenreList::Load(dir.Write("genre.txt", shuffled + "Extra\nMore\n"), 0);
    EXPECT_EQ(list.names(), reversed);
    const Lines names = Split("|J-POP|R&B|ブルース|ロック|ジャズ|ハードロック|アニメソング|童謡");
    const int codes[] = {247, 146, 14, 0, 17, 8, 79, 255, 253};
    for (int i = 0; i < 9; ++i) {
        const auto at = std::find(reversed.begin(), reversed.end(), names[i]) - reversed.begin();
        EXPECT_EQ(list.CodeAt(int(at)), codes[i]) << names[i];
    }
    EXPECT_EQ(list.CodeAt(-1) + list.CodeAt(int(kGenreCount)), 2 * 247);  // no selection: line 0
    EXPECT_EQ(list.FirstLineWithCode(17), std::optional<int>(83));
    EXPECT_EQ(list.FirstLineWithCode(80), std::nullopt);
    const GenreList kuuran = GenreList::FromBytes(kShipped, 1);  // the empty choice is 255
    EXPECT_EQ(kuuran.FirstLineWithCode(255), std::optional<int>(0));
    EXPECT_EQ(kuuran.FirstLineWithCode(247), std::nullopt);
    const GenreList missing = GenreList::Load(dir.File("none.txt"), 0);
    EXPECT_TRUE(missing.genreListMissing() && missing.names().empty() && !list.genreListMissing());
    EXPECT_EQ(GenreList::FromBytes("\nB\nA\n", 0).names(), (Lines{"", "A", "B"}));
    EXPECT_EQ(GenreList::FromBytes("\nB\nA\n", 0).FirstLineWithCode(14), std::nullopt);
}

// Entries sorted, a case-blind duplicate refused, the file rewritten whole; a failed write
// keeps the new entry and the file; a list too large to read whole is never replaced.
TEST(ArtistListTest, AddAndFilesNeverLost) {
    ScopedCodePage utf8(kUtf8);
    test::TempDir dir;
    EXPECT_EQ(ArtistList::FromBytes("Zed\r\nabba\r\n\r\nBand\r\n").entries(),
              (Lines{"", "abba", "Band", "Zed"}));
    const std::string path = dir.Write("artist.txt", "Zed\r\nabba\r\n"),
                      fresh = dir.File("new.txt");
    ArtistList list = ArtistList::Load(path);
    ScriptedPrompts prompts, quiet;
    std::size_t position = 99;
    EXPECT_EQ(list.Add("Band", path, 0, prompts, &position), ArtistList::AddResult::Added);
    EXPECT_EQ(position, 1u);
    EXPECT_EQ(list.Add("ZED", path, 0, prompts), ArtistList::AddResult::AlreadyListed);
    EXPECT_EQ(list.Add("", path, 0, prompts), ArtistList::AddResult::Empty);
    EXPECT_EQ(test::ReadAll(path), "abba\r\nBand\r\nZed\r\n");
    EXPECT_EQ(ArtistList::Load(fresh).Add("ア", fresh, 1, quiet), ArtistList::AddResult::Added);
    EXPECT_EQ(test::ReadAll(fresh), "ア\r\n");
    std::filesystem::create_directory(dir.path() / "folder");
    EXPECT_EQ(list.Add("Cat", dir.File("folder"), 0, prompts), ArtistList::AddResult::WriteFailed);
    EXPECT_EQ(list.entries(), (Lines{"abba", "Band", "Cat", "Zed"}));
    const std::string large = dir.Write("large.txt", "Zed\r\n");
    std::filesystem::resize_file(large, 17u << 20);
    EXPECT_EQ(ArtistList::Load(large).Add("Band", large, 0, prompts),
              ArtistList::AddResult::Unreadable);
    EXPECT_EQ(std::filesystem::file_size(large) == 17u << 20 &&
                  test::ReadAll(large).starts_with("Zed\r\n"),
              true);
    EXPECT_TRUE(quiet.messages.empty() && std::filesystem::is_directory(dir.path() / "folder"));
    const auto failed = test::Refusal("リストを更新できませんでした");
    EXPECT_EQ(prompts.messages,
              (std::vector{test::Done("リストに追加しました"),
                           test::Refusal("すでにリストにあります"), failed, failed}));
}

// ID3v2 to ID3v1: cut to the widths, never splitting a character; held fields stay; the
// track from its first three bytes (the counter with automatic tracks).
TEST(TagConversionTest, CopiesBetweenThePages) {
    const std::string a = "\xE3\x81\x82", c35(35, 'c'), c28(28, 'c');  // あ: 3 bytes
    const std::string titles[] = {
        std::string(40, 't'), std::string(29, 't') + a + "x", "t", "t", "t", "t"};
    const std::string comments[] = {c35, std::string(27, 'c') + a, c35, c35, "", ""};
    const std::string years[] = {"19990", "19" + a, "1999", "", "", ""},
                      tracks[] = {"7/12", "7", "300", "1234", "x5", ""};
    const Id3v1Values want[] = {
        {std::string(30, 't'), "Band", "A", "1999", c28, 7, 5},
        {std::string(29, 't'), "Band", "A", "19", std::string(27, 'c'), 7, 5},
        {"t", "Old", "A", "1999", c28, 44, 5},
        {"t", "Band", "A", "", c28, 123, 5},
        {"t", "Band", "A", "", "", 0, 5},
        {"t", "Band", "A", "", "", 2, 5}};
    for (int i = 0; i < 6; ++i) {
        TagEditor editor(EditorMode::List, "/m/song.mp3");
        Id3v2Values& v2 = editor.v2.values;
        v2[V2Field::Title] = titles[i], v2[V2Field::Comment] = comments[i],
        v2[V2Field::Year] = years[i];
        v2[V2Field::Track] = tracks[i], v2[V2Field::Artist] = "Band", v2[V2Field::Album] = "A",
        v2.genreLine = 5;
        editor.v1.values.artist = "Old", editor.v1.holds.artist = i == 2, editor.autoTrack = i == 5;
        editor.trackCounter = 258, editor.currentPage = 2;
        CopyId3v2ToId3v1(editor, kUtf8);
        EXPECT_EQ(editor.v1.values, want[i]) << i;
        EXPECT_TRUE(editor.v1.hasBox && editor.currentPage == 1);
    }
    // ID3v1 to ID3v2: whole values; held fields and frames not taken over (locked) stay.
    TagEditor editor(EditorMode::List, "/m/song.mp3");
    editor.v1.values = {"T", "A", "B", "2001", "C", 0, 9};
    editor.v2.values[V2Field::Composer] = "Comp", editor.v2.values[V2Field::Track] = "3";
    editor.v2.holds[V2Field::Album] = true;
    CopyId3v1ToId3v2(editor);
    const Id3v2Values& v2 = editor.v2.values;
    EXPECT_EQ(v2[V2Field::Title] + v2[V2Field::Album] + v2[V2Field::Comment] + v2[V2Field::Track] +
                  v2[V2Field::Composer],
              "TCComp");
    EXPECT_TRUE(v2.genreLine == 9 && editor.v2.hasBox && editor.currentPage == 2);
    editor.v1.values = {"T", "A", "B", "2001", "New", 4, 3};
    editor.v2.record.lockedFlags = FieldBit(V2Field::Comment) | FieldBit(V2Field::Genre);
    CopyId3v1ToId3v2(editor);
    EXPECT_EQ(v2[V2Field::Comment] + v2[V2Field::Track] + std::to_string(v2.genreLine), "C49");
    editor.autoTrack = true, editor.trackCounter = 12;
    CopyId3v1ToId3v2(editor);
    EXPECT_EQ(v2[V2Field::Track], "12");
}

// Checked: the shown page's track starts the counter; unchecked: what the file held.
TEST(TagConversionTest, AutomaticTrackStartsFromTheShownPage) {
    const int pages[] = {1, 1, 2, 2, 1}, v1Tracks[] = {0, 4, 4, 4, -3},
              counters[] = {1, 4, 12, 1, 1};
    const char* v2Tracks[] = {"", "9", "12/15", "", ""};
    for (int i = 0; i < 5; ++i) {
        TagEditor editor(EditorMode::List, "/m/song.mp3");
        editor.currentPage = std::uint8_t(pages[i]),
        editor.v1.values.track = std::int16_t(v1Tracks[i]);
        editor.v2.values[V2Field::Track] = v2Tracks[i];
        editor.v2.record.oldValue[FieldIndex(V2Field::Track)] = "8/9";
        SetAutoTrack(editor, true);
        EXPECT_TRUE(editor.autoTrack && editor.trackCounter == counters[i] &&
                    editor.v1.values.track == counters[i])
            << i;
        EXPECT_EQ(editor.v2.values[V2Field::Track], std::to_string(counters[i]));
        SetAutoTrack(editor, false);
        EXPECT_TRUE(!editor.autoTrack && editor.v1.values.track == 0 &&
                    editor.v2.values[V2Field::Track] == "8/9");
    }
}

TEST(FileNameTemplateTest, Expansion) {
    const Id3v1Values v1 = {"Intro", "Band1", "Alb1", "1999", "c1", 3, -1};
    const Id3v2Values v2 = {
        {{"Song", "Band", "Alb2", "2001", "", "c2", "12", "Comp", "Orig", "Copy", "url", "Enc"}},
        -1};
    // Each token once; the hyphen is the width character (width 0); at the end only the
    // four characters are replaced; width 12 takes one digit.
    const Lines cases = Split(
        "%1tr2 %1ti|03 Intro|%2tr3-%2ar|012-Band|%1tr-%1ti|3Intro|%2ti %2ti|Song %2ti|"
        "%1ar%1al%1ye%1cm|Band1Alb11999c1|%2al%2ye%2cm%2sa%2or%2co%2ur%2en|"
        "Alb22001c2CompOrigCopyurlEnc|"
        "x%1tr|x3|%1tr12|0000000000032|%2tr1|12|||%1TI|%1TI");
    for (int i = 0; i < 22; i += 2)
        EXPECT_EQ(ExpandFileNameTemplate(cases[i], v1, v2, kUtf8), cases[i + 1]) << cases[i];
    // A title holding a later token has it replaced; an earlier one does not.
    Id3v1Values tricky = v1;
    tricky.title = "%1ar and %1ti";
    EXPECT_EQ(ExpandFileNameTemplate("%1ti", tricky, v2, kUtf8), "Band1 and %1ti");
    // Tokens only on character boundaries (0x83 0x25 is one character); a double-byte width
    // character is replaced whole.
    EXPECT_EQ(ExpandFileNameTemplate("\x83%1ti\x83\x40%1tr\x82\xA0x", v1, {}, kCp932),
              "\x83%1ti\x83\x40"
              "3x");
}

TEST(RenameSongTest, ForbiddenCharactersAndRename) {
    for (const char c : std::string("\\/:*?\"<>|"))
        EXPECT_EQ(FindForbiddenNameChar(std::string("ab") + c, kCp932), 2u) << c;
    // 0x95 0x5C and 0x83 0x7C are single Shift-JIS characters, not a backslash or a bar.
    EXPECT_EQ(FindForbiddenNameChar("\x95\x5C\x83\x7C", kCp932), std::string::npos);
    EXPECT_EQ(FindForbiddenNameChar("\x95\x5C", kUtf8), 1u);
    ScopedCodePage utf8(kUtf8);
    test::TempDir dir;
    SongTable table(PathStyle::Posix);
    std::string song = dir.Write("song.mp3", "bytes"), renamed = dir.File("新しい.mp3");
    table.AppendEntry(dir.Write("first.mp3", "1"), "first"), table.AppendEntry(song, "old");
    table.AppendEntry(dir.Write("last.mp3", "3"), "last");
    table.info().seconds = 6000 + 125;
    ScriptedPrompts prompts;
    EXPECT_EQ(RenameSongFile(song, "新しい", renamed, table, 1, 1, prompts),
              RenameOutcome::Renamed);
    EXPECT_EQ(song + test::ReadAll(renamed) + table.songPaths()[1], renamed + "bytes" + renamed);
    EXPECT_EQ(table.entries(), (Lines{"first", "102：05  新しい.mp3", "last"}));
    EXPECT_EQ(SongListEntry(65, "a"), "  1：05  a");
    EXPECT_TRUE(prompts.messages.empty());  // kanryoumes
}

}  // namespace
}  // namespace sorrelbox
