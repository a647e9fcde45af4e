#include "ui/main/ListCommands.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>

#include "support/Messages.h"
#include "support/Mp3Builder.h"
#include "support/TempDir.h"

namespace sorrelbox {
namespace {

class ListCommandsTest : public ::testing::Test {
  protected:
    // A new list of a.mp3, b.mp3, ... of 10, 20, ... seconds, with select selected.
    void Load(int count, int select = -1) {
        commands.NewList();
        if (count > 0) commands.DropFiles(test::WriteLetterSongs(dir, count));
        commands.SelectionChanged(select);
        commands.TakeListChange();
        prompts.messages.clear();
    }

    test::TempDir dir;
    ScriptedPrompts prompts;
    SongTable table{PathStyle::Posix};
    Settings settings;
    StartupInfo startup = MakeStartupInfo(dir.path().string(), PathStyle::Posix);
    ListCommands commands{table, settings, startup, prompts};
};

// Each row runs a script on a new list of its songs: a digit or '-' selects, R reorders, D
// deletes, c cancels the next question, O opens files and F a folder (cancelled unless f gave it
// one with z.mp3 of 5 s), L writes the list (cancelled), N new list, X drops
// nothing, t and T close the editor (list, single), p and P the player (single, sequence), g
// removes the first song's file and s makes the second shorter. The state: the lines' letters,
// the selection, * while a move waits, the selected time and title, the total time, the first
// line changed and the last message.
TEST_F(ListCommandsTest, ScriptsOfCommands) {
    const std::map<char, std::function<void()>> ops = {
        {'R', [&] { commands.Reorder(); }},
        {'D', [&] { commands.Delete(); }},
        {'O', [&] { commands.OpenFiles(); }},
        {'F', [&] { commands.OpenFolder(); }},
        {'L', [&] { commands.MakeList(); }},
        {'N', [&] { commands.NewList(); }},
        {'X', [&] { commands.DropFiles({}); }},
        {'c', [&] { prompts.answers.push_back(MessageAnswer::Cancel); }},
        {'t', [&] { commands.TagEditorClosed(TagEditorMode::List); }},
        {'T', [&] { commands.TagEditorClosed(TagEditorMode::Single); }},
        {'p', [&] { commands.PlayerClosed(PlayerMode::Single); }},
        {'P', [&] { commands.PlayerClosed(PlayerMode::Sequence); }},
        {'g', [&] { std::filesystem::remove(table.songPaths()[0]); }},
        {'s', [&] { test::WriteCbrSong(dir, "b.mp3", 4); }},
        {'f', [&] {
             std::filesystem::create_directory(dir.File("more"));
             test::WriteCbrSong(dir, "more/z.mp3", 5);
             prompts.folders.push_back(FolderChoice{false, dir.File("more")});
         }}};
    const std::tuple<int, const char*, const char*> rows[] = {
        {4, "0R3", "bcda 3 0：10a.mp3 1：40 0 1番目を4番目に移動しますか？"},
        {4, "3R1", "adbc 1 0：40d.mp3 1：40 1 4番目を2番目に移動しますか？"},
        {4, "0Rc3", "abcd 3 0：40d.mp3 1：40 - 1番目を4番目に移動しますか？"},
        {1, "0R", "a 0 0：10a.mp3 0：10 - １曲以下しか読み込まれていません"},
        {2, "R", "ab -1  0：30 - ファイルが選択されていません"},
        // A pending move ends with these commands or an end gone, and with no others.
        {3, "1RO", "abc 1 0：20b.mp3 1：00 - 移動先を選択してください"},
        {3, "1RfF", "abcz 1 0：20b.mp3 1：05 3 移動先を選択してください"},
        {3, "1RL", "abc 1 0：20b.mp3 1：00 - 移動先を選択してください"},
        {3, "1RN", " -1  0：00 0 移動先を選択してください"},
        {3, "1RXpc0", "abc 0 0：10a.mp3 1：00 - 2番目を1番目に移動しますか？"},
        {3, "1R-", "abc -1 0：20b.mp3 1：00 - 移動先を選択してください"},
        {3, "2RD0", "ab 0 0：10a.mp3 0：30 2 3番目を削除しますか？"},
        // Deleting subtracts what the file measures now; one that cannot be measured stays.
        {3, "1cD", "abc 1 0：20b.mp3 1：00 - 2番目を削除しますか？"},
        {3, "s1D", "ac -1  0：56 1 2番目を削除しますか？"},
        {3, "g0", "abc 0 ファイル情報を取得できませんでした 1：00 - "},
        {3, "0gD",
         "abc 0 0：10a.mp3 1：00 - mp3情報を取得できなかったので\nリストから削除できませんでした"},
        {3, "D", "abc -1  1：00 - ファイルが選択されていません"},
        {0, "D", " -1  0：00 - １曲も読み込まれていません"},
        // Closing the list editor or the sequence player clears the selection; single editing
        // runs the selection change again, a pending move included.
        {3, "2t", "abc -1  1：00 - "},
        {3, "2p", "abc 2 0：30c.mp3 1：00 - "},
        {3, "2P", "abc -1  1：00 - "},
        {3, "1RT", "abc 1 0：20b.mp3 1：00 1 2番目を2番目に移動しますか？"}};
    for (const auto& [songs, script, state] : rows) {
        Load(songs);
        for (const char c : std::string_view(script)) {
            if (ops.contains(c))
                ops.at(c)();
            else
                commands.SelectionChanged(c == '-' ? -1 : c - '0');
        }
        std::string names;
        for (const std::string& line : table.entries()) names += line[line.size() - 5];
        const std::size_t changed = commands.TakeListChange();
        EXPECT_EQ(names + " " + std::to_string(commands.selection()) +
                      (commands.movePending() ? "* " : " ") + table.timeText() + table.titleText() +
                      " " + table.totalTimeText() + " " +
                      (changed == ListCommands::kNoChange ? "-" : std::to_string(changed)) + " " +
                      (prompts.messages.empty() ? "" : prompts.messages.back().text),
                  state)
            << script;
    }
}

TEST_F(ListCommandsTest, EditorAndPlayerRefuseOrSayWhatToOpen) {
    const auto open = [](const auto& r) {  // mode, song, count and number; "-" for nothing
        return !r ? std::string("-")
                  : std::to_string(int(r->mode)) + r->path.substr(r->path.size() - 5) +
                        std::to_string(r->songCount) + std::to_string(r->number);
    };
    const std::pair<std::function<std::string()>, bool> rows[] = {
        // whether it opens the list
        {[&] { return open(commands.EditTag()); }, false},
        {[&] { return open(commands.EditThroughList()); }, true},
        {[&] { return open(commands.PlayOne()); }, false},
        {[&] { return open(commands.PlayInSequence()); }, true}};
    for (const auto& [run, list] : rows) {
        Load(0);
        EXPECT_EQ(run(), "-");
        EXPECT_EQ(prompts.messages, std::vector{test::Refusal("１曲も読み込まれていません")});
        Load(3);
        EXPECT_EQ(run(), list ? "1a.mp331" : "-");  // unselected: the list's first song
        Load(3, 1);
        EXPECT_EQ(run(), list ? "1b.mp332" : "0b.mp300");
    }
    // Shift reverses the editor's first page for the moment; the setting stays.
    for (const auto& [hyouzi, shift] : {std::pair{0, false}, {0, true}, {1, false}, {1, true}}) {
        settings.hyouzi = std::uint8_t(hyouzi);
        prompts.shiftDown = shift;
        EXPECT_EQ(commands.EditTag()->firstPage + commands.EditThroughList()->firstPage,
                  2 * (hyouzi != shift));
        EXPECT_EQ(settings.hyouzi, hyouzi);
    }
}

}  // namespace
}  // namespace sorrelbox
