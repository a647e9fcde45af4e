#pragma once

#include <memory>
#include <string>

#include "platform/MediaDevice.h"

namespace sorrelbox {

// The media device through Qt Multimedia. Opening fails, as a file that cannot be played does,
// when the file is not there, when Qt has no media back end, or when there is no sound output;
// a file that turns out not to decode ends at once (the device reports "stopped").
class QtMediaDevice : public MediaDevice {
  public:
    QtMediaDevice();
    ~QtMediaDevice() override;
    QtMediaDevice(const QtMediaDevice&) = delete;
    QtMediaDevice& operator=(const QtMediaDevice&) = delete;

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

  private:
    // The Qt objects of the open file.
    struct Backend;

    std::string alias_;  // empty: nothing open
    std::unique_ptr<Backend> open_;
};

}  // namespace sorrelbox
