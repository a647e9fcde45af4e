#include "analysis/SongTable.h"

#include <gtest/gtest.h>

#include "support/Mp3Builder.h"
#include "support/TempDir.h"

namespace sorrelbox {
namespace {

const CodePage kUtf8(CodePage::Kind::Utf8);
using Paths = std::vector<std::string>;

// Count, totals and their texts, then the selection texts in brackets.
std::string Totals(const SongTable& t) {
    return std::to_string(t.songCount()) + " " + std::to_string(t.totalSeconds()) + "s " +
           std::to_string(t.totalKB()) + "KB " + t.totalTimeText() + " " + t.totalSizeText() +
           " [" + t.timeText() + " " + t.sizeText() + " " + t.bitRateText() + t.titleText() + "]";
}

TEST(SongTableTest, ScansKeepTotalsAndTextsInStep) {
    ScopedCodePage cp(kUtf8);
    test::TempDir dir;
    const std::string s245 = dir.Write("song245.mp3", test::CbrFile(3920000));
    const std::string s600 = dir.Write("song600.mp3", test::CbrFile(9600000));
    SongTable table(PathStyle::Posix);
    for (const std::string& song : {s245, s600}) {
        ASSERT_EQ(table.ScanMpegFile(song, ScanMode::Add), ScanResult::ScanOk);
        table.Append(song);
    }
    EXPECT_EQ(table.entries(), (Paths{"  4：05  song245.mp3", " 10：00  song600.mp3"}));
    // Failed and quiet scans change nothing.
    const std::string junk = dir.Write("x.mp3", std::string(5000, 'x'));
    EXPECT_EQ(table.ScanMpegFile(junk, ScanMode::Add), ScanResult::ScanNoHeader);
    EXPECT_EQ(table.ScanMpegFile(s245, ScanMode::Quiet), ScanResult::ScanOk);
    EXPECT_EQ(Totals(table), "2 845s 13203KB 14：05 12.9MB [  ]");
    ASSERT_EQ(table.ScanMpegFile(s600, ScanMode::Show), ScanResult::ScanOk);
    ASSERT_EQ(table.ScanMpegFile(s245, ScanMode::Remove), ScanResult::ScanOk);
    table.RemoveAt(0);
    EXPECT_EQ(Totals(table), "1 600s 9375KB 10：00 9.1MB [10：00 9.1MB 128kbps]");
    EXPECT_EQ(table.songPaths(), Paths{s600});
    // A file that grew before it was removed, removed twice: never below zero.
    table.info() = SongInfo{700, 9700000};
    table.ApplyScanMode(ScanMode::Remove);
    table.ApplyScanMode(ScanMode::Remove);
    EXPECT_EQ(Totals(table), "0 0s 0KB 0：00 0.0MB [10：00 9.1MB 128kbps]");
    // Kilobytes of the low 32 bits of the size, each song's remainder dropped.
    for (const std::uint64_t size : {1023ull, 1048576ull, 0x100000000ull + 2048}) {
        table.info().fileSize = size;
        table.ApplyScanMode(ScanMode::Add);
    }
    EXPECT_EQ(table.totalKB(), 1026u);
    table.setTitleText("t");
    table.Clear();
    EXPECT_EQ(Totals(table), "0 0s 0KB 0：00 0.0MB [  ]");
    EXPECT_TRUE(table.songPaths().empty() && table.entries().empty());
}

TEST(SongTableTest, EditingTheListKeepsPathsAndEntriesTogether) {
    ScopedCodePage cp(kUtf8);
    SongTable table(PathStyle::Windows);
    table.info().seconds = 245;
    table.ApplyScanMode(ScanMode::Add);
    table.Append("C:\\music\\a");  // the entry: the prefix and the name in the table's style
    for (const char* p : {"b", "c"}) table.AppendEntry(p, std::string("e") + p);
    EXPECT_TRUE(table.IsDuplicatePath("b"));
    EXPECT_FALSE(table.IsDuplicatePath("B"));  // byte-exact
    table.Move(0, 2);
    table.Move(7, 0);  // out of range: nothing
    table.Insert(1, "d", "ed");
    table.Insert(9, "f", "ef");
    table.RemoveAt(9);
    EXPECT_EQ(table.songPaths(), (Paths{"b", "d", "c", "C:\\music\\a", "f"}));
    EXPECT_EQ(table.entries(), (Paths{"eb", "ed", "ec", "  4：05  a", "ef"}));
}

}  // namespace
}  // namespace sorrelbox
