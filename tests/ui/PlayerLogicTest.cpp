#include "ui/player/PlayerLogic.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "platform/CodePage.h"
#include "platform/ScriptedPrompts.h"
#include "support/Messages.h"
#include "support/Mp3Builder.h"
#include "support/RecordingMediaDevice.h"
#include "support/TempDir.h"
#include "ui/main/ListCommands.h"

namespace sorrelbox {
namespace {

struct Main {  // the main window's model, with a player opened from it on a 210 pixel bar
    test::TempDir dir;
    ScriptedPrompts prompts;
    SongTable table{PathStyle::Posix};
    Settings settings;
    StartupInfo startup = MakeStartupInfo(dir.path().string(), PathStyle::Posix);
    ListCommands commands{table, settings, startup, prompts};
    RecordingMediaDevice device;
    std::unique_ptr<PlayerLogic> player;
    std::string selected;  // the player's selections in the main window

    void Load(const std::vector<std::string>& paths) {
        commands.DropFiles(paths);
        commands.TakeListChange();
    }
    void Start(int index, bool sequence) {
        commands.SelectionChanged(index);
        const auto request = sequence ? commands.PlayInSequence() : commands.PlayOne();
        ASSERT_TRUE(request);
        const auto select = [this](int i) {
            selected += std::to_string(i), commands.SelectionChanged(i);
        };
        player = std::make_unique<PlayerLogic>(table, device, prompts, select, *request);
        player->Open(210);
    }
    void Tick(std::uint32_t ms) { device.positionMs = ms, player->Tick(); }
    // The commands sent, shortened ("stop", "ms", "play 0", "open:b", "position"), then the window:
    // state, place, elapsed time, bar, timer running, close requested, device mode, messages and
    // the selections made.
    std::string Seen() {
        std::ostringstream out;
        for (std::string c : device.TakeCommands()) {
            for (const std::string& from : std::vector<std::string>{
                     " mp3", "open \"" + dir.path().string() + "/", ".mp3\" type mpegvideo alias",
                     "set time format ", "from ", "status "})
                for (std::size_t at; (at = c.find(from)) != std::string::npos;)
                    c.replace(at, from.size(), from[0] == 'o' ? "open:" : "");
            out << c << ' ';
        }
        const std::string& line = player->timeLine();
        out << "| " << player->stateText() << ' ' << player->placeText() << ' '
            << line.substr(0, line.find('/')) << ' ' << player->barPosition() << '/'
            << player->barMaximum() << ' ' << (player->timerRunning() ? 'T' : '-')
            << (player->closeRequested() ? 'C' : '-') << int(device.mode);
        if (!prompts.messages.empty()) out << " m" << prompts.messages.size();
        if (!selected.empty()) out << " s" << selected;
        return out.str();
    }
};

TEST(PlayerLogicTest, ShowsTotalRateAndElapsedTime) {
    test::MpegHeader rate192At48k;
    rate192At48k.bitRateIndex = 11;
    rate192At48k.sampleRateIndex = 1;
    const std::tuple<std::string, const char*, std::uint32_t, const char*> rows[] = {
        {test::CbrFile(24000 * 605, rate192At48k), "0：00/10：05  192kbps  48000hz", 65'000,
         "1：05/10：05  192kbps  48000hz"},
        {test::VbrFile(7000), "0：00/3：02  999kbps  44100hz", 181'999,
         "3：01/3：02  999kbps  44100hz"}};
    for (const auto& [bytes, start, ms, playing] : rows) {
        Main main;
        main.Load({main.dir.Write("song.mp3", bytes)});
        main.Start(0, false);
        EXPECT_EQ(main.player->timeLine() + std::to_string(main.player->barMaximum()),
                  CpText(start) + std::to_string(main.table.info().seconds));
        main.Tick(ms);
        EXPECT_EQ(main.player->timeLine(), CpText(playing));
    }
}

// Setup: the letter songs (a.mp3 10 s, b.mp3 20 s, ...) or "long" (200 s), then "S<i>" to play
// the song selected at i alone or "Q<i>" in sequence, then "x<i>" the song fails to open, "r<i>"
// removed, "j<i>" junk, "n" no sound device, "L" another song loaded after the selection.
// Script: play pause stop next prev close end, t<ms> a tick, seek<x>, take (forget commands).
TEST(PlayerLogicTest, ButtonsTicksAndSeeksDriveTheDeviceAndTheWindow) {
    const char* rows[][3] = {
        // Single mode: once per second while playing, to the end, stop.
        {"1 S0 L", "", "open:a stop ms play 0 | 再生中 1/1 0：00 0/10 T-2"},
        {"1 S0", "take t999", "position mode | 再生中 1/1 0：00 0/10 T-2"},
        {"1 S0", "take t1000", "position mode | 再生中 1/1 0：01 1/10 T-2"},
        {"1 S0", "t1000 pause take t5000", "position mode | 一時停止 1/1 0：01 1/10 T-3"},
        {"1 S0", "t1000 pause pause take t5000", "position mode | 再生中 1/1 0：05 5/10 T-2"},
        {"1 S0", "t5000 stop take t7000", "| 停止 1/1 0：00 0/10 --1"},
        {"1 S0 L", "take next prev", "| 再生中 1/1 0：00 0/10 T-2"},
        {"1 S0 L", "take end t10000", "position mode stop | 停止 1/1 0：00 0/10 --1"},
        {"1 S0", "end t10000 take play", "stop ms play 0 | 再生中 1/1 0：00 0/10 T-2"},
        // A song that cannot play closes the single player.
        {"1 S0 x0", "", "open:a stop close |    0/0 -C0 m1"},
        {"1 S0 n", "", "open:a stop close |    0/0 -C0 m1"},
        {"1 S0 r0", "", "open:a stop close |    0/0 -C0 m1"},
        {"1 S0 j0", "", "open:a stop close |    0/0 -C0 m1"},
        // Play, pause and stop from each state.
        {"1 S0", "stop t4000 take play", "stop ms play 0 | 再生中 1/1 0：00 0/10 T-2"},
        {"1 S0", "t4000 take play", "stop ms play 0 | 再生中 1/1 0：00 0/10 T-2"},
        {"1 S0", "t4000 pause take play", "resume | 再生中 1/1 0：04 4/10 T-2"},
        {"1 S0", "stop take pause", "| 停止 1/1 0：00 0/10 --1"},
        {"1 S0", "t4000 take pause", "pause | 一時停止 1/1 0：04 4/10 T-3"},
        {"1 S0", "pause take pause", "resume | 再生中 1/1 0：00 0/10 T-2"},
        {"1 S0", "t4000 take stop", "stop | 停止 1/1 0：00 0/10 --1"},
        {"1 S0", "pause take stop", "stop | 停止 1/1 0：00 0/10 --1"},
        {"1 S0", "take close", "stop close | 再生中 1/1 0：00 0/10 -C0"},
        // A sequence starts at the selection or the first song, goes on, stops after the last.
        {"4 Q-1", "", "open:a stop ms play 0 | 再生中 1/4 0：00 0/10 T-2 s0"},
        {"4 Q2", "", "open:c stop ms play 0 | 再生中 3/4 0：00 0/30 T-2 s2"},
        {"4 Q3", "", "open:d stop ms play 0 | 再生中 4/4 0：00 0/40 T-2 s3"},
        {"2 Q-1", "take end t10000",
         "position mode stop stop close open:b stop ms play 0 | 再生中 2/2 0：00 0/20 T-2 s01"},
        {"2 Q-1", "end t10000 take end t20000", "position mode stop | 停止 2/2 0：00 0/20 --1 s01"},
        // Previous and next step, and skip songs that cannot play (or have no playing time).
        {"5 Q1 x2 r3", "take prev",
         "stop close open:a stop ms play 0 | 再生中 1/5 0：00 0/10 T-2 s10"},
        {"5 Q1 x2 r3", "prev take prev", "| 再生中 1/5 0：00 0/10 T-2 s10"},
        {"5 Q1 x2 r3", "prev pause next next take next", "| 再生中 5/5 0：00 0/50 T-2 m2 s101234"},
        // No song left: the window stays open and idle, and claims nothing.
        {"3 Q0 x0 x2", "", "open:a |    0/0 --0 m1 s0"},
        {"3 Q0 x0 x2", "next next take play seek100", "| 停止 2/3 0：00 0/20 --0 m2 s012"},
        {"3 Q0 x0 x2", "next next take prev",
         "stop close open:b stop ms play 0 | 再生中 2/3 0：00 0/20 T-2 m2 s0121"},
        // A click on the bar: 200 s over 210 pixels, 952 ms per pixel.
        {"long S0", "t50000 take seek105", "stop play 99960 | 再生中 1/1 1：39 99/200 T-2"},
        {"long S0", "t50000 pause take seek105", "stop play 99960 | 再生中 1/1 1：39 99/200 T-2"},
        {"long S0", "take seek0", "stop play 0 | 再生中 1/1 0：00 0/200 T-2"},
        {"long S0", "take seek-5", "stop play 0 | 再生中 1/1 0：00 0/200 T-2"},
        {"long S0", "take seek210", "stop play 199920 | 再生中 1/1 3：19 199/200 T-2"},
        {"long S0", "take seek250", "stop play 199920 | 再生中 1/1 3：19 199/200 T-2"},
        {"long S0", "stop take seek100", "| 停止 1/1 0：00 0/200 --1"},
        {"long S0", "seek105 take t100000", "position mode | 再生中 1/1 1：40 100/200 T-2"},
    };
    for (const auto& [setup, script, expected] : rows) {
        SCOPED_TRACE(testing::Message() << setup << ": " << script);
        Main main;
        std::istringstream in(setup);
        std::string word;
        in >> word;
        const std::vector<std::string> paths =
            word == "long" ? std::vector{test::WriteCbrSong(main.dir, "long.mp3", 200)}
                           : test::WriteLetterSongs(main.dir, std::stoi(word));
        main.Load(paths);
        in >> word;
        const int start = std::stoi(word.substr(1));
        const bool sequence = word[0] == 'Q';
        while (in >> word) {
            const auto at = [&] { return paths[std::stoul(word.substr(1))]; };
            if (word == "L")
                main.commands.SelectionChanged(start);  // then the table describes another
            if (word == "L") main.Load({test::WriteCbrSong(main.dir, "long.mp3", 300)});
            if (word == "n") main.device.devicePresent = false;
            if (word[0] == 'x') main.device.unplayable.insert(at());
            if (word[0] == 'r') std::filesystem::remove(at());
            if (word[0] == 'j')
                main.dir.Write(std::filesystem::path(at()).filename().string(),
                               std::string(4000, 'x'));
        }
        main.Start(start, sequence);
        std::istringstream steps(script);
        while (steps >> word) {
            PlayerLogic& p = *main.player;
            if (word == "play") p.Play();
            if (word == "pause") p.Pause();
            if (word == "stop") p.Stop();
            if (word == "next") p.Next();
            if (word == "prev") p.Previous();
            if (word == "close") p.Close();
            if (word == "end") main.device.EndSong();
            if (word == "take") main.device.TakeCommands();
            if (word[0] == 't' && word != "take") main.Tick(std::stoul(word.substr(1)));
            if (word.starts_with("seek")) p.Seek(std::stoi(word.substr(4)));
        }
        EXPECT_EQ(main.Seen(), CpText(expected));
        for (const auto& m : main.prompts.messages)
            EXPECT_EQ(m, test::Failure("再生できませんでした"));
        if (main.player->state() != PlayState::Playing)
            continue;  // the title shows in both windows
        EXPECT_EQ(main.player->title() + (sequence ? main.table.titleText() : ""),
                  std::filesystem::path(main.player->path()).filename().string() +
                      (sequence ? main.player->title() : ""));
        EXPECT_TRUE(!std::string(setup).ends_with("L") || main.table.totalSeconds() == 310u);
    }
}

}  // namespace
}  // namespace sorrelbox
