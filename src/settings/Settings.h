#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/PathStyle.h"

namespace sorrelbox {

// The six settings, as read from "sorrelbox.ini" (low 8 bits of the stored integer).
struct Settings {
    std::uint8_t kanryoumes = 0;  // non-zero: no completion messages
    std::uint8_t soutai = 0;      // 1: M3U with relative paths
    std::uint8_t zyuuhuku = 0;    // 1: refuse paths already in the table
    std::uint8_t hyouzi = 0;      // first page of the tag editor (0 ID3v1, 1 ID3v2)
    std::uint8_t kuuran = 0;      // 1: the empty ID3v1 genre choice means 255
    std::uint8_t backup = 1;      // 1: back up the song before an ID3v2 write

    bool operator==(const Settings&) const = default;
};

// What the start-up sequence fixes for the whole run.
struct StartupInfo {
    std::string startupFolder;  // no trailing separator except at a root
    std::string iniPath;        // startupFolder + separator + "sorrelbox.ini"
};

// Reads the six settings from the INI file; missing file, section or key give the defaults.
Settings LoadSettings(std::string_view iniPath);
// Writes iniver and the six keys in their order, keeping the rest of the file.
bool SaveSettings(std::string_view iniPath, const Settings& settings);

// Start-up: the start-up folder and the INI path. folder is the current folder, or the user's own
// folder for a desktop start.
StartupInfo MakeStartupInfo(std::string_view folder, PathStyle style = NativePathStyle());

// A file in the start-up folder (manual.htm, artist.txt, genre.txt, backup.mp3).
std::string StartupFile(const StartupInfo& info, std::string_view name,
                        PathStyle style = NativePathStyle());

}  // namespace sorrelbox
