#include "platform/CodePage.h"

#include <iconv.h>
#include <langinfo.h>

#include <algorithm>
#include <cerrno>
#include <clocale>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <utility>

namespace sorrelbox {
namespace {

constexpr std::string_view kReplacementUtf8 = "\xEF\xBF\xBD";

std::string Upper(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return out;
}

// Length of the valid UTF-8 sequence at pos, or 0 when the bytes there are not one.
std::size_t Utf8SequenceLength(std::string_view s, std::size_t pos, char32_t* out = nullptr) {
    const auto b0 = static_cast<unsigned char>(s[pos]);
    std::size_t len;
    char32_t cp;
    if (b0 < 0x80) {
        if (out) *out = b0;
        return 1;
    } else if (b0 >= 0xC2 && b0 <= 0xDF) {
        len = 2;
        cp = b0 & 0x1F;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        len = 3;
        cp = b0 & 0x0F;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        len = 4;
        cp = b0 & 0x07;
    } else {
        return 0;
    }
    if (pos + len > s.size()) return 0;
    for (std::size_t i = 1; i < len; ++i) {
        const auto b = static_cast<unsigned char>(s[pos + i]);
        if ((b & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (b & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are not valid UTF-8.
    if ((len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
        (cp >= 0xD800 && cp <= 0xDFFF)) {
        return 0;
    }
    if (out) *out = cp;
    return len;
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Valid sequences as they stand and each invalid byte as U+FFFD: what a trip through UTF-16
// and back gives, without the trip.
std::string SanitizedUtf8(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    std::size_t copied = 0;
    for (std::size_t i = 0; i < s.size();) {
        if (static_cast<unsigned char>(s[i]) < 0x80) {
            ++i;
            continue;
        }
        const std::size_t len = Utf8SequenceLength(s, i);
        if (len != 0) {
            i += len;
            continue;
        }
        out.append(s.substr(copied, i - copied));
        out.append(kReplacementUtf8);
        copied = ++i;
    }
    out.append(s.substr(copied));
    return out;
}

// Decodes UTF-16 (host order units); unpaired surrogates give U+FFFD.
std::string Utf16ToUtf8(std::u16string_view s, bool* lossless = nullptr) {
    std::string out;
    out.reserve(s.size() * 3);
    for (std::size_t i = 0; i < s.size(); ++i) {
        char32_t c = s[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 &&
            s[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            if (lossless) *lossless = false;
            c = 0xFFFD;
        }
        AppendUtf8(out, c);
    }
    return out;
}

std::u16string Utf8ToUtf16(std::string_view s, bool* lossless = nullptr) {
    std::u16string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size();) {
        char32_t cp;
        std::size_t len = Utf8SequenceLength(s, i, &cp);
        if (len == 0) {
            if (lossless) *lossless = false;
            cp = 0xFFFD;
            len = 1;
        }
        if (cp >= 0x10000) {
            out += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
        i += len;
    }
    return out;
}

// Closed when its thread ends, so leak checkers see no converter left open.
struct OpenConverter {
    iconv_t cd;
    explicit OpenConverter(iconv_t handle) : cd(handle) {}
    OpenConverter(const OpenConverter&) = delete;
    OpenConverter& operator=(const OpenConverter&) = delete;
    ~OpenConverter() {
        if (cd != reinterpret_cast<iconv_t>(-1)) iconv_close(cd);
    }
};

// Converters are opened once per thread and pair of encodings.
iconv_t Converter(const char* to, const char* from) {
    thread_local std::map<std::pair<std::string, std::string>, OpenConverter> cache;
    auto key = std::make_pair(std::string(to), std::string(from));
    auto it = cache.find(key);
    if (it == cache.end()) {
        it = cache.try_emplace(key, iconv_open(to, from)).first;
    }
    iconv(it->second.cd, nullptr, nullptr, nullptr, nullptr);
    return it->second.cd;
}

// Converts with iconv. On a byte sequence that does not convert, appends replacement and
// skips skip(in, pos) bytes; in strict mode gives up instead.
template <typename Skip>
bool Convert(const char* to, const char* from, std::string_view in, std::string& out,
             std::string_view replacement, bool strict, Skip skip) {
    iconv_t cd = Converter(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;
    out.clear();
    out.reserve(in.size() * 2 + 8);
    std::size_t pos = 0;
    char buffer[1024];
    while (pos < in.size()) {
        char* inPtr = const_cast<char*>(in.data() + pos);
        std::size_t inLeft = in.size() - pos;
        char* outPtr = buffer;
        std::size_t outLeft = sizeof buffer;
        const std::size_t rc = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
        const int err = errno;
        out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
        pos = in.size() - inLeft;
        if (rc != static_cast<std::size_t>(-1)) break;
        if (err == E2BIG) continue;
        if (strict) return false;
        out += replacement;
        pos += std::max<std::size_t>(1, skip(in, pos));
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    return true;
}

std::u16string FromBytes16(const std::string& bytes) {
    std::u16string out(bytes.size() / 2, u'\0');
    for (std::size_t i = 0; i < out.size(); ++i) {
        out[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                       (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
    }
    return out;
}

std::string ToUtf16LeBytes(std::u16string_view s) {
    std::string out;
    out.reserve(s.size() * 2);
    for (char16_t c : s) {
        out += static_cast<char>(c & 0xFF);
        out += static_cast<char>(c >> 8);
    }
    return out;
}

std::size_t SkipOneByte(std::string_view, std::size_t) {
    return 1;
}

std::size_t SkipUtf8Char(std::string_view s, std::size_t pos) {
    const std::size_t len = Utf8SequenceLength(s, pos);
    return len == 0 ? 1 : len;
}

std::size_t SkipUtf16Char(std::string_view s, std::size_t pos) {
    if (pos + 3 < s.size()) {
        const auto hi = static_cast<unsigned char>(s[pos + 1]);
        const auto hi2 = static_cast<unsigned char>(s[pos + 3]);
        if (hi >= 0xD8 && hi <= 0xDB && hi2 >= 0xDC && hi2 <= 0xDF) return 4;
    }
    return 2;
}

std::optional<CodePage>& ActiveSlot() {
    static std::optional<CodePage> active;
    return active;
}

}  // namespace

std::optional<CodePage> CodePage::FromName(std::string_view name) {
    const std::string n = Upper(name);
    if (n == "UTF-8" || n == "UTF8") return CodePage(Kind::Utf8);
    if (n == "CP932" || n == "SHIFT_JIS" || n == "SHIFT-JIS" || n == "SJIS" || n == "WINDOWS-31J" ||
        n == "MS932") {
        return CodePage(Kind::Cp932);
    }
    return std::nullopt;
}

bool CodePage::IsLeadByte(unsigned char b) const {
    if (kind_ == Kind::Cp932) return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
    return b >= 0xC2 && b <= 0xF4;
}

std::size_t CodePage::CharLength(std::string_view s, std::size_t pos) const {
    if (pos >= s.size()) return 0;
    if (kind_ == Kind::Cp932) {
        return IsLeadByte(static_cast<unsigned char>(s[pos])) && pos + 1 < s.size() ? 2 : 1;
    }
    const std::size_t len = Utf8SequenceLength(s, pos);
    return len == 0 ? 1 : len;
}

std::size_t CodePage::CountChars(std::string_view s) const {
    std::size_t count = 0;
    for (std::size_t pos = 0; pos < s.size(); pos += CharLength(s, pos)) ++count;
    return count;
}

std::size_t CodePage::FindChar(std::string_view s, char c, std::size_t from) const {
    if (AsciiStandsAlone(c)) return s.find(c, from);
    for (std::size_t pos = from; pos < s.size(); pos += CharLength(s, pos)) {
        if (s[pos] == c) return pos;
    }
    return std::string_view::npos;
}

std::size_t CodePage::FindLastChar(std::string_view s, char c) const {
    if (AsciiStandsAlone(c)) return s.rfind(c);
    std::size_t found = std::string_view::npos;
    for (std::size_t pos = 0; pos < s.size(); pos += CharLength(s, pos)) {
        if (s[pos] == c) found = pos;
    }
    return found;
}

std::size_t CodePage::FindToken(std::string_view s, std::string_view token,
                                std::size_t from) const {
    if (token.empty()) return from <= s.size() ? from : std::string_view::npos;
    // Walk from the start so that `from` inside a character is never taken as a boundary.
    for (std::size_t pos = 0; pos < s.size(); pos += CharLength(s, pos)) {
        if (pos >= from && s.compare(pos, token.size(), token) == 0) return pos;
    }
    return std::string_view::npos;
}

std::size_t CodePage::CutAtCharBoundary(std::string_view s, std::size_t maxBytes) const {
    std::size_t pos = 0;
    while (pos < s.size()) {
        const std::size_t len = CharLength(s, pos);
        if (pos + len > maxBytes) break;
        pos += len;
    }
    return pos;
}

std::u16string CodePage::ToUtf16(std::string_view s) const {
    if (kind_ == Kind::Utf8) return Utf8ToUtf16(s);
    std::string bytes;
    Convert("UTF-16LE", "CP932", s, bytes, "\xFD\xFF", false, SkipOneByte);
    return FromBytes16(bytes);
}

std::string CodePage::FromUtf16(std::u16string_view s) const {
    if (kind_ == Kind::Utf8) return Utf16ToUtf8(s);
    std::string out;
    Convert("CP932", "UTF-16LE", ToUtf16LeBytes(s), out, "?", false, SkipUtf16Char);
    return out;
}

// Most paths and tags are ASCII, so the conversions at the edges skip the round trip for them.
bool IsAscii(std::string_view s) {
    constexpr std::uint64_t kHighBits = 0x8080808080808080;
    std::size_t i = 0;
    for (; i + 8 <= s.size(); i += 8) {
        std::uint64_t word;
        std::memcpy(&word, s.data() + i, sizeof word);
        if (word & kHighBits) return false;
    }
    for (; i < s.size(); ++i) {
        if (static_cast<unsigned char>(s[i]) >= 0x80) return false;
    }
    return true;
}

std::string CodePage::ToUtf8(std::string_view s) const {
    if (IsAscii(s)) return std::string(s);
    if (kind_ == Kind::Utf8) return SanitizedUtf8(s);
    std::string out;
    Convert("UTF-8", "CP932", s, out, kReplacementUtf8, false, SkipOneByte);
    return out;
}

std::string CodePage::FromUtf8(std::string_view s) const {
    if (IsAscii(s)) return std::string(s);
    if (kind_ == Kind::Utf8) return SanitizedUtf8(s);
    std::string out;
    Convert("CP932", "UTF-8", s, out, "?", false, SkipUtf8Char);
    return out;
}

std::optional<std::string> CodePage::ToUtf8Strict(std::string_view s) const {
    if (IsAscii(s)) return std::string(s);
    if (kind_ == Kind::Utf8) {
        bool lossless = true;
        Utf8ToUtf16(s, &lossless);
        if (!lossless) return std::nullopt;
        return std::string(s);
    }
    std::string out;
    if (!Convert("UTF-8", "CP932", s, out, {}, true, SkipOneByte)) return std::nullopt;
    return out;
}

std::optional<std::string> CodePage::FromUtf8Strict(std::string_view s) const {
    if (IsAscii(s)) return std::string(s);
    bool lossless = true;
    Utf8ToUtf16(s, &lossless);
    if (!lossless) return std::nullopt;
    if (kind_ == Kind::Utf8) return std::string(s);
    std::string out;
    if (!Convert("CP932", "UTF-8", s, out, {}, true, SkipUtf8Char)) return std::nullopt;
    return out;
}

const CodePage& ActiveCodePage() {
    auto& slot = ActiveSlot();
    if (!slot) slot = CodePage(CodePage::Kind::Utf8);
    return *slot;
}

void SetActiveCodePage(const CodePage& cp) {
    ActiveSlot() = cp;
}

std::optional<CodePage> CodePageFromEnvironment(std::string* error) {
    if (const char* env = std::getenv("SORRELBOX_CODEPAGE"); env && *env) {
        auto cp = CodePage::FromName(env);
        if (!cp && error) {
            *error = std::string("unknown code page in SORRELBOX_CODEPAGE: ") + env +
                     " (use CP932 or UTF-8)";
        }
        return cp;
    }
    std::setlocale(LC_CTYPE, "");
    const char* codeset = nl_langinfo(CODESET);
    if (codeset) {
        if (auto cp = CodePage::FromName(codeset)) return cp;
    }
    return CodePage(CodePage::Kind::Utf8);
}

std::string CpText(std::string_view utf8) {
    return ActiveCodePage().FromUtf8(utf8);
}

}  // namespace sorrelbox
