#include "analysis/DisplayFormat.h"

#include <gtest/gtest.h>

#include "platform/CodePage.h"

namespace sorrelbox {
namespace {

const CodePage kUtf8(CodePage::Kind::Utf8);
const CodePage kCp932(CodePage::Kind::Cp932);

struct TimeCase {
    std::uint16_t seconds;
    const char* listPrefix;
    const char* songTime;
    const char* info;
};

TEST(DisplayFormatTest, TimesInEveryFormat) {
    ScopedCodePage cp(kUtf8);
    const TimeCase cases[] = {
        {0, "  0：00  ", "0：00", "0分0秒 (0秒)"},
        {9, "  0：09  ", "0：09", "0分9秒 (9秒)"},
        {245, "  4：05  ", "4：05", "4分5秒 (245秒)"},
        {600, " 10：00  ", "10：00", "10分0秒 (600秒)"},
        {3725, " 62：05  ", "62：05", "62分5秒 (3725秒)"},
        {59999, "999：59  ", "999：59", "999分59秒 (59999秒)"},
        {65535, "1092：15  ", "1092：15", "1092分15秒 (65535秒)"},
    };
    for (const TimeCase& c : cases) {
        SCOPED_TRACE(c.seconds);
        EXPECT_EQ(ListPrefix(c.seconds), c.listPrefix);
        EXPECT_EQ(SongTimeText(c.seconds), c.songTime);
        EXPECT_EQ(PlayingTimeInfoText(c.seconds), c.info);
    }
}

TEST(DisplayFormatTest, ShiftJisBytes) {
    ScopedCodePage cp(kCp932);
    EXPECT_EQ(ListPrefix(245),
              "  4\x81\x46"
              "05  ");
    EXPECT_EQ(TotalTimeText(61),
              "1\x81\x46"
              "01");
    EXPECT_EQ(PlayingTimeInfoText(61),
              "1\x95\xaa"
              "1\x95\x62 (61\x95\x62)");
    EXPECT_EQ(EmptyTotalTimeText(),
              "0\x81\x46"
              "00");
}

TEST(DisplayFormatTest, TotalTimeDoesNotWrapPast65535Minutes) {
    ScopedCodePage cp(kUtf8);
    EXPECT_EQ(TotalTimeText(245), "4：05");
    EXPECT_EQ(TotalTimeText(999u * 65535u), "1091157：45");
}

TEST(DisplayFormatTest, SongSizes) {
    const struct {
        std::uint64_t size;
        const char* song;
        const char* info;
    } cases[] = {
        {0, "0.0MB", "0.0MB (0Bytes)"},
        {1023, "0.0MB", "0.0MB (1023Bytes)"},
        {5000000, "4.7MB", "4.7MB (5000000Bytes)"},
        {2096128, "1.10MB", "1.10MB (2096128Bytes)"},
        {1048576, "1.0MB", "1.0MB (1048576Bytes)"},
        // Only the low 32 bits count.
        {0x100000000ull + 1048576, "1.0MB", "1.0MB (1048576Bytes)"},
        {4294967295ull, "4095.10MB", "4095.10MB (4294967295Bytes)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.size);
        EXPECT_EQ(SongSizeText(c.size), c.song);
        EXPECT_EQ(FileSizeInfoText(c.size), c.info);
    }
}

TEST(DisplayFormatTest, TotalSizesSwitchToGbAtAMillionKb) {
    const struct {
        std::uint32_t kb;
        const char* text;
    } cases[] = {
        {0, "0.0MB"},       {999999, "976.5MB"},  {1000000, "0.100GB"},        {1572864, "1.52GB"},
        {1101005, "1.5GB"}, {1048575, "0.104GB"}, {4294967295u, "4095.104GB"},
    };
    for (const auto& c : cases) EXPECT_EQ(TotalSizeText(c.kb), c.text) << c.kb;
}

TEST(DisplayFormatTest, RatesAndFlags) {
    ScopedCodePage cp(kUtf8);
    EXPECT_EQ(BitRateText(999), "VBR");
    EXPECT_EQ(BitRateText(128), "128kbps");
    SongInfo info;
    info.bitRate = 999;
    info.sampleRate = 44100;
    const char* modes[] = {"999kbps  44100Hz  ステレオ", "999kbps  44100Hz  ジョイントステレオ",
                           "999kbps  44100Hz  デュアルチャンネル", "999kbps  44100Hz  モノラル"};
    for (std::uint8_t m = 0; m < 4; ++m) {
        info.channelMode = m;
        EXPECT_EQ(StreamInfoText(info), modes[m]);
    }
    EXPECT_EQ(TagSizeInfoText(4096), "4096bytes");
    EXPECT_EQ(RightsInfoText(1), "あり");
    EXPECT_EQ(RightsInfoText(0), "なし");
    EXPECT_EQ(OriginalInfoText(1), "オリジナル");
    EXPECT_EQ(OriginalInfoText(0), "コピー");
}

TEST(DisplayFormatTest, TextsBeforeAnySong) {
    ScopedCodePage cp(kUtf8);
    EXPECT_EQ(EmptyTotalTimeText(), "0：00");
    EXPECT_EQ(EmptyTotalSizeText(), "0.0MB");
    EXPECT_EQ(EmptyFileSizeInfoText(), "0.0MB (0byte)");
    EXPECT_EQ(EmptyTagSizeInfoText(), "0byte");
    EXPECT_EQ(EmptyPlayingTimeInfoText(), "0分0秒 (0秒)");
    EXPECT_EQ(EmptyStreamInfoText(), "0kbps  0Hz");
    EXPECT_EQ(EmptyRightsInfoText(), "なし");
    EXPECT_EQ(EmptyOriginalInfoText(), "オリジナル");
}

}  // namespace
}  // namespace sorrelbox
