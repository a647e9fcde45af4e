#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace sorrelbox {

// ID3v2.3 defines frame sizes as plain 32-bit numbers and ID3v2.4 as syncsafe ones, and
// software exists that writes either form into either version. The size is read in the
// version's own form first; when that does not end on the next frame's ID, on padding or on
// the tag's end, the other form is tried. Every reader and writer of frames uses this rule.

constexpr std::size_t kFrameHeaderSize = 10;

// Four characters A-Z or 0-9.
bool IsFrameId(std::span<const std::uint8_t> bytes);

// Body size of the frame whose 10-byte header starts at pos in frames (the bytes from the
// first frame to the tag's end). major is the tag header's major version byte. The caller
// ensures pos + kFrameHeaderSize <= frames.size(); the size returned may still run past the
// end, which the caller checks.
std::uint32_t NextFrameSize(std::span<const std::uint8_t> frames, std::size_t pos,
                            std::uint8_t major);

}  // namespace sorrelbox
