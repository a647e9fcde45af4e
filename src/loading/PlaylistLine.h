#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/PathStyle.h"

namespace sorrelbox {

// What the playlist loader does with one line, worked out without touching a file.
struct PlaylistLinePlan {
    bool comment = false;
    // The path tried first.
    std::string candidate;
    // Windows: the raw line scanned as it stands when the candidate fails, and the path the
    // table stores for it (the playlist's drive + the line). POSIX has no such retry.
    std::optional<std::string> retryScanPath;
    std::string retryTablePath;
    // The name added to the failure list when nothing loads.
    std::string failureName;
};

PlaylistLinePlan PlanPlaylistLine(std::string_view rawLine, std::string_view playlistPath,
                                  PathStyle style);

// The lines of a playlist file, without their line ends (LF or CR LF). A final line end does
// not start another line. A UTF-8 byte-order mark is dropped when the code page is UTF-8.
std::vector<std::string> SplitPlaylistLines(std::string_view text);

}  // namespace sorrelbox
