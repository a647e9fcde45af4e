#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/MediaDevice.h"

namespace sorrelbox {

// A media device for tests: records every command as the text the media control interface
// would receive, and behaves like one device with one alias (play, pause, resume, stop and
// close change the mode it reports). The test scripts the position, the end of a song and
// which files fail to open.
class RecordingMediaDevice : public MediaDevice {
  public:
    bool Open(std::string_view path, std::string_view alias) override;
    void SetTimeFormatMs(std::string_view alias) override;
    void PlayFrom(std::string_view alias, std::uint32_t ms) override;
    void Pause(std::string_view alias) override;
    void Resume(std::string_view alias) override;
    void Stop(std::string_view alias) override;
    void Close(std::string_view alias) override;
    std::uint32_t StatusPosition(std::string_view alias) override;
    std::uint32_t StatusLength(std::string_view alias) override;
    MediaMode StatusMode(std::string_view alias) override;

    // The commands since the last call, oldest first.
    std::vector<std::string> TakeCommands();
    // The song plays to its end: the device reports "stopped".
    void EndSong() { mode = MediaMode::Stopped; }
    bool isOpen() const { return !openAlias.empty(); }

    // Scripted behaviour.
    bool devicePresent = true;         // false: every open fails, as without a sound device
    std::set<std::string> unplayable;  // paths whose open fails
    std::uint32_t positionMs = 0;      // answered to status position (set by play from too)
    std::uint32_t lengthMs = 0;        // answered to status length

    // State.
    std::vector<std::string> commands;
    std::string openAlias;  // empty: nothing open
    std::string openPath;
    MediaMode mode = MediaMode::None;

  private:
    bool IsOpenAs(std::string_view alias) const { return !openAlias.empty() && alias == openAlias; }
};

}  // namespace sorrelbox
