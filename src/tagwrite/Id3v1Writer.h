#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "analysis/Id3Reader.h"
#include "platform/Prompts.h"

namespace sorrelbox {

// The ID3v1 tag as it is to be written: space-padded texts without terminators, the comment
// block holding the comment (ID3v1.1: 28 bytes, 0x00, track) and the genre code.
struct Id3v1Image {
    std::array<std::uint8_t, 30> title{};
    std::array<std::uint8_t, 30> artist{};
    std::array<std::uint8_t, 30> album{};
    std::array<std::uint8_t, 4> year{};
    std::array<std::uint8_t, 31> commentBlock{};

    // "TAG" followed by the fields: the 128 bytes at the end of the file.
    std::array<std::uint8_t, kId3v1Size> Bytes() const;
    bool operator==(const Id3v1Image&) const = default;
};

enum class Id3v1WriteResult { Written, Removed, Failed };

// Writes image over the file's ID3v1 tag or behind its audio, or (remove) cuts the tag off.
// The file itself decides which: its last 128 bytes are looked at when it is opened, so a
// file changed since it was read never loses audio bytes. The 128 bytes go out in one write
// at their offset; a failed append is cut back. Messages go through prompts; completion
// messages only when kanryoumes is 0.
Id3v1WriteResult WriteId3v1Tag(std::string_view songPath, const Id3v1Image& image, bool remove,
                               std::uint8_t kanryoumes, Prompts& prompts);

}  // namespace sorrelbox
