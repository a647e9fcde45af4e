#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace sorrelbox {

// The ID3v1 genre code of a name from the English list other programs write into TCON
// ("Rock" 17, "Pop" 13, "JPop" 146; codes 0-191). Letter case, spaces and punctuation are
// not compared, so "J-Pop" and "hip hop" are found too.
std::optional<std::uint8_t> GenreCodeByName(std::string_view name);

}  // namespace sorrelbox
