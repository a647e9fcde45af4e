#pragma once

#include "support/Mp3Builder.h"

namespace sorrelbox::test {

// A frame with its body as given (Id3v2Frame has optional members that brace lists would leave
// unnamed).
inline Id3v2Frame RawFrame(std::string_view id, Bytes body, std::uint16_t flags = 0) {
    Id3v2Frame frame = TextFrame(id, "");
    frame.body = std::move(body);
    frame.flags = flags;
    return frame;
}

}  // namespace sorrelbox::test
