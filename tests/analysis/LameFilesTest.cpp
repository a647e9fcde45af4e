// A file made by a real encoder, when one is installed: the scan and the tag reader are checked
// against what the encoder was asked to write.
#include <gtest/gtest.h>

#include <cstdlib>

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
    // 10 seconds of stereo silence as VBR mono at 32000 Hz with CRCs, and a tag.
    const std::string lame =
        "head -c 1764000 /dev/zero | lame --quiet -r -s 44.1 --bitwidth 16 -V 5 --resample 32 -p "
        "-a -c --add-id3v2 --tt Title --ta Ärtist --ty 2001 --tc Comment --tn 3/12 --tg Rock - '";
    ASSERT_EQ(std::system((lame + out + "'").c_str()), 0);
    SongInfo info;
    ASSERT_EQ(ScanMpegFile(out, info), ScanResult::ScanOk);
    const auto tags = ReadSongTags(out, info.id3v2Size);
    ASSERT_TRUE(tags);
    std::string v2;
    for (int field : {kTitle, kArtist, kYear, kTrack, kComment, kGenre})
        v2 += tags->v2.field(field).value + "|";
    // The encoder writes the comment in UTF-16 and the genre by its name.
    EXPECT_EQ(v2 + std::to_string(tags->v2.oldGenreCode), "Title|Ärtist|2001|3/12|Comment|Rock|17");
    EXPECT_EQ(ReadDisplayTitle(out, info.id3v2Size, PathStyle::Posix), "Title");
    info.fileSize = 0;
    info.id3v2Size = 0;
    EXPECT_EQ(info, (SongInfo{10, 0, 0, 999, 32000, 3, 1, 1}));
}

}  // namespace
}  // namespace sorrelbox
