#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace sorrelbox {

// The process's ANSI code page: every path, tag text, list and message is a byte string in it.
// Multibyte-aware helpers work character by character, so the second byte of a Shift-JIS
// character (which may be 0x5C, a backslash) is never mistaken for a character of its own.
class CodePage {
  public:
    enum class Kind { Utf8, Cp932 };

    explicit CodePage(Kind kind) : kind_(kind) {}

    // Accepts "UTF-8"/"UTF8" and "CP932"/"SHIFT_JIS"/"SJIS"/"WINDOWS-31J", letter case ignored.
    static std::optional<CodePage> FromName(std::string_view name);

    Kind kind() const { return kind_; }
    std::string_view name() const { return kind_ == Kind::Utf8 ? "UTF-8" : "CP932"; }
    bool operator==(const CodePage&) const = default;

    // True when b starts a character of more than one byte.
    bool IsLeadByte(unsigned char b) const;
    // Length in bytes of the character at pos (1 for a stray or truncated byte, 0 at the end).
    std::size_t CharLength(std::string_view s, std::size_t pos) const;
    std::size_t CountChars(std::string_view s) const;
    // First/last position of the single-byte character c, searched character by character.
    std::size_t FindChar(std::string_view s, char c, std::size_t from = 0) const;
    std::size_t FindLastChar(std::string_view s, char c) const;
    // First occurrence of token that starts on a character boundary.
    std::size_t FindToken(std::string_view s, std::string_view token, std::size_t from = 0) const;
    // The longest prefix of s of at most maxBytes bytes that does not split a character.
    std::size_t CutAtCharBoundary(std::string_view s, std::size_t maxBytes) const;

    // Conversions. Bytes that are not valid in this code page become U+FFFD; characters the
    // code page cannot hold become '?', as the Windows conversions do by default.
    std::u16string ToUtf16(std::string_view s) const;
    std::string FromUtf16(std::u16string_view s) const;
    std::string ToUtf8(std::string_view s) const;
    std::string FromUtf8(std::string_view s) const;
    // Strict conversions for file names: nullopt when any character does not convert.
    std::optional<std::string> ToUtf8Strict(std::string_view s) const;
    std::optional<std::string> FromUtf8Strict(std::string_view s) const;

  private:
    // In UTF-8 an ASCII byte is never part of a longer character, so a plain byte search
    // finds what the character walk finds.
    bool AsciiStandsAlone(char c) const {
        return kind_ == Kind::Utf8 && static_cast<unsigned char>(c) < 0x80;
    }

    Kind kind_;
};

// The code page the process runs in. Set once at start-up; tests may swap it with
// ScopedCodePage.
const CodePage& ActiveCodePage();
void SetActiveCodePage(const CodePage& cp);

// SORRELBOX_CODEPAGE if set, else the locale's codeset (UTF-8 when it names none we know).
// An unknown SORRELBOX_CODEPAGE value gives nullopt and the error text in *error.
std::optional<CodePage> CodePageFromEnvironment(std::string* error);

class ScopedCodePage {
  public:
    explicit ScopedCodePage(const CodePage& cp) : saved_(ActiveCodePage()) {
        SetActiveCodePage(cp);
    }
    ~ScopedCodePage() { SetActiveCodePage(saved_); }
    ScopedCodePage(const ScopedCodePage&) = delete;
    ScopedCodePage& operator=(const ScopedCodePage&) = delete;

  private:
    CodePage saved_;
};

// True when every byte is below 0x80: such a text is the same bytes in every code page and in
// UTF-8.
bool IsAscii(std::string_view s);

// A text of the program (UTF-8 in the source) in the active code page.
std::string CpText(std::string_view utf8);

}  // namespace sorrelbox
