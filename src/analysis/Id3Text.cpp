#include "analysis/Id3Text.h"

#include <algorithm>
#include <string_view>

namespace sorrelbox {
namespace {

const CodePage kUtf8(CodePage::Kind::Utf8);

std::string_view UpToNul(std::span<const std::uint8_t> data) {
    const auto end = std::find(data.begin(), data.end(), std::uint8_t{0});
    return {reinterpret_cast<const char*>(data.data()),
            static_cast<std::size_t>(end - data.begin())};
}

std::string Latin1ToUtf8(std::string_view s) {
    std::string out;
    for (const char c : s) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x80) {
            out += c;
        } else {
            out += static_cast<char>(0xC0 | (b >> 6));
            out += static_cast<char>(0x80 | (b & 0x3F));
        }
    }
    return out;
}

// UTF-16 up to its first NUL unit as UTF-8; false when a surrogate stands unpaired.
bool Utf16ToUtf8(std::span<const std::uint8_t> data, bool bigEndian, std::string& out) {
    std::u16string units;
    for (std::size_t i = 0; i + 1 < data.size(); i += 2) {
        const char16_t u = bigEndian ? static_cast<char16_t>(data[i] << 8 | data[i + 1])
                                     : static_cast<char16_t>(data[i + 1] << 8 | data[i]);
        if (u == 0) break;
        units += u;
    }
    bool paired = true;
    for (std::size_t i = 0; i < units.size(); ++i) {
        const bool high = units[i] >= 0xD800 && units[i] <= 0xDBFF;
        const bool low = units[i] >= 0xDC00 && units[i] <= 0xDFFF;
        if (high && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
            ++i;
        } else if (high || low) {
            paired = false;
        }
    }
    out = kUtf8.FromUtf16(units);
    return paired;
}

void AppendUtf16(std::string& out, std::u16string_view s, bool bigEndian) {
    for (const char16_t c : s) {
        const auto hi = static_cast<char>(c >> 8);
        const auto lo = static_cast<char>(c & 0xFF);
        out += bigEndian ? hi : lo;
        out += bigEndian ? lo : hi;
    }
}

}  // namespace

std::string DecodeId3Text(std::uint8_t encoding, std::span<const std::uint8_t> data,
                          std::size_t* bomBytes, bool* lossless) {
    if (bomBytes) *bomBytes = 0;
    if (lossless) *lossless = true;
    const CodePage& cp = ActiveCodePage();
    if (encoding == 0) {
        const std::string_view text = UpToNul(data);
        if (cp.kind() == CodePage::Kind::Utf8 && !kUtf8.ToUtf8Strict(text)) {
            return Latin1ToUtf8(text);
        }
        return std::string(text);
    }
    std::string utf8;
    bool valid = true;
    if (encoding == 3) {
        if (data.size() >= 3 && data[0] == 0xEF && data[1] == 0xBB && data[2] == 0xBF) {
            data = data.subspan(3);
            if (bomBytes) *bomBytes = 3;
        }
        utf8 = std::string(UpToNul(data));
    } else {
        bool bigEndian = encoding == 2;
        if (data.size() >= 2 &&
            ((data[0] == 0xFF && data[1] == 0xFE) || (data[0] == 0xFE && data[1] == 0xFF))) {
            bigEndian = data[0] == 0xFE;
            data = data.subspan(2);
            if (bomBytes) *bomBytes = 2;
        }
        valid = Utf16ToUtf8(data, bigEndian, utf8);
    }
    if (valid) {
        if (auto exact = cp.FromUtf8Strict(utf8)) return *std::move(exact);
    }
    if (lossless) *lossless = false;
    return cp.FromUtf8(utf8);
}

std::uint8_t Id3EncodingToWrite(std::uint8_t major, std::string_view text,
                                std::optional<std::uint8_t> oldEncoding, const CodePage& cp) {
    if (oldEncoding && *oldEncoding != 0) return *oldEncoding > 3 ? 1 : *oldEncoding;
    if (cp.kind() == CodePage::Kind::Cp932) return 0;
    if (major >= 4) return 3;
    return IsAscii(text) ? 0 : 1;
}

std::string EncodeId3Text(std::uint8_t encoding, std::string_view text) {
    const CodePage& cp = ActiveCodePage();
    switch (encoding) {
        case 0:
            return std::string(text);
        case 1: {
            std::string out = "\xFF\xFE";
            AppendUtf16(out, cp.ToUtf16(text), false);
            return out;
        }
        case 2: {
            std::string out;
            AppendUtf16(out, cp.ToUtf16(text), true);
            return out;
        }
        default:
            return cp.ToUtf8(text);
    }
}

std::string_view Id3Terminator(std::uint8_t encoding) {
    using namespace std::string_view_literals;
    return encoding == 1 || encoding == 2 ? "\0\0"sv : "\0"sv;
}

Id3TextSplit SplitAtTerminator(std::uint8_t encoding, std::span<const std::uint8_t> data) {
    const std::size_t width = Id3Terminator(encoding).size();
    for (std::size_t i = 0; i + width <= data.size(); i += width) {
        if (data[i] == 0 && (width == 1 || data[i + 1] == 0)) {
            return {data.first(i), data.subspan(i + width), true};
        }
    }
    return {data, {}, false};
}

std::string EncodeId3Url(std::string_view text, const CodePage& cp) {
    if (cp.kind() == CodePage::Kind::Cp932 || IsAscii(text)) return std::string(text);
    std::string out;
    for (std::size_t pos = 0; pos < text.size();) {
        const std::size_t len = cp.CharLength(text, pos);
        const auto lead = static_cast<unsigned char>(text[pos]);
        if (len == 1 && lead < 0x80) {
            out += text[pos];
        } else if (len == 2 && (lead == 0xC2 || lead == 0xC3)) {
            out += static_cast<char>((lead & 0x1F) << 6 | (text[pos + 1] & 0x3F));
        } else {
            static constexpr char kHex[] = "0123456789ABCDEF";
            for (std::size_t i = pos; i < pos + len; ++i) {
                const auto b = static_cast<unsigned char>(text[i]);
                out += '%';
                out += kHex[b >> 4];
                out += kHex[b & 0x0F];
            }
        }
        pos += len;
    }
    return out;
}

}  // namespace sorrelbox
