#include <regex>

#include "Json.h"
#include "OutputCliFixture.h"
#include "analysis/Id3Reader.h"
#include "loading/SongLoader.h"
#include "platform/CodePage.h"

namespace sorrelbox::test {
namespace {

using ScanCommandTest = OutputCliTest;

// One line per file with the keys in order; the scan reads each file once and shares the bytes
// between the scan and the title: whatever the layout, it reports what the scan and the title
// reader report on their own, and a long list (several threads and batches) comes out in the
// order given, with exit status 1 when a file fails.
TEST_F(ScanCommandTest, OneLinePerFileAsTheReadersReportItInOrder) {
    ScopedCodePage cp{CodePage(CodePage::Kind::Utf8)};
    EXPECT_EQ(Run({"scan", "-0.mp3"}), 2);
    const auto tagOf = [](std::size_t filler, std::string_view title) {
        Id3v2Tag tag;
        tag.frames = {TextFrame("TXXX", std::string(filler, 'f')), TextFrame("TIT2", title)};
        return tag.Build();
    };
    const XingHeader xing{.frames = 5000};
    Id3v1Tag v1;
    v1.title = "Only v1";
    const Bytes layouts[] = {
        Mp3Builder().Raw(tagOf(10, "Short")).Frame({}, xing).Build(),  // shorter than a block
        // The first frame starts in the first block, its Xing bytes lie beyond it.
        Mp3Builder().Raw(tagOf(4045, "Across")).Frame({}, xing).FillTo(12000).Build(),
        Mp3Builder().Raw(tagOf(20000, "Big")).Frame().FillTo(40000).Build(),
        Mp3Builder().Frame().FillToBeforeId3v1(4098).Id3v1(v1).Build(),
        Bytes("junk"),
    };
    // Relative names, printed as given, the first after "--" as it starts with '-'.
    std::vector<std::string> args = {"scan", "--"};
    for (int i = 0; i < 1100; ++i) {
        args.push_back("-" + std::to_string(i) + ".mp3");
        if (i % 6 != 5) dir.Write(args.back(), layouts[i % 6]);
    }
    EXPECT_EQ(Run(args), 1);
    std::istringstream lines(stdout_);
    for (const std::string& path : std::span(args).subspan(2)) {
        const ScannedFile file = ScanSongFile(path);
        std::string line;
        std::getline(lines, line);
        const std::string title =
            file.result == ScanResult::ScanOk
                ? ReadDisplayTitle(path, file.info.id3v2Size, PathStyle::Posix)
                : "";
        EXPECT_TRUE(std::regex_match(
            line, std::regex("\\{\"path\":\"" + path +
                             "\",\"result\":" + std::to_string(static_cast<int>(file.result)) +
                             ",\"seconds\":" + std::to_string(file.info.seconds) +
                             ",.*\"id3v2Size\":" + std::to_string(file.info.id3v2Size) +
                             ",.*\"title\":\"" + title + "\"\\}")))
            << line;
    }
    EXPECT_EQ(Run({"scan", "--", "-0.mp3"}), 0);
    EXPECT_EQ(stdout_,
              "{\"path\":\"-0.mp3\",\"result\":0,\"seconds\":130,\"fileSize\":464,\"id3v2Size\":37,"
              "\"bitRate\":999,\"sampleRate\":44100,\"channelMode\":0,\"rightsFlag\":0,"
              "\"originalFlag\":1,\"listEntry\":\"  2：10  -0.mp3\",\"timeText\":\"2：10\","
              "\"sizeText\":\"0.0MB\",\"bitRateText\":\"VBR\",\"title\":\"Short\"}\n");
    // Arguments are file system names (UTF-8), converted to the code page like the other
    // commands' and printed as given; one the code page cannot hold fails alone, result 1.
    ScopedCodePage sjis{CodePage(CodePage::Kind::Cp932)};
    dir.Write("ソ表.mp3", layouts[0]);
    dir.Write("🎵.mp3", layouts[0]);
    EXPECT_EQ(Run({"scan", "ソ表.mp3", "🎵.mp3"}), 1);
    EXPECT_TRUE(std::regex_match(stdout_, std::regex("\\{\"path\":\"ソ表.mp3\",\"result\":0,.*\n"
                                                     "\\{\"path\":\"🎵.mp3\",\"result\":1,.*\n")))
        << stdout_;
}

// Each escape at every place in and across the 8-byte words, after UTF-8 whose bytes differ
// from '"', '\\' and control characters only in the high bit.
TEST(JsonTest, StringsAreEscapedAtEveryPosition) {
    ScopedCodePage cp{CodePage(CodePage::Kind::Utf8)};
    const std::string lookalikes = "\xC2\xA2\xC3\x9C\xDC\xA0\xDC\x80";
    const std::pair<char, std::string> escapes[] = {
        {'"', "\\\""}, {'\\', "\\\\"}, {'\n', "\\n"},       {'\r', "\\r"},       {'\t', "\\t"},
        {'\b', "\\b"}, {'\f', "\\f"},  {'\x01', "\\u0001"}, {'\x1f', "\\u001f"}, {'\0', "\\u0000"}};
    for (const auto& [c, escaped] : escapes) {
        for (std::size_t at = 0; at < 20; ++at) {
            std::string text = lookalikes + std::string(20, 'a'), want = text;
            text.insert(lookalikes.size() + at, 1, c);
            want.insert(lookalikes.size() + at, escaped);
            EXPECT_EQ(cli::JsonString(text), "\"" + want + "\"") << at;
        }
    }
}

// The tag command's output shows the other helpers.
TEST(JsonTest, ArraysNullAndNegatives) {
    EXPECT_EQ(
        cli::JsonObject().AddStringArray("a", {"p", "q\""}).AddNull("z").AddInt("n", -5).str(),
        "{\"a\":[\"p\",\"q\\\"\"],\"z\":null,\"n\":-5}");
}

}  // namespace
}  // namespace sorrelbox::test
