#include "tagwrite/FileNameTemplate.h"

#include <array>

namespace sorrelbox {
namespace {

void ReplaceFirst(std::string& text, std::string_view token, std::string_view value,
                  const CodePage& cp) {
    const std::size_t at = cp.FindToken(text, token);
    if (at == std::string::npos) return;
    text.replace(at, token.size(), value);
}

// A track token: the four characters and the one after them (only four at the end of the
// text) become the value, padded with "0" on the left to the width that follows the token.
void ReplaceTrack(std::string& text, std::string_view token, std::string value,
                  const CodePage& cp) {
    const std::size_t at = cp.FindToken(text, token);
    if (at == std::string::npos) return;
    const std::size_t after = at + token.size();
    unsigned width = 0;
    for (std::size_t i = after; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        width = (width * 10 + static_cast<unsigned>(text[i] - '0')) % 256;
    }
    if (value.size() < width) value.insert(0, width - value.size(), '0');
    // The width character is one character of the code page, not always one byte.
    const std::size_t widthChar = after < text.size() ? cp.CharLength(text, after) : 0;
    text.replace(at, token.size() + widthChar, value);
}

}  // namespace

std::string ExpandFileNameTemplate(std::string_view text, const Id3v1Values& v1,
                                   const Id3v2Values& v2, const CodePage& cp) {
    std::string out(text);
    ReplaceFirst(out, "%1ti", v1.title, cp);
    ReplaceFirst(out, "%1ar", v1.artist, cp);
    ReplaceFirst(out, "%1al", v1.album, cp);
    ReplaceFirst(out, "%1ye", v1.year, cp);
    ReplaceFirst(out, "%1cm", v1.comment, cp);
    ReplaceTrack(out, "%1tr", std::to_string(v1.track), cp);
    ReplaceFirst(out, "%2ti", v2[V2Field::Title], cp);
    ReplaceFirst(out, "%2ar", v2[V2Field::Artist], cp);
    ReplaceFirst(out, "%2al", v2[V2Field::Album], cp);
    ReplaceFirst(out, "%2ye", v2[V2Field::Year], cp);
    ReplaceFirst(out, "%2cm", v2[V2Field::Comment], cp);
    ReplaceTrack(out, "%2tr", v2[V2Field::Track], cp);
    ReplaceFirst(out, "%2sa", v2[V2Field::Composer], cp);
    ReplaceFirst(out, "%2or", v2[V2Field::OrigArtist], cp);
    ReplaceFirst(out, "%2co", v2[V2Field::Copyright], cp);
    ReplaceFirst(out, "%2ur", v2[V2Field::Url], cp);
    ReplaceFirst(out, "%2en", v2[V2Field::EncodedBy], cp);
    return out;
}

}  // namespace sorrelbox
