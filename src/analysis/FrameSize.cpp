#include "analysis/FrameSize.h"

#include "analysis/MpegScan.h"

namespace sorrelbox {
namespace {

std::uint32_t Plain(std::span<const std::uint8_t> b) {
    return std::uint32_t{b[0]} << 24 | std::uint32_t{b[1]} << 16 | std::uint32_t{b[2]} << 8 | b[3];
}

// A frame that ends exactly at the tag's end, on padding or on another frame header.
bool LandsWell(std::span<const std::uint8_t> frames, std::size_t pos, std::uint64_t size) {
    const std::uint64_t end = pos + kFrameHeaderSize + size;
    if (end == frames.size()) return true;
    if (end > frames.size()) return false;
    if (frames[end] == 0) return true;
    return end + 4 <= frames.size() && IsFrameId(frames.subspan(end, 4));
}

}  // namespace

bool IsFrameId(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < 4) return false;
    for (std::size_t i = 0; i < 4; ++i) {
        const std::uint8_t c = bytes[i];
        if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))) return false;
    }
    return true;
}

std::uint32_t NextFrameSize(std::span<const std::uint8_t> frames, std::size_t pos,
                            std::uint8_t major) {
    const auto sizeBytes = frames.subspan(pos + 4, 4);
    const bool syncsafeFirst = major >= 4;
    // A byte with its top bit set cannot be syncsafe.
    const bool syncsafePossible =
        ((sizeBytes[0] | sizeBytes[1] | sizeBytes[2] | sizeBytes[3]) & 0x80) == 0;
    const std::uint32_t plain = Plain(sizeBytes);
    const std::uint32_t syncsafe =
        DecodeSyncsafe(std::span<const std::uint8_t, 4>(sizeBytes.data(), 4));
    const std::uint32_t first = syncsafeFirst && syncsafePossible ? syncsafe : plain;
    const std::uint32_t second = first == plain ? syncsafe : plain;
    if (first == second || LandsWell(frames, pos, first)) return first;
    if ((second == syncsafe && !syncsafePossible) || !LandsWell(frames, pos, second)) return first;
    return second;
}

}  // namespace sorrelbox
