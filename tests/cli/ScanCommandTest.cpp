#include <gtest/gtest.h>

#include <sstream>

#include "Commands.h"
#include "platform/CodePage.h"
#include "support/Mp3Builder.h"
#include "support/TempDir.h"

namespace sorrelbox::cli {
namespace {

using test::Id3v2Tag;
using test::Mp3Builder;

struct ScanRun {
    int status;
    std::string out;
    std::string err;
};

ScanRun Scan(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    const int status = RunScan(args, out, err);
    return {status, out.str(), err.str()};
}

class ScanCommandTest : public ::testing::Test {
  protected:
    ScopedCodePage cp_{CodePage(CodePage::Kind::Utf8)};
    test::TempDir dir_;
};

TEST_F(ScanCommandTest, OneLinePerFileWithTheKeysInOrder) {
    Id3v2Tag tag;
    tag.frames.push_back(test::TextFrame("TIT2", "Song \"one\""));
    const std::string tagged =
        Mp3Builder().Id3v2(tag).Frame().FillTo(4000000).WriteTo(dir_, "a.mp3");
    test::XingHeader xing;
    xing.frames = 10000;
    const std::string vbr = Mp3Builder().Frame({}, xing).WriteTo(dir_, "v.mp3");

    const ScanRun run = Scan({tagged, vbr});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out,
              "{\"path\":\"" + tagged +
                  "\",\"result\":0,\"seconds\":250,\"fileSize\":4000000,\"id3v2Size\":21,"
                  "\"bitRate\":128,\"sampleRate\":44100,\"channelMode\":0,\"rightsFlag\":0,"
                  "\"originalFlag\":1,\"listEntry\":\"  4：10  a.mp3\",\"timeText\":\"4：10\","
                  "\"sizeText\":\"3.8MB\",\"bitRateText\":\"128kbps\","
                  "\"title\":\"Song \\\"one\\\"\"}\n"
                  "{\"path\":\"" +
                  vbr +
                  "\",\"result\":0,\"seconds\":261,\"fileSize\":417,\"id3v2Size\":0,"
                  "\"bitRate\":999,\"sampleRate\":44100,\"channelMode\":0,\"rightsFlag\":0,"
                  "\"originalFlag\":1,\"listEntry\":\"  4：21  v.mp3\",\"timeText\":\"4：21\","
                  "\"sizeText\":\"0.0MB\",\"bitRateText\":\"VBR\",\"title\":\"v.mp3\"}\n");
}

TEST_F(ScanCommandTest, FailuresKeepWhatTheScanReachedAndEmptyTexts) {
    test::XingHeader badXing;
    badXing.flags = 1;
    const std::string noHeader =
        Mp3Builder().Id3v2(Id3v2Tag{}).Frame({}, badXing).WriteTo(dir_, "bad.mp3");
    const std::string good = test::Mp3Builder().Frame().FillTo(16000).WriteTo(dir_, "g.mp3");
    const ScanRun run = Scan({noHeader, dir_.File("missing.mp3"), good});
    EXPECT_EQ(run.status, 1);
    std::istringstream lines(run.out);
    std::string first, second, third;
    std::getline(lines, first);
    std::getline(lines, second);
    std::getline(lines, third);
    EXPECT_EQ(first, "{\"path\":\"" + noHeader +
                         "\",\"result\":2,\"seconds\":0,\"fileSize\":0,\"id3v2Size\":0,"
                         "\"bitRate\":128,\"sampleRate\":44100,\"channelMode\":0,"
                         "\"rightsFlag\":0,\"originalFlag\":1,\"listEntry\":\"\","
                         "\"timeText\":\"\",\"sizeText\":\"\",\"bitRateText\":\"\","
                         "\"title\":\"\"}");
    EXPECT_NE(second.find("\"result\":1,\"seconds\":0,\"fileSize\":0"), std::string::npos);
    EXPECT_NE(third.find("\"result\":0"), std::string::npos);
}

TEST_F(ScanCommandTest, ALongListComesOutInTheOrderGiven) {
    // Enough files for several threads and more than one batch; every seventh is missing.
    std::vector<std::string> paths;
    std::string expected;
    for (int i = 0; i < 1100; ++i) {
        const std::string name = "s" + std::to_string(i) + ".mp3";
        paths.push_back(i % 7 == 3
                            ? dir_.File(name)
                            : Mp3Builder().Frame().FillTo(2000 + 37 * i).WriteTo(dir_, name));
    }
    for (const std::string& path : paths) expected += Scan({path}).out;
    const ScanRun run = Scan(paths);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, expected);
    EXPECT_EQ(Scan({paths[0], paths[1], paths[2]}).status, 0);
}

// Arguments come in the file system's encoding (UTF-8) and are converted as list, m3u and tag
// convert them; path is printed as given. One that cannot be converted fails alone, result 1.
TEST_F(ScanCommandTest, ArgumentsAreFileSystemNamesConvertedToTheCodePage) {
    ScopedCodePage cp{CodePage(CodePage::Kind::Cp932)};
    const std::string sjisName = "\xE3\x82\xBD\xE8\xA1\xA8.mp3";  // ソ表.mp3
    const std::string song = Mp3Builder().Frame().FillTo(16000).WriteTo(dir_, sjisName);
    const std::string emoji =
        Mp3Builder().Frame().FillTo(16000).WriteTo(dir_, "\xF0\x9F\x8E\xB5.mp3");
    const ScanRun run = Scan({song, emoji, "x\x82.mp3"});
    EXPECT_EQ(run.status, 1);
    std::istringstream lines(run.out);
    std::string line;
    const struct {
        std::string start;
        std::string has;
    } rows[] = {
        {"{\"path\":\"" + song + "\",\"result\":0,", "\"title\":\"" + sjisName + "\"}"},
        {"{\"path\":\"" + emoji + "\",\"result\":1,", "\"fileSize\":0,"},
        {"{\"path\":\"x\xEF\xBF\xBD.mp3\",\"result\":1,", "\"title\":\"\"}"},
    };
    for (const auto& row : rows) {
        ASSERT_TRUE(std::getline(lines, line));
        EXPECT_TRUE(line.starts_with(row.start)) << line;
        EXPECT_NE(line.find(row.has), std::string::npos) << line;
    }
}

TEST_F(ScanCommandTest, UsageErrors) {
    for (const auto& args : {std::vector<std::string>{}, std::vector<std::string>{"--"},
                             std::vector<std::string>{"--bogus", "a.mp3"}}) {
        const ScanRun run = Scan(args);
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.out, "");
        EXPECT_NE(run.err.find("usage: sorrelbox-cli scan FILE..."), std::string::npos);
    }
    const std::string dashed = test::Mp3Builder().Frame().FillTo(16000).WriteTo(dir_, "-d.mp3");
    EXPECT_EQ(Scan({"--", dashed}).status, 0);
}

}  // namespace
}  // namespace sorrelbox::cli
