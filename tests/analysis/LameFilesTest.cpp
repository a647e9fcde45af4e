// Files made by a real encoder, when one is installed: the scan and the tag reader are checked
// against what the encoder was asked to write.
#include <gtest/gtest.h>

#include <cstdlib>

#include "analysis/Id3Reader.h"
#include "analysis/MpegScan.h"
#include "platform/CodePage.h"
#include "support/TempDir.h"

namespace sorrelbox {
namespace {

// 10 seconds of 16-bit silence at 44100 Hz (mono with -m m) encoded with options; its path.
std::string Encode(const test::TempDir& dir, const std::string& options, SongInfo& info) {
    if (std::system("command -v lame >/dev/null 2>&1") != 0) return "";
    const std::string out = dir.File("out.mp3");
    const std::string command =
        "head -c " + std::to_string(options.find("-m m") == std::string::npos ? 1764000 : 882000) +
        " /dev/zero | lame --quiet -r -s 44.1 --bitwidth 16 " + options + " - '" + out +
        "' 2>/dev/null";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    EXPECT_EQ(ScanMpegFile(out, info), ScanResult::ScanOk);
    info.fileSize = 0;
    return out;
}

TEST(LameFilesTest, ScanAndTagsMatchTheEncoding) {
    ScopedCodePage cp{CodePage(CodePage::Kind::Utf8)};
    test::TempDir dir;
    const std::pair<const char*, SongInfo> rows[] = {
        {"-b 320 -m s", {10, 0, 0, 320, 44100, 0, 0, 1}},
        {"-b 96 -c -o", {10, 0, 0, 96, 32000, 1, 1, 0}},  // resampled by lame
        {"-V 4 --resample 48", {10, 0, 0, 999, 48000, 1, 0, 1}},
        {"-V 5 --resample 32 -p -m m", {10, 0, 0, 999, 32000, 3, 0, 1}},
        {"-V 2 -p -m d", {10, 0, 0, 999, 44100, 2, 0, 1}},
    };
    for (const auto& [options, expected] : rows) {
        SongInfo info;
        if (Encode(dir, options, info).empty()) GTEST_SKIP() << "no lame";
        EXPECT_EQ(info, expected) << options;
    }
    SongInfo info;
    const std::string path =
        Encode(dir,
               "-b 128 --add-id3v2 --pad-id3v2-size 256 --tt Title --ta Ärtist "
               "--tl Album --ty 2001 --tc Comment --tn 3/12 --tg Rock",
               info);
    EXPECT_GT(info.id3v2Size, 256u);
    const auto tags = ReadSongTags(path, info.id3v2Size);
    ASSERT_TRUE(tags);
    std::string v2;
    for (int field : {kTitle, kArtist, kAlbum, kYear, kTrack, kComment, kGenre}) {
        v2 += tags->v2.field(field).value + "|";
    }
    EXPECT_EQ(v2, "Title|Ärtist|Album|2001|3/12|Comment|Rock|");
    // The encoder writes the comment in UTF-16 and the genre by its name.
    EXPECT_EQ(tags->v2.utf16Flags & FieldBit(kComment), FieldBit(kComment));
    EXPECT_EQ(tags->v2.oldGenreCode + tags->v1.genre + tags->v1.track, 17 + 17 + 3);
    EXPECT_FALSE(tags->v2.cutShort || tags->v2.lockedFlags);
    EXPECT_EQ(std::string(tags->v1.title.data()).substr(0, 5), "Title");
    EXPECT_EQ(ReadDisplayTitle(path, info.id3v2Size, PathStyle::Posix), "Title");
    const std::string utf16 = Encode(dir, "-b 128 --id3v2-only --id3v2-utf16 --tt 日本表", info);
    ScopedCodePage sjis{CodePage(CodePage::Kind::Cp932)};
    EXPECT_EQ(ReadDisplayTitle(utf16, info.id3v2Size, PathStyle::Posix),
              "\x93\xfa\x96\x7b\x95\x5c");
}

}  // namespace
}  // namespace sorrelbox
