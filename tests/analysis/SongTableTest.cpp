#include "analysis/SongTable.h"

#include <gtest/gtest.h>

#include "analysis/DisplayFormat.h"
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
    table.Append("C:\\music\\a");  // the entry: the name in the table's style
    for (const char* p : {"b", "c"}) table.AppendEntry(p, std::string("e") + p);
    EXPECT_TRUE(table.IsDuplicatePath("b"));
    EXPECT_FALSE(table.IsDuplicatePath("B"));  // byte-exact
    table.Move(0, 2);
    table.Move(7, 0);  // out of range: nothing
    table.Insert(9, "f", "ef");
    table.RemoveAt(9);
    EXPECT_EQ(table.songPaths(), (Paths{"b", "c", "C:\\music\\a", "f"}));
    EXPECT_EQ(table.entries(), (Paths{"eb", "ec", "a", "ef"}));
}

TEST(DisplayFormatTest, TimesSizesRatesAndFlags) {
    ScopedCodePage cp(kUtf8);
    // seconds: list prefix | song and total time | playing time
    for (const auto& [seconds, texts] : {std::pair{9, "  0：09  |0：09|0分9秒 (9秒)"},
                                         {65535, "1092：15  |1092：15|1092分15秒 (65535秒)"}}) {
        const auto s = static_cast<std::uint16_t>(seconds);
        EXPECT_EQ(ListPrefix(s) + "|" + SongTimeText(s) + "|" + PlayingTimeInfoText(s), texts);
    }
    EXPECT_EQ(TotalTimeText(999u * 65535u), "1091157：45");  // no wrap past 65535 minutes
    // file size: song | file info (the low 32 bits count)
    for (const auto& [size, texts] : {std::pair{2096128ull, "1.10MB|1.10MB (2096128Bytes)"},
                                      {0x100000000ull + 1048576, "1.0MB|1.0MB (1048576Bytes)"}}) {
        EXPECT_EQ(SongSizeText(size) + "|" + FileSizeInfoText(size), texts);
    }
    for (const auto& [kb, text] :
         {std::pair{999999u, "976.5MB"}, {1000000u, "0.100GB"}, {1572864u, "1.52GB"}}) {
        EXPECT_EQ(TotalSizeText(kb), text) << kb;
    }
    SongInfo info{.bitRate = 999, .sampleRate = 44100, .channelMode = 3};
    EXPECT_EQ(BitRateText(999) + BitRateText(128) + StreamInfoText(info) + TagSizeInfoText(4096),
              "VBR128kbps999kbps  44100Hz  モノラル4096bytes");
    EXPECT_EQ(RightsInfoText(1) + RightsInfoText(0) + OriginalInfoText(1) + OriginalInfoText(0),
              "ありなしオリジナルコピー");
}

}  // namespace
}  // namespace sorrelbox
