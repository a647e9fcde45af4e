#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/CodePage.h"

namespace sorrelbox {

// The text of an ID3v2 text field in the active code page, up to its first NUL character.
// Encoding 0: code-page bytes as they are; in the UTF-8 code page, bytes that are not UTF-8
// are ISO-8859-1 as the standard defines. 1: UTF-16 with a byte-order mark (FF FE or FE FF;
// little-endian without one). 2: UTF-16 big-endian (a byte-order mark, if present, is
// honoured). 3: UTF-8. Other values are taken as 1. Characters the code page lacks become '?'
// and *lossless is then false. *bomBytes receives the length of the byte-order mark skipped.
std::string DecodeId3Text(std::uint8_t encoding, std::span<const std::uint8_t> data,
                          std::size_t* bomBytes = nullptr, bool* lossless = nullptr);

// The encoding byte a frame declares when it is written, decided here for every frame. The
// code page decides: CP932 keeps code-page bytes under 0 (what Japanese players read); in
// UTF-8, an ID3v2.4 tag (major 4) declares UTF-8 (3), and an ID3v2.3 tag, which has no UTF-8,
// declares ASCII as 0 and any other text as UTF-16 with a byte-order mark (1). A frame
// rewritten over one whose encoding was not 0 keeps it (1 for a value the standard lacks).
std::uint8_t Id3EncodingToWrite(std::uint8_t major, std::string_view text,
                                std::optional<std::uint8_t> oldEncoding = std::nullopt,
                                const CodePage& cp = ActiveCodePage());

// Code-page text as the encoding byte (0-3) says, without a terminator: 1 begins with FF FE.
std::string EncodeId3Text(std::uint8_t encoding, std::string_view text);
// The terminator of a description: two zero bytes in UTF-16, else one.
std::string_view Id3Terminator(std::uint8_t encoding);

// data cut at its first terminator of the encoding (at an even offset in UTF-16): the bytes
// before it, and after it the rest (empty and terminated false when there is none).
struct Id3TextSplit {
    std::span<const std::uint8_t> head;
    std::span<const std::uint8_t> rest;
    bool terminated = false;
};
Id3TextSplit SplitAtTerminator(std::uint8_t encoding, std::span<const std::uint8_t> data);

// A WXXX URL, ISO-8859-1 by the standard. In CP932 the code-page bytes as they are; in UTF-8
// a character above U+00FF is percent-encoded, as browsers send it.
std::string EncodeId3Url(std::string_view text, const CodePage& cp = ActiveCodePage());

}  // namespace sorrelbox
