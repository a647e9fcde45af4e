#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/CodePage.h"
#include "platform/ScriptedPrompts.h"
#include "support/Messages.h"
#include "support/TempDir.h"
#include "tagwrite/ArtistList.h"
#include "tagwrite/GenreList.h"
#include "tagwrite/ListOrder.h"

// The genre and artist lists: the fixed box order, the genre codes by position, the shipped
// genre.txt, loading and the add-artist rewrite.

namespace sorrelbox {
namespace {

using Message = ScriptedPrompts::Message;

const CodePage kUtf8(CodePage::Kind::Utf8);
const CodePage kCp932(CodePage::Kind::Cp932);

std::string ShippedGenreFile() {
    return test::ReadAll(std::string(SORRELBOX_RESOURCE_DIR) + "/genre.txt");
}

// The shipped file in the given code page (it is kept in UTF-8).
std::string ShippedGenreFileIn(const CodePage& cp) {
    return cp.FromUtf8(ShippedGenreFile());
}

TEST(ListOrderTest, FixedOrderCases) {
    struct Case {
        const char* a;
        const char* b;
    };
    // Each a sorts strictly before b, in both code pages and whatever the locale says.
    const Case cases[] = {
        {"", "a"},
        {"abc", "ABD"},                        // letter case is folded
        {"ABC", "abc"},                        // ties fall back to the code points
        {"Ｂ", "c"},                           // full-width letters fold too
        {"R&B", "アシッド"},                   // ASCII before kana
        {"カルト", "ガングスタ"},              // voiced kana sort with their plain forms...
        {"ガングスタ", "カントリー"},          // ...and by the following characters
        {"カ", "ガ"},                          // then the plain form first
        {"オールディーズ", "オルタナティブ"},  // the long mark reads as the vowel before it
        {"ジャングル", "ショーチューン"},      // small kana read as large
        {"ソウル", "その他"},                  // hiragana sorts with katakana
        {"ロックンロール", "歌謡曲"},          // kanji after kana
        {"歌謡曲", "演歌"},
    };
    for (const CodePage& cp : {kUtf8, kCp932}) {
        for (const Case& c : cases) {
            const std::string a = cp.FromUtf8(c.a);
            const std::string b = cp.FromUtf8(c.b);
            EXPECT_TRUE(ListOrderLess(a, b, cp)) << c.a << " < " << c.b << " in " << cp.name();
            EXPECT_FALSE(ListOrderLess(b, a, cp)) << c.b << " !< " << c.a;
            EXPECT_FALSE(ListOrderLess(a, a, cp)) << c.a;
        }
    }
}

TEST(ListOrderTest, IgnoringCaseEquality) {
    EXPECT_TRUE(ListTextEqualIgnoringCase("The Band", "the BAND", kUtf8));
    EXPECT_TRUE(ListTextEqualIgnoringCase("ＡＢＣ", "ａｂｃ", kUtf8));
    EXPECT_FALSE(ListTextEqualIgnoringCase("カ", "ガ", kUtf8));
    EXPECT_FALSE(ListTextEqualIgnoringCase("Band", "Bands", kUtf8));
    // Two different invalid byte strings both convert to U+FFFD; they are still different.
    EXPECT_FALSE(ListTextEqualIgnoringCase("\xFF", "\xFE", kUtf8));
}

TEST(ListOrderTest, SplitListLines) {
    using Lines = std::vector<std::string>;
    EXPECT_EQ(SplitListLines(""), Lines{});
    EXPECT_EQ(SplitListLines("a\r\nb\r\n"), (Lines{"a", "b"}));
    EXPECT_EQ(SplitListLines("a\n\nb"), (Lines{"a", "", "b"}));
    EXPECT_EQ(SplitListLines("\r\nx"), (Lines{"", "x"}));
    EXPECT_EQ(SplitListLines("a\rb\n"), (Lines{"a\rb"}));
}

// The shipped genre.txt is already in the boxes' order, so its line i has code i of the
// table, in either code page and under any locale.
TEST(GenreListTest, ShippedFileIsInBoxOrder) {
    const char* locales[] = {"C", "ja_JP.UTF-8", "en_US.UTF-8", "de_DE.UTF-8"};
    for (const CodePage& cp : {kUtf8, kCp932}) {
        ScopedCodePage scoped(cp);
        const std::string bytes = ShippedGenreFileIn(cp);
        const std::vector<std::string> lines = SplitListLines(bytes);
        ASSERT_EQ(lines.size(), kGenreCount);
        EXPECT_EQ(lines[0], "");
        for (std::size_t i = 1; i < lines.size(); ++i) {
            EXPECT_TRUE(ListOrderLess(lines[i - 1], lines[i]))
                << "line " << i << " in " << cp.name();
        }
        for (const char* locale : locales) {
            std::setlocale(LC_ALL, locale);  // may fail; the order must not care either way
            const GenreList list = GenreList::FromBytes(bytes, 0);
            EXPECT_EQ(list.names(), lines) << locale;
        }
        std::setlocale(LC_ALL, "C");
    }
}

TEST(GenreListTest, CodesFollowBoxPosition) {
    ScopedCodePage utf8(kUtf8);
    const GenreList list = GenreList::FromBytes(ShippedGenreFile(), 0);
    const auto codeOf = [&list](std::string_view name) -> int {
        const auto& names = list.names();
        const auto it = std::find(names.begin(), names.end(), name);
        if (it == names.end()) return -1;
        return list.CodeAt(static_cast<int>(it - names.begin()));
    };
    EXPECT_EQ(codeOf(""), 247);
    EXPECT_EQ(codeOf("J-POP"), 146);
    EXPECT_EQ(codeOf("R&B"), 14);
    EXPECT_EQ(codeOf("ブルース"), 0);
    EXPECT_EQ(codeOf("ロック"), 17);
    EXPECT_EQ(codeOf("ジャズ"), 8);
    EXPECT_EQ(codeOf("ハードロック"), 79);
    EXPECT_EQ(codeOf("アニメソング"), 255);
    EXPECT_EQ(codeOf("童謡"), 253);
    EXPECT_EQ(list.CodeAt(8), 255);
    EXPECT_EQ(list.CodeAt(-1), 247);  // no selection counts as line 0
    EXPECT_EQ(list.FirstLineWithCode(17), std::optional<int>(83));
    EXPECT_EQ(list.FirstLineWithCode(80), std::nullopt);

    const GenreList kuuran = GenreList::FromBytes(ShippedGenreFile(), 1);
    EXPECT_EQ(kuuran.CodeAt(0), 255);
    EXPECT_EQ(kuuran.CodeAt(8), 255);
    // The empty choice is now the first line with 255.
    EXPECT_EQ(kuuran.FirstLineWithCode(255), std::optional<int>(0));
    EXPECT_EQ(kuuran.FirstLineWithCode(247), std::nullopt);
}

TEST(GenreListTest, ShuffledFileGivesTheSameCodes) {
    ScopedCodePage utf8(kUtf8);
    std::vector<std::string> lines = SplitListLines(ShippedGenreFile());
    std::reverse(lines.begin(), lines.end());
    std::string shuffled;
    for (const std::string& line : lines) shuffled += line + "\r\n";
    const GenreList a = GenreList::FromBytes(ShippedGenreFile(), 0);
    const GenreList b = GenreList::FromBytes(shuffled, 0);
    EXPECT_EQ(a.names(), b.names());
}

TEST(GenreListTest, LoadByFullPathMissingAndLongFiles) {
    ScopedCodePage utf8(kUtf8);
    test::TempDir dir;
    const GenreList missing = GenreList::Load(dir.File("genre.txt"), 0);
    EXPECT_TRUE(missing.genreListMissing());
    EXPECT_TRUE(missing.names().empty());
    EXPECT_EQ(missing.FirstLineWithCode(247), std::nullopt);
    EXPECT_EQ(missing.CodeAt(-1), 247);

    std::string longFile = ShippedGenreFile() + "Extra\nMore\n";
    const GenreList loaded = GenreList::Load(dir.Write("genre.txt", longFile), 0);
    EXPECT_FALSE(loaded.genreListMissing());
    EXPECT_EQ(loaded.names().size(), kGenreCount);  // lines without a code are left out
    EXPECT_EQ(loaded.names(), GenreList::FromBytes(ShippedGenreFile(), 0).names());

    const GenreList shortList = GenreList::FromBytes("\nB\nA\n", 0);
    ASSERT_EQ(shortList.names(), (std::vector<std::string>{"", "A", "B"}));
    EXPECT_EQ(shortList.FirstLineWithCode(146), std::optional<int>(1));
    EXPECT_EQ(shortList.FirstLineWithCode(14), std::nullopt);  // position 3 does not exist
}

TEST(ArtistListTest, LoadSortsAndKeepsEmptyLines) {
    ScopedCodePage utf8(kUtf8);
    const ArtistList list = ArtistList::FromBytes("Zed\r\nabba\r\n\r\nBand\r\n");
    EXPECT_EQ(list.entries(), (std::vector<std::string>{"", "abba", "Band", "Zed"}));
    test::TempDir dir;
    EXPECT_TRUE(ArtistList::Load(dir.File("artist.txt")).entries().empty());
}

TEST(ArtistListTest, AddRewritesFileInBoxOrder) {
    ScopedCodePage utf8(kUtf8);
    test::TempDir dir;
    const std::string path = dir.Write("artist.txt", "Zed\r\nabba\r\n");
    ArtistList list = ArtistList::Load(path);
    ScriptedPrompts prompts;
    std::size_t position = 99;
    EXPECT_EQ(list.Add("Band", path, 0, prompts, &position), ArtistList::AddResult::Added);
    EXPECT_EQ(position, 1u);
    EXPECT_EQ(test::ReadAll(path), "abba\r\nBand\r\nZed\r\n");
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0], test::Done("リストに追加しました"));

    // Differs only in letter case: refused, file unchanged.
    EXPECT_EQ(list.Add("ZED", path, 0, prompts), ArtistList::AddResult::AlreadyListed);
    EXPECT_EQ(prompts.messages.back().text, CpText("すでにリストにあります"));
    EXPECT_EQ(prompts.messages.back().icon, MessageIcon::Information);
    EXPECT_EQ(test::ReadAll(path), "abba\r\nBand\r\nZed\r\n");

    EXPECT_EQ(list.Add("", path, 0, prompts), ArtistList::AddResult::Empty);

    // kanryoumes: no completion message. A missing file is created.
    const std::string fresh = dir.File("new-artist.txt");
    ArtistList empty;
    ScriptedPrompts quiet;
    EXPECT_EQ(empty.Add("ア", fresh, 1, quiet), ArtistList::AddResult::Added);
    EXPECT_TRUE(quiet.messages.empty());
    EXPECT_EQ(test::ReadAll(fresh), "ア\r\n");
}

TEST(ArtistListTest, FailedWriteKeepsTheNewEntry) {
    ScopedCodePage utf8(kUtf8);
    test::TempDir dir;
    // A folder where the list should be: nothing can replace it.
    std::filesystem::create_directory(dir.path() / "artist.txt");
    ArtistList list = ArtistList::FromBytes("abba\r\n");
    ScriptedPrompts prompts;
    EXPECT_EQ(list.Add("Band", dir.File("artist.txt"), 0, prompts),
              ArtistList::AddResult::WriteFailed);
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0], test::Refusal("リストを更新できませんでした"));
    EXPECT_EQ(list.entries(), (std::vector<std::string>{"abba", "Band"}));
    EXPECT_TRUE(std::filesystem::is_directory(dir.path() / "artist.txt"));

    // A list too large to read whole is never replaced by the new entry alone.
    const std::string large = dir.Write("large.txt", "Zed\r\n");
    std::filesystem::resize_file(large, 17u << 20);
    ArtistList unread = ArtistList::Load(large);
    EXPECT_EQ(unread.Add("Band", large, 0, prompts), ArtistList::AddResult::Unreadable);
    EXPECT_EQ(prompts.messages.back(), prompts.messages[0]);
    EXPECT_EQ(std::filesystem::file_size(large), 17u << 20);
    EXPECT_EQ(test::ReadAll(large).substr(0, 5), "Zed\r\n");
}

}  // namespace
}  // namespace sorrelbox
