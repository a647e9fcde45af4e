#include "Json.h"

#include <gtest/gtest.h>

#include <sstream>

#include "platform/CodePage.h"

namespace sorrelbox::cli {
namespace {

std::string Line(const JsonObject& object) {
    std::ostringstream out;
    WriteJsonLine(out, object);
    return out.str();
}

TEST(JsonTest, StringsAreConvertedAndEscapedAtEveryPosition) {
    {
        // Shift-JIS: 0x95 0x5C is one character, its second byte is not a backslash.
        ScopedCodePage sjis{CodePage(CodePage::Kind::Cp932)};
        EXPECT_EQ(JsonString("\x95\x5C\x82\xa0\\a\x82"), "\"表あ\\\\a\xEF\xBF\xBD\"");
    }
    ScopedCodePage cp{CodePage(CodePage::Kind::Utf8)};
    EXPECT_EQ(JsonString("a\"b\\c/d"), "\"a\\\"b\\\\c/d\"");
    EXPECT_EQ(JsonString({"\n\r\t\b\f\x01\x1f\x7f\0", 9}),
              "\"\\n\\r\\t\\b\\f\\u0001\\u001f\x7f\\u0000\"");
    EXPECT_EQ(JsonString("曲名\xff\xc3"), "\"曲名\xEF\xBF\xBD\xEF\xBF\xBD\"");
    // After UTF-8 whose bytes differ from '"', '\\' and control characters only in the high bit.
    const std::string lookalikes = "\xC2\xA2\xC3\x9C\xDC\xA0\xDC\x80";
    const char* escapes[] = {"\\\"", "\\\\", "\\n", "\\u0001", "\\u001f"};
    for (int k = 0; k < 5; ++k) {
        const char c = "\"\\\n\x01\x1f"[k], *escaped = escapes[k];
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
    JsonObject inner, object;
    inner.AddInt("n", -5).AddBool("t", true).AddNull("z");
    object.AddStringArray("a", {"p", "q\"", "r"}).AddIntArray("i", {1, -2, 3});
    EXPECT_EQ(
        Line(object.AddObjectArray("l", {inner, JsonObject(), inner}).AddObject("o", {})),
        "{\"a\":[\"p\",\"q\\\"\",\"r\"],\"i\":[1,-2,3],\"l\":[{\"n\":-5,\"t\":true,\"z\":null},{},"
        "{\"n\":-5,\"t\":true,\"z\":null}],\"o\":{}}\n");
}

}  // namespace
}  // namespace sorrelbox::cli
