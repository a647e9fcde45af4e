#pragma once

#include <cstdint>
#include <string_view>

namespace sorrelbox {

// What a device answers to "status <alias> mode". None: no answer (nothing open under the
// alias, or no device at all).
enum class MediaMode { None, Stopped, Playing, Paused };

// The media device the player drives, one command per call, in the shape of the text commands
// of the desktop's media control interface ("open ... alias mp3", "play mp3 from 0",
// "status mp3 position", ...). One file is open under an alias at a time. Only Open reports
// whether it worked: the player sends every other command without looking at a result, and a
// command to an alias that is not open does nothing.
class MediaDevice {
  public:
    virtual ~MediaDevice() = default;

    // open "<path>" type mpegvideo alias <alias>. False when the file cannot be played here
    // (missing, unreadable, or no output device).
    virtual bool Open(std::string_view path, std::string_view alias) = 0;
    // set <alias> time format ms: positions below are milliseconds from then on.
    virtual void SetTimeFormatMs(std::string_view alias) = 0;
    // play <alias> from <ms>
    virtual void PlayFrom(std::string_view alias, std::uint32_t ms) = 0;
    virtual void Pause(std::string_view alias) = 0;
    virtual void Resume(std::string_view alias) = 0;
    virtual void Stop(std::string_view alias) = 0;
    virtual void Close(std::string_view alias) = 0;
    // status <alias> position / length: milliseconds, 0 when there is no answer.
    virtual std::uint32_t StatusPosition(std::string_view alias) = 0;
    virtual std::uint32_t StatusLength(std::string_view alias) = 0;
    // status <alias> mode
    virtual MediaMode StatusMode(std::string_view alias) = 0;
};

}  // namespace sorrelbox
