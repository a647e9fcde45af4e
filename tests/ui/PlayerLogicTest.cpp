#include "ui/player/PlayerLogic.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/CodePage.h"
#include "platform/ScriptedPrompts.h"
#include "support/Messages.h"
#include "support/Mp3Builder.h"
#include "support/RecordingMediaDevice.h"
#include "support/TempDir.h"
#include "ui/main/ListCommands.h"

namespace sorrelbox {
namespace {

using Commands = std::vector<std::string>;
constexpr int kBarWidth = 210;
const Commands kRestart{"stop mp3", "set mp3 time format ms", "play mp3 from 0"};
const Commands kLeave{"stop mp3", "close mp3"};

Commands Join(Commands a, const Commands& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}
Commands OpenAndPlay(const std::string& path) {
    return Join({"open \"" + path + "\" type mpegvideo alias mp3"}, kRestart);
}
std::string Line(const char* text) {
    return CpText(std::string(text) + "  128kbps  44100hz");
}

class PlayerLogicTest : public ::testing::Test {
  protected:
    // A fresh main window and device, for the next row of a table.
    void Reset() {
        player.reset();
        table.Clear();
        device = RecordingMediaDevice{};
        prompts.messages.clear();
        selected.clear();
        commands = std::make_unique<ListCommands>(table, settings, startup, prompts);
    }
    void SetUp() override { Reset(); }

    void Load(const std::vector<std::string>& paths) {
        commands->DropFiles(paths);
        commands->TakeListChange();
    }
    // a.mp3, b.mp3, ... of 10, 20, 30 ... seconds.
    void LoadSongs(int count) { Load(test::WriteLetterSongs(dir, count)); }
    const std::string& PathAt(int index) const {
        return table.songPaths()[static_cast<std::size_t>(index)];
    }
    void Start(int index, bool sequence) {
        commands->SelectionChanged(index);
        const auto request = sequence ? commands->PlayInSequence() : commands->PlayOne();
        ASSERT_TRUE(request);
        player = std::make_unique<PlayerLogic>(
            table, device, prompts,
            [this](int i) {
                selected.push_back(i);
                commands->SelectionChanged(i);
            },
            *request);
        player->Open(kBarWidth);
    }
    void TickAt(std::uint32_t ms) {
        device.positionMs = ms;
        player->Tick();
    }

    test::TempDir dir;
    ScriptedPrompts prompts;
    SongTable table{PathStyle::Posix};
    Settings settings;
    StartupInfo startup = MakeStartupInfo(dir.path().string(), PathStyle::Posix);
    std::unique_ptr<ListCommands> commands;
    RecordingMediaDevice device;
    std::unique_ptr<PlayerLogic> player;
    std::vector<int> selected;  // the player's selections in the main window
};

TEST_F(PlayerLogicTest, TimeLineShowsTotalRateAndElapsedTime) {
    test::MpegHeader rate192At48k;
    rate192At48k.bitRateIndex = 11;
    rate192At48k.sampleRateIndex = 1;
    const std::tuple<std::string, const char*, std::uint32_t, const char*> rows[] = {
        {test::CbrFile(24000 * 605, rate192At48k), "0：00/10：05  192kbps  48000hz", 65'000,
         "1：05/10：05  192kbps  48000hz"},
        {test::VbrFile(7000), "0：00/3：02  999kbps  44100hz", 181'999,
         "3：01/3：02  999kbps  44100hz"},
    };
    for (const auto& [bytes, start, ms, playing] : rows) {
        Reset();
        Load({dir.Write("song.mp3", bytes)});
        Start(0, false);
        EXPECT_EQ(player->timeLine(), CpText(start));
        EXPECT_EQ(player->barMaximum(), table.info().seconds);
        TickAt(ms);
        EXPECT_EQ(player->timeLine(), CpText(playing));
        EXPECT_EQ(player->barPosition(), static_cast<int>(ms / 1000));
    }
}

TEST_F(PlayerLogicTest, TimeLineChangesOncePerSecondAndOnlyWhilePlaying) {
    LoadSongs(1);
    Start(0, false);
    device.TakeCommands();
    TickAt(999);
    EXPECT_EQ(player->timeLine(), Line("0：00/0：10"));
    EXPECT_EQ(device.TakeCommands(), (Commands{"status mp3 position", "status mp3 mode"}));
    TickAt(1'000);
    EXPECT_EQ(player->timeLine(), Line("0：01/0：10"));
    player->Pause();
    TickAt(5'000);  // asked, but nothing shown while paused
    EXPECT_EQ(player->barPosition(), 1);
    player->Pause();  // resumes
    TickAt(5'000);
    EXPECT_EQ(player->timeLine(), Line("0：05/0：10"));
    player->Stop();
    EXPECT_EQ(player->timeLine(), Line("0：00/0：10"));
    EXPECT_EQ(player->barPosition(), 0);
    device.TakeCommands();
    TickAt(7'000);  // a tick queued before the timer stopped
    EXPECT_TRUE(device.commands.empty());
}

TEST_F(PlayerLogicTest, SingleModePlaysOneSongAndStopsAtItsEnd) {
    LoadSongs(1);
    commands->SelectionChanged(0);
    Load({test::WriteCbrSong(dir, "long.mp3", 300)});  // the table now describes another song
    Start(0, false);
    EXPECT_EQ(device.TakeCommands(), OpenAndPlay(PathAt(0)));
    EXPECT_TRUE(selected.empty());
    EXPECT_EQ(player->placeText(), "1/1");
    EXPECT_EQ(player->title(), "a.mp3");
    EXPECT_EQ(player->barMaximum(), 10);
    EXPECT_EQ(table.totalSeconds(), 310u);
    player->Next();  // Previous and Next belong to the sequence
    player->Previous();
    EXPECT_TRUE(device.commands.empty());

    device.EndSong();
    TickAt(10'000);
    EXPECT_EQ(device.TakeCommands(),
              (Commands{"status mp3 position", "status mp3 mode", "stop mp3"}));
    EXPECT_EQ(player->stateText(), CpText("停止"));
    EXPECT_FALSE(player->timerRunning());
    EXPECT_FALSE(player->closeRequested());
    player->Play();  // the device stayed open
    EXPECT_EQ(device.TakeCommands(), kRestart);
    EXPECT_TRUE(player->timerRunning());
}

TEST_F(PlayerLogicTest, SingleModeClosesWhenTheSongCannotBePlayed) {
    const std::function<void(const std::string&)> spoil[] = {
        [this](const std::string& path) { device.unplayable.insert(path); },
        [this](const std::string&) { device.devicePresent = false; },
        [](const std::string& path) { std::filesystem::remove(path); },
        [this](const std::string&) { dir.Write("a.mp3", std::string(4000, 'x')); },
    };
    for (const auto& s : spoil) {
        Reset();
        LoadSongs(1);
        s(PathAt(0));
        Start(0, false);
        ASSERT_EQ(prompts.messages.size(), 1u);
        EXPECT_EQ(prompts.messages[0], test::Failure("再生できませんでした"));
        EXPECT_TRUE(player->closeRequested());
        EXPECT_FALSE(player->timerRunning());
        EXPECT_FALSE(device.isOpen());
    }
}

TEST_F(PlayerLogicTest, PlayPauseAndStopFollowThePlayState) {
    enum Button { Play, Pause, Stop };
    using S = PlayState;
    const struct {
        S from;
        Button button;
        Commands sent;
        S to;
        const char* text;
    } rows[] = {
        {S::Stopped, Play, kRestart, S::Playing, "再生中"},
        {S::Playing, Play, kRestart, S::Playing, "再生中"},
        {S::Paused, Play, {"resume mp3"}, S::Playing, "再生中"},
        {S::Stopped, Pause, {}, S::Stopped, "停止"},
        {S::Playing, Pause, {"pause mp3"}, S::Paused, "一時停止"},
        {S::Paused, Pause, {"resume mp3"}, S::Playing, "再生中"},
        {S::Playing, Stop, {"stop mp3"}, S::Stopped, "停止"},
        {S::Paused, Stop, {"stop mp3"}, S::Stopped, "停止"},
    };
    LoadSongs(1);
    Start(0, false);
    for (const auto& r : rows) {
        SCOPED_TRACE(testing::Message() << int(r.from) << " button " << r.button);
        player->Stop();
        if (r.from != S::Stopped) player->Play();
        if (r.from == S::Paused) player->Pause();
        TickAt(4'000);
        device.TakeCommands();
        r.button == Play ? player->Play() : r.button == Pause ? player->Pause() : player->Stop();
        EXPECT_EQ(device.TakeCommands(), r.sent);
        EXPECT_EQ(player->state(), r.to);
        EXPECT_EQ(player->stateText(), CpText(r.text));
        EXPECT_EQ(player->timerRunning(), r.to != S::Stopped);
        EXPECT_EQ(device.mode, r.to == S::Stopped   ? MediaMode::Stopped
                               : r.to == S::Playing ? MediaMode::Playing
                                                    : MediaMode::Paused);
    }
    player->Close();
    EXPECT_EQ(device.TakeCommands(), kLeave);
    EXPECT_TRUE(player->closeRequested());
    EXPECT_FALSE(player->timerRunning());
}

TEST_F(PlayerLogicTest, SequenceStartsAtTheSelectionOrTheFirstSong) {
    for (const auto& [selection, number] : {std::pair{-1, 1}, {2, 3}, {3, 4}}) {
        SCOPED_TRACE(selection);
        Reset();
        LoadSongs(4);
        Start(selection, true);
        EXPECT_EQ(selected, std::vector<int>{number - 1});
        EXPECT_EQ(player->placeText(), std::to_string(number) + "/4");
        EXPECT_EQ(device.TakeCommands(), OpenAndPlay(PathAt(number - 1)));
        EXPECT_EQ(player->barMaximum(), 10 * number);
        EXPECT_EQ(table.titleText(), player->title());  // the main window shows the song too
    }
}

TEST_F(PlayerLogicTest, SequenceGoesOnWhenASongEndsAndStopsAfterTheLast) {
    LoadSongs(2);
    Start(-1, true);
    device.TakeCommands();
    device.EndSong();
    TickAt(10'000);
    EXPECT_EQ(device.TakeCommands(),
              Join(Join({"status mp3 position", "status mp3 mode", "stop mp3"}, kLeave),
                   OpenAndPlay(PathAt(1))));
    EXPECT_EQ(player->placeText(), "2/2");
    EXPECT_EQ(commands->selection(), 1);
    EXPECT_EQ(player->timeLine(), Line("0：00/0：20"));
    EXPECT_TRUE(player->timerRunning());

    device.EndSong();
    TickAt(20'000);
    EXPECT_EQ(player->stateText(), CpText("停止"));
    EXPECT_FALSE(player->timerRunning());
    EXPECT_FALSE(player->closeRequested());
}

TEST_F(PlayerLogicTest, PreviousAndNextStepAndSkipSongsThatCannotBePlayed) {
    LoadSongs(5);
    device.unplayable.insert(PathAt(2));
    std::filesystem::remove(PathAt(3));  // scanned as nothing: no playing time
    Start(1, true);
    device.TakeCommands();
    player->Previous();
    EXPECT_EQ(device.TakeCommands(), Join(kLeave, OpenAndPlay(PathAt(0))));
    player->Previous();  // the first song: nothing
    EXPECT_TRUE(device.commands.empty());
    player->Pause();
    player->Next();  // from paused as well
    player->Next();
    EXPECT_EQ(prompts.messages.size(), 2u);
    EXPECT_EQ(player->placeText(), "5/5");
    EXPECT_EQ(device.openPath, PathAt(4));
    EXPECT_EQ(player->state(), PlayState::Playing);
    player->Next();  // the last song: nothing
    EXPECT_EQ(device.openPath, PathAt(4));
    EXPECT_EQ(selected, (std::vector<int>{1, 0, 1, 2, 3, 4}));
}

TEST_F(PlayerLogicTest, NoSongLeftLeavesTheWindowOpenAndIdle) {
    LoadSongs(3);
    device.unplayable = {PathAt(0), PathAt(2)};
    Start(0, true);  // a first song that fails leaves the sequence idle too
    EXPECT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(player->state(), PlayState::Stopped);
    player->Next();
    player->Next();
    EXPECT_EQ(prompts.messages.size(), 2u);
    EXPECT_FALSE(player->closeRequested());
    EXPECT_EQ(player->songNumber(), 3);
    EXPECT_EQ(player->stateText(), CpText("停止"));
    EXPECT_FALSE(player->timerRunning());
    EXPECT_FALSE(device.isOpen());
    // Nothing is open, so Play and a click on the bar claim nothing.
    device.TakeCommands();
    player->Play();
    player->Seek(100);
    EXPECT_TRUE(device.commands.empty());
    EXPECT_EQ(player->stateText(), CpText("停止"));
    player->Previous();
    EXPECT_EQ(player->songNumber(), 2);
    EXPECT_EQ(player->state(), PlayState::Playing);
}

TEST_F(PlayerLogicTest, ClickOnTheBarSeeksToTheMatchingMillisecond) {
    using S = PlayState;
    // 200 s over 210 pixels: 952 ms per pixel.
    const struct {
        S from;
        int x;
        std::uint32_t ms;
        const char* line;
    } rows[] = {
        {S::Playing, 105, 99960, "1：39/3：20"},
        {S::Paused, 105, 99960, "1：39/3：20"},
        {S::Playing, 0, 0, "0：00/3：20"},
        {S::Playing, -5, 0, "0：00/3：20"},
        {S::Playing, kBarWidth, 199920, "3：19/3：20"},
        {S::Playing, kBarWidth + 40, 199920, "3：19/3：20"},
        {S::Stopped, 100, 0, "0：00/3：20"},
    };
    Load({test::WriteCbrSong(dir, "long.mp3", 200)});
    Start(0, false);
    for (const auto& r : rows) {
        SCOPED_TRACE(r.x);
        player->Play();
        if (r.from == S::Paused) player->Pause();
        if (r.from == S::Stopped) player->Stop();
        TickAt(50'000);
        device.TakeCommands();
        player->Seek(r.x);
        const Commands sent{"stop mp3", "play mp3 from " + std::to_string(r.ms)};
        EXPECT_EQ(device.TakeCommands(), r.from == S::Stopped ? Commands{} : sent);
        EXPECT_EQ(player->barPosition(), static_cast<int>(r.ms / 1000));
        EXPECT_EQ(player->timeLine(), Line(r.line));
        EXPECT_EQ(player->state(), r.from == S::Stopped ? S::Stopped : S::Playing);
        EXPECT_EQ(player->stateText(), CpText(r.from == S::Stopped ? "停止" : "再生中"));
        if (r.from == S::Stopped) continue;
        EXPECT_EQ(device.mode, MediaMode::Playing);
        TickAt((r.ms / 1000 + 1) * 1000);  // the next tick corrects the second from the device
        EXPECT_EQ(player->barPosition(), static_cast<int>(r.ms / 1000) + 1);
    }
}

}  // namespace
}  // namespace sorrelbox
