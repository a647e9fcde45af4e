#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "analysis/SongTable.h"
#include "platform/CodePage.h"
#include "platform/Prompts.h"

namespace sorrelbox {

enum class RenameOutcome { Renamed, ForbiddenCharacter, Refused };

// The first forbidden file-name character in name (\ / : * ? " < > |, found character by
// character), or npos.
std::size_t FindForbiddenNameChar(std::string_view name, const CodePage& cp = ActiveCodePage());

// The list entry of a song: "%3d：%02d  " of its playing time, then its file name.
std::string SongListEntry(std::uint16_t seconds, std::string_view fileName);

// Renames songPath to newPath (whose file name is newName + ".mp3"), never replacing an
// existing file. On success the song table's path and list entry at index (entry rebuilt from
// the table's current SongInfo seconds) and songPath change to the new name. Messages go
// through prompts; the completion message only when kanryoumes is 0.
RenameOutcome RenameSongFile(std::string& songPath, std::string_view newName,
                             std::string_view newPath, SongTable& table, std::size_t index,
                             std::uint8_t kanryoumes, Prompts& prompts,
                             const CodePage& cp = ActiveCodePage());

}  // namespace sorrelbox
