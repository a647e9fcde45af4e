#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/MediaDevice.h"

namespace sorrelbox {

// The media device through Qt Multimedia. Opening fails, as a file that cannot be played does,
// when the file is not there, when Qt has no media back end, or when there is no sound output;
// a file that turns out not to decode ends at once (the device reports "stopped").
// Qt Multimedia runs on a thread of its own. Commands are queued to it in order; opening and
// the status questions wait for its answer a short while only: a back end that does not answer
// (a missing GStreamer element, a silent sound server) counts as failing, and the window that
// asked goes on. Until it answers, opening fails at once and questions get no answer (mode
// None). Commands come from one thread.
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

    // A command went unanswered and the back end is still at it: Qt Multimedia's clean-up at
    // exit would wait for it too.
    static bool BackEndHangs();

  private:
    // The Qt objects of the open file; made, used and destroyed on the media thread only.
    struct Backend;
    using Slot = std::unique_ptr<Backend>;

    // Queues a command on the media thread, not waited for.
    void Tell(std::function<void(Slot&)> work);
    // Runs work on the media thread and waits up to waitMs for its result; nothing when it
    // does not answer in time or while an earlier question (of any device) is unanswered.
    std::optional<std::int64_t> Ask(std::function<std::int64_t(Slot&)> work, int waitMs);

    std::string alias_;  // empty: nothing open
    std::shared_ptr<Slot> slot_;
};

}  // namespace sorrelbox
