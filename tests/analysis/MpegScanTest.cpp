#include "analysis/MpegScan.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

#include "support/Mp3Builder.h"
#include "support/TempDir.h"

namespace sorrelbox {
namespace {

using test::Bytes, test::CbrFile, test::Mp3Builder, test::MpegHeader;
using namespace std::string_literals;
constexpr ScanResult kOk = ScanResult::ScanOk, kNo = ScanResult::ScanNoHeader;

SongInfo Info(std::uint16_t seconds, std::uint64_t fileSize, std::uint32_t id3v2Size,
              std::uint16_t bitRate, std::uint16_t sampleRate = 44100, std::uint8_t channelMode = 0,
              std::uint8_t rights = 0, std::uint8_t original = 1) {
    return {seconds, fileSize, id3v2Size, bitRate, sampleRate, channelMode, rights, original};
}
const SongInfo kNone{};
test::XingHeader Xing(std::uint32_t frames, std::uint32_t flags = 3) {
    return {"Xing", flags, frames, 0};
}
TEST(MpegScanTest, MeasuresEachCase) {
    const MpegHeader mono{.protectionBit = false, .channelMode = 3};
    const MpegHeader stereoCrc{.protectionBit = false};
    const MpegHeader flags{.bitRateIndex = 14, .copyright = true, .original = false};
    const std::size_t last = kFrameSearchPositions - 1;
    const test::XingHeader x = Xing(10000);
    using M = Mp3Builder;
    // Where encoders put the Xing header of a CRC-protected frame: as if there were no CRC.
    const auto encoderStyle = [&](const MpegHeader& head, std::size_t gap) {
        return M().Raw(head.Build() + Bytes(gap, '\0') + x.Build()).FillTo(417, 0).Build();
    };
    const struct {
        Bytes bytes;
        ScanResult result;
        SongInfo info;
        int reads;  // ReadAt calls the scan made
    } rows[] = {
        {CbrFile(1000000, flags), kOk, Info(25, 1000000, 0, 320, 44100, 0, 1, 0), 1},
        {M().Frame({}, x).Build(), kOk, Info(261, 417, 0, 999), 1},
        // Xing flags: only the low two bits count, and both must be set.
        {M().Frame({}, Xing(10000, 0xFFFFFF03)).Build(), kOk, Info(261, 417, 0, 999), 1},
        {M().Frame({}, Xing(10000, 1)).Build(), kNo, Info(0, 0, 0, 128), 1},
        {M().Frame({}, Xing(0)).FillTo(160000).Build(), kOk, Info(10, 160000, 0, 128), 1},
        // CRC-protected frames: the Xing header where it belongs and where encoders put it.
        {M().Frame(mono, x).Build(), kOk, Info(261, 417, 0, 999, 44100, 3), 1},
        {encoderStyle(mono, 17), kOk, Info(261, 417, 0, 999, 44100, 3), 1},
        {encoderStyle(stereoCrc, 32), kOk, Info(261, 417, 0, 999), 1},
        {M().Junk(last).Raw(encoderStyle(mono, 17)).Build(), kOk,
         Info(261, last + 417, 0, 999, 44100, 3), 2},
        // A mono CRC frame with "Xing" where a stereo frame would have it: not a Xing header.
        {M().Raw(encoderStyle(mono, 32)).FillTo(160000).Build(), kOk,
         Info(10, 160000, 0, 128, 44100, 3), 1},
        {M().Frame({}, Xing(100000)).Build(), kOk, Info(2612, 417, 0, 999), 1},
        {M().Frame({.sampleRateIndex = 2}, Xing(0xFFFFFFFF)).Build(), kOk,
         Info(65535, 417, 0, 999, 32000), 1},
        // The search window after the tag, its last position, and a Xing header beyond it.
        {M().Id3v2({.padding = 100}).Frame({}, x).Build(), kOk, Info(261, 527, 100, 999), 2},
        {M().Junk(last).Frame().FillTo(160000).Build(), kOk, Info(10, 160000, 0, 128), 2},
        {M().Junk(last + 1).Frame().FillTo(160000).Build(), kNo, kNone, 1},
        {M().Id3v2({.padding = 20}).Junk(last + 1).Frame().Build(), kNo,
         Info(0, 0, 20, 0, 0, 0, 0, 0), 2},
        {M().Id3v2({.padding = 50}).Junk(last).Frame({}, x).Build(), kOk,
         Info(261, 477 + last, 50, 999), 3},
        // Streams that are not MPEG-1 Layer III with a known rate; a stray sync is no skip.
        {M().Frame({.versionBits = 0}).Frame({}, x).Build(), kOk, Info(261, 834, 0, 999), 1},
        {CbrFile(10000, {.versionBits = 2}), kNo, kNone, 1},
        {CbrFile(10000, {.layerBits = 2}), kNo, kNone, 1},
        {M().Raw("\xFF\xF0\x00\x00"s).Frame().Build(), kNo, kNone, 1},
        {CbrFile(10000, {.bitRateIndex = 0}), kNo, kNone, 1},
        {M().Frame({.sampleRateIndex = 3}, Xing(100)).Build(), kNo, kNone, 1},
        // Cut short anywhere, and tag sizes past the end or with high bits set.
        {"", kNo, kNone, 0},
        {"\0\xFF\xFB\x90"s, kNo, kNone, 1},  // a sync whose 4 bytes do not fit is none
        {"\0"s + MpegHeader{}.Build(), kOk, Info(0, 5, 0, 128), 1},
        {MpegHeader{}.Build() + Bytes(32, '\0') + "Xing\0\0\0\x03\0\0"s, kOk, Info(0, 46, 0, 128),
         1},
        {"ID3\x03\x00\x00\x00"s, kNo, kNone, 1},
        {M().Id3v2({.rawSizeBytes = "\x7F\x7F\x7F\x7F"s}).Frame().Build(), kNo,
         Info(0, 0, 0x0FFFFFFF, 0, 0, 0, 0, 0), 1},
        {M().Id3v2({.rawSizeBytes = "\x80\x80\x81\x00"s}).Junk(128, 'x').Frame({}, x).Build(), kOk,
         Info(261, 555, 128, 999), 2},
        // The size's last byte is taken whole.
        {M().Id3v2({.rawSizeBytes = "\0\0\0\xC9"s}).Junk(201).Frame({}, x).Build(), kOk,
         Info(261, 628, 201, 999), 2},
    };
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
    }
}

// One second more than 65535 would wrap to 0 (128 kbit/s is 16000 bytes a second).
TEST(MpegScanTest, LongCbrFilesStopAt65535Seconds) {
    test::TempDir dir;
    const std::string path = dir.Write("long.mp3", test::CbrFile(10000));
    for (const std::uint64_t size : {65535ull * 16000, 65536ull * 16000, 5ull << 30}) {
        std::filesystem::resize_file(path, size);  // sparse: the rest reads as zeros
        SongInfo info;
        ASSERT_EQ(ScanMpegFile(path, info), kOk);
        EXPECT_EQ(info, Info(65535, size, 0, 128)) << size;
    }
}

}  // namespace
}  // namespace sorrelbox
