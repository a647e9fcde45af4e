#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "analysis/ByteSource.h"
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
    // Offset of the Xing header from the frame start by the frame layout. Encoders put it 2
    // bytes earlier in a CRC-protected frame (as if there were no CRC); the scan looks at both.
    std::size_t XingOffset() const { return 4 + (crc ? 2 : 0) + (channelMode == 3 ? 17 : 32); }
};

// Bytes read in one go for the search: the 4095 positions and the 3 bytes after the last.
constexpr std::size_t kFrameSearchBytes = kFrameSearchPositions + 3;
constexpr std::size_t kXingBytes = 12;

// Offset of the first frame-sync candidate in window (0xFF then four set bits) among its
// first kFrameSearchPositions positions that have 4 bytes, or nullopt.
std::optional<std::size_t> FindFrameSync(std::span<const std::uint8_t> window);
// Decodes an MPEG-1 Layer III header; nullopt for any other header, and for free format,
// bit-rate index 15 and sample-rate index 3, which give nothing to measure by.
std::optional<FrameHeader> ParseFrameHeader(std::span<const std::uint8_t, 4> bytes);

struct XingFields {
    bool present = false;  // begins with "Xing"
    bool usable = false;   // both the frame-count and the byte-count flags are set
    std::uint32_t frames = 0;
};
// The 12 bytes at the Xing offset; fewer bytes (the file ends) mean no Xing header.
XingFields ParseXing(std::span<const std::uint8_t> bytes);

// Measures the file into info (zeroed first). Applies no mode. At most three reads: the
// start of the file, the search window after the tag, and the Xing bytes when the window
// does not hold them; never the whole file.
ScanResult ScanMpegFile(std::string_view path, SongInfo& info);
ScanResult ScanMpegSource(const ByteSource& source, SongInfo& info);

}  // namespace sorrelbox
