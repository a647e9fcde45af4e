#include "analysis/DisplayFormat.h"

#include <gtest/gtest.h>

#include "platform/CodePage.h"

namespace sorrelbox {
namespace {

TEST(DisplayFormatTest, TimesSizesRatesAndFlags) {
    ScopedCodePage cp(CodePage(CodePage::Kind::Utf8));
    // seconds: list prefix | song and total time | playing time
    for (const auto& [seconds, texts] : {std::pair{9, "  0：09  |0：09|0分9秒 (9秒)"},
                                         {600, " 10：00  |10：00|10分0秒 (600秒)"},
                                         {3725, " 62：05  |62：05|62分5秒 (3725秒)"},
                                         {65535, "1092：15  |1092：15|1092分15秒 (65535秒)"}}) {
        const auto s = static_cast<std::uint16_t>(seconds);
        EXPECT_EQ(ListPrefix(s) + "|" + SongTimeText(s) + "|" + PlayingTimeInfoText(s), texts);
        EXPECT_EQ(TotalTimeText(s), SongTimeText(s));
    }
    EXPECT_EQ(TotalTimeText(999u * 65535u), "1091157：45");  // no wrap past 65535 minutes
    // file size: song | file info (the low 32 bits count)
    for (const auto& [size, texts] : {std::pair{1023ull, "0.0MB|0.0MB (1023Bytes)"},
                                      {5000000ull, "4.7MB|4.7MB (5000000Bytes)"},
                                      {2096128ull, "1.10MB|1.10MB (2096128Bytes)"},
                                      {0x100000000ull + 1048576, "1.0MB|1.0MB (1048576Bytes)"},
                                      {4294967295ull, "4095.10MB|4095.10MB (4294967295Bytes)"}}) {
        EXPECT_EQ(SongSizeText(size) + "|" + FileSizeInfoText(size), texts);
    }
    for (const auto& [kb, text] : {std::pair{999999u, "976.5MB"},
                                   {1000000u, "0.100GB"},
                                   {1572864u, "1.52GB"},
                                   {1048575u, "0.104GB"},
                                   {4294967295u, "4095.104GB"}}) {
        EXPECT_EQ(TotalSizeText(kb), text) << kb;
    }
    SongInfo info{.bitRate = 999, .sampleRate = 44100, .channelMode = 3};
    EXPECT_EQ(BitRateText(999) + BitRateText(128) + StreamInfoText(info) + TagSizeInfoText(4096),
              "VBR128kbps999kbps  44100Hz  モノラル4096bytes");
    EXPECT_EQ(RightsInfoText(1) + RightsInfoText(0) + OriginalInfoText(1) + OriginalInfoText(0),
              "ありなしオリジナルコピー");
    const CodePage cp932(CodePage::Kind::Cp932);
    ScopedCodePage sjis(cp932);
    EXPECT_EQ(ListPrefix(245) + PlayingTimeInfoText(61), cp932.FromUtf8("  4：05  1分1秒 (61秒)"));
}

}  // namespace
}  // namespace sorrelbox
