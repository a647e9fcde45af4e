// The MPEG scan over any file bytes: the byte parsers, ScanMpegFile and the song table's
// Add/Remove bookkeeping.

#include <array>
#include <cstring>
#include <span>

#include "FuzzTarget.h"
#include "analysis/ByteSource.h"
#include "analysis/MpegScan.h"
#include "analysis/SongTable.h"
#include "support/Mp3Builder.h"

namespace sorrelbox::fuzz {
namespace {

constexpr std::array<std::uint16_t, 15> kBitRates = {0,   32,  40,  48,  56,  64,  80, 96,
                                                     112, 128, 160, 192, 224, 256, 320};

bool IsKnownBitRate(std::uint16_t bitRate) {
    if (bitRate == kVariableBitRate) return true;
    for (std::size_t i = 1; i < kBitRates.size(); ++i) {
        if (kBitRates[i] == bitRate) return true;
    }
    return false;
}

int FuzzMpegScan(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);

    // The byte parsers on their own.
    if (auto sync = FindFrameSync(bytes)) {
        FUZZ_CHECK(*sync + 1 < size);
        FUZZ_CHECK(data[*sync] == 0xFF && (data[*sync + 1] & 0xF0) == 0xF0);
    }
    if (size >= 4) {
        if (auto header = ParseFrameHeader(std::span<const std::uint8_t, 4>(data, 4))) {
            FUZZ_CHECK(header->sampleRate == 44100 || header->sampleRate == 48000 ||
                       header->sampleRate == 32000);
            FUZZ_CHECK(IsKnownBitRate(header->bitRate) && header->bitRate != kVariableBitRate);
            FUZZ_CHECK(header->XingOffset() == 21 || header->XingOffset() == 23 ||
                       header->XingOffset() == 36 || header->XingOffset() == 38);
        }
    }

    SongInfo info;
    const ScanResult result = ScanMpegSource(
        MemoryByteSource(std::string_view(reinterpret_cast<const char*>(data), size)), info);
    if (result == ScanResult::ScanOk) {
        FUZZ_CHECK(info.fileSize == size);
        FUZZ_CHECK(info.sampleRate == 44100 || info.sampleRate == 48000 ||
                   info.sampleRate == 32000);
        FUZZ_CHECK(IsKnownBitRate(info.bitRate));
        FUZZ_CHECK(info.channelMode <= 3 && info.rightsFlag <= 1 && info.originalFlag <= 1);
        if (info.bitRate != kVariableBitRate) {
            // Constant bit rate: the whole length counts, capped rather than wrapped.
            const std::uint64_t expected = std::uint64_t{size} * 8 / (info.bitRate * 1000u);
            FUZZ_CHECK(info.seconds == (expected > 65535 ? 65535 : expected));
        }
    } else {
        FUZZ_CHECK(result == ScanResult::ScanNoHeader);  // the file exists and is regular
    }

    // The same bytes in a file measure the same.
    const std::string path = ScratchFolder::Get().Write("input.mp3", data, size);
    SongInfo fromFile;
    FUZZ_CHECK(ScanMpegFile(path, fromFile) == result);
    FUZZ_CHECK(fromFile == info);

    // Adding and removing the same song leaves the totals where they were.
    SongTable table;
    const ScanResult added = table.ScanMpegFile(path, ScanMode::Add);
    FUZZ_CHECK(added == result);
    if (added == ScanResult::ScanOk) {
        FUZZ_CHECK(table.info() == info);
        FUZZ_CHECK(table.songCount() == 1);
        table.Append(path);
        FUZZ_CHECK(table.ScanMpegFile(path, ScanMode::Remove) == ScanResult::ScanOk);
        table.RemoveAt(0);
        FUZZ_CHECK(table.songCount() == 0);
        FUZZ_CHECK(table.totalSeconds() == 0 && table.totalKB() == 0);
    } else {
        FUZZ_CHECK(table.songCount() == 0 && table.totalSeconds() == 0);
    }
    return 0;
}

std::vector<std::string> MpegScanSeeds() {
    using namespace sorrelbox::test;
    using namespace std::string_literals;
    std::vector<std::string> seeds;
    seeds.push_back(CbrFile(4000));
    seeds.push_back(VbrFile(10000));
    MpegHeader mono;
    mono.protectionBit = false;
    mono.channelMode = 3;
    mono.sampleRateIndex = 1;
    seeds.push_back(VbrFile(500, mono));
    Id3v2Tag tag;
    tag.frames = {TextFrame("TIT2", "Title")};
    tag.padding = 64;
    Id3v1Tag v1;
    v1.title = "v1 title";
    seeds.push_back(Mp3Builder().Id3v2(tag).Frame().FillToBeforeId3v1(3000).Id3v1(v1).Build());
    seeds.push_back(Mp3Builder().Junk(300, 0x20).Frame().FillTo(2000).Build());
    XingHeader framesOnly;
    framesOnly.flags = 1;
    framesOnly.frames = 77;
    seeds.push_back(Mp3Builder().Frame({}, framesOnly).Build());
    MpegHeader mpeg2;
    mpeg2.versionBits = 2;
    seeds.push_back(Mp3Builder().Frame(mpeg2).FillTo(1000).Build());
    seeds.push_back("ID3\x03\x00\x00\x7F\x7F\x7F\x7F"s);
    return seeds;
}

}  // namespace

SORRELBOX_FUZZ_TARGET_REGISTER("mpeg_scan", FuzzMpegScan, MpegScanSeeds);

}  // namespace sorrelbox::fuzz
