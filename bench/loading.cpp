// Loading a folder of n MP3 files and writing the text list: the time should grow with n
// alone (folder listing and sort n log n, one scan per file, duplicate checks by hash).

#include <benchmark/benchmark.h>

#include <map>
#include <memory>
#include <string>

#include "analysis/SongTable.h"
#include "loading/SongLoader.h"
#include "output/ListOutputs.h"
#include "platform/ScriptedPrompts.h"
#include "support/Mp3Builder.h"
#include "support/TempDir.h"

namespace sorrelbox {
namespace {

// One folder of n small CBR files per n, made once.
const test::TempDir& FolderOf(int n) {
    static std::map<int, std::unique_ptr<test::TempDir>> folders;
    auto& slot = folders[n];
    if (!slot) {
        slot = std::make_unique<test::TempDir>();
        const std::string bytes = test::CbrFile(4000);
        for (int i = 0; i < n; ++i) slot->Write("song " + std::to_string(i) + ".mp3", bytes);
    }
    return *slot;
}

void LoadFolderAndWriteList(benchmark::State& state, std::uint8_t zyuuhuku) {
    const int n = static_cast<int>(state.range(0));
    const test::TempDir& dir = FolderOf(n);
    test::TempDir out;
    Settings settings;
    settings.zyuuhuku = zyuuhuku;
    settings.kanryoumes = 1;
    for (auto _ : state) {
        SongTable table;
        ScriptedPrompts prompts;
        prompts.folders.push_back({false, dir.path().string()});
        prompts.saveFiles.push_back(out.File("list.txt"));
        LoadContext load{table, settings, prompts};
        OpenFolder(load);
        OutputContext write{table, settings, prompts};
        if (MakeTextList(write) != OutputResult::Written || table.songCount() != n) {
            state.SkipWithError("load or write failed");
            break;
        }
    }
    state.SetComplexityN(n);
    state.SetItemsProcessed(state.iterations() * n);
}

void BM_LoadFolderAndWriteList(benchmark::State& state) {
    LoadFolderAndWriteList(state, 0);
}
void BM_LoadFolderAndWriteListNoDuplicates(benchmark::State& state) {
    LoadFolderAndWriteList(state, 1);
}

BENCHMARK(BM_LoadFolderAndWriteList)
    ->Arg(100)
    ->Arg(300)
    ->Arg(600)
    ->Arg(999)
    ->Complexity(benchmark::oN)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadFolderAndWriteListNoDuplicates)
    ->Arg(100)
    ->Arg(300)
    ->Arg(600)
    ->Arg(999)
    ->Complexity(benchmark::oN)
    ->Unit(benchmark::kMillisecond);

// A playlist of n lines that are all duplicates of loaded songs: the refusals must not walk
// the table for each line. (Below 999, which would end the load at its first line.)
void BM_PlaylistOfDuplicates(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const test::TempDir& dir = FolderOf(n);
    std::string lines;
    for (int i = 0; i < n; ++i) lines += "song " + std::to_string(i) + ".mp3\r\n";
    const std::string playlist = dir.Write("all.m3u", lines);
    Settings settings;
    settings.zyuuhuku = 1;
    SongTable table;
    ScriptedPrompts prompts;
    LoadContext load{table, settings, prompts};
    LoadPlaylist(load, playlist);
    for (auto _ : state) {
        LoadPlaylist(load, playlist);
        if (table.songCount() != n) state.SkipWithError("duplicates were added");
    }
    state.SetComplexityN(n);
}
BENCHMARK(BM_PlaylistOfDuplicates)
    ->Arg(100)
    ->Arg(300)
    ->Arg(600)
    ->Arg(900)
    ->Complexity(benchmark::oN)
    ->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace sorrelbox

BENCHMARK_MAIN();
