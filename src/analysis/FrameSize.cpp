#include "analysis/FrameSize.h"

#include <algorithm>

#include "analysis/MpegScan.h"

namespace sorrelbox {
namespace {

std::uint32_t Plain(std::span<const std::uint8_t> b) {
    return std::uint32_t{b[0]} << 24 | std::uint32_t{b[1]} << 16 | std::uint32_t{b[2]} << 8 | b[3];
}

enum class Landing { Nowhere, Padding, Frame };

// Where a frame of the given body size would end: on the tag's end or a plausible next frame
// header (an ID whose size fits in the tag), on padding (zeros for a frame header's length or
// up to the end), or nowhere sensible.
Landing LandingOf(std::span<const std::uint8_t> frames, std::size_t pos, std::uint64_t size) {
    const std::uint64_t end = pos + kFrameHeaderSize + size;
    if (end == frames.size()) return Landing::Frame;
    if (end > frames.size()) return Landing::Nowhere;
    const auto rest = frames.subspan(static_cast<std::size_t>(end));
    if (rest.size() >= kFrameHeaderSize && IsFrameId(rest)) {
        const std::uint64_t room = rest.size() - kFrameHeaderSize;
        const auto sizeBytes = rest.subspan(4, 4);
        if (Plain(sizeBytes) <= room ||
            DecodeSyncsafe(std::span<const std::uint8_t, 4>(sizeBytes.data(), 4)) <= room) {
            return Landing::Frame;
        }
        return Landing::Nowhere;
    }
    const auto head = rest.first(std::min(rest.size(), kFrameHeaderSize));
    for (const std::uint8_t b : head) {
        if (b != 0) return Landing::Nowhere;
    }
    return Landing::Padding;
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
    if (first == second || (second == syncsafe && !syncsafePossible)) return first;
    // A next frame header is stronger evidence than zeros, which a wrong size can also hit
    // inside the padding.
    const Landing firstLanding = LandingOf(frames, pos, first);
    if (firstLanding == Landing::Frame) return first;
    const Landing secondLanding = LandingOf(frames, pos, second);
    if (secondLanding == Landing::Frame) return second;
    if (firstLanding == Landing::Nowhere && secondLanding == Landing::Padding) return second;
    return first;
}

}  // namespace sorrelbox
