#include "analysis/SongTable.h"

#include <gtest/gtest.h>

#include "support/Mp3Builder.h"
#include "support/TempDir.h"

namespace sorrelbox {
namespace {

const CodePage kUtf8(CodePage::Kind::Utf8);
using Paths = std::vector<std::string>;

TEST(SongTableTest, AddShowRemoveKeepTotalsInStep) {
    ScopedCodePage cp(kUtf8);
    test::TempDir dir;
    const std::string song245 = dir.Write("song245.mp3", test::CbrFile(3920000));
    const std::string song600 = dir.Write("song600.mp3", test::CbrFile(9600000));
    SongTable table(PathStyle::Posix);
    for (const std::string& song : {song245, song600}) {
        ASSERT_EQ(table.ScanMpegFile(song, ScanMode::Add), ScanResult::ScanOk);
        table.Append(song);
    }
    EXPECT_EQ(table.entries(), (Paths{"  4：05  song245.mp3", " 10：00  song600.mp3"}));
    EXPECT_EQ(table.songCount(), 2);
    EXPECT_EQ(table.totalKB(), 3828u + 9375u);
    EXPECT_EQ(table.totalTimeText(), "14：05");
    EXPECT_EQ(table.totalSizeText(), "12.9MB");
    EXPECT_EQ(table.timeText(), "");  // Add leaves the selection texts alone

    // Failed and quiet scans change nothing.
    EXPECT_EQ(table.ScanMpegFile(dir.Write("x.mp3", std::string(5000, 'x')), ScanMode::Add),
              ScanResult::ScanNoHeader);
    EXPECT_EQ(table.ScanMpegFile(dir.File("gone.mp3"), ScanMode::Remove),
              ScanResult::ScanOpenFailed);
    EXPECT_EQ(table.ScanMpegFile(song245, ScanMode::Quiet), ScanResult::ScanOk);
    EXPECT_EQ(table.songCount(), 2);
    EXPECT_EQ(table.listPrefix(), " 10：00  ");

    ASSERT_EQ(table.ScanMpegFile(song600, ScanMode::Show), ScanResult::ScanOk);
    EXPECT_EQ(table.timeText() + table.sizeText() + table.bitRateText(), "10：009.1MB128kbps");
    ASSERT_EQ(table.ScanMpegFile(song245, ScanMode::Remove), ScanResult::ScanOk);
    table.RemoveAt(0);
    EXPECT_EQ(table.songCount(), 1);
    EXPECT_EQ(table.totalSeconds(), 600u);
    EXPECT_EQ(table.totalKB(), 9375u);
    EXPECT_EQ(table.totalTimeText(), "10：00");
    EXPECT_EQ(table.songPaths(), Paths{song600});
}

TEST(SongTableTest, TotalsDropKilobyteRemaindersAndNeverWrapBelowZero) {
    for (const auto& [size, kb] : {std::pair<std::uint64_t, std::uint32_t>{1023, 0},
                                   {1048576, 1024},
                                   {0x100000000ull + 2048, 2}}) {
        SongTable table;
        table.info().fileSize = size;
        table.ApplyScanMode(ScanMode::Add);
        EXPECT_EQ(table.totalKB(), kb) << size;
    }
    SongTable table;
    table.info().seconds = 10;
    table.info().fileSize = 2048;
    table.ApplyScanMode(ScanMode::Add);
    table.info().seconds = 30;  // the file grew before it was removed
    table.info().fileSize = 8192;
    table.ApplyScanMode(ScanMode::Remove);
    table.ApplyScanMode(ScanMode::Remove);
    EXPECT_EQ(table.songCount(), 0);
    EXPECT_EQ(table.totalSeconds(), 0u);
    EXPECT_EQ(table.totalKB(), 0u);
}

TEST(SongTableTest, EntryNameFollowsThePathStyle) {
    const struct {
        PathStyle style;
        CodePage cp;
        const char *path, *name;
    } rows[] = {
        {PathStyle::Windows, kUtf8, "C:\\music\\track01.mp3", "track01.mp3"},
        {PathStyle::Windows, kUtf8, "track01.mp3", "track01.mp3"},
        {PathStyle::Posix, kUtf8, "/m/a\\b.mp3", "a\\b.mp3"},
        // 0x95 0x5C is one Shift-JIS character whose second byte is a backslash.
        {PathStyle::Windows, CodePage(CodePage::Kind::Cp932), "C:\\x\\\x95\x5C.mp3",
         "\x95\x5C.mp3"},
    };
    for (const auto& r : rows) {
        ScopedCodePage cp(r.cp);
        SongTable table(r.style);
        table.info().seconds = 245;
        table.ApplyScanMode(ScanMode::Add);
        table.Append(r.path);
        EXPECT_EQ(table.entries().back(), table.listPrefix() + r.name) << r.path;
    }
}

TEST(SongTableTest, EditingTheListKeepsPathsAndEntriesTogether) {
    SongTable table(PathStyle::Windows);
    for (const char* p : {"a", "b", "c"}) table.AppendEntry(p, std::string("e") + p);
    EXPECT_TRUE(table.IsDuplicatePath("a"));
    EXPECT_FALSE(table.IsDuplicatePath("A"));  // byte-exact
    table.Move(0, 2);
    table.Move(7, 0);  // out of range: nothing
    table.Insert(1, "d", "ed");
    table.Insert(9, "f", "ef");
    table.RemoveAt(9);
    EXPECT_EQ(table.songPaths(), (Paths{"b", "d", "c", "a", "f"}));
    EXPECT_EQ(table.entries(), (Paths{"eb", "ed", "ec", "ea", "ef"}));

    table.info().seconds = 100;
    table.ApplyScanMode(ScanMode::Add);
    table.ApplyScanMode(ScanMode::Show);
    table.setTitleText("t");
    table.Clear();
    EXPECT_TRUE(table.songPaths().empty() && table.entries().empty());
    EXPECT_EQ(table.songCount(), 0);
    EXPECT_EQ(table.totalSizeText(), "0.0MB");
    EXPECT_EQ(table.timeText() + table.bitRateText() + table.sizeText() + table.titleText(), "");
}

}  // namespace
}  // namespace sorrelbox
