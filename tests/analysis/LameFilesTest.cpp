// Files made by a real encoder, when one is installed: the scan and the tag reader are checked
// against what the encoder was asked to write.
#include <gtest/gtest.h>

#include <cstdlib>
#include <utility>

#include "analysis/Id3Reader.h"
#include "analysis/MpegScan.h"
#include "platform/CodePage.h"
#include "support/TempDir.h"

namespace sorrelbox {
namespace {

TEST(LameFilesTest, ScanAndTagsMatchTheEncoding) {
    if (std::system("command -v lame >/dev/null 2>&1") != 0) GTEST_SKIP() << "no lame";
    ScopedCodePage cp{CodePage(CodePage::Kind::Utf8)};
    test::TempDir dir;
    const std::string out = dir.File("out.mp3");
    const std::pair<std::string, SongInfo> rows[] = {
        {"-b 320 -m s", {10, 0, 0, 320, 44100, 0, 0, 1}},
        {"-b 96 -c -o", {10, 0, 0, 96, 32000, 1, 1, 0}},  // resampled by lame
        {"-V 4 --resample 48", {10, 0, 0, 999, 48000, 1, 0, 1}},
        {"-V 5 --resample 32 -p -a", {10, 0, 0, 999, 32000, 3, 0, 1}},
        {"-V 2 -p -m d", {10, 0, 0, 999, 44100, 2, 0, 1}},
        {"-b 128 --add-id3v2 --pad-id3v2-size 256 --tt Title --ta Ärtist --tl Album --ty 2001 "
         "--tc Comment --tn 3/12 --tg Rock",
         {10, 0, 0, 128, 44100, 1, 0, 1}},
    };
    // 10 seconds of 16-bit stereo silence at 44100 Hz.
    const std::string lame = "head -c 1764000 /dev/zero | lame --quiet -r -s 44.1 --bitwidth 16 ";
    std::uint32_t tagSize = 0;
    for (const auto& [options, expected] : rows) {
        ASSERT_EQ(std::system((lame + options + " - '" + out + "'").c_str()), 0) << options;
        SongInfo info;
        EXPECT_EQ(ScanMpegFile(out, info), ScanResult::ScanOk);
        info.fileSize = 0;
        tagSize = std::exchange(info.id3v2Size, 0);
        EXPECT_EQ(info, expected) << options;
    }
    const auto tags = ReadSongTags(out, tagSize);
    ASSERT_TRUE(tags);
    std::string v2;
    for (int field : {kTitle, kArtist, kAlbum, kYear, kTrack, kComment, kGenre})
        v2 += tags->v2.field(field).value + "|";
    // The encoder writes the comment in UTF-16 and the genre by its name.
    EXPECT_EQ(v2 + std::to_string(tags->v2.oldGenreCode),
              "Title|Ärtist|Album|2001|3/12|Comment|Rock|17");
    EXPECT_EQ(ReadDisplayTitle(out, tagSize, PathStyle::Posix), "Title");
}

}  // namespace
}  // namespace sorrelbox
