#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "analysis/SongInfo.h"

namespace sorrelbox {

// 7 bits per byte, most significant first (the ID3v2 size form).
std::uint32_t DecodeSyncsafe(std::span<const std::uint8_t, 4> bytes);

// Positions searched for the first frame sync after the search start.
constexpr std::size_t kFrameSearchPositions = 4095;

// Parsers over bytes; the file access lives in ScanMpegFile.
struct FrameHeader {
    std::uint16_t bitRate = 0;
    std::uint16_t sampleRate = 0;
    std::uint8_t channelMode = 0;
    std::uint8_t rightsFlag = 0;
    std::uint8_t originalFlag = 0;
    bool crc = false;
    // Offset of the Xing header from the frame start.
    std::size_t XingOffset() const { return 4 + (crc ? 2 : 0) + (channelMode == 3 ? 17 : 32); }
};

// Offset of the first frame-sync candidate in window (0xFF then four set bits), or nullopt.
std::optional<std::size_t> FindFrameSync(std::span<const std::uint8_t> window);
// Decodes an MPEG-1 Layer III header; nullopt for any other header or an unusable one.
std::optional<FrameHeader> ParseFrameHeader(std::span<const std::uint8_t, 4> bytes);

// Measures the file into info (zeroed first). Applies no mode.
ScanResult ScanMpegFile(std::string_view path, SongInfo& info);

}  // namespace sorrelbox
