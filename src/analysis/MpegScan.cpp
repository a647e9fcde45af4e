#include "analysis/MpegScan.h"

#include <algorithm>
#include <array>
#include <vector>

#include "platform/FileOps.h"

namespace sorrelbox {
namespace {

// MPEG-1 Layer III; index 0 (free format) and 15 have no usable rate.
constexpr std::array<std::uint16_t, 16> kBitRates = {0,   32,  40,  48,  56,  64,  80,  96,
                                                     112, 128, 160, 192, 224, 256, 320, 0};
constexpr std::array<std::uint16_t, 4> kSampleRates = {44100, 48000, 32000, 0};
constexpr std::uint16_t kMaxSeconds = 0xFFFF;

std::uint32_t BigEndian32(std::span<const std::uint8_t> b) {
    return std::uint32_t{b[0]} << 24 | std::uint32_t{b[1]} << 16 | std::uint32_t{b[2]} << 8 | b[3];
}

std::uint16_t ClampSeconds(std::uint64_t seconds) {
    // A longer playing time is stored as the largest value rather than wrapped.
    return static_cast<std::uint16_t>(std::min<std::uint64_t>(seconds, kMaxSeconds));
}

std::vector<std::uint8_t> ReadBlock(const ByteSource& source, std::uint64_t offset,
                                    std::size_t count) {
    std::vector<std::uint8_t> data(count);
    data.resize(offset >= source.size() ? 0 : source.ReadAt(offset, data));
    return data;
}

}  // namespace

std::uint32_t DecodeSyncsafe(std::span<const std::uint8_t, 4> bytes) {
    return std::uint32_t{bytes[0] & 0x7Fu} << 21 | std::uint32_t{bytes[1] & 0x7Fu} << 14 |
           std::uint32_t{bytes[2] & 0x7Fu} << 7 | bytes[3];
}

std::optional<std::size_t> FindFrameSync(std::span<const std::uint8_t> window) {
    if (window.size() < 4) return std::nullopt;
    const std::size_t positions = std::min(window.size() - 3, kFrameSearchPositions);
    for (std::size_t p = 0; p < positions; ++p) {
        if (window[p] == 0xFF && (window[p + 1] & 0xF0) == 0xF0) return p;
    }
    return std::nullopt;
}

std::optional<FrameHeader> ParseFrameHeader(std::span<const std::uint8_t, 4> bytes) {
    const bool mpeg1 = (bytes[1] & 0x08) != 0;
    const bool layer3 = ((bytes[1] >> 1) & 0x03) == 0x01;
    if (!mpeg1 || !layer3) return std::nullopt;
    FrameHeader header;
    header.bitRate = kBitRates[bytes[2] >> 4];
    header.sampleRate = kSampleRates[(bytes[2] >> 2) & 0x03];
    if (header.bitRate == 0 || header.sampleRate == 0) return std::nullopt;
    header.crc = (bytes[1] & 0x01) == 0;
    header.channelMode = static_cast<std::uint8_t>(bytes[3] >> 6);
    header.rightsFlag = static_cast<std::uint8_t>((bytes[3] >> 3) & 1);
    header.originalFlag = static_cast<std::uint8_t>((bytes[3] >> 2) & 1);
    return header;
}

XingFields ParseXing(std::span<const std::uint8_t> bytes) {
    XingFields xing;
    if (bytes.size() < kXingBytes || !std::equal(bytes.begin(), bytes.begin() + 4, "Xing")) {
        return xing;
    }
    xing.present = true;
    xing.usable = (bytes[7] & 0x03) == 0x03;
    if (xing.usable) xing.frames = BigEndian32(bytes.subspan(8, 4));
    return xing;
}

ScanResult ScanMpegSource(const ByteSource& source, SongInfo& info) {
    info = SongInfo{};

    // Without a tag the first read already is the search window.
    std::vector<std::uint8_t> window = ReadBlock(source, 0, kFrameSearchBytes);
    std::uint64_t searchStart = 0;
    if (window.size() >= 3 && std::equal(window.begin(), window.begin() + 3, "ID3")) {
        if (window.size() < 10) return ScanResult::ScanNoHeader;
        info.id3v2Size = DecodeSyncsafe(std::span<const std::uint8_t, 4>(window.data() + 6, 4));
        searchStart = 10 + std::uint64_t{info.id3v2Size};
        window = ReadBlock(source, searchStart, kFrameSearchBytes);
    }

    const auto position = FindFrameSync(window);
    if (!position) return ScanResult::ScanNoHeader;
    const auto header =
        ParseFrameHeader(std::span<const std::uint8_t, 4>(window.data() + *position, 4));
    if (!header) return ScanResult::ScanNoHeader;
    info.bitRate = header->bitRate;
    info.sampleRate = header->sampleRate;
    info.channelMode = header->channelMode;
    info.rightsFlag = header->rightsFlag;
    info.originalFlag = header->originalFlag;

    // Encoders write the Xing header of a CRC-protected frame where it would stand without
    // the CRC, so both places are looked at: the 2 bytes before the usual place come first.
    const std::size_t xingAt = *position + header->XingOffset();
    const std::size_t slack = header->crc ? 2 : 0;
    const std::size_t from = xingAt - slack;
    const std::size_t count = kXingBytes + slack;
    std::vector<std::uint8_t> xingBytes;
    if (from + count <= window.size()) {
        xingBytes.assign(window.begin() + static_cast<std::ptrdiff_t>(from),
                         window.begin() + static_cast<std::ptrdiff_t>(from + count));
    } else if (window.size() == kFrameSearchBytes) {
        xingBytes = ReadBlock(source, searchStart + from, count);
    }  // else the file ended inside the window: no more bytes to read
    const std::span<const std::uint8_t> bytes(xingBytes);
    XingFields xing = ParseXing(bytes.subspan(std::min(slack, bytes.size())));
    if (!xing.present && slack != 0) xing = ParseXing(bytes);
    if (xing.present && !xing.usable) return ScanResult::ScanNoHeader;

    info.fileSize = source.size();
    if (xing.frames != 0) {
        info.seconds = ClampSeconds(std::uint64_t{xing.frames} * 1152 / info.sampleRate);
        info.bitRate = kVariableBitRate;
    } else {
        info.seconds = ClampSeconds(info.fileSize * 8 / (std::uint64_t{info.bitRate} * 1000));
    }
    return ScanResult::ScanOk;
}

ScanResult ScanMpegFile(std::string_view path, SongInfo& info) {
    info = SongInfo{};
    const auto file = ReadFile::Open(path);
    if (!file) return ScanResult::ScanOpenFailed;
    return ScanMpegSource(FileByteSource(*file), info);
}

}  // namespace sorrelbox
