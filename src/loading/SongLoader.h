#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/SongTable.h"
#include "loading/ReadAhead.h"
#include "platform/Prompts.h"
#include "settings/Settings.h"

namespace sorrelbox {

// One file as the Add scan measured it, before the table takes it.
struct ScannedFile {
    SongInfo info;
    ScanResult result = ScanResult::ScanOpenFailed;
};
// Reads and measures path; no side effect, so it runs on the read-ahead threads.
ScannedFile ScanSongFile(const std::string& path);

// What a running load tells the window, and how the window stops it.
class LoadObserver {
  public:
    virtual ~LoadObserver() = default;
    // done of total paths to read, after each one and every few milliseconds while a read is
    // awaited; on the loading thread.
    virtual void Progress(std::size_t done, std::size_t total) = 0;
    // True once the user stopped the load: it ends after the current song and asks nothing more.
    virtual bool StopRequested() = 0;
};

// What a loading command works on. The caller (the main window) ends a pending move before
// open files and open folder, and refreshes its fields after each command.
struct LoadContext {
    SongTable& table;
    const Settings& settings;
    Prompts& prompts;
    LoadObserver* observer = nullptr;
    // Threads that read the paths a flow is about to add; 0 reads each when it is added.
    unsigned workers = kReadAheadWorkers;
    std::function<ScannedFile(const std::string&)> scan = ScanSongFile;
};

// Scans path in Add mode and, on ScanOk, appends it with its list entry.
ScanResult AddSongFile(SongTable& table, std::string path);

// The loading commands, with every message and the 999 limit.
void OpenFiles(LoadContext& context);
void OpenFolder(LoadContext& context);
void DropFiles(LoadContext& context, const std::vector<std::string>& paths);
// Loads the songs an M3U file lists; reports its own failure list at its end.
void LoadPlaylist(LoadContext& context, std::string_view playlistPath);

}  // namespace sorrelbox
