#include "platform/CodePage.h"

#include <gtest/gtest.h>

namespace sorrelbox {
namespace {

const CodePage kSjis(CodePage::Kind::Cp932);
const CodePage kUtf8(CodePage::Kind::Utf8);

// "ソ" is 83 5C and "表" is 95 5C in Shift-JIS: their second byte is a backslash.
constexpr std::string_view kSo = "\x83\x5C";
constexpr std::string_view kHyou = "\x95\x5C";

TEST(CodePageTest, NamesAreRecognisedAndUnknownOnesRefused) {
    struct Case {
        const char* name;
        std::optional<CodePage::Kind> kind;
    };
    const Case cases[] = {{"CP932", CodePage::Kind::Cp932},
                          {"shift_jis", CodePage::Kind::Cp932},
                          {"SJIS", CodePage::Kind::Cp932},
                          {"utf-8", CodePage::Kind::Utf8},
                          {"UTF8", CodePage::Kind::Utf8},
                          {"latin1", std::nullopt},
                          {"", std::nullopt}};
    for (const auto& c : cases) {
        auto cp = CodePage::FromName(c.name);
        ASSERT_EQ(cp.has_value(), c.kind.has_value()) << c.name;
        if (cp) {
            EXPECT_EQ(cp->kind(), *c.kind) << c.name;
        }
    }
}

TEST(CodePageTest, BackslashInsideDoubleByteCharacterIsNotFound) {
    const std::string path =
        std::string("C:\\") + std::string(kSo) + "\\" + std::string(kHyou) + ".mp3";
    // Bytes: C : \ 83 5C \ 95 5C . m p 3
    EXPECT_EQ(kSjis.FindChar(path, '\\'), 2u);
    EXPECT_EQ(kSjis.FindChar(path, '\\', 3), 5u);
    EXPECT_EQ(kSjis.FindLastChar(path, '\\'), 5u);
    // Byte-wise search would find the trail bytes.
    EXPECT_EQ(path.rfind('\\'), 7u);
    EXPECT_EQ(kSjis.FindToken(path, "\\.mp3"), std::string::npos);
    EXPECT_EQ(kSjis.FindToken(path, ".mp3"), 8u);
}

TEST(CodePageTest, CountsAndCutsByCharacters) {
    struct Case {
        const CodePage* cp;
        std::string text;
        std::size_t chars;
        std::size_t max;
        std::size_t cut;
    };
    const std::string sjis = "a" + std::string(kSo) + std::string(kHyou) + "b";  // 6 bytes
    const std::string utf8 =
        "a\xE3\x82\xBD\xE8\xA1\xA8"
        "b";  // 8 bytes
    const Case cases[] = {
        {&kSjis, sjis, 4, 2, 1},       {&kSjis, sjis, 4, 3, 3},   {&kSjis, sjis, 4, 6, 6},
        {&kSjis, sjis, 4, 100, 6},     {&kSjis, "\x83", 1, 1, 1},  // lone lead byte at the end
        {&kUtf8, utf8, 4, 3, 1},       {&kUtf8, utf8, 4, 4, 4},   {&kUtf8, utf8, 4, 7, 7},
        {&kUtf8, "\xFF\xFE", 2, 1, 1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.cp->CountChars(c.text), c.chars) << c.cp->name() << " " << c.text;
        EXPECT_EQ(c.cp->CutAtCharBoundary(c.text, c.max), c.cut) << c.cp->name() << " " << c.max;
    }
}

TEST(CodePageTest, ConvertsBetweenEncodings) {
    const std::string utf8 =
        "\xE3\x82\xBD\xE8\xA1\xA8\xEF\xBC\x9A"
        "A";  // ソ表：A
    const std::string sjis = std::string(kSo) + std::string(kHyou) +
                             "\x81\x46"
                             "A";
    EXPECT_EQ(kSjis.FromUtf8(utf8), sjis);
    EXPECT_EQ(kSjis.ToUtf8(sjis), utf8);
    EXPECT_EQ(kSjis.ToUtf16(sjis), u"ソ表：A");
    EXPECT_EQ(kSjis.FromUtf16(u"ソ表：A"), sjis);
    EXPECT_EQ(kUtf8.ToUtf16(utf8), u"ソ表：A");
    EXPECT_EQ(kUtf8.FromUtf16(u"ソ表：A"), utf8);
}

TEST(CodePageTest, BadInputIsReplacedNotDropped) {
    // An invalid Shift-JIS pair and an invalid UTF-8 byte give U+FFFD.
    EXPECT_EQ(kSjis.ToUtf8("a\x85\x40z"), "a\xEF\xBF\xBD@z");
    EXPECT_EQ(kUtf8.ToUtf8("a\xFFz"), "a\xEF\xBF\xBDz");
    // Characters Shift-JIS cannot hold become '?', an unpaired surrogate too.
    EXPECT_EQ(kSjis.FromUtf16(u"a\u00E9\U0001F600b"), "a??b");
    EXPECT_EQ(kUtf8.FromUtf16(std::u16string(u"a") + char16_t(0xD800) + u"b"),
              "a\xEF\xBF\xBD"
              "b");
    EXPECT_FALSE(kSjis.ToUtf8Strict("a\x85\x40").has_value());
    EXPECT_FALSE(kSjis.FromUtf8Strict("\xC3\xA9").has_value());
    EXPECT_FALSE(kUtf8.ToUtf8Strict("\xFF").has_value());
    EXPECT_EQ(kSjis.FromUtf8Strict("\xE3\x82\xBD"), std::string(kSo));
}

TEST(CodePageTest, InvalidUtf8BecomesOneReplacementPerByte) {
    const std::string r = "\xEF\xBF\xBD";
    struct Case {
        std::string in;
        std::string out;
    };
    const Case cases[] = {
        {"\xC3\xA9\xF0\x9F\x98\x80", "\xC3\xA9\xF0\x9F\x98\x80"},  // 2 and 4 bytes kept
        {"a\xC0\x80z", "a" + r + r + "z"},                         // overlong
        {"\xED\xA0\x80", r + r + r},                               // surrogate
        {"x\xE3\x82", "x" + r + r},                                // cut at the end
        {"\xF5\x80/\x80", r + r + "/" + r},                        // past U+10FFFF, stray
    };
    for (const auto& c : cases) {
        EXPECT_EQ(kUtf8.ToUtf8(c.in), c.out);
        EXPECT_EQ(kUtf8.FromUtf8(c.in), c.out);
        EXPECT_EQ(kUtf8.ToUtf8(c.in), kUtf8.FromUtf16(kUtf8.ToUtf16(c.in)));
    }
    // Invalid bytes never hide an ASCII separator from the searches.
    const std::string path = "\xE3/\xE3\x82/\xC3\xA9";
    EXPECT_EQ(kUtf8.FindChar(path, '/'), 1u);
    EXPECT_EQ(kUtf8.FindChar(path, '/', 2), 4u);
    EXPECT_EQ(kUtf8.FindLastChar(path, '/'), 4u);
    EXPECT_EQ(kUtf8.FindLastChar("\xC3\xA9", '/'), std::string_view::npos);
}

TEST(CodePageTest, ProgramTextsFollowTheActiveCodePage) {
    {
        ScopedCodePage scoped(kSjis);
        EXPECT_EQ(CpText("\xEF\xBC\x9A"), "\x81\x46");
    }
    ScopedCodePage scoped(kUtf8);
    EXPECT_EQ(CpText("\xEF\xBC\x9A"), "\xEF\xBC\x9A");
}

}  // namespace
}  // namespace sorrelbox
