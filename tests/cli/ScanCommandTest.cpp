#include <gtest/gtest.h>

#include <regex>
#include <sstream>

#include "Commands.h"
#include "Json.h"
#include "analysis/Id3Reader.h"
#include "analysis/SongTable.h"
#include "platform/CodePage.h"
#include "support/Mp3Builder.h"
#include "support/TempDir.h"

namespace sorrelbox::test {
namespace {

std::string out, err;

int Scan(const std::vector<std::string>& args) {
    std::ostringstream o, e;
    const int status = cli::RunScan(args, o, e);
    out = o.str();
    err = e.str();
    return status;
}

// One line per file with the keys in order; the scan reads each file once and shares the bytes
// between the scan and the title: whatever the layout, it reports what the scan and the title
// reader report on their own, and a long list (several threads and batches) comes out in the
// order given, with exit status 1 when a file fails.
TEST(ScanCommandTest, OneLinePerFileAsTheReadersReportItInOrder) {
    ScopedCodePage cp{CodePage(CodePage::Kind::Utf8)};
    TempDir dir;
    Id3v2Tag tag;
    tag.frames.push_back(TextFrame("TIT2", "Song \"one\""));
    const std::string a = Mp3Builder().Id3v2(tag).Frame().FillTo(4000000).WriteTo(dir, "-a.mp3");
    EXPECT_EQ(Scan({"--", a}), 0);
    EXPECT_EQ(out,
              "{\"path\":\"" + a +
                  "\",\"result\":0,\"seconds\":250,\"fileSize\":4000000,\"id3v2Size\":21,"
                  "\"bitRate\":128,\"sampleRate\":44100,\"channelMode\":0,\"rightsFlag\":0,"
                  "\"originalFlag\":1,\"listEntry\":\"  4：10  -a.mp3\",\"timeText\":\"4：10\","
                  "\"sizeText\":\"3.8MB\",\"bitRateText\":\"128kbps\","
                  "\"title\":\"Song \\\"one\\\"\"}\n");
    for (const auto& args : {std::vector<std::string>{}, {"--"}, {"--bogus", a}, {"-a.mp3"}}) {
        EXPECT_EQ(Scan(args), 2);
        EXPECT_EQ(out, "");
        EXPECT_NE(err.find("usage: sorrelbox-cli scan FILE..."), std::string::npos);
    }
    const auto tagOf = [](std::size_t filler, std::string_view title) {
        Id3v2Tag tag;
        tag.frames = {TextFrame("TXXX", std::string(filler, 'f')), TextFrame("TIT2", title)};
        return tag.Build();
    };
    XingHeader xing;
    xing.frames = 5000;
    Id3v1Tag v1;
    v1.title = "Only v1";
    const Bytes layouts[] = {
        Mp3Builder().Raw(tagOf(100, "Small")).Frame().FillTo(9000).Build(),  // in the first block
        Mp3Builder().Raw(tagOf(10, "Short")).Frame({}, xing).Build(),        // shorter than a block
        // The first frame starts in the first block, its Xing bytes lie beyond it.
        Mp3Builder().Raw(tagOf(4045, "Across")).Frame({}, xing).FillTo(12000).Build(),
        Mp3Builder().Raw(tagOf(20000, "Big")).Frame().FillTo(40000).Build(),
        Mp3Builder().Raw({"ID3\x03\0\0\0\x01\0\0", 10}).Frame().Build(),  // a tag past the end
        Mp3Builder().Frame().FillToBeforeId3v1(4098).Id3v1(v1).Build(),
        Mp3Builder().Id3v1(v1).Build(),
        Bytes(),
        Bytes("junk"),
    };
    std::vector<std::string> paths;
    for (int i = 0; i < 1100; ++i) {
        const std::string name = std::to_string(i) + ".mp3";
        paths.push_back(i % 10 == 9 ? dir.File(name) : dir.Write(name, layouts[i % 10]));
    }
    EXPECT_EQ(Scan(paths), 1);
    std::istringstream lines(out);
    for (const std::string& path : paths) {
        SongTable table(PathStyle::Posix);
        const auto result = static_cast<int>(table.ScanMpegFile(path, ScanMode::Add));
        const SongInfo& i = table.info();
        const std::string title =
            result == 0 ? ReadDisplayTitle(path, i.id3v2Size, PathStyle::Posix) : "";
        std::string line;
        std::getline(lines, line);
        EXPECT_TRUE(std::regex_match(
            line, std::regex("\\{\"path\":\"" + path + "\",\"result\":" + std::to_string(result) +
                             ",\"seconds\":" + std::to_string(i.seconds) +
                             ",.*\"id3v2Size\":" + std::to_string(i.id3v2Size) + ",\"bitRate\":" +
                             std::to_string(i.bitRate) + ",.*\"title\":\"" + title + "\"\\}")))
            << line;
    }
    // Arguments are file system names (UTF-8), converted to the code page as list, m3u and tag
    // convert them, and printed as given; one the code page cannot hold fails alone, result 1.
    ScopedCodePage sjis{CodePage(CodePage::Kind::Cp932)};
    const std::string song = Mp3Builder().Frame().FillTo(16000).WriteTo(dir, "ソ表.mp3");
    const std::string emoji = Mp3Builder().Frame().FillTo(16000).WriteTo(dir, "🎵.mp3");
    EXPECT_EQ(Scan({song, emoji, "x\x82.mp3"}), 1);
    EXPECT_TRUE(std::regex_match(
        out,
        std::regex("\\{\"path\":\"" + song + "\",\"result\":0,.*\"title\":\"ソ表.mp3\"\\}\n" +
                   "\\{\"path\":\"" + emoji + "\",\"result\":1,\"seconds\":0,\"fileSize\":0,.*\n" +
                   "\\{\"path\":\"x\xEF\xBF\xBD.mp3\",\"result\":1,.*\"title\":\"\"\\}\n")))
        << out;
}

std::string Line(const cli::JsonObject& object) {
    std::ostringstream out;
    cli::WriteJsonLine(out, object);
    return out.str();
}

TEST(JsonTest, StringsAreConvertedAndEscapedAtEveryPosition) {
    {
        // Shift-JIS: 0x95 0x5C is one character, its second byte is not a backslash.
        ScopedCodePage sjis{CodePage(CodePage::Kind::Cp932)};
        EXPECT_EQ(cli::JsonString("\x95\x5C\x82\xa0\\a\x82"), "\"表あ\\\\a\xEF\xBF\xBD\"");
    }
    ScopedCodePage cp{CodePage(CodePage::Kind::Utf8)};
    EXPECT_EQ(cli::JsonString("a\"b\\c/d"), "\"a\\\"b\\\\c/d\"");
    EXPECT_EQ(cli::JsonString({"\n\r\t\b\f\x01\x1f\x7f\0", 9}),
              "\"\\n\\r\\t\\b\\f\\u0001\\u001f\x7f\\u0000\"");
    EXPECT_EQ(cli::JsonString("曲名\xff\xc3"), "\"曲名\xEF\xBF\xBD\xEF\xBF\xBD\"");
    // After UTF-8 whose bytes differ from '"', '\\' and control characters only in the high bit.
    const std::string lookalikes = "\xC2\xA2\xC3\x9C\xDC\xA0\xDC\x80";
    const char* escapes[] = {"\\\"", "\\\\", "\\n", "\\u0001", "\\u001f"};
    for (int k = 0; k < 5; ++k) {
        const char c = "\"\\\n\x01\x1f"[k], *escaped = escapes[k];
        for (std::size_t at = 0; at < 20; ++at) {
            std::string text = lookalikes + std::string(20, 'a'), want = text;
            text.insert(lookalikes.size() + at, 1, c);
            want.insert(lookalikes.size() + at, escaped);
            EXPECT_EQ(cli::JsonString(text), "\"" + want + "\"") << at;
            EXPECT_EQ(Line(cli::JsonObject().AddString("k", text)), "{\"k\":\"" + want + "\"}\n")
                << at;
        }
    }
    const std::string ascii = std::string(30, 'x') + "\x7f~";
    EXPECT_EQ(Line(cli::JsonObject().AddString("k", ascii)), "{\"k\":\"" + ascii + "\"}\n");
}

TEST(JsonTest, ObjectKeepsKeyOrderAndTypes) {
    cli::JsonObject inner, object;
    inner.AddInt("n", -5).AddBool("t", true).AddNull("z");
    object.AddStringArray("a", {"p", "q\"", "r"}).AddIntArray("i", {1, -2, 3});
    EXPECT_EQ(
        Line(object.AddObjectArray("l", {inner, cli::JsonObject(), inner}).AddObject("o", {})),
        "{\"a\":[\"p\",\"q\\\"\",\"r\"],\"i\":[1,-2,3],\"l\":[{\"n\":-5,\"t\":true,\"z\":null},{},"
        "{\"n\":-5,\"t\":true,\"z\":null}],\"o\":{}}\n");
}

}  // namespace
}  // namespace sorrelbox::test
