#include "ui/player/PlayerLogic.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <sstream>

#include "support/Messages.h"
#include "support/Mp3Builder.h"
#include "support/RecordingMediaDevice.h"
#include "support/TempDir.h"
#include "ui/main/ListCommands.h"

namespace sorrelbox {
namespace {

struct Main {  // the main window's model, with a player opened from it
    test::TempDir dir;
    ScriptedPrompts prompts;
    SongTable table{PathStyle::Posix};
    Settings settings;
    StartupInfo startup = MakeStartupInfo(dir.path().string(), PathStyle::Posix);
    ListCommands commands{table, settings, startup, prompts};
    RecordingMediaDevice device;
    std::optional<PlayerLogic> player;
    std::string selected;  // the player's selections in the main window
};

// Setup: the letter songs (a.mp3 10 s, b.mp3 20 s, ...), "S<i>" to play the song selected at i
// alone or "Q<i>" in sequence, then "x<i>" the song fails to open, "j<i>" junk, "L" another song
// loaded after the selection, "w0" a bar of no width (else 210 pixels).
// Script: play pause stop next prev close end, t<ms> a tick, seek<x>, take (forget commands).
TEST(PlayerLogicTest, ButtonsTicksAndSeeksDriveTheDeviceAndTheWindow) {
    const char* rows[][3] = {
        // Single mode: once per second while playing, to the end, stop.
        {"1 S0", "t1000 take pause t5000", "pause position mode | 一時停止 1/1 0：01/0：10 1 T-"},
        {"1 S0 L", "take end t10000", "position mode stop | 停止 1/1 0：00/0：10 0 --"},
        // A song that cannot play closes the single player.
        {"1 S0 x0", "", "open a.mp3 stop close |    0 -C m"},
        // Play and pause from each state.
        {"1 S0", "t4000 pause take play", "resume | 再生中 1/1 0：04/0：10 4 T-"},
        {"1 S0", "pause take pause", "resume | 再生中 1/1 0：00/0：10 0 T-"},
        // A sequence starts at the selection or the first song, goes on, stops after the last.
        {"4 Q-1", "", "open a.mp3 stop ms play 0 | 再生中 1/4 0：00/0：10 0 T- s0"},
        {"2 Q-1", "take end t10000",
         "position mode stop stop close open b.mp3 stop ms play 0 | 再生中 2/2 0：00/0：20 0 T- "
         "s01"},
        {"2 Q-1", "end t10000 take end t20000",
         "position mode stop | 停止 2/2 0：00/0：20 0 -- s01"},
        // Previous and next step, and skip songs that cannot play (or have no playing time).
        {"5 Q1 x2 j3", "take prev",
         "stop close open a.mp3 stop ms play 0 | 再生中 1/5 0：00/0：10 0 T- s10"},
        {"5 Q1 x2 j3", "prev pause next next take next",
         "| 再生中 5/5 0：00/0：50 0 T- m m s101234"},
        // No song left: the window stays open and idle, and claims nothing.
        {"3 Q0 x0 x2", "", "open a.mp3 |    0 -- m s0"},
        {"3 Q0 x0 x2", "next next take play seek100", "| 停止 2/3 0：00/0：20 0 -- m m s012"},
        // A click on the bar: 20 s over 210 pixels, 95 ms per pixel.
        {"2 S1", "stop take seek100 t7000", "| 停止 1/1 0：00/0：20 0 --"},
        {"2 S1 w0", "take seek100", "| 再生中 1/1 0：00/0：20 0 T-"},
    };
    const std::map<std::string, void (PlayerLogic::*)()> buttons = {
        {"play", &PlayerLogic::Play},     {"pause", &PlayerLogic::Pause},
        {"stop", &PlayerLogic::Stop},     {"next", &PlayerLogic::Next},
        {"prev", &PlayerLogic::Previous}, {"close", &PlayerLogic::Close}};
    for (const auto& [setup, script, expected] : rows) {
        Main main;
        std::istringstream in(std::string(setup) + " | " + script);  // "|" opens the player
        std::string word;
        in >> word;
        const std::vector<std::string> paths = test::WriteLetterSongs(main.dir, std::stoi(word));
        main.commands.DropFiles(paths);
        in >> word;
        const int start = std::stoi(word.substr(1));
        const bool sequence = word[0] == 'Q';
        while (in >> word) {
            const auto song = [&] { return paths[std::stoul(word.substr(1))]; };
            if (word == "L") {  // the table then describes another song
                main.commands.SelectionChanged(start);
                main.commands.DropFiles({test::WriteCbrSong(main.dir, "x.mp3", 300)});
            }
            if (word[0] == 'x') main.device.unplayable.insert(song());
            if (word[0] == 'j') std::filesystem::resize_file(song(), 0);  // no playing time
            if (word == "|") {
                main.commands.SelectionChanged(start);
                const auto request =
                    sequence ? main.commands.PlayInSequence() : main.commands.PlayOne();
                ASSERT_TRUE(request);
                const auto select = [&main](int i) {
                    main.selected += std::to_string(i);
                    main.commands.SelectionChanged(i);
                };
                main.player.emplace(main.table, main.device, main.prompts, select, *request);
                main.player->Open(std::string(setup).ends_with("w0") ? 0 : 210);
            }
            if (buttons.count(word)) (*main.player.*buttons.at(word))();
            if (word == "end") main.device.mode = MediaMode::Stopped;  // played to its end
            if (word == "take") main.device.commands.clear();
            if (word.starts_with("seek")) main.player->Seek(std::stoi(word.substr(4)));
            if (word[0] != 't' || word == "take") continue;
            main.device.positionMs = std::stoul(word.substr(1));
            main.player->Tick();
        }
        // The commands sent, then the window: state, place, time, bar, timer running, close
        // requested, then the messages and the selections made.
        const PlayerLogic& player = *main.player;
        std::ostringstream seen;
        for (const std::string& command : main.device.commands) seen << command << ' ';
        const std::string& line = player.timeLine();
        seen << "| " << player.stateText() << ' ' << player.placeText() << ' '
             << line.substr(0, line.find(' ')) << ' ' << player.barPosition() << ' '
             << (player.timerRunning() ? 'T' : '-') << (player.closeRequested() ? 'C' : '-');
        for (const auto& message : main.prompts.messages)
            seen << (message == test::Failure("再生できませんでした") ? " m" : " ?");
        if (!main.selected.empty()) seen << " s" << main.selected;
        EXPECT_EQ(seen.str(), CpText(expected));
    }
}

}  // namespace
}  // namespace sorrelbox
