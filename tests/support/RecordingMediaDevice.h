#pragma once

#include <cstdint>
#include <filesystem>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/MediaDevice.h"

namespace sorrelbox {

// Records each command as "verb [ms]" ("open name" for an open, "verb@alias" for an alias other
// than the last opened); one song open at a time, whose mode the commands change. The test
// scripts the position, a song's end and the files that fail to open.
class RecordingMediaDevice : public MediaDevice {
    using A = std::string_view;
    std::string alias_;
    bool Log(A verb, A alias, const std::string& more = "") {
        commands.push_back(std::string(verb) + (alias == alias_ ? "" : "@" + std::string(alias)) +
                           more);
        return isOpen();
    }
    void Move(A verb, A alias, MediaMode from, MediaMode to) {
        if (Log(verb, alias) && mode == from) mode = to;
    }

  public:
    bool Open(A path, A alias) override {
        const bool opens = !isOpen() && !unplayable.count(std::string(path));
        alias_ = alias;
        commands.push_back("open " + std::filesystem::path(path).filename().string());
        if (opens) mode = MediaMode::Stopped;
        return opens;
    }
    void SetTimeFormatMs(A alias) override { Log("ms", alias); }
    void PlayFrom(A alias, std::uint32_t ms) override {
        if (!Log("play", alias, " " + std::to_string(ms))) return;
        mode = MediaMode::Playing;
        positionMs = ms;
    }
    void Pause(A alias) override { Move("pause", alias, MediaMode::Playing, MediaMode::Paused); }
    void Resume(A alias) override { Move("resume", alias, MediaMode::Paused, MediaMode::Playing); }
    void Stop(A alias) override { Move("stop", alias, mode, MediaMode::Stopped); }
    void Close(A alias) override { Move("close", alias, mode, MediaMode::None); }
    std::uint32_t StatusPosition(A alias) override {
        return Log("position", alias) ? positionMs : 0;
    }
    std::uint32_t StatusLength(A) override { return 0; }  // the player never asks
    MediaMode StatusMode(A alias) override { return Log("mode", alias) ? mode : MediaMode::None; }
    std::vector<std::string> TakeCommands() { return std::exchange(commands, {}); }
    void EndSong() { mode = MediaMode::Stopped; }  // the song played to its end
    bool isOpen() const { return mode != MediaMode::None; }

    std::set<std::string> unplayable;  // paths whose open fails
    std::uint32_t positionMs = 0;      // answered to status position (set by play too)
    std::vector<std::string> commands;
    MediaMode mode = MediaMode::None;
};

}  // namespace sorrelbox
