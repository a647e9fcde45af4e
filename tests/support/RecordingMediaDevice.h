#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/MediaDevice.h"

namespace sorrelbox {

// Records each command as its text; one alias, whose mode play, pause, resume, stop and close
// change. The test scripts the position, a song's end and the files that fail to open.
class RecordingMediaDevice : public MediaDevice {
    using A = std::string_view;
    bool Log(std::string text) { return commands.push_back(std::move(text)), isOpen(); }
    void Move(A verb, A alias, MediaMode from, MediaMode to) {
        if (Log(std::string(verb) + " " + std::string(alias)) && mode == from) mode = to;
    }

  public:
    bool Open(A path, A alias) override {
        const bool fails = !devicePresent || isOpen() || unplayable.count(std::string(path));
        Log("open \"" + std::string(path) + "\" type mpegvideo alias " + std::string(alias));
        if (!fails) mode = MediaMode::Stopped, openPath = path, positionMs = 0;
        return !fails;
    }
    void SetTimeFormatMs(A a) override { Log("set " + std::string(a) + " time format ms"); }
    void PlayFrom(A a, std::uint32_t ms) override {
        if (Log("play " + std::string(a) + " from " + std::to_string(ms)))
            mode = MediaMode::Playing, positionMs = ms;
    }
    void Pause(A a) override { Move("pause", a, MediaMode::Playing, MediaMode::Paused); }
    void Resume(A a) override { Move("resume", a, MediaMode::Paused, MediaMode::Playing); }
    void Stop(A a) override { Move("stop", a, mode, MediaMode::Stopped); }
    void Close(A a) override { Move("close", a, mode, MediaMode::None); }
    std::uint32_t StatusPosition(A a) override {
        return Log("status " + std::string(a) + " position") ? positionMs : 0;
    }
    std::uint32_t StatusLength(A a) override {
        return Log("status " + std::string(a) + " length"), 0;
    }
    MediaMode StatusMode(A a) override {
        return Log("status " + std::string(a) + " mode") ? mode : MediaMode::None;
    }
    std::vector<std::string> TakeCommands() { return std::exchange(commands, {}); }
    void EndSong() { mode = MediaMode::Stopped; }  // the song played to its end
    bool isOpen() const { return mode != MediaMode::None; }

    bool devicePresent = true;         // false: every open fails, as without a sound device
    std::set<std::string> unplayable;  // paths whose open fails
    std::uint32_t positionMs = 0;      // answered to status position (set by play from too)
    std::vector<std::string> commands;
    std::string openPath;
    MediaMode mode = MediaMode::None;
};

}  // namespace sorrelbox
