#include "analysis/DisplayFormat.h"

#include <charconv>
#include <iterator>
#include <string_view>

#include "platform/CodePage.h"

namespace sorrelbox {
namespace {

// A number at least `width` digits wide, filled on the left with `fill`.
struct Padded {
    std::uint64_t value;
    std::size_t width;
    char fill;
};

void Append(std::string& out, std::string_view text) {
    out += text;
}
void Append(std::string& out, Padded number) {
    char digits[24];
    const char* end = std::to_chars(std::begin(digits), std::end(digits), number.value).ptr;
    const auto count = static_cast<std::size_t>(end - digits);
    if (count < number.width) out.append(number.width - count, number.fill);
    out.append(digits, count);
}
void Append(std::string& out, std::uint64_t number) {
    Append(out, Padded{number, 0, ' '});
}

// The parts one after another; the texts are built for every song shown, so no printf.
template <typename... Parts>
std::string Concat(const Parts&... parts) {
    std::string out;
    (Append(out, parts), ...);
    return out;
}

// "m：ss" with the seconds always two digits.
std::string MinutesSeconds(std::uint64_t minutes, unsigned seconds) {
    return Concat(minutes, CpText("："), Padded{seconds, 2, '0'});
}

}  // namespace

std::string ListPrefix(std::uint16_t seconds) {
    return Concat(Padded{seconds / 60u, 3, ' '}, CpText("："), Padded{seconds % 60u, 2, '0'}, "  ");
}

std::string SongTimeText(std::uint16_t seconds) {
    return MinutesSeconds(seconds / 60u, seconds % 60u);
}

std::string SongSizeText(std::uint64_t fileSize) {
    const std::uint32_t kb = static_cast<std::uint32_t>(fileSize) / 1024u;
    return Concat(kb / 1024u, ".", (kb % 1024u) / 100u, "MB");
}

std::string BitRateText(std::uint16_t bitRate) {
    if (bitRate == kVariableBitRate) return "VBR";
    return Concat(bitRate, "kbps");
}

std::string TotalTimeText(std::uint32_t totalSeconds) {
    // 999 songs of up to 65535 s exceed 65535 minutes: print them all rather than wrap.
    return MinutesSeconds(totalSeconds / 60u, totalSeconds % 60u);
}

std::string TotalSizeText(std::uint32_t totalKB) {
    if (totalKB < 1000000u) return Concat(totalKB / 1024u, ".", (totalKB % 1024u) / 100u, "MB");
    return Concat(totalKB / 1048576u, ".", (totalKB % 1048576u) / 10000u, "GB");
}

std::string FileSizeInfoText(std::uint64_t fileSize) {
    const std::uint32_t f = static_cast<std::uint32_t>(fileSize);
    return Concat(f / 1048576u, ".", (f % 1048576u) / 102400u, "MB (", f, "Bytes)");
}

std::string TagSizeInfoText(std::uint32_t id3v2Size) {
    return Concat(id3v2Size, "bytes");
}

std::string PlayingTimeInfoText(std::uint16_t seconds) {
    const unsigned s = seconds;
    return Concat(s / 60u, CpText("分"), s % 60u, CpText("秒"), " (", s, CpText("秒"), ")");
}

std::string StreamInfoText(const SongInfo& info) {
    static constexpr const char* kModes[] = {"ステレオ", "ジョイントステレオ", "デュアルチャンネル",
                                             "モノラル"};
    return Concat(info.bitRate, "kbps  ", info.sampleRate, "Hz  ",
                  CpText(kModes[info.channelMode & 3]));
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
