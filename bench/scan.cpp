// Speed of measuring songs: the scan reads at most the tag header, one 4 KB window and the
// Xing bytes, so its time should not grow with the file's length.
#include <benchmark/benchmark.h>

#include "analysis/Id3Reader.h"
#include "analysis/MpegScan.h"
#include "support/Mp3Builder.h"
#include "support/TempDir.h"

namespace sorrelbox {
namespace {

using test::Mp3Builder;

struct Files {
    test::TempDir dir;
    std::string cbrSmall, cbrLarge, vbr, tagged, junk;

    Files() {
        cbrSmall = dir.Write("cbr-small.mp3", test::CbrFile(100000));
        cbrLarge = dir.Write("cbr-large.mp3", test::CbrFile(20000000));
        test::XingHeader xing;
        xing.frames = 10000;
        vbr = Mp3Builder().Frame({}, xing).FillTo(4000000).WriteTo(dir, "vbr.mp3");
        test::Id3v2Tag tag;
        test::Id3v2Frame cover;
        cover.id = "APIC";
        cover.body = test::Bytes(200000, '\x01');
        tag.frames.push_back(cover);
        tag.frames.push_back(test::TextFrame("TIT2", "Title"));
        tag.frames.push_back(test::TextFrame("TPE1", "Artist"));
        tag.padding = 4096;
        test::Id3v1Tag v1;
        v1.title = "Title";
        tagged = Mp3Builder().Id3v2(tag).Frame({}, xing).FillTo(4000000).Id3v1(v1).WriteTo(
            dir, "tagged.mp3");
        // Not MP3: the search gives up after its window.
        junk = dir.Write("junk.mp3", test::Bytes(4000000, '\x11'));
    }
};

Files& TheFiles() {
    static Files files;
    return files;
}

void ScanFile(benchmark::State& state, const std::string& path) {
    SongInfo info;
    for (auto _ : state) {
        benchmark::DoNotOptimize(ScanMpegFile(path, info));
    }
}

void BM_ScanCbrSmall(benchmark::State& state) {
    ScanFile(state, TheFiles().cbrSmall);
}
void BM_ScanCbrLarge(benchmark::State& state) {
    ScanFile(state, TheFiles().cbrLarge);
}
void BM_ScanVbr(benchmark::State& state) {
    ScanFile(state, TheFiles().vbr);
}
void BM_ScanTagged(benchmark::State& state) {
    ScanFile(state, TheFiles().tagged);
}
void BM_ScanNotMp3(benchmark::State& state) {
    ScanFile(state, TheFiles().junk);
}

// The scan's parsing alone, without the file system.
void BM_ScanInMemory(benchmark::State& state) {
    const test::Bytes bytes = Mp3Builder().Junk(4000).Frame().FillTo(100000).Build();
    SongInfo info;
    for (auto _ : state) {
        MemoryByteSource source(bytes);
        benchmark::DoNotOptimize(ScanMpegSource(source, info));
    }
}

void BM_DisplayTitleTagged(benchmark::State& state) {
    SongInfo info;
    ScanMpegFile(TheFiles().tagged, info);
    for (auto _ : state) {
        benchmark::DoNotOptimize(ReadDisplayTitle(TheFiles().tagged, info.id3v2Size));
    }
}

void BM_ReadSongTagsTagged(benchmark::State& state) {
    SongInfo info;
    ScanMpegFile(TheFiles().tagged, info);
    for (auto _ : state) {
        benchmark::DoNotOptimize(ReadSongTags(TheFiles().tagged, info.id3v2Size));
    }
}

BENCHMARK(BM_ScanCbrSmall);
BENCHMARK(BM_ScanCbrLarge);
BENCHMARK(BM_ScanVbr);
BENCHMARK(BM_ScanTagged);
BENCHMARK(BM_ScanNotMp3);
BENCHMARK(BM_ScanInMemory);
BENCHMARK(BM_DisplayTitleTagged);
BENCHMARK(BM_ReadSongTagsTagged);

}  // namespace
}  // namespace sorrelbox

BENCHMARK_MAIN();
