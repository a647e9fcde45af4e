#pragma once

#include <cstdint>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "platform/MediaDevice.h"

namespace sorrelbox {

// Records each command ("open name", "play ms", "stop"..., "verb@alias" for an alias other than
// the last opened); one song open at a time, its mode following the commands. The test scripts
// the position, a song's end and the files that fail to open.
class RecordingMediaDevice : public MediaDevice {
    using A = std::string_view;
    using M = MediaMode;
    std::string alias_;
    bool Log(const std::string& command, A alias, M from = M::None, M to = M::None) {
        commands.push_back(command + (alias == alias_ ? "" : "@" + std::string(alias)));
        if (isOpen() && mode == from) mode = to;
        return isOpen();
    }

  public:
    bool Open(A path, A alias) override {
        const bool opens = !isOpen() && !unplayable.count(std::string(path));
        alias_ = alias;
        Log("open " + std::filesystem::path(path).filename().string(), alias);
        if (opens) mode = M::Stopped;
        return opens;
    }
    void SetTimeFormatMs(A alias) override { Log("ms", alias); }
    void PlayFrom(A alias, std::uint32_t ms) override {
        positionMs = ms;
        Log("play " + std::to_string(ms), alias, mode, M::Playing);
    }
    void Pause(A alias) override { Log("pause", alias, M::Playing, M::Paused); }
    void Resume(A alias) override { Log("resume", alias, M::Paused, M::Playing); }
    void Stop(A alias) override { Log("stop", alias, mode, M::Stopped); }
    void Close(A alias) override { Log("close", alias, mode, M::None); }
    std::uint32_t StatusPosition(A alias) override {
        return Log("position", alias) ? positionMs : 0;
    }
    std::uint32_t StatusLength(A) override { return 0; }  // the player never asks
    MediaMode StatusMode(A alias) override { return Log("mode", alias) ? mode : M::None; }
    bool isOpen() const { return mode != M::None; }

    std::set<std::string> unplayable;  // paths whose open fails
    std::uint32_t positionMs = 0;      // answered to status position (set by play too)
    std::vector<std::string> commands;
    MediaMode mode = M::None;
};

}  // namespace sorrelbox
