#pragma once

#include <cstdint>

namespace sorrelbox {

// What one scan measured of one MP3 file. Every scan zeroes it first; after a failed scan it
// holds what the scan reached before it stopped.
struct SongInfo {
    std::uint16_t seconds = 0;
    std::uint64_t fileSize = 0;
    std::uint32_t id3v2Size = 0;
    std::uint16_t bitRate = 0;  // kbit/s; 999 = variable bit rate
    std::uint16_t sampleRate = 0;
    std::uint8_t channelMode = 0;
    std::uint8_t rightsFlag = 0;
    std::uint8_t originalFlag = 0;

    bool operator==(const SongInfo&) const = default;
};

enum class ScanMode : std::uint8_t { Add = 0, Remove = 1, Show = 2, Quiet = 3 };
enum class ScanResult : std::uint8_t { ScanOk = 0, ScanOpenFailed = 1, ScanNoHeader = 2 };

constexpr std::uint16_t kVariableBitRate = 999;
constexpr int kMaxSongs = 999;

}  // namespace sorrelbox
