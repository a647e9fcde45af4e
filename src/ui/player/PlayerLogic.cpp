#include "ui/player/PlayerLogic.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "analysis/Id3Reader.h"
#include "platform/CodePage.h"

namespace sorrelbox {
namespace {

// "%d：%02d" with the full-width colon.
std::string MinutesSeconds(std::uint32_t minutes, std::uint32_t seconds) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%u\xEF\xBC\x9A%02u", minutes, seconds);
    return buffer;
}

}  // namespace

PlayerLogic::PlayerLogic(SongTable& table, MediaDevice& device, Prompts& prompts,
                         SelectSong selectSong, const PlayerRequest& request)
    : table_(table),
      device_(device),
      prompts_(prompts),
      selectSong_(std::move(selectSong)),
      sequence_(request.mode == PlayerMode::Sequence),
      path_(request.path) {
    if (sequence_) {
        const int listed = static_cast<int>(table_.songPaths().size());
        songCount_ = std::clamp(request.songCount, 0, listed);
        songNumber_ = std::clamp(request.number, 1, std::max(songCount_, 1));
    }
}

void PlayerLogic::Open(int barWidth) {
    barWidth_ = barWidth;
    state_ = PlayState::Stopped;
    if (sequence_) {
        if (!SelectCurrent()) return;
    } else {
        // The table's SongInfo belongs to whatever was scanned last (a load may have followed
        // the selection), so the song is measured again without touching the totals.
        table_.ScanMpegFile(path_, ScanMode::Quiet);
    }
    // A first song that cannot be played leaves the window open and idle.
    StartSong();
}

bool PlayerLogic::SelectCurrent() {
    const int index = songNumber_ - 1;
    if (index < 0 || index >= static_cast<int>(table_.songPaths().size())) return false;
    selectSong_(index);
    // Taken after the selection change: a move that change completed may have reordered it.
    path_ = table_.songPaths()[static_cast<std::size_t>(index)];
    return true;
}

bool PlayerLogic::StartSong() {
    const SongInfo& info = table_.info();
    const std::string title = ReadDisplayTitle(path_, info.id3v2Size, table_.style());
    songReady_ = false;
    if (!device_.Open(path_, kAlias) || info.seconds == 0) {
        prompts_.ShowMessage(CpText("再生できませんでした"), CpText("エラー"),
                             MessageIcon::Warning);
        if (!sequence_) Close();
        return false;
    }
    songReady_ = true;
    totalMinutes_ = static_cast<std::uint16_t>(info.seconds / 60);
    totalSeconds_ = static_cast<std::uint8_t>(info.seconds % 60);
    placeText_ = sequence_ ? std::to_string(songNumber_) + "/" + std::to_string(songCount_) : "1/1";
    barMaximum_ = info.seconds;
    title_ = title;
    Play();
    return true;
}

void PlayerLogic::Play() {
    // Nothing is open after a song that could not be played: claiming to play would be a lie.
    if (!songReady_) return;
    if (state_ == PlayState::Paused) {
        device_.Resume(kAlias);
        stateText_ = CpText("再生中");
        state_ = PlayState::Playing;
        return;
    }
    device_.Stop(kAlias);
    shownSecond_ = 0;
    barPosition_ = 0;
    ShowStartLine();
    device_.SetTimeFormatMs(kAlias);
    device_.PlayFrom(kAlias, 0);
    if (state_ == PlayState::Stopped) timerRunning_ = true;
    stateText_ = CpText("再生中");
    state_ = PlayState::Playing;
}

void PlayerLogic::Stop() {
    device_.Stop(kAlias);
    stateText_ = CpText("停止");
    barPosition_ = 0;
    if (songReady_) ShowStartLine();
    timerRunning_ = false;
    state_ = PlayState::Stopped;
}

void PlayerLogic::Pause() {
    if (state_ == PlayState::Playing) {
        device_.Pause(kAlias);
        state_ = PlayState::Paused;
        stateText_ = CpText("一時停止");
    } else if (state_ == PlayState::Paused) {
        device_.Resume(kAlias);
        state_ = PlayState::Playing;
        stateText_ = CpText("再生中");
    }
}

void PlayerLogic::Next() {
    Step(+1);
}

void PlayerLogic::Previous() {
    Step(-1);
}

void PlayerLogic::LeaveSong() {
    device_.Stop(kAlias);
    device_.Close(kAlias);
    timerRunning_ = false;
    state_ = PlayState::Stopped;
    songReady_ = false;
}

void PlayerLogic::Step(int delta) {
    if (!sequence_) return;
    auto canStep = [&] { return delta > 0 ? songNumber_ < songCount_ : songNumber_ > 1; };
    if (!canStep()) return;
    while (canStep()) {
        LeaveSong();
        songNumber_ += delta;
        if (!SelectCurrent()) break;
        if (StartSong()) return;
    }
    // Every song that way failed: nothing is open, so the window says it is stopped.
    stateText_ = CpText("停止");
    barPosition_ = 0;
}

void PlayerLogic::Tick() {
    if (!timerRunning_) return;
    const std::uint32_t second = device_.StatusPosition(kAlias) / 1000;
    const MediaMode mode = device_.StatusMode(kAlias);
    if (state_ != PlayState::Playing) return;
    if (second != shownSecond_) {
        shownSecond_ = second;
        ShowPlayingLine(second);
        barPosition_ = static_cast<int>(
            std::min<std::uint32_t>(second, static_cast<std::uint32_t>(barMaximum_)));
    }
    if (mode == MediaMode::Stopped) {
        Stop();
        if (sequence_) Next();
    }
}

void PlayerLogic::Seek(int x) {
    if (state_ == PlayState::Stopped) return;
    // The fixed layout never makes the bar this narrow; a zero width must not divide.
    if (barWidth_ <= 0) return;
    x = std::clamp(x, 0, barWidth_);
    stateText_ = CpText("移動中");
    const std::uint32_t msPerPixel = static_cast<std::uint32_t>(table_.info().seconds) * 1000u /
                                     static_cast<std::uint32_t>(barWidth_);
    const std::uint32_t target = msPerPixel * static_cast<std::uint32_t>(x);
    device_.Stop(kAlias);
    device_.PlayFrom(kAlias, target);
    shownSecond_ = target / 1000;
    barPosition_ = static_cast<int>(shownSecond_);
    ShowPlayingLine(shownSecond_);
    stateText_ = CpText("再生中");
    state_ = PlayState::Playing;
}

void PlayerLogic::Close() {
    device_.Stop(kAlias);
    device_.Close(kAlias);
    timerRunning_ = false;
    state_ = PlayState::Stopped;
    songReady_ = false;
    closeRequested_ = true;
}

void PlayerLogic::ShowStartLine() {
    ShowPlayingLine(0);
}

void PlayerLogic::ShowPlayingLine(std::uint32_t second) {
    const SongInfo& info = table_.info();
    std::string line = MinutesSeconds(second / 60, second % 60);
    line += '/';
    line += MinutesSeconds(totalMinutes_, totalSeconds_);
    line += "  " + std::to_string(info.bitRate) + "kbps  " + std::to_string(info.sampleRate) + "hz";
    timeLine_ = CpText(line);
}

}  // namespace sorrelbox
