#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "analysis/SongTable.h"
#include "platform/MediaDevice.h"
#include "platform/Prompts.h"
#include "ui/main/ListCommands.h"

namespace sorrelbox {

enum class PlayState : std::uint8_t { Stopped = 0, Playing = 1, Paused = 2 };

// The player window's flows without widgets: the buttons, the timer tick, the time bar's seek
// and closing, over a media device. The window calls one operation per user action or tick
// and then mirrors the texts, the bar, the timer and the close request; nothing here waits
// for time, so every flow runs headless.
class PlayerLogic {
  public:
    // The one alias the player opens its song under.
    static constexpr std::string_view kAlias = "mp3";
    static constexpr int kTimerMs = 200;

    // Selects the line at index in the main window's list and runs its selection change, so
    // the table's SongInfo describes that song.
    using SelectSong = std::function<void(int index)>;

    PlayerLogic(SongTable& table, MediaDevice& device, Prompts& prompts, SelectSong selectSong,
                const PlayerRequest& request);

    // The window opens. barWidth: the time bar's usable width in pixels.
    void Open(int barWidth);
    void Play();
    void Stop();
    void Pause();
    void Previous();
    void Next();
    void Tick();
    // A left click on the time bar at pixel x from its inner left edge.
    void Seek(int x);
    // Close box, Esc, Enter, or a song that cannot be played in single mode.
    void Close();

    PlayState state() const { return state_; }
    bool timerRunning() const { return timerRunning_; }
    // The window is to close now.
    bool closeRequested() const { return closeRequested_; }
    bool sequence() const { return sequence_; }
    int songNumber() const { return songNumber_; }
    int songCount() const { return songCount_; }
    const std::string& path() const { return path_; }
    int barWidth() const { return barWidth_; }

    // What the window shows, in the code page.
    const std::string& title() const { return title_; }          // 1063
    const std::string& timeLine() const { return timeLine_; }    // 1029
    const std::string& stateText() const { return stateText_; }  // 1070
    const std::string& placeText() const { return placeText_; }  // 1071
    int barMaximum() const { return barMaximum_; }
    int barPosition() const { return barPosition_; }

  private:
    bool StartSong();
    // Stops and closes the current song before another one is opened.
    void LeaveSong();
    // Selects song number's line in the main window and takes its path; false when the
    // number lies outside the list.
    bool SelectCurrent();
    // Steps by delta (+1 or -1) until a song starts or the list ends that way.
    void Step(int delta);
    void ShowStartLine();
    void ShowPlayingLine(std::uint32_t second);

    SongTable& table_;
    MediaDevice& device_;
    Prompts& prompts_;
    SelectSong selectSong_;

    bool sequence_ = false;
    int songCount_ = 1;
    int songNumber_ = 1;
    std::string path_;
    PlayState state_ = PlayState::Stopped;
    std::uint32_t shownSecond_ = 0;
    std::uint16_t totalMinutes_ = 0;
    std::uint8_t totalSeconds_ = 0;
    int barWidth_ = 0;
    // A song is open and measured: Play has something to play.
    bool songReady_ = false;
    bool timerRunning_ = false;
    bool closeRequested_ = false;

    std::string title_;
    std::string timeLine_;
    std::string stateText_;
    std::string placeText_;
    int barMaximum_ = 0;
    int barPosition_ = 0;
};

}  // namespace sorrelbox
