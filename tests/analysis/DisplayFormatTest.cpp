#include "analysis/DisplayFormat.h"

#include <gtest/gtest.h>

#include "platform/CodePage.h"

namespace sorrelbox {
namespace {

TEST(DisplayFormatTest, TimesInEveryFormat) {
    ScopedCodePage cp(CodePage(CodePage::Kind::Utf8));
    const struct {
        std::uint16_t seconds;
        const char *listPrefix, *songTime, *info;
    } rows[] = {
        {9, "  0：09  ", "0：09", "0分9秒 (9秒)"},
        {600, " 10：00  ", "10：00", "10分0秒 (600秒)"},
        {3725, " 62：05  ", "62：05", "62分5秒 (3725秒)"},
        {65535, "1092：15  ", "1092：15", "1092分15秒 (65535秒)"},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(ListPrefix(r.seconds), r.listPrefix);
        EXPECT_EQ(SongTimeText(r.seconds), r.songTime);
        EXPECT_EQ(TotalTimeText(r.seconds), r.songTime);
        EXPECT_EQ(PlayingTimeInfoText(r.seconds), r.info);
    }
    EXPECT_EQ(TotalTimeText(999u * 65535u), "1091157：45");  // no wrap past 65535 minutes
    ScopedCodePage sjis(CodePage(CodePage::Kind::Cp932));
    EXPECT_EQ(ListPrefix(245),
              "  4\x81\x46"
              "05  ");
    EXPECT_EQ(PlayingTimeInfoText(61),
              "1\x95\xaa"
              "1\x95\x62 (61\x95\x62)");
}

TEST(DisplayFormatTest, Sizes) {
    const struct {
        std::uint64_t size;
        const char *song, *info;
    } rows[] = {
        {1023, "0.0MB", "0.0MB (1023Bytes)"},
        {5000000, "4.7MB", "4.7MB (5000000Bytes)"},
        {2096128, "1.10MB", "1.10MB (2096128Bytes)"},
        {0x100000000ull + 1048576, "1.0MB", "1.0MB (1048576Bytes)"},  // the low 32 bits count
        {4294967295ull, "4095.10MB", "4095.10MB (4294967295Bytes)"},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(SongSizeText(r.size), r.song);
        EXPECT_EQ(FileSizeInfoText(r.size), r.info);
    }
    const std::pair<std::uint32_t, const char*> totals[] = {{999999, "976.5MB"},
                                                            {1000000, "0.100GB"},
                                                            {1572864, "1.52GB"},
                                                            {1048575, "0.104GB"},
                                                            {4294967295u, "4095.104GB"}};
    for (const auto& [kb, text] : totals) EXPECT_EQ(TotalSizeText(kb), text) << kb;
}

TEST(DisplayFormatTest, RatesAndFlags) {
    ScopedCodePage cp(CodePage(CodePage::Kind::Utf8));
    EXPECT_EQ(BitRateText(999), "VBR");
    EXPECT_EQ(BitRateText(128), "128kbps");
    SongInfo info;
    info.bitRate = 999;
    info.sampleRate = 44100;
    info.channelMode = 3;
    EXPECT_EQ(StreamInfoText(info), "999kbps  44100Hz  モノラル");
    EXPECT_EQ(TagSizeInfoText(4096), "4096bytes");
    EXPECT_EQ(RightsInfoText(1) + RightsInfoText(0), "ありなし");
    EXPECT_EQ(OriginalInfoText(1) + OriginalInfoText(0), "オリジナルコピー");
}

}  // namespace
}  // namespace sorrelbox
