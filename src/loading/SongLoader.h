#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "analysis/SongTable.h"
#include "platform/Prompts.h"
#include "settings/Settings.h"

namespace sorrelbox {

// What a loading command works on. The caller (the main window) ends a pending move before
// open files and open folder, and refreshes its fields after each command.
struct LoadContext {
    SongTable& table;
    const Settings& settings;
    Prompts& prompts;
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
