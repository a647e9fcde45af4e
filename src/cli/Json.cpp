#include "Json.h"

#include <charconv>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <ostream>

#include "platform/CodePage.h"

namespace sorrelbox::cli {
namespace {

constexpr std::uint64_t kOnes = 0x0101010101010101;
constexpr std::uint64_t kHighBits = 0x8080808080808080;

std::uint64_t Word(const char* at) {
    std::uint64_t word;
    std::memcpy(&word, at, sizeof word);
    return word;
}

// High bit set in each byte of word that equals byte (exact whenever any byte does).
std::uint64_t BytesEqual(std::uint64_t word, unsigned char byte) {
    const std::uint64_t diff = word ^ (kOnes * byte);
    return (diff - kOnes) & ~diff & kHighBits;
}

// Where the first byte JSON must escape stands (a control character, '"' or '\\'), or the
// size. Eight bytes at a time: texts are long and escapes rare.
std::size_t FirstToEscape(std::string_view s) {
    std::size_t i = 0;
    for (; i + 8 <= s.size(); i += 8) {
        const std::uint64_t word = Word(s.data() + i);
        const std::uint64_t control = (word - kOnes * 0x20) & ~word & kHighBits;
        if (control | BytesEqual(word, '"') | BytesEqual(word, '\\')) break;
    }
    for (; i < s.size(); ++i) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c < 0x20 || c == '"' || c == '\\') return i;
    }
    return s.size();
}

// Appends valid UTF-8 as a JSON string literal.
void AppendQuoted(std::string& out, std::string_view utf8) {
    static constexpr char kHex[] = "0123456789abcdef";
    out += '"';
    for (;;) {
        const std::size_t n = FirstToEscape(utf8);
        out.append(utf8.substr(0, n));
        if (n == utf8.size()) break;
        const auto c = static_cast<unsigned char>(utf8[n]);
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\b':
                out += "\\b";
                break;
            case '\f':
                out += "\\f";
                break;
            default:
                out += "\\u00";
                out += kHex[c >> 4];
                out += kHex[c & 0xF];
        }
        utf8.remove_prefix(n + 1);
    }
    out += '"';
}

}  // namespace

std::string JsonString(std::string_view cpText) {
    std::string out;
    AppendQuoted(out, ActiveCodePage().ToUtf8(cpText));
    return out;
}

std::string JsonUtf8String(std::string_view utf8) {
    std::string out;
    AppendQuoted(out, CodePage(CodePage::Kind::Utf8).ToUtf8(utf8));
    return out;
}

JsonObject& JsonObject::AddKey(std::string_view key) {
    if (body_.empty()) {
        body_.reserve(512);  // a scan line, without growing
    } else {
        body_ += ",";
    }
    body_ += '"';
    body_ += key;
    body_ += "\":";
    return *this;
}

JsonObject& JsonObject::AddRaw(std::string_view key, std::string_view json) {
    AddKey(key);
    body_ += json;
    return *this;
}

JsonObject& JsonObject::AddString(std::string_view key, std::string_view cpText) {
    AddKey(key);
    // ASCII needs no converted copy.
    if (IsAscii(cpText)) {
        AppendQuoted(body_, cpText);
    } else {
        AppendQuoted(body_, ActiveCodePage().ToUtf8(cpText));
    }
    return *this;
}

JsonObject& JsonObject::AddUtf8String(std::string_view key, std::string_view utf8) {
    return AddRaw(key, JsonUtf8String(utf8));
}

JsonObject& JsonObject::AddInt(std::string_view key, std::int64_t value) {
    return AddNumber(key, value);
}

JsonObject& JsonObject::AddUnsigned(std::string_view key, std::uint64_t value) {
    return AddNumber(key, value);
}

template <typename Integer>
JsonObject& JsonObject::AddNumber(std::string_view key, Integer value) {
    char digits[24];
    const char* end = std::to_chars(std::begin(digits), std::end(digits), value).ptr;
    return AddRaw(key, std::string_view(digits, static_cast<std::size_t>(end - digits)));
}

JsonObject& JsonObject::AddBool(std::string_view key, bool value) {
    return AddRaw(key, value ? "true" : "false");
}

JsonObject& JsonObject::AddNull(std::string_view key) {
    return AddRaw(key, "null");
}

JsonObject& JsonObject::AddStringArray(std::string_view key,
                                       const std::vector<std::string>& cpTexts) {
    std::string json = "[";
    for (std::size_t i = 0; i < cpTexts.size(); ++i) {
        if (i > 0) json += ",";
        json += JsonString(cpTexts[i]);
    }
    return AddRaw(key, json + "]");
}

JsonObject& JsonObject::AddIntArray(std::string_view key, const std::vector<std::int64_t>& values) {
    std::string json = "[";
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (i > 0) json += ",";
        json += std::to_string(values[i]);
    }
    return AddRaw(key, json + "]");
}

JsonObject& JsonObject::AddObject(std::string_view key, const JsonObject& value) {
    return AddRaw(key, value.str());
}

JsonObject& JsonObject::AddObjectArray(std::string_view key,
                                       const std::vector<JsonObject>& values) {
    std::string json = "[";
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (i > 0) json += ",";
        json += values[i].str();
    }
    return AddRaw(key, json + "]");
}

void WriteJsonLine(std::ostream& out, const JsonObject& object) {
    out << '{' << object.body_ << "}\n";
}

}  // namespace sorrelbox::cli
