// Rewriting the ID3v2 tag of a 10 MB song against copying that song: the rewrite should cost
// at most 1.5 times a plain copy. Both are measured with and without flushing to disk, since
// the rewrite always flushes before it replaces the song.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "platform/ScriptedPrompts.h"
#include "support/Mp3Builder.h"
#include "support/TempDir.h"
#include "tagwrite/Id3v2TestSupport.h"
#include "tagwrite/Id3v2Writer.h"

namespace sorrelbox {
namespace {

constexpr std::size_t kSongSize = 10 << 20;

struct Song {
    test::TempDir dir;
    std::string path;
    std::uint32_t tagLength = 0;
};

const Song& TenMegabyteSong() {
    static Song* song = [] {
        auto* s = new Song;
        test::Id3v2Tag tag;
        tag.frames = {test::TextFrame("TIT2", "AAAA"), test::TextFrame("TPE1", "Artist"),
                      test::RawFrame("APIC", std::string(40000, '\x42'))};
        tag.padding = 1024;
        const std::string tagBytes = tag.Build();
        s->tagLength = static_cast<std::uint32_t>(tagBytes.size());
        s->path = s->dir.Write("song.mp3", tagBytes + test::CbrFile(kSongSize - tagBytes.size()));
        return s;
    }();
    return *song;
}

void PlainCopy(benchmark::State& state) {
    const Song& song = TenMegabyteSong();
    const std::string copy = song.dir.File("copy.mp3");
    const bool flush = state.range(0) != 0;
    for (auto _ : state) {
        std::filesystem::copy_file(song.path, copy,
                                   std::filesystem::copy_options::overwrite_existing);
        if (flush) {
            const int fd = ::open(copy.c_str(), O_RDONLY);
            ::fsync(fd);
            ::close(fd);
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kSongSize));
}
BENCHMARK(PlainCopy)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// Read-and-write copy through a buffer, as a program without kernel copy support would do it.
void BufferedCopy(benchmark::State& state) {
    const Song& song = TenMegabyteSong();
    const std::string copy = song.dir.File("copy.mp3");
    std::string buffer(1 << 20, '\0');
    for (auto _ : state) {
        const int in = ::open(song.path.c_str(), O_RDONLY);
        const int out = ::open(copy.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ssize_t n = 0;
        while ((n = ::read(in, buffer.data(), buffer.size())) > 0) {
            if (::write(out, buffer.data(), static_cast<std::size_t>(n)) != n) break;
        }
        if (state.range(0) != 0) ::fsync(out);
        ::close(in);
        ::close(out);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kSongSize));
}
BENCHMARK(BufferedCopy)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// The least any safe rewrite of the song does: a flushed copy renamed over a file.
void CopyAndReplace(benchmark::State& state) {
    const Song& song = TenMegabyteSong();
    const std::string copy = song.dir.File("copy.mp3");
    const std::string temp = song.dir.File("copy.tmp");
    for (auto _ : state) {
        std::filesystem::copy_file(song.path, temp,
                                   std::filesystem::copy_options::overwrite_existing);
        const int fd = ::open(temp.c_str(), O_RDONLY);
        ::fsync(fd);
        ::close(fd);
        std::filesystem::rename(temp, copy);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kSongSize));
}
BENCHMARK(CopyAndReplace)->Unit(benchmark::kMillisecond)->UseRealTime();

void RewriteTag(benchmark::State& state) {
    const Song& song = TenMegabyteSong();
    ScriptedPrompts prompts;
    WriterEnv env{.backup = 0, .kanryoumes = 1, .backupPath = "", .prompts = prompts};
    Id3v2Edit edit;
    edit.songPath = song.path;
    edit.oldTagLength = song.tagLength;
    int n = 0;
    for (auto _ : state) {
        edit.values[0] = (n++ % 2 == 0) ? "BBBB" : "AAAA";  // same length: same tag length
        std::uint16_t mask = kFieldTitle;
        if (WriteId3v2Tag(edit, mask, env)) state.SkipWithError("write failed");
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kSongSize));
}
BENCHMARK(RewriteTag)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace sorrelbox

BENCHMARK_MAIN();
