#include "analysis/DisplayFormat.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

#include "platform/CodePage.h"

namespace sorrelbox {
namespace {

// printf into a string; the formats hold ASCII only, the Japanese parts are added as CpText.
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* format, ...) {
    char buffer[64];
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    return n < 0 ? std::string() : std::string(buffer, std::min<std::size_t>(n, sizeof buffer - 1));
}

// "m：ss" with the seconds always two digits.
std::string MinutesSeconds(unsigned long minutes, unsigned seconds) {
    return Format("%lu", minutes) + CpText("：") + Format("%02u", seconds);
}

}  // namespace

std::string ListPrefix(std::uint16_t seconds) {
    return Format("%3u", seconds / 60u) + CpText("：") + Format("%02u  ", seconds % 60u);
}

std::string SongTimeText(std::uint16_t seconds) {
    return MinutesSeconds(seconds / 60u, seconds % 60u);
}

std::string SongSizeText(std::uint64_t fileSize) {
    const std::uint32_t kb = static_cast<std::uint32_t>(fileSize) / 1024u;
    return Format("%u.%uMB", kb / 1024u, (kb % 1024u) / 100u);
}

std::string BitRateText(std::uint16_t bitRate) {
    if (bitRate == kVariableBitRate) return "VBR";
    return Format("%ukbps", static_cast<unsigned>(bitRate));
}

std::string TotalTimeText(std::uint32_t totalSeconds) {
    // 999 songs of up to 65535 s exceed 65535 minutes: print them all rather than wrap.
    return MinutesSeconds(totalSeconds / 60u, totalSeconds % 60u);
}

std::string TotalSizeText(std::uint32_t totalKB) {
    if (totalKB < 1000000u) return Format("%u.%uMB", totalKB / 1024u, (totalKB % 1024u) / 100u);
    return Format("%u.%uGB", totalKB / 1048576u, (totalKB % 1048576u) / 10000u);
}

std::string FileSizeInfoText(std::uint64_t fileSize) {
    const std::uint32_t f = static_cast<std::uint32_t>(fileSize);
    return Format("%u.%uMB (%uBytes)", f / 1048576u, (f % 1048576u) / 102400u, f);
}

std::string TagSizeInfoText(std::uint32_t id3v2Size) {
    return Format("%ubytes", id3v2Size);
}

std::string PlayingTimeInfoText(std::uint16_t seconds) {
    const unsigned s = seconds;
    return Format("%u", s / 60u) + CpText("分") + Format("%u", s % 60u) + CpText("秒") +
           Format(" (%u", s) + CpText("秒") + ")";
}

std::string StreamInfoText(const SongInfo& info) {
    static constexpr const char* kModes[] = {"ステレオ", "ジョイントステレオ", "デュアルチャンネル",
                                             "モノラル"};
    return Format("%ukbps  %uHz  ", static_cast<unsigned>(info.bitRate),
                  static_cast<unsigned>(info.sampleRate)) +
           CpText(kModes[info.channelMode & 3]);
}

std::string RightsInfoText(std::uint8_t rightsFlag) {
    return CpText(rightsFlag == 1 ? "あり" : "なし");
}

std::string OriginalInfoText(std::uint8_t originalFlag) {
    return CpText(originalFlag == 1 ? "オリジナル" : "コピー");
}

std::string EmptyTotalTimeText() {
    return CpText("0：00");
}
std::string EmptyTotalSizeText() {
    return "0.0MB";
}
std::string EmptyFileSizeInfoText() {
    return "0.0MB (0byte)";
}
std::string EmptyTagSizeInfoText() {
    return "0byte";
}
std::string EmptyPlayingTimeInfoText() {
    return CpText("0分0秒 (0秒)");
}
std::string EmptyStreamInfoText() {
    return "0kbps  0Hz";
}
std::string EmptyRightsInfoText() {
    return CpText("なし");
}
std::string EmptyOriginalInfoText() {
    return CpText("オリジナル");
}

}  // namespace sorrelbox
