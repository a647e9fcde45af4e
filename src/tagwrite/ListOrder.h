#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/CodePage.h"

namespace sorrelbox {

// The order of the artist and genre boxes. A genre's code is its position in the sorted box,
// so the order must be the same on every machine and in either code page: it never asks the
// locale. Texts compare by Unicode code points after folding ASCII and full-width letter
// case, hiragana to katakana, small and voiced kana to their plain forms and the long-vowel
// mark to the vowel before it (the Japanese dictionary order); ties fall back to the code
// points, then to the bytes.
bool ListOrderLess(std::string_view a, std::string_view b, const CodePage& cp = ActiveCodePage());

// Equal apart from ASCII and full-width letter case (the duplicate test of the artist list).
bool ListTextEqualIgnoringCase(std::string_view a, std::string_view b,
                               const CodePage& cp = ActiveCodePage());

// Where text goes in a sorted list: after every entry that does not sort after it.
std::size_t ListInsertPosition(const std::vector<std::string>& sorted, std::string_view text,
                               const CodePage& cp = ActiveCodePage());

// A list file's lines: split at line feeds, one carriage return before each removed (text
// mode), no line after a final line feed.
std::vector<std::string> SplitListLines(std::string_view bytes);

}  // namespace sorrelbox
