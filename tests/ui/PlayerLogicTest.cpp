#include "ui/player/PlayerLogic.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/CodePage.h"
#include "platform/RecordingMediaDevice.h"
#include "platform/ScriptedPrompts.h"
#include "support/Mp3Builder.h"
#include "support/TempDir.h"
#include "ui/main/ListCommands.h"

namespace sorrelbox {
namespace {

using Commands = std::vector<std::string>;

constexpr std::size_t kBytesPerSecond = 16000;  // 128 kbit/s CBR
constexpr int kBarWidth = 210;

class PlayerLogicTest : public ::testing::Test {
  protected:
    void SetUp() override {
        startup = MakeStartupInfo(dir.path().string(), PathStyle::Posix);
        commands = std::make_unique<ListCommands>(table, settings, startup, prompts);
    }

    // A fresh main window and device for the next case of a table.
    void Reset() {
        player.reset();
        table.Clear();
        device = RecordingMediaDevice{};
        prompts.messages.clear();
        selected.clear();
        commands = std::make_unique<ListCommands>(table, settings, startup, prompts);
    }

    // A CBR song of the given length at 128 kbit/s.
    std::string Song(const std::string& name, std::size_t seconds) {
        return test::WriteCbrSong(dir, name, seconds);
    }

    // Loads a.mp3, b.mp3, ... of 10, 20, 30 ... seconds.
    void LoadSongs(int count) {
        const std::vector<std::string> paths = test::WriteLetterSongs(dir, count);
        Load(paths);
    }

    void Load(const std::vector<std::string>& paths) {
        const int before = table.songCount();
        commands->DropFiles(paths);
        ASSERT_EQ(table.songCount(), before + static_cast<int>(paths.size()));
        commands->TakeListChange();
    }

    const std::string& PathAt(int index) const {
        return table.songPaths()[static_cast<std::size_t>(index)];
    }

    // Opens the player as the main window does, with the request of its command.
    void OpenPlayer(const PlayerRequest& request) {
        player = std::make_unique<PlayerLogic>(
            table, device, prompts,
            [this](int index) {
                selected.push_back(index);
                commands->SelectionChanged(index);
            },
            request);
        player->Open(kBarWidth);
    }
    void PlayOne(int index) {
        commands->SelectionChanged(index);
        const auto request = commands->PlayOne();
        ASSERT_TRUE(request);
        OpenPlayer(*request);
    }
    void PlayInSequence(int index) {
        commands->SelectionChanged(index);
        const auto request = commands->PlayInSequence();
        ASSERT_TRUE(request);
        OpenPlayer(*request);
    }

    static std::string Open(const std::string& path) {
        return "open \"" + path + "\" type mpegvideo alias mp3";
    }
    static Commands StartFromZero() {
        return {"stop mp3", "set mp3 time format ms", "play mp3 from 0"};
    }
    Commands OpenAndPlay(const std::string& path) {
        Commands c{Open(path)};
        for (const std::string& s : StartFromZero()) c.push_back(s);
        return c;
    }
    static Commands Join(Commands a, const Commands& b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    }

    // A timer tick with the device at ms.
    void TickAt(std::uint32_t ms) {
        device.positionMs = ms;
        player->Tick();
    }

    std::vector<std::string> MessageTexts() const {
        std::vector<std::string> texts;
        for (const auto& m : prompts.messages) texts.push_back(m.text);
        return texts;
    }

    test::TempDir dir;
    ScriptedPrompts prompts;
    SongTable table{PathStyle::Posix};
    Settings settings;
    StartupInfo startup;
    std::unique_ptr<ListCommands> commands;
    RecordingMediaDevice device;
    std::unique_ptr<PlayerLogic> player;
    std::vector<int> selected;  // the player's selections in the main window
};

// --- Time line -------------------------------------------------------------------------------

TEST_F(PlayerLogicTest, TimeLineShowsTotalRateAndElapsedTime) {
    struct Case {
        const char* what;
        std::string bytes;
        const char* startLine;
        std::uint32_t ms;
        const char* playingLine;
    };
    test::MpegHeader rate192;
    rate192.bitRateIndex = 11;
    test::MpegHeader rate48k;
    rate48k.sampleRateIndex = 1;
    const Case cases[] = {
        {"3:05 at 192 kbit/s", test::CbrFile(24000 * 185, rate192), "0：00/3：05  192kbps  44100hz",
         65'000, "1：05/3：05  192kbps  44100hz"},
        {"VBR, 7000 frames = 182 s", test::VbrFile(7000), "0：00/3：02  999kbps  44100hz", 181'999,
         "3：01/3：02  999kbps  44100hz"},
        {"48000 Hz, 10 minutes", test::CbrFile(kBytesPerSecond * 600, rate48k),
         "0：00/10：00  128kbps  48000hz", 599'000, "9：59/10：00  128kbps  48000hz"},
        {"under a minute", test::CbrFile(kBytesPerSecond * 9), "0：00/0：09  128kbps  44100hz",
         8'999, "0：08/0：09  128kbps  44100hz"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Reset();
        Load({dir.Write("song.mp3", c.bytes)});
        PlayOne(0);
        EXPECT_EQ(player->timeLine(), CpText(c.startLine));
        EXPECT_EQ(player->barMaximum(), table.info().seconds);
        TickAt(c.ms);
        EXPECT_EQ(player->timeLine(), CpText(c.playingLine));
        EXPECT_EQ(player->barPosition(), static_cast<int>(c.ms / 1000));
        player->Close();
    }
}

TEST_F(PlayerLogicTest, TimeLineChangesOncePerSecondAndOnlyWhilePlaying) {
    LoadSongs(1);
    PlayOne(0);
    const std::string start = player->timeLine();
    device.TakeCommands();

    TickAt(999);  // still second 0
    EXPECT_EQ(player->timeLine(), start);
    EXPECT_EQ(device.TakeCommands(), (Commands{"status mp3 position", "status mp3 mode"}));

    TickAt(1'000);
    EXPECT_EQ(player->timeLine(), CpText("0：01/0：10  128kbps  44100hz"));
    EXPECT_EQ(player->barPosition(), 1);

    player->Pause();
    TickAt(5'000);  // asked, but nothing shown while paused
    EXPECT_EQ(player->timeLine(), CpText("0：01/0：10  128kbps  44100hz"));
    EXPECT_EQ(player->barPosition(), 1);

    player->Pause();  // resumes
    TickAt(5'000);
    EXPECT_EQ(player->timeLine(), CpText("0：05/0：10  128kbps  44100hz"));

    player->Stop();
    EXPECT_FALSE(player->timerRunning());
    EXPECT_EQ(player->timeLine(), start);
    EXPECT_EQ(player->barPosition(), 0);
    device.TakeCommands();
    TickAt(7'000);  // a tick that was already queued when the timer stopped
    EXPECT_TRUE(device.commands.empty());
    EXPECT_EQ(player->timeLine(), start);
}

// --- Single mode ---------------------------------------------------------------------------

TEST_F(PlayerLogicTest, SingleModePlaysTheSelectedSong) {
    LoadSongs(3);
    PlayOne(1);
    EXPECT_EQ(device.TakeCommands(), OpenAndPlay(PathAt(1)));
    EXPECT_TRUE(selected.empty());  // the main window's selection stays as it was
    EXPECT_EQ(player->placeText(), "1/1");
    EXPECT_EQ(player->title(), "b.mp3");
    EXPECT_EQ(player->stateText(), CpText("再生中"));
    EXPECT_EQ(player->state(), PlayState::Playing);
    EXPECT_TRUE(player->timerRunning());
    EXPECT_EQ(player->barMaximum(), 20);

    // Previous and Next belong to the sequence.
    player->Next();
    player->Previous();
    EXPECT_TRUE(device.commands.empty());
    EXPECT_EQ(player->path(), PathAt(1));

    // The song ends: stopped, still open, nothing else starts.
    device.EndSong();
    TickAt(20'000);
    EXPECT_EQ(device.TakeCommands(),
              (Commands{"status mp3 position", "status mp3 mode", "stop mp3"}));
    EXPECT_EQ(player->stateText(), CpText("停止"));
    EXPECT_FALSE(player->timerRunning());
    EXPECT_FALSE(player->closeRequested());

    // Play starts the same song again: the device stayed open.
    player->Play();
    EXPECT_EQ(device.TakeCommands(), StartFromZero());
    EXPECT_TRUE(player->timerRunning());
}

TEST_F(PlayerLogicTest, SingleModeMeasuresItsSongEvenAfterAnotherWasScanned) {
    LoadSongs(1);
    commands->SelectionChanged(0);
    // A later load scans other files, so the table's figures describe the last one loaded.
    Load({Song("long.mp3", 300)});
    ASSERT_EQ(table.info().seconds, 300);
    const auto request = commands->PlayOne();
    ASSERT_TRUE(request);
    OpenPlayer(*request);
    EXPECT_EQ(player->path(), PathAt(0));
    EXPECT_EQ(player->barMaximum(), 10);
    EXPECT_EQ(player->timeLine(), CpText("0：00/0：10  128kbps  44100hz"));
    EXPECT_EQ(table.songCount(), 2);  // totals untouched
    EXPECT_EQ(table.totalSeconds(), 310u);
}

TEST_F(PlayerLogicTest, SingleModeClosesWhenTheSongCannotBePlayed) {
    struct Case {
        const char* what;
        std::function<void(const std::string& path)> spoil;
    };
    const Case cases[] = {
        {"the device refuses the file",
         [this](const std::string& path) { device.unplayable.insert(path); }},
        {"no sound device", [this](const std::string&) { device.devicePresent = false; }},
        {"removed from disk", [](const std::string& path) { std::filesystem::remove(path); }},
        {"no MPEG header any more",
         [this](const std::string&) { dir.Write("a.mp3", std::string(4000, 'x')); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Reset();
        LoadSongs(1);
        c.spoil(PathAt(0));
        PlayOne(0);
        ASSERT_EQ(prompts.messages.size(), 1u);
        EXPECT_EQ(prompts.messages[0],
                  (ScriptedPrompts::Message{CpText("再生できませんでした"), CpText("エラー"),
                                            MessageIcon::Warning, MessageButtons::Ok}));
        EXPECT_TRUE(player->closeRequested());
        EXPECT_FALSE(player->timerRunning());
        EXPECT_EQ(device.TakeCommands(), (Commands{Open(PathAt(0)), "stop mp3", "close mp3"}));
        EXPECT_FALSE(device.isOpen());
    }
}

// --- Buttons -------------------------------------------------------------------------------

TEST_F(PlayerLogicTest, PlayPauseAndStopFollowThePlayState) {
    enum Button { Play, Pause, Stop };
    struct Case {
        const char* what;
        PlayState from;
        Button button;
        Commands sent;
        PlayState to;
        const char* stateText;
        bool timer;
    };
    const Commands restart = StartFromZero();
    const Case cases[] = {
        {"play while stopped", PlayState::Stopped, Play, restart, PlayState::Playing, "再生中",
         true},
        {"play while playing restarts", PlayState::Playing, Play, restart, PlayState::Playing,
         "再生中", true},
        {"play while paused resumes",
         PlayState::Paused,
         Play,
         {"resume mp3"},
         PlayState::Playing,
         "再生中",
         true},
        {"pause while stopped", PlayState::Stopped, Pause, {}, PlayState::Stopped, "停止", false},
        {"pause while playing",
         PlayState::Playing,
         Pause,
         {"pause mp3"},
         PlayState::Paused,
         "一時停止",
         true},
        {"pause while paused resumes",
         PlayState::Paused,
         Pause,
         {"resume mp3"},
         PlayState::Playing,
         "再生中",
         true},
        {"stop while playing",
         PlayState::Playing,
         Stop,
         {"stop mp3"},
         PlayState::Stopped,
         "停止",
         false},
        {"stop while paused",
         PlayState::Paused,
         Stop,
         {"stop mp3"},
         PlayState::Stopped,
         "停止",
         false},
        {"stop while stopped",
         PlayState::Stopped,
         Stop,
         {"stop mp3"},
         PlayState::Stopped,
         "停止",
         false},
    };
    LoadSongs(1);
    PlayOne(0);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        player->Stop();
        if (c.from != PlayState::Stopped) player->Play();
        if (c.from == PlayState::Paused) player->Pause();
        ASSERT_EQ(player->state(), c.from);
        TickAt(4'000);
        device.TakeCommands();

        switch (c.button) {
            case Play:
                player->Play();
                break;
            case Pause:
                player->Pause();
                break;
            case Stop:
                player->Stop();
                break;
        }
        EXPECT_EQ(device.TakeCommands(), c.sent);
        EXPECT_EQ(player->state(), c.to);
        EXPECT_EQ(player->stateText(), CpText(c.stateText));
        EXPECT_EQ(player->timerRunning(), c.timer);
        EXPECT_EQ(device.mode, c.to == PlayState::Stopped   ? MediaMode::Stopped
                               : c.to == PlayState::Playing ? MediaMode::Playing
                                                            : MediaMode::Paused);
    }
}

TEST_F(PlayerLogicTest, CloseWhilePlayingStopsAtOnce) {
    LoadSongs(2);
    PlayInSequence(0);
    TickAt(3'000);
    device.TakeCommands();
    player->Close();
    EXPECT_EQ(device.TakeCommands(), (Commands{"stop mp3", "close mp3"}));
    EXPECT_TRUE(player->closeRequested());
    EXPECT_FALSE(player->timerRunning());
    EXPECT_FALSE(device.isOpen());
}

// --- Sequence mode -------------------------------------------------------------------------

TEST_F(PlayerLogicTest, SequenceStartsAtTheSelectionOrTheFirstSong) {
    struct Case {
        int selection;
        int number;
        const char* place;
    };
    for (const Case c : {Case{-1, 1, "1/4"}, Case{2, 3, "3/4"}, Case{3, 4, "4/4"}}) {
        SCOPED_TRACE(c.selection);
        Reset();
        LoadSongs(4);
        PlayInSequence(c.selection);
        EXPECT_EQ(selected, std::vector<int>{c.number - 1});
        EXPECT_EQ(commands->selection(), c.number - 1);
        EXPECT_EQ(player->placeText(), c.place);
        EXPECT_EQ(device.TakeCommands(), OpenAndPlay(PathAt(c.number - 1)));
        EXPECT_EQ(player->barMaximum(), 10 * c.number);
        EXPECT_EQ(table.titleText(), player->title());  // the main window shows the song too
    }
}

TEST_F(PlayerLogicTest, SequenceGoesOnWhenASongEndsAndStopsAfterTheLast) {
    LoadSongs(2);
    PlayInSequence(-1);
    device.TakeCommands();

    device.EndSong();
    TickAt(10'000);
    EXPECT_EQ(device.TakeCommands(),
              Join({"status mp3 position", "status mp3 mode", "stop mp3", "stop mp3", "close mp3"},
                   OpenAndPlay(PathAt(1))));
    EXPECT_EQ(player->placeText(), "2/2");
    EXPECT_EQ(player->songNumber(), 2);
    EXPECT_EQ(commands->selection(), 1);
    EXPECT_EQ(player->timeLine(), CpText("0：00/0：20  128kbps  44100hz"));
    EXPECT_EQ(player->stateText(), CpText("再生中"));
    EXPECT_TRUE(player->timerRunning());

    device.EndSong();
    TickAt(20'000);
    EXPECT_EQ(device.TakeCommands(),
              (Commands{"status mp3 position", "status mp3 mode", "stop mp3"}));
    EXPECT_EQ(player->stateText(), CpText("停止"));
    EXPECT_FALSE(player->timerRunning());
    EXPECT_FALSE(player->closeRequested());
    EXPECT_EQ(player->placeText(), "2/2");
}

TEST_F(PlayerLogicTest, PreviousAndNextStepThroughTheList) {
    LoadSongs(3);
    PlayInSequence(1);
    device.TakeCommands();

    player->Next();
    EXPECT_EQ(device.TakeCommands(), Join({"stop mp3", "close mp3"}, OpenAndPlay(PathAt(2))));
    EXPECT_EQ(player->placeText(), "3/3");
    player->Next();  // the last song: nothing
    EXPECT_TRUE(device.commands.empty());

    player->Pause();
    player->Previous();  // from paused as well
    player->Previous();
    EXPECT_EQ(device.TakeCommands(),
              Join(Join({"pause mp3", "stop mp3", "close mp3"}, OpenAndPlay(PathAt(1))),
                   Join({"stop mp3", "close mp3"}, OpenAndPlay(PathAt(0)))));
    EXPECT_EQ(player->placeText(), "1/3");
    EXPECT_EQ(player->stateText(), CpText("再生中"));
    player->Previous();  // the first song: nothing
    EXPECT_TRUE(device.commands.empty());
    EXPECT_EQ(selected, (std::vector<int>{1, 2, 1, 0}));
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(PlayerLogicTest, SteppingSkipsSongsThatCannotBePlayed) {
    LoadSongs(4);
    device.unplayable.insert(PathAt(1));
    std::filesystem::remove(PathAt(2));  // scanned as nothing: no playing time
    PlayInSequence(0);
    device.TakeCommands();

    device.EndSong();
    TickAt(10'000);
    EXPECT_EQ(MessageTexts(), (std::vector<std::string>(2, CpText("再生できませんでした"))));
    EXPECT_EQ(player->placeText(), "4/4");
    EXPECT_EQ(player->path(), PathAt(3));
    EXPECT_EQ(device.openPath, PathAt(3));
    EXPECT_EQ(player->state(), PlayState::Playing);
    EXPECT_FALSE(player->closeRequested());

    prompts.messages.clear();
    player->Previous();
    EXPECT_EQ(prompts.messages.size(), 2u);
    EXPECT_EQ(player->placeText(), "1/4");
    EXPECT_EQ(device.openPath, PathAt(0));
    EXPECT_EQ(selected, (std::vector<int>{0, 1, 2, 3, 2, 1, 0}));
}

TEST_F(PlayerLogicTest, NoSongLeftLeavesTheWindowOpenAndStopped) {
    LoadSongs(3);
    device.unplayable = {PathAt(1), PathAt(2)};
    PlayInSequence(0);
    player->Next();
    EXPECT_EQ(prompts.messages.size(), 2u);
    EXPECT_FALSE(player->closeRequested());
    EXPECT_EQ(player->songNumber(), 3);
    EXPECT_EQ(player->state(), PlayState::Stopped);
    EXPECT_EQ(player->stateText(), CpText("停止"));
    EXPECT_FALSE(player->timerRunning());
    EXPECT_FALSE(device.isOpen());

    // Nothing is open, so Play and a click on the bar claim nothing.
    device.TakeCommands();
    player->Play();
    player->Seek(100);
    EXPECT_TRUE(device.commands.empty());
    EXPECT_EQ(player->stateText(), CpText("停止"));

    // Going back finds the first song again.
    player->Previous();
    EXPECT_EQ(player->songNumber(), 1);
    EXPECT_EQ(player->state(), PlayState::Playing);
}

TEST_F(PlayerLogicTest, AFirstSongThatFailsLeavesTheSequenceIdle) {
    LoadSongs(2);
    device.unplayable.insert(PathAt(0));
    PlayInSequence(0);
    EXPECT_EQ(prompts.messages.size(), 1u);
    EXPECT_FALSE(player->closeRequested());
    EXPECT_FALSE(player->timerRunning());
    EXPECT_EQ(player->state(), PlayState::Stopped);
    EXPECT_EQ(device.TakeCommands(), Commands{Open(PathAt(0))});

    player->Next();
    EXPECT_EQ(device.TakeCommands(), Join({"stop mp3", "close mp3"}, OpenAndPlay(PathAt(1))));
    EXPECT_EQ(player->placeText(), "2/2");
}

// --- Time bar ------------------------------------------------------------------------------

TEST_F(PlayerLogicTest, ClickOnTheBarSeeksToTheMatchingMillisecond) {
    struct Case {
        const char* what;
        PlayState from;
        int x;
        Commands sent;
        int position;
        const char* line;
    };
    // 200 s over 210 pixels: 952 ms per pixel.
    const Case cases[] = {
        {"middle",
         PlayState::Playing,
         105,
         {"stop mp3", "play mp3 from 99960"},
         99,
         "1：39/3：20  128kbps  44100hz"},
        {"while paused",
         PlayState::Paused,
         105,
         {"stop mp3", "play mp3 from 99960"},
         99,
         "1：39/3：20  128kbps  44100hz"},
        {"left end, no new time format",
         PlayState::Playing,
         0,
         {"stop mp3", "play mp3 from 0"},
         0,
         "0：00/3：20  128kbps  44100hz"},
        {"right end lands before the end",
         PlayState::Playing,
         kBarWidth,
         {"stop mp3", "play mp3 from 199920"},
         199,
         "3：19/3：20  128kbps  44100hz"},
        {"past the right end",
         PlayState::Playing,
         kBarWidth + 40,
         {"stop mp3", "play mp3 from 199920"},
         199,
         "3：19/3：20  128kbps  44100hz"},
        {"left of the bar",
         PlayState::Playing,
         -5,
         {"stop mp3", "play mp3 from 0"},
         0,
         "0：00/3：20  128kbps  44100hz"},
    };
    Load({Song("long.mp3", 200)});
    PlayOne(0);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        player->Play();
        if (c.from == PlayState::Paused) player->Pause();
        TickAt(50'000);
        device.TakeCommands();

        player->Seek(c.x);
        EXPECT_EQ(device.TakeCommands(), c.sent);
        EXPECT_EQ(player->barPosition(), c.position);
        EXPECT_EQ(player->timeLine(), CpText(c.line));
        EXPECT_EQ(player->stateText(), CpText("再生中"));
        EXPECT_EQ(player->state(), PlayState::Playing);
        EXPECT_TRUE(player->timerRunning());
        EXPECT_EQ(device.mode, MediaMode::Playing);

        // The next tick corrects the shown second from the device.
        TickAt(static_cast<std::uint32_t>(c.position + 1) * 1000);
        EXPECT_EQ(player->barPosition(), c.position + 1);
    }
}

TEST_F(PlayerLogicTest, ClickWhileStoppedChangesNothing) {
    LoadSongs(1);
    PlayOne(0);
    player->Stop();
    device.TakeCommands();
    const std::string line = player->timeLine();
    player->Seek(100);
    EXPECT_TRUE(device.commands.empty());
    EXPECT_EQ(player->barPosition(), 0);
    EXPECT_EQ(player->timeLine(), line);
    EXPECT_EQ(player->stateText(), CpText("停止"));
}

}  // namespace
}  // namespace sorrelbox
