#pragma once

#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/SongTable.h"
#include "platform/Prompts.h"
#include "settings/Settings.h"

namespace sorrelbox {

enum class M3uMode { Full, Relative };

// How a make-the-list or make-an-m3u command ended (the CLI turns it into its exit status).
enum class OutputResult { Written, NothingLoaded, Cancelled, CreateFailed, WriteFailed };

// Pure writers: one line per entry or path, each ended by CR LF.
void WriteTextList(std::ostream& out, const std::vector<std::string>& entries);
// The line for one song in a playlist at playlistPath. Relative mode: a song inside the
// playlist's folder tree gets the rest of its path; on Windows a song on the playlist's drive
// gets its path from the drive's root; any other song keeps its whole path.
std::string M3uLine(std::string_view songPath, std::string_view playlistPath, M3uMode mode,
                    PathStyle style);
void WriteM3u(std::ostream& out, const std::vector<std::string>& songPaths,
              std::string_view playlistPath, M3uMode mode, PathStyle style);

// The commands "リストの作成" and "m3uの作成" with their dialogs and messages. The caller ends a
// pending move first. MakeM3u reads the Shift key through the prompts.
struct OutputContext {
    const SongTable& table;
    const Settings& settings;
    Prompts& prompts;
};
OutputResult MakeTextList(OutputContext& context);
OutputResult MakeM3u(OutputContext& context);

// Relative when soutai is 1, reversed while Shift is held.
M3uMode ChooseM3uMode(const Settings& settings, bool shiftDown);

}  // namespace sorrelbox
