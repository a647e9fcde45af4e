#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace sorrelbox {

// The text of an ID3v2 text field in the active code page, up to its first NUL character.
// Encoding 0: code-page bytes as they are. 1: UTF-16 with a byte-order mark (FF FE or FE FF;
// little-endian without one). 2: UTF-16 big-endian (a byte-order mark, if present, is honoured).
// 3: UTF-8. Other values are taken as 1. Characters the code page lacks become '?'.
// *bomBytes receives the length of the byte-order mark that was skipped.
std::string DecodeId3Text(std::uint8_t encoding, std::span<const std::uint8_t> data,
                          std::size_t* bomBytes = nullptr);

}  // namespace sorrelbox
