#pragma once

#include <string_view>

#include "platform/Prompts.h"

namespace sorrelbox {

// Copies the song to the backup file ("backup.mp3" in the start-up folder), replacing the
// previous backup whole. On failure tells the user and returns false; the caller goes on.
bool BackupSong(std::string_view songPath, std::string_view backupPath, Prompts& prompts);

}  // namespace sorrelbox
