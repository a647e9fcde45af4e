// How long the main window takes to load 999 songs and show them: the drop flow (scan of every
// file, table and totals), the list lines and the fields, then one paint of the window.
// A Google Benchmark program on the offscreen platform; not a test.

#include <benchmark/benchmark.h>

#include <QAction>
#include <QApplication>
#include <QListWidget>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "platform/ScriptedPrompts.h"
#include "settings/Settings.h"
#include "support/Mp3Builder.h"
#include "support/TempDir.h"
#include "ui/main/ClistDlg.h"

namespace sorrelbox {
namespace {

constexpr int kSongs = 999;

struct Songs {
    test::TempDir dir;
    std::vector<std::string> paths;
    Songs() {
        const std::string bytes = test::CbrFile(16000 * 3);  // 3 s at 128 kbit/s
        for (int i = 0; i < kSongs; ++i) {
            paths.push_back(dir.Write("song" + std::to_string(i) + ".mp3", bytes));
        }
    }
};

Songs& SharedSongs() {
    static Songs songs;
    return songs;
}

// One window kept open across a benchmark's iterations.
struct ShownWindow {
    Settings settings;
    StartupInfo startup;
    ScriptedPrompts prompts;
    ClistDlg window;
    explicit ShownWindow(const std::string& folder)
        : startup(MakeStartupInfo(folder)), window(settings, startup, &prompts) {
        window.show();
    }
};

// The drop, the list's lines and the fields painted.
void LoadAndShow(ClistDlg& window, const Songs& songs, benchmark::State& state) {
    window.LoadDropped(songs.paths);
    window.repaint();
    QApplication::processEvents();
    if (window.table().songCount() != kSongs) state.SkipWithError("not every song loaded");
}

void BM_Load999SongsIntoANewWindow(benchmark::State& state) {
    Songs& songs = SharedSongs();
    Settings settings;
    const StartupInfo startup = MakeStartupInfo(songs.dir.path().string());
    for (auto _ : state) {
        ScriptedPrompts prompts;
        ClistDlg window(settings, startup, &prompts);
        window.show();
        LoadAndShow(window, songs, state);
    }
    state.SetItemsProcessed(state.iterations() * kSongs);
}
BENCHMARK(BM_Load999SongsIntoANewWindow)->Unit(benchmark::kMillisecond);

// The same into one window, emptied by the new-list command before each load.
void BM_Load999SongsAgain(benchmark::State& state) {
    Songs& songs = SharedSongs();
    ShownWindow shown(songs.dir.path().string());
    for (auto _ : state) {
        shown.window.commands().NewList();
        LoadAndShow(shown.window, songs, state);
    }
    state.SetItemsProcessed(state.iterations() * kSongs);
}
BENCHMARK(BM_Load999SongsAgain)->Unit(benchmark::kMillisecond);

// "フォルダを開く" through the menu, as a user runs it, over SORRELBOX_BENCH_FOLDER (a folder
// of 999 songs that bench/load_latency.py makes, so the page cache and the latency of its files
// can be set from outside) or else the generated songs.
void BM_OpenFolderInWindow(benchmark::State& state) {
    const char* given = std::getenv("SORRELBOX_BENCH_FOLDER");
    const std::string folder = given ? given : SharedSongs().dir.path().string();
    Settings settings;
    const StartupInfo startup = MakeStartupInfo(folder);
    for (auto _ : state) {
        ScriptedPrompts prompts;
        prompts.folders.push_back({false, folder});
        ClistDlg window(settings, startup, &prompts);
        window.show();
        window.findChild<QAction*>(QStringLiteral("action32772"))->trigger();
        window.repaint();
        QApplication::processEvents();
        if (window.table().songCount() != kSongs) state.SkipWithError("not every song loaded");
    }
    state.SetItemsProcessed(state.iterations() * kSongs);
}
BENCHMARK(BM_OpenFolderInWindow)->Unit(benchmark::kMillisecond)->UseRealTime();

// Selecting a song: the Show scan, the title read and the field refresh.
void BM_SelectASong(benchmark::State& state) {
    Songs& songs = SharedSongs();
    ShownWindow shown(songs.dir.path().string());
    shown.window.LoadDropped(songs.paths);
    int row = 0;
    for (auto _ : state) {
        shown.window.SelectRow(row);
        row = (row + 97) % kSongs;
    }
}
BENCHMARK(BM_SelectASong)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace sorrelbox

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
