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
using test::Mp3Builder;
using test::MpegHeader;
using namespace std::string_literals;
constexpr ScanResult kOk = ScanResult::ScanOk, kNo = ScanResult::ScanNoHeader;

SongInfo Info(std::uint16_t seconds, std::uint64_t fileSize, std::uint32_t id3v2Size,
              std::uint16_t bitRate, std::uint16_t sampleRate = 44100, std::uint8_t channelMode = 0,
              std::uint8_t rights = 0, std::uint8_t original = 1) {
    return SongInfo{seconds,    fileSize,    id3v2Size, bitRate,
                    sampleRate, channelMode, rights,    original};
}
const SongInfo kNone{};

test::XingHeader Xing(std::uint32_t frames, std::uint32_t flags = 3) {
    return {"Xing", flags, frames, 0};
}
MpegHeader Header(std::uint8_t bitRateIndex, std::uint8_t sampleRateIndex = 0) {
    MpegHeader h;
    h.bitRateIndex = bitRateIndex;
    h.sampleRateIndex = sampleRateIndex;
    return h;
}
template <typename Change>
MpegHeader With(Change change) {
    MpegHeader h;
    change(h);
    return h;
}
test::Id3v2Tag Tag(std::size_t padding, std::optional<Bytes> rawSize = {}) {
    test::Id3v2Tag tag;
    tag.padding = padding;
    tag.rawSizeBytes = rawSize;
    return tag;
}

TEST(MpegScanTest, MeasuresEachCaseFromMemoryAndFromAFile) {
    const MpegHeader mono = With([](MpegHeader& h) { h.protectionBit = false, h.channelMode = 3; });
    const MpegHeader stereoCrc = With([](MpegHeader& h) { h.protectionBit = false; });
    const MpegHeader flags = With([](MpegHeader& h) {
        h.bitRateIndex = 14, h.sampleRateIndex = 1, h.channelMode = 2;
        h.copyright = true, h.original = false;
    });
    // Where encoders put the Xing header of a CRC-protected frame: as if there were no CRC.
    Bytes monoCrcEncoderStyle = mono.Build() + Bytes(17, '\0') + Xing(10000).Build();
    monoCrcEncoderStyle.resize(417, '\0');
    Bytes stereoCrcEncoderStyle = stereoCrc.Build() + Bytes(32, '\0') + Xing(10000).Build();
    stereoCrcEncoderStyle.resize(417, '\0');
    // A mono CRC frame with "Xing" where a stereo frame would have it: not a Xing header.
    const Bytes monoAt36 = mono.Build() + Bytes(32, '\0') + Xing(10000).Build();
    const std::size_t last = kFrameSearchPositions - 1;
    const test::XingHeader x = Xing(10000);
    using M = Mp3Builder;
    const auto cbr = [](std::size_t size, const MpegHeader& h = {}) {
        return test::CbrFile(size, h);
    };
    const auto version = [](std::uint8_t v) {
        return With([v](MpegHeader& h) { h.versionBits = v; });
    };

    const struct {
        Bytes bytes;
        ScanResult result;
        SongInfo info;
        int reads;  // ReadAt calls the scan made
    } rows[] = {
        {cbr(4000000), kOk, Info(250, 4000000, 0, 128), 1},
        {cbr(1000000, flags), kOk, Info(25, 1000000, 0, 320, 48000, 2, 1, 0), 1},
        {cbr(40000, Header(1, 2)), kOk, Info(10, 40000, 0, 32, 32000), 1},
        {M().Frame({}, x).Build(), kOk, Info(261, 417, 0, 999), 1},
        {M().Frame(Header(9, 1), x).Build(), kOk, Info(240, 417, 0, 999, 48000), 1},
        // Xing flags: only the low two bits count, and both must be set.
        {M().Frame({}, Xing(10000, 0xFFFFFF03)).Build(), kOk, Info(261, 417, 0, 999), 1},
        {M().Frame({}, Xing(10000, 1)).Build(), kNo, Info(0, 0, 0, 128), 1},
        {M().Frame({}, Xing(10000, 0x300)).Build(), kNo, Info(0, 0, 0, 128), 1},
        {M().Frame({}, Xing(0)).FillTo(160000).Build(), kOk, Info(10, 160000, 0, 128), 1},
        // CRC-protected frames: the Xing header where it belongs and where encoders put it.
        {M().Frame(mono, x).Build(), kOk, Info(261, 417, 0, 999, 44100, 3), 1},
        {monoCrcEncoderStyle, kOk, Info(261, 417, 0, 999, 44100, 3), 1},
        {stereoCrcEncoderStyle, kOk, Info(261, 417, 0, 999), 1},
        {M().Frame(stereoCrc, x).Build(), kOk, Info(261, 417, 0, 999), 1},
        {M().Junk(last).Raw(monoCrcEncoderStyle).Build(), kOk,
         Info(261, last + 417, 0, 999, 44100, 3), 2},
        {M().Raw(monoAt36).FillTo(160000).Build(), kOk, Info(10, 160000, 0, 128, 44100, 3), 1},
        {M().Frame(Header(9, 2), Xing(0xFFFFFFFF)).Build(), kOk, Info(65535, 417, 0, 999, 32000),
         1},
        // The search window after the tag, its last position, and a Xing header beyond it.
        {M().Id3v2(Tag(100)).Frame({}, x).Build(), kOk, Info(261, 527, 100, 999), 2},
        {M().Junk(last).Frame().FillTo(160000).Build(), kOk, Info(10, 160000, 0, 128), 2},
        {M().Junk(last + 1).Frame().FillTo(160000).Build(), kNo, kNone, 1},
        {M().Id3v2(Tag(20)).Junk(last + 1).Frame().Build(), kNo, Info(0, 0, 20, 0, 0, 0, 0, 0), 2},
        {M().Junk(last).Frame({}, x).Build(), kOk, Info(261, last + 417, 0, 999), 2},
        {M().Id3v2(Tag(50)).Junk(last).Frame({}, x).Build(), kOk, Info(261, 477 + last, 50, 999),
         3},
        // Streams that are not MPEG-1 Layer III with a known rate; a stray sync is no skip.
        {M().Frame(version(0)).Frame({}, x).Build(), kOk, Info(261, 834, 0, 999), 1},
        {cbr(10000, version(2)), kNo, kNone, 1},
        {cbr(10000, With([](MpegHeader& h) { h.layerBits = 2; })), kNo, kNone, 1},
        {M().Raw("\xFF\xF0\x00\x00"s).Frame().Build(), kNo, kNone, 1},
        {cbr(10000, Header(0)), kNo, kNone, 1},
        {cbr(10000, Header(15)), kNo, kNone, 1},
        {M().Frame(Header(9, 3), Xing(100)).Build(), kNo, kNone, 1},
        // Cut short anywhere, and tag sizes past the end or with high bits set.
        {"", kNo, kNone, 0},
        {"\xFF\xFB\x90", kNo, kNone, 1},
        {MpegHeader{}.Build(), kOk, Info(0, 4, 0, 128), 1},
        {MpegHeader{}.Build() + Bytes(32, '\0') + "Xing\0\0\0\x03\0\0"s, kOk, Info(0, 46, 0, 128),
         1},
        {"ID3\x03\x00\x00\x00"s, kNo, kNone, 1},
        {M().Id3v2(Tag(0, "\x7F\x7F\x7F\x7F"s)).Frame().Build(), kNo,
         Info(0, 0, 0x0FFFFFFF, 0, 0, 0, 0, 0), 1},
        {M().Id3v2(Tag(0, "\x80\x80\x81\x00"s)).Junk(128, 'x').Frame({}, x).Build(), kOk,
         Info(261, 555, 128, 999), 2},
    };
    test::TempDir dir;
    for (const auto& r : rows) {
        SCOPED_TRACE(&r - rows);
        MemoryByteSource source(r.bytes);
        SongInfo info;
        info.seconds = 7;  // every scan starts from zero
        EXPECT_EQ(ScanMpegSource(source, info), r.result);
        EXPECT_EQ(info, r.info);
        EXPECT_EQ(source.reads(), r.reads);
        // The tag header, the window and the Xing bytes at most: never the whole file.
        EXPECT_LE(source.bytesRequested(), 2 * kFrameSearchBytes + kXingBytes + 2);
        info = SongInfo{};
        EXPECT_EQ(ScanMpegFile(dir.Write("song.mp3", r.bytes), info), r.result);
        EXPECT_EQ(info, r.info);
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
        for (std::size_t i = 0; i < n; ++i)
            buffer[i] =
                offset + i < head_.size() ? static_cast<std::uint8_t>(head_[offset + i]) : 0;
        return n;
    }

  private:
    Bytes head_;
    std::uint64_t size_;
};

TEST(MpegScanTest, LongCbrFilesStopAt65535Seconds) {
    // 128 kbit/s is 16000 bytes a second; one second more would wrap to 0.
    for (const auto& [size, seconds] : {std::pair<std::uint64_t, int>{65535ull * 16000, 65535},
                                        {65536ull * 16000, 65535},
                                        {5ull << 30, 65535}}) {
        SongInfo info;
        ASSERT_EQ(ScanMpegSource(LongCbrSource(size), info), kOk);
        EXPECT_EQ(info.seconds, seconds) << size;
        EXPECT_EQ(info.fileSize, size);
    }
}

TEST(MpegScanTest, UnopenablePathsFailToOpen) {
    test::TempDir dir;
    std::filesystem::create_directory(dir.File("folder.mp3"));
    ASSERT_EQ(::mkfifo(dir.File("fifo.mp3").c_str(), 0600), 0);
    for (const std::string& path :
         {dir.File("missing.mp3"), dir.File("folder.mp3"), dir.File("fifo.mp3"), std::string()}) {
        SongInfo info;
        info.bitRate = 5;
        EXPECT_EQ(ScanMpegFile(path, info), ScanResult::ScanOpenFailed) << path;
        EXPECT_EQ(info, SongInfo{});
    }
}

TEST(MpegScanTest, SyncsafeSizesAndTheSyncSearchLimit) {
    using B = std::array<std::uint8_t, 4>;
    EXPECT_EQ(DecodeSyncsafe(B{0, 0, 0x02, 0x2C}), 300u);
    EXPECT_EQ(DecodeSyncsafe(B{0xFF, 0xFF, 0xFF, 0x7F}), 0x0FFFFFFFu);
    EXPECT_EQ(DecodeSyncsafe(B{0, 0, 0, 0xC9}), 0xC9u);  // the last byte is taken whole

    std::vector<std::uint8_t> window(kFrameSearchBytes + 10, 0);
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
