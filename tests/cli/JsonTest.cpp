#include "Json.h"

#include <gtest/gtest.h>

#include <sstream>

#include "platform/CodePage.h"

namespace sorrelbox::cli {
namespace {

constexpr CodePage::Kind kUtf8 = CodePage::Kind::Utf8;

std::string Line(const JsonObject& object) {
    std::ostringstream out;
    WriteJsonLine(out, object);
    return out.str();
}

TEST(JsonTest, StringsAreConvertedAndEscapedAtEveryPosition) {
    const struct {
        CodePage::Kind cp;
        std::string in;
        const char* json;
    } cases[] = {
        {kUtf8, "a\"b\\c/d", "\"a\\\"b\\\\c/d\""},
        {kUtf8, {"\n\r\t\b\f\x01\x1f\x7f\0", 9}, "\"\\n\\r\\t\\b\\f\\u0001\\u001f\x7f\\u0000\""},
        {kUtf8, "曲名\xff\xc3", "\"曲名\xEF\xBF\xBD\xEF\xBF\xBD\""},
        // Shift-JIS: 0x95 0x5C is one character, its second byte is not a backslash.
        {CodePage::Kind::Cp932, "\x95\x5C\x82\xa0\\a\x82", "\"表あ\\\\a\xEF\xBF\xBD\""},
    };
    for (const auto& c : cases) {
        ScopedCodePage cp{CodePage(c.cp)};
        EXPECT_EQ(JsonString(c.in), c.json) << c.in;
    }
    // After UTF-8 whose bytes differ from '"', '\\' and control characters only in the high bit.
    ScopedCodePage cp{CodePage(kUtf8)};
    const std::string lookalikes = "\xC2\xA2\xC3\x9C\xDC\xA0\xDC\x80";
    for (const auto& [c, escaped] : {std::pair{'"', "\\\""},
                                     {'\\', "\\\\"},
                                     {'\n', "\\n"},
                                     {'\x01', "\\u0001"},
                                     {'\x1f', "\\u001f"}}) {
        for (std::size_t at = 0; at < 20; ++at) {
            std::string text = lookalikes + std::string(20, 'a'), want = text;
            text.insert(lookalikes.size() + at, 1, c);
            want.insert(lookalikes.size() + at, escaped);
            EXPECT_EQ(JsonString(text), "\"" + want + "\"") << at;
            EXPECT_EQ(Line(JsonObject().AddString("k", text)), "{\"k\":\"" + want + "\"}\n") << at;
        }
    }
    const std::string ascii = std::string(30, 'x') + "\x7f~";
    EXPECT_EQ(Line(JsonObject().AddString("k", ascii)), "{\"k\":\"" + ascii + "\"}\n");
}

TEST(JsonTest, ObjectKeepsKeyOrderAndTypes) {
    JsonObject inner;
    inner.AddInt("n", -5);
    EXPECT_EQ(
        Line(JsonObject()
                 .AddUnsigned("u", 18446744073709551615ull)
                 .AddBool("t", true)
                 .AddBool("f", false)
                 .AddNull("z")
                 .AddStringArray("a", {"p", "q\""})
                 .AddIntArray("e", {})
                 .AddIntArray("i", {1, -2})
                 .AddObject("o", inner)
                 .AddObjectArray("l", {inner, JsonObject()})),
        "{\"u\":18446744073709551615,\"t\":true,\"f\":false,\"z\":null,\"a\":[\"p\",\"q\\\"\"],"
        "\"e\":[],\"i\":[1,-2],\"o\":{\"n\":-5},\"l\":[{\"n\":-5},{}]}\n");
}

}  // namespace
}  // namespace sorrelbox::cli
