// The fixture builder is what every other test trusts, so its bytes are checked here.
#include "support/Mp3Builder.h"

#include <gtest/gtest.h>

namespace sorrelbox::test {
namespace {

TEST(Mp3BuilderTest, NumbersInBothForms) {
    EXPECT_EQ(SyncsafeBytes(300), Bytes("\x00\x00\x02\x2C", 4));
    EXPECT_EQ(BigEndian32(300), Bytes("\x00\x00\x01\x2C", 4));
    EXPECT_EQ(BigEndian24(0x010203), Bytes("\x01\x02\x03", 3));
    EXPECT_EQ(Unsynchronise(Bytes("\xFF\xFB\xFF\x00\xFF\x10\xFF", 7)),
              Bytes("\xFF\x00\xFB\xFF\x00\x00\xFF\x10\xFF\x00", 10));
}

TEST(Mp3BuilderTest, MpegHeaderBits) {
    EXPECT_EQ(MpegHeader{}.Build(), Bytes("\xFF\xFB\x90\x04", 4));
    MpegHeader h;
    h.versionBits = 2;
    h.protectionBit = false;
    h.bitRateIndex = 14;
    h.sampleRateIndex = 1;
    h.channelMode = 3;
    h.copyright = true;
    h.original = false;
    EXPECT_EQ(h.Build(), Bytes("\xFF\xF2\xE4\xC8", 4));
    EXPECT_EQ(h.XingOffset(), 23u);
    EXPECT_EQ(MpegHeader{}.XingOffset(), 36u);
}

TEST(Mp3BuilderTest, XingFrameLayout) {
    XingHeader xing;
    xing.frames = 10000;
    const Bytes frame = MpegFrame(MpegHeader{}, xing);
    EXPECT_EQ(frame.size(), 417u);
    EXPECT_EQ(frame.substr(36, 12), Bytes("Xing\x00\x00\x00\x03\x00\x00\x27\x10", 12));
}

TEST(Mp3BuilderTest, Id3v2TagSizesAndFlags) {
    Id3v2Tag tag;
    tag.frames.push_back(TextFrame("TIT2", "abc"));
    tag.padding = 6;
    const Bytes v23 = tag.Build();
    EXPECT_EQ(v23, Bytes("ID3\x03\x00\x00\x00\x00\x00\x14"
                         "TIT2\x00\x00\x00\x04\x00\x00\x00"
                         "abc\0\0\0\0\0\0",
                         30));

    Id3v2Tag big;
    big.major = 4;
    Id3v2Frame frame = TextFrame("TIT2", Bytes(199, 'x'));
    big.frames.push_back(frame);
    EXPECT_EQ(big.Build().substr(14, 4), Bytes("\x00\x00\x01\x48", 4));
    big.major = 3;
    EXPECT_EQ(big.Build().substr(14, 4), Bytes("\x00\x00\x00\xC8", 4));

    Id3v2Tag unsync;
    unsync.unsynchronise = true;
    unsync.frames.push_back(TextFrame("TIT2", Bytes("\xFF\xE0", 2)));
    const Bytes u = unsync.Build();
    EXPECT_EQ(static_cast<unsigned char>(u[5]), 0x80);
    EXPECT_EQ(u.substr(10 + 11), Bytes("\xFF\x00\xE0", 3));
}

TEST(Mp3BuilderTest, Id3v1TrackAndPadding) {
    Id3v1Tag tag;
    tag.title = "Hello";
    tag.padByte = ' ';
    tag.comment = "c";
    tag.track = 7;
    tag.genre = 17;
    const Bytes v1 = tag.Build();
    ASSERT_EQ(v1.size(), 128u);
    EXPECT_EQ(v1.substr(0, 8), "TAGHello");
    EXPECT_EQ(v1[8], ' ');
    EXPECT_EQ(v1[125], '\0');
    EXPECT_EQ(v1[126], '\x07');
    EXPECT_EQ(v1[127], '\x11');
}

TEST(Mp3BuilderTest, FillCountsEveryPart) {
    Mp3Builder b;
    b.Id3v2(Id3v2Tag{}).Frame().FillToBeforeId3v1(5000).Id3v1({});
    EXPECT_EQ(b.size(), 5000u);
    EXPECT_EQ(CbrFile(4000000).size(), 4000000u);
}

}  // namespace
}  // namespace sorrelbox::test
