#include <gtest/gtest.h>

#include <string>

#include "platform/CodePage.h"
#include "tagwrite/FileNameTemplate.h"

namespace sorrelbox {
namespace {

const CodePage kUtf8(CodePage::Kind::Utf8);
const CodePage kCp932(CodePage::Kind::Cp932);

TEST(FileNameTemplateTest, Expansion) {
    Id3v1Values v1;
    v1.title = "Intro";
    v1.artist = "Band1";
    v1.album = "Alb1";
    v1.year = "1999";
    v1.comment = "c1";
    v1.track = 3;
    Id3v2Values v2;
    v2[V2Field::Title] = "Song";
    v2[V2Field::Artist] = "Band";
    v2[V2Field::Album] = "Alb2";
    v2[V2Field::Year] = "2001";
    v2[V2Field::Comment] = "c2";
    v2[V2Field::Track] = "12";
    v2[V2Field::Composer] = "Comp";
    v2[V2Field::OrigArtist] = "Orig";
    v2[V2Field::Copyright] = "Copy";
    v2[V2Field::Url] = "url";
    v2[V2Field::EncodedBy] = "Enc";
    struct Case {
        const char* text;
        const char* want;
    };
    const Case cases[] = {
        {"%1tr2 %1ti", "03 Intro"},
        {"%2tr3-%2ar", "012-Band"},
        {"%1tr-%1ti", "3Intro"},  // the hyphen is the width character (width 0)
        {"%2ti %2ti", "Song %2ti"},
        {"%1ar%1al%1ye%1cm", "Band1Alb11999c1"},
        {"%2al%2ye%2cm%2sa%2or%2co%2ur%2en", "Alb22001c2CompOrigCopyurlEnc"},
        {"x%1tr", "x3"},              // at the end only the four characters are replaced
        {"%1tr12", "0000000000032"},  // width 12; the second digit stays
        {"%2tr1", "12"},
        {"plain", "plain"},
        {"", ""},
        {"%1TI", "%1TI"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ExpandFileNameTemplate(c.text, v1, v2, kUtf8), c.want) << c.text;
    }
    // A title holding a later token has it replaced; an earlier one does not.
    Id3v1Values tricky = v1;
    tricky.title = "%1ar and %1ti";
    EXPECT_EQ(ExpandFileNameTemplate("%1ti", tricky, v2, kUtf8), "Band1 and %1ti");
}

TEST(FileNameTemplateTest, TokensOnlyOnCharacterBoundaries) {
    Id3v1Values v1;
    v1.title = "T";
    const Id3v2Values v2;
    // 0x83 0x25 is one Shift-JIS character whose second byte is '%': no token there.
    EXPECT_EQ(ExpandFileNameTemplate("\x83%1ti", v1, v2, kCp932), "\x83%1ti");
    EXPECT_EQ(ExpandFileNameTemplate("\x83\x40%1ti", v1, v2, kCp932), "\x83\x40T");
    // A double-byte width character is replaced whole.
    v1.track = 4;
    EXPECT_EQ(ExpandFileNameTemplate("%1tr\x82\xA0x", v1, v2, kCp932), "4x");
}

}  // namespace
}  // namespace sorrelbox
