#include "analysis/SongTable.h"

#include <gtest/gtest.h>

#include "support/Mp3Builder.h"
#include "support/TempDir.h"

namespace sorrelbox {
namespace {

const CodePage kUtf8(CodePage::Kind::Utf8);

class SongTableTest : public ::testing::Test {
  protected:
    ScopedCodePage cp_{kUtf8};
    test::TempDir dir_;
    // 245 s at 128 kbit/s: 3 920 000 bytes.
    std::string song245_ = dir_.Write("song245.mp3", test::CbrFile(3920000));
    std::string song600_ = dir_.Write("song600.mp3", test::CbrFile(9600000));
    std::string notMp3_ = dir_.Write("notmp3.mp3", std::string(5000, 'x'));
};

TEST_F(SongTableTest, StartState) {
    SongTable table;
    EXPECT_EQ(table.songCount(), 0);
    EXPECT_EQ(table.totalTimeText(), "0：00");
    EXPECT_EQ(table.totalSizeText(), "0.0MB");
    EXPECT_EQ(table.timeText(), "");
    EXPECT_EQ(table.titleText(), "");
}

TEST_F(SongTableTest, AddShowRemoveKeepTotalsInStep) {
    SongTable table(PathStyle::Posix);
    ASSERT_EQ(table.ScanMpegFile(song245_, ScanMode::Add), ScanResult::ScanOk);
    table.Append(song245_);
    EXPECT_EQ(table.songCount(), 1);
    EXPECT_EQ(table.totalSeconds(), 245u);
    EXPECT_EQ(table.totalKB(), 3828u);
    EXPECT_EQ(table.listPrefix(), "  4：05  ");
    EXPECT_EQ(table.entries().back(), "  4：05  song245.mp3");
    EXPECT_EQ(table.totalTimeText(), "4：05");
    EXPECT_EQ(table.totalSizeText(), "3.7MB");
    EXPECT_EQ(table.timeText(), "");  // Add leaves the selection texts alone

    ASSERT_EQ(table.ScanMpegFile(song600_, ScanMode::Add), ScanResult::ScanOk);
    table.Append(song600_);
    EXPECT_EQ(table.songCount(), 2);
    EXPECT_EQ(table.totalSeconds(), 845u);
    EXPECT_EQ(table.entries().back(), " 10：00  song600.mp3");
    EXPECT_EQ(table.totalTimeText(), "14：05");

    ASSERT_EQ(table.ScanMpegFile(song600_, ScanMode::Show), ScanResult::ScanOk);
    EXPECT_EQ(table.timeText(), "10：00");
    EXPECT_EQ(table.sizeText(), "9.1MB");
    EXPECT_EQ(table.bitRateText(), "128kbps");
    EXPECT_EQ(table.songCount(), 2);

    ASSERT_EQ(table.ScanMpegFile(song245_, ScanMode::Remove), ScanResult::ScanOk);
    table.RemoveAt(0);
    EXPECT_EQ(table.songCount(), 1);
    EXPECT_EQ(table.totalSeconds(), 600u);
    EXPECT_EQ(table.totalKB(), 9375u);
    EXPECT_EQ(table.totalTimeText(), "10：00");
    ASSERT_EQ(table.songPaths().size(), 1u);
    EXPECT_EQ(table.songPaths()[0], song600_);
}

TEST_F(SongTableTest, FailedAndQuietScansChangeNothing) {
    SongTable table;
    ASSERT_EQ(table.ScanMpegFile(song245_, ScanMode::Add), ScanResult::ScanOk);
    const std::string prefix = table.listPrefix();
    EXPECT_EQ(table.ScanMpegFile(notMp3_, ScanMode::Add), ScanResult::ScanNoHeader);
    EXPECT_EQ(table.ScanMpegFile(dir_.File("missing.mp3"), ScanMode::Remove),
              ScanResult::ScanOpenFailed);
    EXPECT_EQ(table.ScanMpegFile(song600_, ScanMode::Quiet), ScanResult::ScanOk);
    EXPECT_EQ(table.info().seconds, 600);
    EXPECT_EQ(table.songCount(), 1);
    EXPECT_EQ(table.totalSeconds(), 245u);
    EXPECT_EQ(table.listPrefix(), prefix);
    EXPECT_EQ(table.timeText(), "");
}

TEST_F(SongTableTest, KilobytesDropTheRemainder) {
    const struct {
        std::uint64_t size;
        std::uint32_t kb;
    } cases[] = {{1023, 0}, {1048576, 1024}, {0x100000000ull + 2048, 2}};
    for (const auto& c : cases) {
        SongTable table;
        table.info().fileSize = c.size;
        table.ApplyScanMode(ScanMode::Add);
        EXPECT_EQ(table.totalKB(), c.kb) << c.size;
    }
}

TEST_F(SongTableTest, RemovingMoreThanWasAddedStopsAtZero) {
    SongTable table;
    table.info().seconds = 10;
    table.info().fileSize = 2048;
    table.ApplyScanMode(ScanMode::Add);
    // The file grew before it was removed.
    table.info().seconds = 30;
    table.info().fileSize = 8192;
    table.ApplyScanMode(ScanMode::Remove);
    EXPECT_EQ(table.songCount(), 0);
    EXPECT_EQ(table.totalSeconds(), 0u);
    EXPECT_EQ(table.totalKB(), 0u);
    EXPECT_EQ(table.totalTimeText(), "0：00");
}

TEST_F(SongTableTest, DuplicatesAreByteExact) {
    SongTable table(PathStyle::Windows);
    table.AppendEntry("C:\\Music\\a.mp3", "x");
    EXPECT_TRUE(table.IsDuplicatePath("C:\\Music\\a.mp3"));
    EXPECT_FALSE(table.IsDuplicatePath("C:\\music\\a.mp3"));
    EXPECT_FALSE(table.IsDuplicatePath("C:\\Music\\\\a.mp3"));
    EXPECT_FALSE(table.IsDuplicatePath("C:\\Music\\a.mp"));
}

TEST_F(SongTableTest, EntryNameFollowsThePathStyle) {
    const struct {
        PathStyle style;
        CodePage cp;
        const char* path;
        const char* name;
    } cases[] = {
        {PathStyle::Windows, kUtf8, "C:\\music\\track01.mp3", "track01.mp3"},
        {PathStyle::Windows, kUtf8, "track01.mp3", "track01.mp3"},
        {PathStyle::Posix, kUtf8, "/m/a\\b.mp3", "a\\b.mp3"},
        // 0x95 0x5C is one Shift-JIS character whose second byte is a backslash.
        {PathStyle::Windows, CodePage(CodePage::Kind::Cp932), "C:\\x\\\x95\x5C.mp3",
         "\x95\x5C.mp3"},
    };
    for (const auto& c : cases) {
        ScopedCodePage cp(c.cp);
        SongTable table(c.style);
        table.info().seconds = 245;
        table.ApplyScanMode(ScanMode::Add);
        table.Append(c.path);
        EXPECT_EQ(table.entries().back(), table.listPrefix() + c.name) << c.path;
    }
}

TEST_F(SongTableTest, MoveInsertClear) {
    SongTable table;
    for (const char* p : {"a", "b", "c"}) table.AppendEntry(p, std::string("e") + p);
    table.Move(0, 2);
    EXPECT_EQ(table.songPaths(), (std::vector<std::string>{"b", "c", "a"}));
    EXPECT_EQ(table.entries(), (std::vector<std::string>{"eb", "ec", "ea"}));
    table.Insert(1, "d", "ed");
    EXPECT_EQ(table.songPaths(), (std::vector<std::string>{"b", "d", "c", "a"}));
    table.RemoveAt(9);  // out of range: nothing
    EXPECT_EQ(table.songPaths().size(), 4u);

    table.info().seconds = 100;
    table.ApplyScanMode(ScanMode::Add);
    table.ApplyScanMode(ScanMode::Show);
    table.setTitleText("t");
    table.Clear();
    EXPECT_TRUE(table.songPaths().empty());
    EXPECT_TRUE(table.entries().empty());
    EXPECT_EQ(table.songCount(), 0);
    EXPECT_EQ(table.totalTimeText(), "0：00");
    EXPECT_EQ(table.totalSizeText(), "0.0MB");
    EXPECT_EQ(table.timeText(), "");
    EXPECT_EQ(table.bitRateText(), "");
    EXPECT_EQ(table.sizeText(), "");
    EXPECT_EQ(table.titleText(), "");
}

}  // namespace
}  // namespace sorrelbox
