// Files made by a real encoder, when one is installed: the scan and the tag reader are checked
// against what the encoder was asked to write and, when ffprobe is there, its duration.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "analysis/Id3Reader.h"
#include "analysis/MpegScan.h"
#include "platform/CodePage.h"
#include "support/TempDir.h"

namespace sorrelbox {
namespace {

bool HasTool(const char* name) {
    return std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0;
}

std::string Quote(const std::string& s) {
    std::string out = "'";
    for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

void Put16(std::string& out, unsigned v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>(v >> 8 & 0xFF);
}

void Put32(std::string& out, std::uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

// A 16-bit PCM WAV file of a 440 Hz tone.
std::string ToneWav(int seconds, int channels) {
    constexpr std::uint32_t rate = 44100;
    const std::uint32_t samples = rate * static_cast<std::uint32_t>(seconds);
    const std::uint32_t dataBytes = samples * static_cast<std::uint32_t>(channels) * 2;
    std::string wav = "RIFF";
    Put32(wav, 36 + dataBytes);
    wav += "WAVEfmt ";
    Put32(wav, 16);
    Put16(wav, 1);
    Put16(wav, static_cast<unsigned>(channels));
    Put32(wav, rate);
    Put32(wav, rate * static_cast<std::uint32_t>(channels) * 2);
    Put16(wav, static_cast<unsigned>(channels) * 2);
    Put16(wav, 16);
    wav += "data";
    Put32(wav, dataBytes);
    for (std::uint32_t i = 0; i < samples; ++i) {
        const auto v = static_cast<std::int16_t>(8000 * std::sin(2 * M_PI * 440 * i / rate));
        for (int c = 0; c < channels; ++c) Put16(wav, static_cast<std::uint16_t>(v));
    }
    return wav;
}

double FfprobeSeconds(const std::string& path) {
    const std::string command =
        "ffprobe -v error -show_entries format=duration -of csv=p=0 " + Quote(path);
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return -1;
    char buffer[64] = {};
    const bool got = std::fgets(buffer, sizeof buffer, pipe) != nullptr;
    ::pclose(pipe);
    return got ? std::atof(buffer) : -1;
}

class LameFilesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!HasTool("lame")) GTEST_SKIP() << "lame is not installed";
        stereo_ = dir_.Write("stereo.wav", ToneWav(10, 2));
        mono_ = dir_.Write("mono.wav", ToneWav(10, 1));
    }

    std::string Encode(const std::string& name, const std::string& options, bool mono = false) {
        const std::string out = dir_.File(name);
        const std::string command =
            "lame --quiet " + options + " " + Quote(mono ? mono_ : stereo_) + " " + Quote(out);
        EXPECT_EQ(std::system(command.c_str()), 0) << command;
        return out;
    }

    ScopedCodePage cp_{CodePage(CodePage::Kind::Utf8)};
    test::TempDir dir_;
    std::string stereo_, mono_;
};

TEST_F(LameFilesTest, ScanMatchesTheEncoding) {
    const struct {
        const char* name;
        const char* options;
        bool mono;
        std::uint16_t bitRate, sampleRate;
        std::uint8_t channelMode, rights, original;
    } cases[] = {
        {"cbr128", "-b 128", false, 128, 44100, 1, 0, 1},
        {"cbr320stereo", "-b 320 -m s", false, 320, 44100, 0, 0, 1},
        {"cbr96copyright", "-b 96 -c -o", false, 96, 32000, 1, 1, 0},  // resampled by lame
        {"vbr", "-V 2", false, 999, 44100, 1, 0, 1},
        {"vbr48", "-V 4 --resample 48", false, 999, 48000, 1, 0, 1},
        {"vbr32monoCrc", "-V 5 --resample 32 -p", true, 999, 32000, 3, 0, 1},
        {"vbrStereoCrc", "-V 2 -p", false, 999, 44100, 1, 0, 1},
        {"vbrDual", "-V 2 -m d", false, 999, 44100, 2, 0, 1},
    };
    const bool ffprobe = HasTool("ffprobe");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = Encode(std::string(c.name) + ".mp3", c.options, c.mono);
        SongInfo info;
        ASSERT_EQ(ScanMpegFile(path, info), ScanResult::ScanOk);
        EXPECT_EQ(info.seconds, 10);
        EXPECT_EQ(info.bitRate, c.bitRate);
        EXPECT_EQ(info.sampleRate, c.sampleRate);
        EXPECT_EQ(info.channelMode, c.channelMode);
        EXPECT_EQ(info.rightsFlag, c.rights);
        EXPECT_EQ(info.originalFlag, c.original);
        EXPECT_EQ(info.id3v2Size, 0u);
        if (ffprobe) {
            EXPECT_NEAR(info.seconds, FfprobeSeconds(path), 1.0);
        }
    }
}

TEST_F(LameFilesTest, TagsWrittenByTheEncoder) {
    const std::string path = Encode(
        "tagged.mp3",
        "-b 128 --add-id3v2 --pad-id3v2-size 256 --tt Title --ta Artist --tl Album --ty 2001 "
        "--tc Comment --tn 3/12 --tg Rock");
    SongInfo info;
    ASSERT_EQ(ScanMpegFile(path, info), ScanResult::ScanOk);
    EXPECT_GT(info.id3v2Size, 256u);
    EXPECT_EQ(info.seconds, 10);
    const auto tags = ReadSongTags(path, info.id3v2Size);
    ASSERT_TRUE(tags);
    EXPECT_TRUE(tags->v2.present);
    EXPECT_FALSE(tags->v2.cutShort);
    EXPECT_EQ(tags->v2.field(kTitle).value, "Title");
    EXPECT_EQ(tags->v2.field(kArtist).value, "Artist");
    EXPECT_EQ(tags->v2.field(kAlbum).value, "Album");
    EXPECT_EQ(tags->v2.field(kYear).value, "2001");
    EXPECT_EQ(tags->v2.field(kTrack).value, "3/12");
    // The encoder writes the comment in UTF-16 and the genre by its name.
    EXPECT_EQ(tags->v2.field(kComment).value, "Comment");
    EXPECT_TRUE(tags->v2.utf16Flags & FieldBit(kComment));
    EXPECT_EQ(tags->v2.lockedFlags, 0);
    EXPECT_EQ(tags->v2.field(kGenre).value, "Rock");
    EXPECT_EQ(tags->v2.oldGenreCode, 17);
    EXPECT_TRUE(tags->v1.present);
    EXPECT_EQ(std::string(tags->v1.title.data()).substr(0, 5), "Title");
    EXPECT_TRUE(tags->v1.hasTrack);
    EXPECT_EQ(tags->v1.track, 3);
    EXPECT_EQ(tags->v1.genre, 17);
    EXPECT_EQ(ReadDisplayTitle(path, info.id3v2Size, PathStyle::Posix), "Title");
}

TEST_F(LameFilesTest, Utf16TitleInShiftJis) {
    const std::string path =
        Encode("utf16.mp3", "-b 128 --id3v2-only --id3v2-utf16 --tt 日本表 --ta Ärtist");
    SongInfo info;
    ASSERT_EQ(ScanMpegFile(path, info), ScanResult::ScanOk);
    EXPECT_EQ(ReadDisplayTitle(path, info.id3v2Size, PathStyle::Posix), "日本表");
    const auto tags = ReadSongTags(path, info.id3v2Size);
    ASSERT_TRUE(tags);
    EXPECT_EQ(tags->v2.field(kArtist).value, "Ärtist");
    EXPECT_TRUE(tags->v2.utf16Flags & FieldBit(kTitle));

    ScopedCodePage sjis{CodePage(CodePage::Kind::Cp932)};
    EXPECT_EQ(ReadDisplayTitle(path, info.id3v2Size, PathStyle::Posix), "\x93\xfa\x96\x7b\x95\x5c");
}

}  // namespace
}  // namespace sorrelbox
