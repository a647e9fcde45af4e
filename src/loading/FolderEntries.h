#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/PathStyle.h"

namespace sorrelbox {

// True when name matches "*.mp3", letter case ignored as the platform's wildcards do.
bool MatchesMp3Pattern(std::string_view name);

// The "*.mp3" entries of a folder listing in the order the folder load takes them: names
// compared with ASCII letters folded to upper case, byte order breaking ties.
std::vector<std::string> SelectMp3Entries(std::vector<std::string> names);

// A "*.mp3" entry of a folder. A name the code page cannot hold is listed with '?' in its place
// and cannot be read, so the load counts it among its failures instead of leaving it out unseen.
struct FolderEntry {
    std::string name;
    bool readable = true;
};
// Both kinds in the one order of SelectMp3Entries.
std::vector<FolderEntry> SelectMp3Entries(std::vector<std::string> names,
                                          std::vector<std::string> unreadable);

// The path of an entry in folder. Windows style always adds a backslash (a drive root gives
// a doubled one, which is stored as such); POSIX adds '/' only when the folder does not
// already end in one.
std::string JoinFolderEntry(std::string_view folder, std::string_view name, PathStyle style);

}  // namespace sorrelbox
