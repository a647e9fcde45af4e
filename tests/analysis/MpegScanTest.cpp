#include "analysis/MpegScan.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <array>
#include <filesystem>
#include <string>
#include <vector>

#include "support/Mp3Builder.h"
#include "support/TempDir.h"

namespace sorrelbox {
namespace {

using test::Bytes;
using test::Id3v2Tag;
using test::Mp3Builder;
using test::MpegHeader;
using test::XingHeader;
using namespace std::string_literals;

SongInfo Info(std::uint16_t seconds, std::uint64_t fileSize, std::uint32_t id3v2Size,
              std::uint16_t bitRate, std::uint16_t sampleRate = 44100, std::uint8_t channelMode = 0,
              std::uint8_t rights = 0, std::uint8_t original = 1) {
    SongInfo info;
    info.seconds = seconds;
    info.fileSize = fileSize;
    info.id3v2Size = id3v2Size;
    info.bitRate = bitRate;
    info.sampleRate = sampleRate;
    info.channelMode = channelMode;
    info.rightsFlag = rights;
    info.originalFlag = original;
    return info;
}

XingHeader Xing(std::uint32_t frames, std::uint32_t flags = 3) {
    XingHeader xing;
    xing.frames = frames;
    xing.flags = flags;
    return xing;
}

MpegHeader Header(std::uint8_t bitRateIndex, std::uint8_t sampleRateIndex = 0) {
    MpegHeader h;
    h.bitRateIndex = bitRateIndex;
    h.sampleRateIndex = sampleRateIndex;
    return h;
}

Id3v2Tag PaddedTag(std::size_t size) {
    Id3v2Tag tag;
    tag.padding = size;
    return tag;
}

// A bare tag header whose size field says size.
Bytes SizedTag(std::uint32_t size) {
    Id3v2Tag tag;
    tag.sizeOverride = size;
    return tag.Build();
}

Bytes RawSizedTag(const Bytes& sizeBytes) {
    Id3v2Tag tag;
    tag.rawSizeBytes = sizeBytes;
    return tag.Build();
}

struct ScanCase {
    const char* name;
    Bytes bytes;
    ScanResult result;
    SongInfo info;
    int reads;  // ReadAt calls the scan made
};

std::vector<ScanCase> Cases() {
    MpegHeader mono;
    mono.protectionBit = false;
    mono.channelMode = 3;
    MpegHeader flags;
    flags.bitRateIndex = 14;
    flags.sampleRateIndex = 1;
    flags.channelMode = 2;
    flags.copyright = true;
    flags.original = false;
    MpegHeader mpeg2;
    mpeg2.versionBits = 2;
    MpegHeader mpeg25;
    mpeg25.versionBits = 0;
    MpegHeader layer2;
    layer2.layerBits = 2;

    MpegHeader stereoCrc;
    stereoCrc.protectionBit = false;
    // Where encoders put the Xing header of a CRC-protected frame: as if there were no CRC.
    Bytes monoCrcEncoderStyle = mono.Build() + Bytes(17, '\0') + Xing(10000).Build();
    monoCrcEncoderStyle.resize(417, '\0');
    Bytes stereoCrcEncoderStyle = stereoCrc.Build() + Bytes(32, '\0') + Xing(10000).Build();
    stereoCrcEncoderStyle.resize(417, '\0');
    // A mono CRC frame with "Xing" where a stereo frame would have it: not a Xing header.
    Bytes monoAt36 = mono.Build() + Bytes(32, '\0') + Xing(10000).Build();
    const std::size_t nearEnd = kFrameSearchPositions - 1;

    return {
        {"Cbr128", test::CbrFile(4000000), ScanResult::ScanOk, Info(250, 4000000, 0, 128), 1},
        {"Cbr320Flags", test::CbrFile(1000000, flags), ScanResult::ScanOk,
         Info(25, 1000000, 0, 320, 48000, 2, 1, 0), 1},
        {"Cbr32k", test::CbrFile(40000, Header(1, 2)), ScanResult::ScanOk,
         Info(10, 40000, 0, 32, 32000), 1},
        {"Xing44100", Mp3Builder().Frame({}, Xing(10000)).Build(), ScanResult::ScanOk,
         Info(261, 417, 0, 999), 1},
        {"Xing48000", Mp3Builder().Frame(Header(9, 1), Xing(10000)).Build(), ScanResult::ScanOk,
         Info(240, 417, 0, 999, 48000), 1},
        {"Xing32000", Mp3Builder().Frame(Header(9, 2), Xing(10000)).Build(), ScanResult::ScanOk,
         Info(360, 417, 0, 999, 32000), 1},
        {"XingAllFlags", Mp3Builder().Frame({}, Xing(10000, 0xF)).Build(), ScanResult::ScanOk,
         Info(261, 417, 0, 999), 1},
        {"XingHighFlagBitsIgnored", Mp3Builder().Frame({}, Xing(10000, 0xFFFFFF03)).Build(),
         ScanResult::ScanOk, Info(261, 417, 0, 999), 1},
        {"XingZeroFramesIsCbr", Mp3Builder().Frame({}, Xing(0)).FillTo(160000).Build(),
         ScanResult::ScanOk, Info(10, 160000, 0, 128), 1},
        {"XingFrameCountFlagOnly", Mp3Builder().Frame({}, Xing(10000, 1)).Build(),
         ScanResult::ScanNoHeader, Info(0, 0, 0, 128), 1},
        {"XingByteCountFlagOnly", Mp3Builder().Frame({}, Xing(10000, 2)).Build(),
         ScanResult::ScanNoHeader, Info(0, 0, 0, 128), 1},
        {"XingFlagsInHighByteOnly", Mp3Builder().Frame({}, Xing(10000, 0x300)).Build(),
         ScanResult::ScanNoHeader, Info(0, 0, 0, 128), 1},
        {"MonoCrcXingAt23", Mp3Builder().Frame(mono, Xing(10000)).Build(), ScanResult::ScanOk,
         Info(261, 417, 0, 999, 44100, 3), 1},
        {"MonoCrcXingAt21", monoCrcEncoderStyle, ScanResult::ScanOk,
         Info(261, 417, 0, 999, 44100, 3), 1},
        {"StereoCrcXingAt36", stereoCrcEncoderStyle, ScanResult::ScanOk, Info(261, 417, 0, 999), 1},
        {"StereoCrcXingAt38", Mp3Builder().Frame(stereoCrc, Xing(10000)).Build(),
         ScanResult::ScanOk, Info(261, 417, 0, 999), 1},
        {"CrcXingBeyondWindow",
         Mp3Builder().Junk(kFrameSearchPositions - 1).Raw(monoCrcEncoderStyle).Build(),
         ScanResult::ScanOk, Info(261, kFrameSearchPositions - 1 + 417, 0, 999, 44100, 3), 2},
        {"MonoCrcXingAt36IsNotXing", Mp3Builder().Raw(monoAt36).FillTo(160000).Build(),
         ScanResult::ScanOk, Info(10, 160000, 0, 128, 44100, 3), 1},
        {"VbrClampedTo65535", Mp3Builder().Frame({}, Xing(3000000)).Build(), ScanResult::ScanOk,
         Info(65535, 417, 0, 999), 1},
        {"VbrLargestCount", Mp3Builder().Frame(Header(9, 2), Xing(0xFFFFFFFF)).Build(),
         ScanResult::ScanOk, Info(65535, 417, 0, 999, 32000), 1},
        {"TagOf4096", Mp3Builder().Id3v2(PaddedTag(4096)).Frame().FillTo(160000).Build(),
         ScanResult::ScanOk, Info(10, 160000, 4096, 128), 2},
        {"TagThenXing", Mp3Builder().Id3v2(PaddedTag(100)).Frame({}, Xing(10000)).Build(),
         ScanResult::ScanOk, Info(261, 527, 100, 999), 2},
        {"JunkUpToLastPosition", Mp3Builder().Junk(4094).Frame().FillTo(160000).Build(),
         ScanResult::ScanOk, Info(10, 160000, 0, 128), 2},
        {"JunkPastLastPosition", Mp3Builder().Junk(4095).Frame().FillTo(160000).Build(),
         ScanResult::ScanNoHeader, Info(0, 0, 0, 0, 0, 0, 0, 0), 1},
        {"TagThenJunkPastLastPosition",
         Mp3Builder().Id3v2(PaddedTag(20)).Junk(4095).Frame().FillTo(160000).Build(),
         ScanResult::ScanNoHeader, Info(0, 0, 20, 0, 0, 0, 0, 0), 2},
        {"XingBeyondWindowReadSeparately",
         Mp3Builder().Junk(nearEnd).Frame({}, Xing(10000)).Build(), ScanResult::ScanOk,
         Info(261, nearEnd + 417, 0, 999), 2},
        {"TagAndXingBeyondWindow",
         Mp3Builder().Id3v2(PaddedTag(50)).Junk(nearEnd).Frame({}, Xing(10000)).Build(),
         ScanResult::ScanOk, Info(261, 60 + nearEnd + 417, 50, 999), 3},
        {"Mpeg25SkippedAsNoSync", Mp3Builder().Frame(mpeg25).Frame({}, Xing(10000)).Build(),
         ScanResult::ScanOk, Info(261, 834, 0, 999), 1},
        {"Mpeg2", test::CbrFile(10000, mpeg2), ScanResult::ScanNoHeader,
         Info(0, 0, 0, 0, 0, 0, 0, 0), 1},
        {"Layer2", test::CbrFile(10000, layer2), ScanResult::ScanNoHeader,
         Info(0, 0, 0, 0, 0, 0, 0, 0), 1},
        {"StraySyncBeforeFrame", Mp3Builder().Raw("\xFF\xF0\x00\x00"s).Frame().Build(),
         ScanResult::ScanNoHeader, Info(0, 0, 0, 0, 0, 0, 0, 0), 1},
        {"FreeFormat", test::CbrFile(10000, Header(0)), ScanResult::ScanNoHeader,
         Info(0, 0, 0, 0, 0, 0, 0, 0), 1},
        {"FreeFormatWithXing", Mp3Builder().Frame(Header(0), Xing(100)).Build(),
         ScanResult::ScanNoHeader, Info(0, 0, 0, 0, 0, 0, 0, 0), 1},
        {"BitRateIndex15", test::CbrFile(10000, Header(15)), ScanResult::ScanNoHeader,
         Info(0, 0, 0, 0, 0, 0, 0, 0), 1},
        {"SampleRateIndex3", Mp3Builder().Frame(Header(9, 3), Xing(100)).Build(),
         ScanResult::ScanNoHeader, Info(0, 0, 0, 0, 0, 0, 0, 0), 1},
        {"Empty", "", ScanResult::ScanNoHeader, Info(0, 0, 0, 0, 0, 0, 0, 0), 0},
        {"ThreeBytes", "\xFF\xFB\x90", ScanResult::ScanNoHeader, Info(0, 0, 0, 0, 0, 0, 0, 0), 1},
        {"HeaderOnly", MpegHeader{}.Build(), ScanResult::ScanOk, Info(0, 4, 0, 128), 1},
        {"XingCutShort", MpegHeader{}.Build() + Bytes(32, '\0') + "Xing\0\0\0\x03\0\0"s,
         ScanResult::ScanOk, Info(0, 46, 0, 128), 1},
        {"TruncatedTagHeader", "ID3\x03\x00\x00\x00"s, ScanResult::ScanNoHeader,
         Info(0, 0, 0, 0, 0, 0, 0, 0), 1},
        {"TagSizePastEnd", SizedTag(0x0FFFFFFF) + MpegFrame(MpegHeader{}), ScanResult::ScanNoHeader,
         Info(0, 0, 0x0FFFFFFF, 0, 0, 0, 0, 0), 1},
        {"TagSizeHighBitsIgnored",
         RawSizedTag(Bytes("\x80\x80\x81\x00", 4)) + Bytes(128, 'x') +
             MpegFrame(MpegHeader{}, Xing(10000)),
         ScanResult::ScanOk, Info(261, 10 + 128 + 417, 128, 999), 2},
    };
}

TEST(MpegScanTest, MeasuresEachCase) {
    for (const ScanCase& c : Cases()) {
        SCOPED_TRACE(c.name);
        MemoryByteSource source(c.bytes);
        SongInfo info;
        info.seconds = 7;  // every scan starts from zero
        EXPECT_EQ(ScanMpegSource(source, info), c.result);
        EXPECT_EQ(info.seconds, c.info.seconds);
        EXPECT_EQ(info.fileSize, c.info.fileSize);
        EXPECT_EQ(info.id3v2Size, c.info.id3v2Size);
        EXPECT_EQ(info.bitRate, c.info.bitRate);
        EXPECT_EQ(info.sampleRate, c.info.sampleRate);
        EXPECT_EQ(info.channelMode, c.info.channelMode);
        EXPECT_EQ(info.rightsFlag, c.info.rightsFlag);
        EXPECT_EQ(info.originalFlag, c.info.originalFlag);
        EXPECT_EQ(source.reads(), c.reads);
        EXPECT_LE(source.reads(), 3);
        // The tag header, the window and the Xing bytes at most: never the whole file.
        EXPECT_LE(source.bytesRequested(), 2 * kFrameSearchBytes + kXingBytes + 2);
    }
}

TEST(MpegScanTest, SameResultThroughAFile) {
    test::TempDir dir;
    for (const ScanCase& c : Cases()) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.Write(std::string(c.name) + ".mp3", c.bytes);
        SongInfo info;
        EXPECT_EQ(ScanMpegFile(path, info), c.result);
        EXPECT_EQ(info, c.info);
    }
}

// A constant-bit-rate stream of any length: the head is real, the rest reads as zeros.
class LongCbrSource : public ByteSource {
  public:
    explicit LongCbrSource(std::uint64_t size) : head_(test::CbrFile(10000)), size_(size) {}
    std::uint64_t size() const override { return size_; }
    std::size_t ReadAt(std::uint64_t offset, std::span<std::uint8_t> buffer) const override {
        const std::size_t n = static_cast<std::size_t>(
            std::min<std::uint64_t>(buffer.size(), offset < size_ ? size_ - offset : 0));
        for (std::size_t i = 0; i < n; ++i) {
            buffer[i] =
                offset + i < head_.size() ? static_cast<std::uint8_t>(head_[offset + i]) : 0;
        }
        return n;
    }

  private:
    Bytes head_;
    std::uint64_t size_;
};

TEST(MpegScanTest, LongCbrFilesStopAt65535Seconds) {
    // 128 kbit/s is 16000 bytes a second.
    const std::pair<std::uint64_t, std::uint16_t> cases[] = {
        {65534ull * 16000, 65534},
        {65535ull * 16000, 65535},
        {65536ull * 16000, 65535},  // one more would wrap to 0
        {5ull << 30, 65535},        // past 4 GiB
    };
    for (const auto& [size, seconds] : cases) {
        SCOPED_TRACE(size);
        SongInfo info;
        ASSERT_EQ(ScanMpegSource(LongCbrSource(size), info), ScanResult::ScanOk);
        EXPECT_EQ(info.seconds, seconds);
        EXPECT_EQ(info.fileSize, size);
        EXPECT_EQ(info.bitRate, 128);
    }
}

TEST(MpegScanTest, UnopenablePathsFailToOpen) {
    test::TempDir dir;
    std::filesystem::create_directory(dir.File("folder.mp3"));
    ASSERT_EQ(::mkfifo(dir.File("fifo.mp3").c_str(), 0600), 0);
    for (const std::string& path :
         {dir.File("missing.mp3"), dir.File("folder.mp3"), dir.File("fifo.mp3"), std::string()}) {
        SCOPED_TRACE(path);
        SongInfo info;
        info.bitRate = 5;
        EXPECT_EQ(ScanMpegFile(path, info), ScanResult::ScanOpenFailed);
        EXPECT_EQ(info, SongInfo{});
    }
}

TEST(MpegScanTest, DecodeSyncsafe) {
    const struct {
        std::array<std::uint8_t, 4> bytes;
        std::uint32_t value;
    } cases[] = {
        {{0, 0, 0x20, 0}, 4096},
        {{0, 0, 0x02, 0x2C}, 300},
        {{0, 0, 0x01, 0x2C}, 172},
        {{0x7F, 0x7F, 0x7F, 0x7F}, 0x0FFFFFFF},
        {{0xFF, 0xFF, 0xFF, 0x7F}, 0x0FFFFFFF},
        // The last byte is taken whole.
        {{0, 0, 0, 0xC9}, 0xC9},
    };
    for (const auto& c : cases) EXPECT_EQ(DecodeSyncsafe(c.bytes), c.value);
}

TEST(MpegScanTest, FrameSyncSearchStopsAtItsLimit) {
    std::vector<std::uint8_t> window(kFrameSearchBytes + 10, 0);
    EXPECT_FALSE(FindFrameSync(window));
    window[kFrameSearchPositions] = 0xFF;
    window[kFrameSearchPositions + 1] = 0xF0;
    EXPECT_FALSE(FindFrameSync(window));
    window[kFrameSearchPositions - 1] = 0xFF;
    window[kFrameSearchPositions] = 0xFA;
    EXPECT_EQ(FindFrameSync(window), kFrameSearchPositions - 1);
    // A sync whose 4 bytes do not fit is no candidate.
    const std::vector<std::uint8_t> shortWindow = {0, 0xFF, 0xFB, 0x90, 0x04};
    EXPECT_EQ(FindFrameSync(shortWindow), 1u);
    EXPECT_FALSE(FindFrameSync(std::span(shortWindow).first(4)));
}

}  // namespace
}  // namespace sorrelbox
