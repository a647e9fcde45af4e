// Files made by a real encoder, when one is installed: the scan and the tag reader are checked
// against what the encoder was asked to write.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>

#include "analysis/Id3Reader.h"
#include "analysis/MpegScan.h"
#include "platform/CodePage.h"
#include "support/TempDir.h"

namespace sorrelbox {
namespace {

void Put(std::string& out, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out += static_cast<char>(v >> (8 * i) & 0xFF);
}

// 10 seconds of a 16-bit PCM 440 Hz tone at 44100 Hz.
std::string ToneWav(std::uint32_t channels) {
    constexpr std::uint32_t rate = 44100, samples = rate * 10;
    const std::uint32_t dataBytes = samples * channels * 2;
    std::string wav = "RIFF";
    Put(wav, 36 + dataBytes, 4);
    wav += "WAVEfmt ";
    for (const auto& [v, n] : {std::pair{16u, 4},
                               {1u, 2},
                               {channels, 2},
                               {rate, 4},
                               {rate * channels * 2, 4},
                               {channels * 2, 2},
                               {16u, 2}})
        Put(wav, v, n);
    wav += "data";
    Put(wav, dataBytes, 4);
    for (std::uint32_t i = 0; i < samples; ++i) {
        const auto v = static_cast<std::int16_t>(8000 * std::sin(2 * M_PI * 440 * i / rate));
        for (std::uint32_t c = 0; c < channels; ++c) Put(wav, static_cast<std::uint16_t>(v), 2);
    }
    return wav;
}

class LameFilesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (std::system("command -v lame >/dev/null 2>&1") != 0) GTEST_SKIP() << "no lame";
    }
    // Encodes the tone with options; returns the MP3's path and its scan.
    std::string Encode(const std::string& options, bool mono, SongInfo& info) {
        const std::string wav = dir_.Write(mono ? "mono.wav" : "stereo.wav", ToneWav(mono ? 1 : 2));
        const std::string out = dir_.File("out.mp3");
        const std::string command = "lame --quiet " + options + " '" + wav + "' '" + out + "'";
        EXPECT_EQ(std::system(command.c_str()), 0) << command;
        EXPECT_EQ(ScanMpegFile(out, info), ScanResult::ScanOk);
        return out;
    }

    ScopedCodePage cp_{CodePage(CodePage::Kind::Utf8)};
    test::TempDir dir_;
};

TEST_F(LameFilesTest, ScanMatchesTheEncoding) {
    const struct {
        const char* options;
        bool mono;
        SongInfo info;
    } rows[] = {
        {"-b 320 -m s", false, {10, 0, 0, 320, 44100, 0, 0, 1}},
        {"-b 96 -c -o", false, {10, 0, 0, 96, 32000, 1, 1, 0}},  // resampled by lame
        {"-V 4 --resample 48", false, {10, 0, 0, 999, 48000, 1, 0, 1}},
        {"-V 5 --resample 32 -p", true, {10, 0, 0, 999, 32000, 3, 0, 1}},
        {"-V 2 -p -m d", false, {10, 0, 0, 999, 44100, 2, 0, 1}},
    };
    for (const auto& r : rows) {
        SongInfo info;
        Encode(r.options, r.mono, info);
        info.fileSize = 0;
        EXPECT_EQ(info, r.info) << r.options;
    }
}

TEST_F(LameFilesTest, TagsWrittenByTheEncoder) {
    SongInfo info;
    const std::string path = Encode(
        "-b 128 --add-id3v2 --pad-id3v2-size 256 --tt Title --ta Ärtist --tl Album "
        "--ty 2001 --tc Comment --tn 3/12 --tg Rock",
        false, info);
    EXPECT_GT(info.id3v2Size, 256u);
    EXPECT_EQ(info.seconds, 10);
    const auto tags = ReadSongTags(path, info.id3v2Size);
    ASSERT_TRUE(tags);
    EXPECT_FALSE(tags->v2.cutShort);
    for (const auto& [field, value] : {std::pair{kTitle, "Title"},
                                       {kArtist, "Ärtist"},
                                       {kAlbum, "Album"},
                                       {kYear, "2001"},
                                       {kTrack, "3/12"},
                                       {kComment, "Comment"},
                                       {kGenre, "Rock"}})
        EXPECT_EQ(tags->v2.field(field).value, value);
    // The encoder writes the comment in UTF-16 and the genre by its name.
    EXPECT_TRUE(tags->v2.utf16Flags & FieldBit(kComment));
    EXPECT_EQ(tags->v2.lockedFlags, 0);
    EXPECT_EQ(tags->v2.oldGenreCode, 17);
    EXPECT_EQ(std::string(tags->v1.title.data()).substr(0, 5), "Title");
    EXPECT_EQ(tags->v1.track, 3);
    EXPECT_EQ(tags->v1.genre, 17);
    EXPECT_EQ(ReadDisplayTitle(path, info.id3v2Size, PathStyle::Posix), "Title");
}

TEST_F(LameFilesTest, Utf16TitleInShiftJis) {
    SongInfo info;
    const std::string path = Encode("-b 128 --id3v2-only --id3v2-utf16 --tt 日本表", false, info);
    EXPECT_EQ(ReadDisplayTitle(path, info.id3v2Size, PathStyle::Posix), "日本表");
    ScopedCodePage sjis{CodePage(CodePage::Kind::Cp932)};
    EXPECT_EQ(ReadDisplayTitle(path, info.id3v2Size, PathStyle::Posix), "\x93\xfa\x96\x7b\x95\x5c");
}

}  // namespace
}  // namespace sorrelbox
