#include "Json.h"

#include <gtest/gtest.h>

#include <sstream>

#include "platform/CodePage.h"

namespace sorrelbox::cli {
namespace {

TEST(JsonTest, StringsAreConvertedAndEscaped) {
    const struct {
        CodePage::Kind cp;
        std::string in;
        const char* json;
    } cases[] = {
        {CodePage::Kind::Utf8, "plain", "\"plain\""},
        {CodePage::Kind::Utf8, "a\"b\\c/d", "\"a\\\"b\\\\c/d\""},
        {CodePage::Kind::Utf8, std::string("\n\r\t\b\f\x01\x1f\x7f", 8),
         "\"\\n\\r\\t\\b\\f\\u0001\\u001f\x7f\""},
        {CodePage::Kind::Utf8, std::string("x\0y", 3), "\"x\\u0000y\""},
        {CodePage::Kind::Utf8, "曲名", "\"曲名\""},
        {CodePage::Kind::Utf8, "\xff\xc3", "\"\xEF\xBF\xBD\xEF\xBF\xBD\""},
        // Shift-JIS: 0x95 0x5C is one character, its second byte is not a backslash.
        {CodePage::Kind::Cp932, "\x95\x5C", "\"表\""},
        {CodePage::Kind::Cp932, "\x82\xa0\\", "\"あ\\\\\""},
        {CodePage::Kind::Cp932, "a\x82", "\"a\xEF\xBF\xBD\""},
    };
    for (const auto& c : cases) {
        ScopedCodePage cp{CodePage(c.cp)};
        EXPECT_EQ(JsonString(c.in), c.json) << c.in;
    }
}

TEST(JsonTest, EscapesAreFoundAtEveryPositionOfLongTexts) {
    ScopedCodePage cp{CodePage(CodePage::Kind::Utf8)};
    // UTF-8 whose bytes differ from '"', '\\' and control characters only in their high bit.
    const std::string lookalikes = "\xC2\xA2\xC3\x9C\xDC\xA0\xDC\x80";
    const std::pair<char, std::string> escapes[] = {
        {'"', "\\\""}, {'\\', "\\\\"}, {'\n', "\\n"}, {'\x01', "\\u0001"}, {'\x1f', "\\u001f"}};
    for (const auto& [c, escaped] : escapes) {
        for (std::size_t at = 0; at < 20; ++at) {
            std::string text = lookalikes + std::string(20, 'a');
            std::string want = text;
            text.insert(lookalikes.size() + at, 1, c);
            want.insert(lookalikes.size() + at, escaped);
            SCOPED_TRACE(at);
            EXPECT_EQ(JsonString(text), "\"" + want + "\"");
            JsonObject o;
            o.AddString("k", text);
            std::ostringstream out;
            WriteJsonLine(out, o);
            EXPECT_EQ(out.str(), "{\"k\":\"" + want + "\"}\n");
        }
    }
    JsonObject ascii;
    ascii.AddString("k", std::string(30, 'x') + "\x7f~");
    std::ostringstream out;
    WriteJsonLine(out, ascii);
    EXPECT_EQ(out.str(), "{\"k\":\"" + std::string(30, 'x') + "\x7f~\"}\n");
}

TEST(JsonTest, ObjectKeepsKeyOrderAndTypes) {
    ScopedCodePage cp{CodePage(CodePage::Kind::Utf8)};
    JsonObject inner;
    inner.AddInt("n", -5);
    JsonObject o;
    o.AddString("s", "x")
        .AddInt("i", -1)
        .AddUnsigned("u", 18446744073709551615ull)
        .AddBool("t", true)
        .AddBool("f", false)
        .AddNull("z")
        .AddStringArray("a", {"p", "q\""})
        .AddIntArray("e", {})
        .AddObject("o", inner)
        .AddObjectArray("l", {inner, JsonObject()});
    std::ostringstream out;
    WriteJsonLine(out, o);
    EXPECT_EQ(out.str(),
              "{\"s\":\"x\",\"i\":-1,\"u\":18446744073709551615,\"t\":true,\"f\":false,"
              "\"z\":null,\"a\":[\"p\",\"q\\\"\"],\"e\":[],\"o\":{\"n\":-5},"
              "\"l\":[{\"n\":-5},{}]}\n");
}

}  // namespace
}  // namespace sorrelbox::cli
