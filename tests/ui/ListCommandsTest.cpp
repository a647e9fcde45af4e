#include "ui/main/ListCommands.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

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
    std::string Names() const {  // the lines' first letters
        std::string names;
        for (const std::string& line : table.entries()) names += line[line.size() - 5];
        return names;
    }
    std::string Fields() const {
        return table.timeText() + "|" + table.sizeText() + "|" + table.bitRateText() + "|" +
               table.titleText();
    }

    test::TempDir dir;
    ScriptedPrompts prompts;
    SongTable table{PathStyle::Posix};
    Settings settings;
    StartupInfo startup = MakeStartupInfo(dir.path().string(), PathStyle::Posix);
    ListCommands commands{table, settings, startup, prompts};
};

TEST_F(ListCommandsTest, SelectionShowsTheTitleOrTheErrorTextAndDeleteSubtractsTheFileNow) {
    test::Id3v2Tag tag;
    tag.frames = {test::TextFrame("TIT2", "Evening Song")};
    dir.Write("c.mp3", test::Mp3Builder().Id3v2(tag).Frame().FillTo(16000 * 245).Build());
    Load(2);
    commands.DropFiles({dir.File("c.mp3")});
    commands.SelectionChanged(2);
    EXPECT_EQ(Fields(), CpText("4：05|3.7MB|128kbps|Evening Song"));
    EXPECT_EQ(commands.TakeListChange(), 2u);
    commands.SelectionChanged(1);
    EXPECT_EQ(commands.TakeListChange(), ListCommands::kNoChange);  // selecting changes nothing

    // A song that cannot be measured shows a text, not a message, and stays listed.
    std::filesystem::remove(table.songPaths()[0]);
    commands.SelectionChanged(0);
    EXPECT_EQ(Fields(), CpText("|||ファイル情報を取得できませんでした"));
    commands.Delete();
    EXPECT_EQ(prompts.messages.back(),
              test::Failure("mp3情報を取得できなかったので\nリストから削除できませんでした"));
    EXPECT_EQ(Names(), "abc");
    EXPECT_EQ(commands.selection(), 0);

    // A song replaced by a shorter one after loading: its length now leaves the totals.
    test::WriteCbrSong(dir, "b.mp3", 4);
    commands.SelectionChanged(1);
    prompts.answers = {MessageAnswer::Cancel};
    commands.Delete();
    EXPECT_EQ(prompts.messages.back(), test::Question("2番目を削除しますか？"));
    EXPECT_EQ(Names(), "abc");
    commands.Delete();
    EXPECT_EQ(Names(), "ac");
    EXPECT_EQ(table.totalTimeText(), CpText("4：31"));
    EXPECT_EQ(Fields(), "|||");
    EXPECT_EQ(commands.TakeListChange(), 1u);
    commands.Delete();
    EXPECT_EQ(prompts.messages.back(), test::Refusal("ファイルが選択されていません"));
    Load(0);
    commands.Delete();
    EXPECT_EQ(prompts.messages.back(), test::Refusal("１曲も読み込まれていません"));
}

TEST_F(ListCommandsTest, ReorderAsksForTheTargetThenMovesThereOrCancels) {
    const struct {
        int source, target;
        bool ok;
        const char* order;
    } rows[] = {{0, 3, true, "bcda"},
                {3, 0, true, "dabc"},
                {1, 2, true, "acbd"},
                {2, 2, true, "abcd"},
                {0, 3, false, "abcd"}};
    for (const auto& r : rows) {
        Load(4, r.source);
        commands.Reorder();
        EXPECT_EQ(prompts.messages.back().caption, CpText("選択"));
        EXPECT_EQ(commands.moveSource(), r.source);
        prompts.answers = {r.ok ? MessageAnswer::Ok : MessageAnswer::Cancel};
        commands.SelectionChanged(r.target);
        EXPECT_EQ(prompts.messages.back(),
                  test::Question(std::to_string(r.source + 1) + "番目を" +
                                 std::to_string(r.target + 1) + "番目に移動しますか？"));
        EXPECT_EQ(Names(), r.order);
        EXPECT_FALSE(commands.movePending());
        // The clicked index stays selected and shows its song, moved or not.
        EXPECT_EQ(commands.selection(), r.target);
        EXPECT_EQ(table.timeText(),
                  CpText("0：" + std::to_string(10 * (r.order[r.target] - 'a' + 1))));
        EXPECT_EQ(commands.TakeListChange(),
                  r.ok ? std::size_t(std::min(r.source, r.target)) : ListCommands::kNoChange);
    }
    for (const auto& [songs, selected] : {std::pair{0, -1}, {1, 0}, {2, -1}}) {
        Load(songs, selected);
        commands.Reorder();
        EXPECT_EQ(prompts.messages,
                  std::vector{test::Refusal(songs < 2 ? "１曲以下しか読み込まれていません"
                                                      : "ファイルが選択されていません")});
        EXPECT_FALSE(commands.movePending());
    }
}

TEST_F(ListCommandsTest, PendingMoveEndsOnlyWithTheCommandsThatEndIt) {
    const std::function<void()> ending[] = {
        [&] { commands.OpenFiles(); }, [&] { commands.OpenFolder(); }, [&] { commands.MakeList(); },
        [&] { commands.MakeM3u(); }, [&] { commands.NewList(); }};
    const std::function<void()> keeping[] = {
        [&] { commands.DropFiles({}); },     [&] { commands.EditTag(); },
        [&] { commands.PlayOne(); },         [&] { commands.PlayInSequence(); },
        [&] { commands.EditThroughList(); }, [&] { commands.PlayerClosed(PlayerMode::Single); }};
    for (const auto& run : ending) {
        Load(3, 1);
        commands.Reorder();
        run();  // every dialog is cancelled
        EXPECT_FALSE(commands.movePending());
        EXPECT_EQ(commands.moveSource(), 0);
    }
    Load(3, 1);
    commands.Reorder();
    for (const auto& run : keeping) run();
    EXPECT_TRUE(commands.movePending());
    EXPECT_EQ(commands.moveSource(), 1);
    // A move with an end gone just ends: the selection went away, or the source was deleted.
    commands.SelectionChanged(-1);
    commands.SelectionChanged(2);
    commands.Reorder();
    commands.Delete();
    prompts.messages.clear();
    commands.SelectionChanged(0);
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_FALSE(commands.movePending());
    EXPECT_EQ(Names(), "ab");
}

TEST_F(ListCommandsTest, LoadsMarkTheListChangedFromTheirFirstNewLine) {
    std::filesystem::create_directory(dir.File("more"));
    const std::string song = test::WriteCbrSong(dir, "more/z.mp3", 5);
    Load(2, 1);
    commands.OpenFiles();  // cancelled
    EXPECT_EQ(commands.TakeListChange(), ListCommands::kNoChange);
    prompts.folders.push_back(FolderChoice{false, dir.File("more")});
    commands.OpenFolder();
    EXPECT_EQ(commands.TakeListChange(), 2u);
    prompts.openFiles.push_back(std::vector{song});
    commands.OpenFiles();
    EXPECT_EQ(commands.TakeListChange(), 3u);
    EXPECT_EQ(Names(), "abzz");
    EXPECT_EQ(commands.selection(), 1);
}

TEST_F(ListCommandsTest, EditorAndPlayerRefuseOrSayWhatToOpen) {
    // mode, song, count and number of what opens; "-" for nothing
    const auto open = [](const auto& r) {
        return !r ? std::string("-")
                  : std::to_string(int(r->mode)) + " " + r->path.substr(r->path.size() - 5) + " " +
                        std::to_string(r->songCount) + " " + std::to_string(r->number);
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
        EXPECT_EQ(run(), list ? "1 a.mp3 3 1" : "-");  // the list starts at the first song
        EXPECT_EQ(prompts.messages.size(), list ? 0u : 1u);
        Load(3, 1);
        EXPECT_EQ(run(), list ? "1 b.mp3 3 2" : "0 b.mp3 0 0");
        EXPECT_TRUE(prompts.messages.empty());
    }
    // Shift reverses the editor's first page for the moment; the setting stays.
    for (const auto& [hyouzi, shift] : {std::pair{0, false}, {0, true}, {1, false}, {1, true}}) {
        settings.hyouzi = std::uint8_t(hyouzi);
        prompts.shiftDown = shift;
        EXPECT_EQ(commands.EditTag()->firstPage, hyouzi != shift);
        EXPECT_EQ(commands.EditThroughList()->firstPage, hyouzi != shift);
        EXPECT_EQ(settings.hyouzi, hyouzi);
    }
}

TEST_F(ListCommandsTest, ClosingTheEditorOrPlayer) {
    Load(3, 2);
    commands.TagEditorClosed(TagEditorMode::List);
    EXPECT_EQ(commands.selection(), -1);
    EXPECT_EQ(Fields(), "|||");
    commands.SelectionChanged(2);
    commands.PlayerClosed(PlayerMode::Single);
    EXPECT_EQ(commands.selection(), 2);
    commands.PlayerClosed(PlayerMode::Sequence);
    EXPECT_EQ(commands.selection(), -1);
    EXPECT_EQ(Fields(), "|||");
    // After single editing the selection change runs again, a pending move included.
    commands.SelectionChanged(1);
    commands.Reorder();
    commands.TagEditorClosed(TagEditorMode::Single);
    EXPECT_EQ(prompts.messages.back(), test::Question("2番目を2番目に移動しますか？"));
    EXPECT_EQ(table.timeText(), CpText("0：20"));
}

TEST_F(ListCommandsTest, ContextMenuOnlyBelowTheListTopWithoutPendingMoveAndManualAtStartup) {
    int measured = 0;
    const auto measure = [&measured] { return ++measured, 120; };
    for (const auto& [y, wanted] : {std::pair{60, false}, {-1, false}, {120, true}, {300, true}})
        EXPECT_EQ(commands.WantsContextMenu(y, measure), wanted) << y;
    EXPECT_EQ(measured, 1);
    Load(2, 0);
    commands.Reorder();
    EXPECT_FALSE(commands.WantsContextMenu(300, measure));
    EXPECT_EQ(commands.ManualPath(), dir.File("manual.htm"));
}

}  // namespace
}  // namespace sorrelbox
