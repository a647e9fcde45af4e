#include "ui/main/ListCommands.h"

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
#include "support/TempDir.h"

namespace sorrelbox {
namespace {

constexpr std::size_t kBytesPerSecond = 16000;  // 128 kbit/s CBR

class ListCommandsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        startup = MakeStartupInfo(dir.path().string(), PathStyle::Posix);
        commands = std::make_unique<ListCommands>(table, settings, startup, prompts);
    }

    // A CBR song of the given length in whole seconds.
    std::string Song(const std::string& name, std::size_t seconds) {
        return test::WriteCbrSong(dir, name, seconds);
    }

    // Loads songs named a.mp3, b.mp3, ... of 10, 20, 30 ... seconds.
    void LoadSongs(int count) {
        const std::vector<std::string> paths = test::WriteLetterSongs(dir, count);
        commands->DropFiles(paths);
        ASSERT_EQ(table.songCount(), count);
        commands->TakeListChange();
    }

    std::string Names() const {
        std::string names;
        for (const std::string& path : table.songPaths()) {
            names += std::string(FileNameOf(path, PathStyle::Posix)).substr(0, 1);
        }
        return names;
    }

    const ScriptedPrompts::Message& LastMessage() const { return prompts.messages.back(); }

    test::TempDir dir;
    ScriptedPrompts prompts;
    SongTable table{PathStyle::Posix};
    Settings settings;
    StartupInfo startup;
    std::unique_ptr<ListCommands> commands;
};

TEST_F(ListCommandsTest, SelectionShowsTheSongsFiguresAndTitle) {
    LoadSongs(2);
    test::Id3v2Tag tag;
    tag.frames = {test::TextFrame("TIT2", "Evening Song")};
    const std::string tagged =
        test::Mp3Builder().Id3v2(tag).Frame().FillTo(kBytesPerSecond * 245).Build();
    commands->DropFiles({dir.Write("c.mp3", tagged)});
    commands->TakeListChange();

    commands->SelectionChanged(1);
    EXPECT_EQ(commands->selectedPath(), table.songPaths()[1]);
    EXPECT_EQ(table.timeText(), CpText("0：20"));
    EXPECT_EQ(table.sizeText(), "0.3MB");  // 320000 bytes = 312 KiB
    EXPECT_EQ(table.bitRateText(), "128kbps");
    EXPECT_EQ(table.titleText(), "b.mp3");  // no tags: the file name

    commands->SelectionChanged(2);
    EXPECT_EQ(table.titleText(), "Evening Song");
    EXPECT_EQ(table.timeText(), CpText("4：05"));
    // Selecting changes neither the list nor the totals.
    EXPECT_EQ(commands->TakeListChange(), ListCommands::kNoChange);
    EXPECT_EQ(table.songCount(), 3);
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(ListCommandsTest, FileGoneFromDiskShowsErrorTextAndRefusesDelete) {
    LoadSongs(2);
    const std::uint32_t totalSeconds = table.totalSeconds();
    std::filesystem::remove(table.songPaths()[0]);

    commands->SelectionChanged(0);
    EXPECT_EQ(table.timeText(), "");
    EXPECT_EQ(table.sizeText(), "");
    EXPECT_EQ(table.bitRateText(), "");
    EXPECT_EQ(table.titleText(), CpText("ファイル情報を取得できませんでした"));
    EXPECT_TRUE(prompts.messages.empty());  // a field text, not a message box

    commands->Delete();
    ASSERT_EQ(prompts.messages.size(), 2u);
    EXPECT_EQ(prompts.messages[0].text, CpText("1番目を削除しますか？"));
    EXPECT_EQ(LastMessage().text,
              CpText("mp3情報を取得できなかったので\nリストから削除できませんでした"));
    EXPECT_EQ(LastMessage().caption, CpText("エラー"));
    EXPECT_EQ(LastMessage().icon, MessageIcon::Warning);
    EXPECT_EQ(table.songCount(), 2);
    EXPECT_EQ(table.totalSeconds(), totalSeconds);
    EXPECT_EQ(Names(), "ab");
    EXPECT_EQ(commands->selection(), 0);
}

TEST_F(ListCommandsTest, ReorderMovesToTheChosenIndexOrCancels) {
    struct Case {
        int source;
        int target;
        MessageAnswer answer;
        const char* order;
        const char* question;
    } cases[] = {
        {0, 3, MessageAnswer::Ok, "bcda", "1番目を4番目に移動しますか？"},
        {3, 0, MessageAnswer::Ok, "dabc", "4番目を1番目に移動しますか？"},
        {1, 2, MessageAnswer::Ok, "acbd", "2番目を3番目に移動しますか？"},
        {2, 2, MessageAnswer::Ok, "abcd", "3番目を3番目に移動しますか？"},
        {0, 3, MessageAnswer::Cancel, "abcd", "1番目を4番目に移動しますか？"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.question);
        commands->NewList();
        LoadSongs(4);
        prompts.messages.clear();
        commands->SelectionChanged(c.source);
        commands->Reorder();
        ASSERT_TRUE(commands->movePending());
        EXPECT_EQ(commands->moveSource(), c.source);
        EXPECT_EQ(LastMessage(),
                  (ScriptedPrompts::Message{CpText("移動先を選択してください"), CpText("選択"),
                                            MessageIcon::Information, MessageButtons::Ok}));

        prompts.answers.push_back(c.answer);
        commands->SelectionChanged(c.target);
        EXPECT_EQ(LastMessage(), test::Question(c.question));
        EXPECT_EQ(Names(), c.order);
        EXPECT_FALSE(commands->movePending());
        EXPECT_EQ(commands->moveSource(), 0);
        // The clicked index stays selected and shows its song, moved or not.
        EXPECT_EQ(commands->selection(), c.target);
        EXPECT_EQ(commands->selectedPath(), table.songPaths()[c.target]);
        const std::size_t expectedSeconds =
            10 * static_cast<std::size_t>(c.order[c.target] - 'a' + 1);
        EXPECT_EQ(table.timeText(), CpText("0：" + std::to_string(expectedSeconds)));
        const std::size_t change = commands->TakeListChange();
        if (c.answer == MessageAnswer::Ok) {
            EXPECT_EQ(change, static_cast<std::size_t>(std::min(c.source, c.target)));
        } else {
            EXPECT_EQ(change, ListCommands::kNoChange);
        }
        // The list's lines moved with their paths.
        for (std::size_t i = 0; i < table.songPaths().size(); ++i) {
            EXPECT_EQ(table.entries()[i].back(), table.songPaths()[i].back());
            EXPECT_EQ(table.entries()[i].substr(table.entries()[i].size() - 5),
                      table.songPaths()[i].substr(table.songPaths()[i].size() - 5));
        }
    }
}

TEST_F(ListCommandsTest, ReorderRefusals) {
    struct Case {
        int songs;
        int selection;
        const char* message;
    } cases[] = {
        {0, -1, "１曲以下しか読み込まれていません"},
        {1, 0, "１曲以下しか読み込まれていません"},  // even with that song selected
        {2, -1, "ファイルが選択されていません"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.songs);
        commands->NewList();
        if (c.songs > 0) LoadSongs(c.songs);
        commands->SelectionChanged(c.selection);
        prompts.messages.clear();
        commands->Reorder();
        ASSERT_EQ(prompts.messages.size(), 1u);
        EXPECT_EQ(LastMessage(), test::Refusal(c.message));
        EXPECT_FALSE(commands->movePending());
    }
}

TEST_F(ListCommandsTest, PendingMoveEndsOnlyWithTheCommandsThatEndIt) {
    struct Case {
        const char* name;
        std::function<void(ListCommands&)> run;
        bool ends;
    } cases[] = {
        {"open files", [](ListCommands& c) { c.OpenFiles(); }, true},
        {"open folder", [](ListCommands& c) { c.OpenFolder(); }, true},
        {"make list", [](ListCommands& c) { c.MakeList(); }, true},
        {"make m3u", [](ListCommands& c) { c.MakeM3u(); }, true},
        {"new list", [](ListCommands& c) { c.NewList(); }, true},
        {"drop", [](ListCommands& c) { c.DropFiles({}); }, false},
        {"edit tag", [](ListCommands& c) { c.EditTag(); }, false},
        {"edit list", [](ListCommands& c) { c.EditThroughList(); }, false},
        {"play", [](ListCommands& c) { c.PlayOne(); }, false},
        {"play all", [](ListCommands& c) { c.PlayInSequence(); }, false},
        {"player closed", [](ListCommands& c) { c.PlayerClosed(PlayerMode::Single); }, false},
    };
    LoadSongs(3);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (table.songCount() == 0) LoadSongs(3);
        commands->SelectionChanged(1);
        commands->Reorder();
        ASSERT_TRUE(commands->movePending());
        prompts.messages.clear();
        c.run(*commands);  // every dialog is cancelled
        EXPECT_EQ(commands->movePending(), !c.ends);
        EXPECT_EQ(commands->moveSource(), c.ends ? 0 : 1);
        if (commands->movePending()) {
            prompts.answers.push_back(MessageAnswer::Cancel);
            commands->SelectionChanged(0);
        }
    }
}

TEST_F(ListCommandsTest, PendingMoveWithAnEndMissingJustEnds) {
    // No target: the selection went away.
    LoadSongs(3);
    commands->SelectionChanged(2);
    commands->Reorder();
    prompts.messages.clear();
    commands->SelectionChanged(-1);
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_FALSE(commands->movePending());
    EXPECT_EQ(Names(), "abc");

    // No source: the song to move was deleted while the move waited.
    commands->SelectionChanged(2);
    commands->Reorder();
    prompts.answers.push_back(MessageAnswer::Ok);
    commands->Delete();
    ASSERT_EQ(Names(), "ab");
    prompts.messages.clear();
    commands->SelectionChanged(0);
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_FALSE(commands->movePending());
    EXPECT_EQ(Names(), "ab");
    EXPECT_EQ(commands->selection(), 0);
}

TEST_F(ListCommandsTest, DeleteSubtractsWhatTheFileMeasuresNow) {
    LoadSongs(3);  // 10 s, 20 s, 30 s
    EXPECT_EQ(table.totalSeconds(), 60u);
    const std::uint32_t kbBefore = table.totalKB();
    // The first song's file is replaced by a shorter one after it was loaded.
    Song("a.mp3", 4);

    commands->SelectionChanged(0);
    prompts.answers.push_back(MessageAnswer::Cancel);
    commands->Delete();
    EXPECT_EQ(table.songCount(), 3);
    EXPECT_EQ(commands->TakeListChange(), ListCommands::kNoChange);

    commands->Delete();  // answered OK
    EXPECT_EQ(LastMessage().text, CpText("1番目を削除しますか？"));
    EXPECT_EQ(table.songCount(), 2);
    EXPECT_EQ(table.totalSeconds(), 56u);
    EXPECT_EQ(table.totalKB(), kbBefore - kBytesPerSecond * 4 / 1024);
    EXPECT_EQ(table.totalTimeText(), CpText("0：56"));
    EXPECT_EQ(Names(), "bc");
    EXPECT_EQ(table.entries().size(), 2u);
    EXPECT_EQ(commands->selection(), -1);
    EXPECT_EQ(table.timeText(), "");
    EXPECT_EQ(table.titleText(), "");
    EXPECT_EQ(commands->TakeListChange(), 0u);

    // Nothing selected now.
    prompts.messages.clear();
    commands->Delete();
    EXPECT_EQ(LastMessage().text, CpText("ファイルが選択されていません"));
    EXPECT_EQ(LastMessage().icon, MessageIcon::Information);

    commands->NewList();
    prompts.messages.clear();
    commands->Delete();
    EXPECT_EQ(LastMessage(), test::Refusal("１曲も読み込まれていません"));
}

TEST_F(ListCommandsTest, NewListReturnsToTheStartState) {
    LoadSongs(2);
    commands->SelectionChanged(1);
    commands->NewList();
    EXPECT_EQ(table.songCount(), 0);
    EXPECT_TRUE(table.songPaths().empty());
    EXPECT_TRUE(table.entries().empty());
    EXPECT_EQ(table.totalTimeText(), CpText("0：00"));
    EXPECT_EQ(table.totalSizeText(), "0.0MB");
    EXPECT_EQ(table.timeText(), "");
    EXPECT_EQ(table.titleText(), "");
    EXPECT_EQ(commands->selection(), -1);
    EXPECT_EQ(commands->TakeListChange(), 0u);
    EXPECT_TRUE(prompts.messages.empty());  // no confirmation
}

TEST_F(ListCommandsTest, TagEditorAndPlayerCommandsRefuseOrSayWhatToOpen) {
    const std::string none = CpText("１曲も読み込まれていません");
    const std::string unselected = CpText("ファイルが選択されていません");
    struct Case {
        const char* name;
        bool needsSelection;
        std::function<std::optional<std::string>(ListCommands&)> run;  // path to open
    } cases[] = {
        {"edit tag", true,
         [](ListCommands& c) -> std::optional<std::string> {
             auto r = c.EditTag();
             if (!r) return std::nullopt;
             EXPECT_EQ(r->mode, TagEditorMode::Single);
             return r->path;
         }},
        {"edit through the list", false,
         [](ListCommands& c) -> std::optional<std::string> {
             auto r = c.EditThroughList();
             if (!r) return std::nullopt;
             EXPECT_EQ(r->mode, TagEditorMode::List);
             EXPECT_EQ(r->songCount, 3);
             EXPECT_EQ(r->number, c.selection() < 0 ? 1 : c.selection() + 1);
             return r->path;
         }},
        {"play one", true,
         [](ListCommands& c) -> std::optional<std::string> {
             auto r = c.PlayOne();
             if (!r) return std::nullopt;
             EXPECT_EQ(r->mode, PlayerMode::Single);
             return r->path;
         }},
        {"play in sequence", false,
         [](ListCommands& c) -> std::optional<std::string> {
             auto r = c.PlayInSequence();
             if (!r) return std::nullopt;
             EXPECT_EQ(r->mode, PlayerMode::Sequence);
             EXPECT_EQ(r->songCount, 3);
             EXPECT_EQ(r->number, c.selection() < 0 ? 1 : c.selection() + 1);
             return r->path;
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        commands->NewList();
        prompts.messages.clear();
        EXPECT_FALSE(c.run(*commands));
        ASSERT_EQ(prompts.messages.size(), 1u);
        EXPECT_EQ(LastMessage().text, none);
        EXPECT_EQ(LastMessage().caption, CpText("エラー"));

        LoadSongs(3);
        prompts.messages.clear();
        const auto unselectedResult = c.run(*commands);
        if (c.needsSelection) {
            EXPECT_FALSE(unselectedResult);
            EXPECT_EQ(LastMessage().text, unselected);
        } else {
            EXPECT_EQ(unselectedResult, table.songPaths()[0]);  // the first song
            EXPECT_TRUE(prompts.messages.empty());
        }

        commands->SelectionChanged(1);
        prompts.messages.clear();
        EXPECT_EQ(c.run(*commands), table.songPaths()[1]);
        EXPECT_TRUE(prompts.messages.empty());
    }
}

TEST_F(ListCommandsTest, ShiftReversesTheTagEditorsFirstPage) {
    LoadSongs(1);
    commands->SelectionChanged(0);
    struct Case {
        std::uint8_t hyouzi;
        bool shift;
        int page;
    } cases[] = {{0, false, 0}, {0, true, 1}, {1, false, 1}, {1, true, 0}};
    for (const Case& c : cases) {
        settings.hyouzi = c.hyouzi;
        prompts.shiftDown = c.shift;
        EXPECT_EQ(commands->EditTag()->firstPage, c.page);
        EXPECT_EQ(commands->EditThroughList()->firstPage, c.page);
        EXPECT_EQ(settings.hyouzi, c.hyouzi);
    }
}

TEST_F(ListCommandsTest, ClosingTheEditorOrPlayer) {
    LoadSongs(3);
    commands->SelectionChanged(2);
    commands->TagEditorClosed(TagEditorMode::List);
    EXPECT_EQ(commands->selection(), -1);
    EXPECT_EQ(table.timeText(), "");

    commands->SelectionChanged(2);
    commands->PlayerClosed(PlayerMode::Single);
    EXPECT_EQ(commands->selection(), 2);
    commands->PlayerClosed(PlayerMode::Sequence);
    EXPECT_EQ(commands->selection(), -1);
    EXPECT_EQ(table.titleText(), "");

    // After single editing the selection change runs again, pending move included.
    commands->SelectionChanged(0);
    commands->Reorder();
    commands->SelectionChanged(2);  // no scripted answer: OK
    EXPECT_EQ(Names(), "bca");
    commands->SelectionChanged(1);
    commands->Reorder();
    prompts.messages.clear();
    commands->TagEditorClosed(TagEditorMode::Single);
    EXPECT_EQ(LastMessage().text, CpText("2番目を2番目に移動しますか？"));
    EXPECT_FALSE(commands->movePending());
    EXPECT_EQ(table.timeText(), CpText("0：30"));
}

TEST_F(ListCommandsTest, ContextMenuOnlyBelowTheListTopAndWithoutPendingMove) {
    int measured = 0;
    auto measure = [&measured] {
        ++measured;
        return 120;
    };
    EXPECT_FALSE(commands->WantsContextMenu(60, measure));  // on the fields above the list
    EXPECT_FALSE(commands->WantsContextMenu(-1, measure));  // a keyboard request
    EXPECT_TRUE(commands->WantsContextMenu(120, measure));
    EXPECT_TRUE(commands->WantsContextMenu(300, measure));
    EXPECT_EQ(measured, 1);
    EXPECT_EQ(commands->listTop(), 120);

    LoadSongs(2);
    commands->SelectionChanged(0);
    commands->Reorder();
    EXPECT_FALSE(commands->WantsContextMenu(300, measure));
}

TEST_F(ListCommandsTest, OutputsWriteTheListAndThePlaylistShiftReversingRelativePaths) {
    LoadSongs(2);
    const std::string listFile = dir.File("list.txt");
    prompts.saveFiles.push_back(listFile);
    commands->MakeList();
    EXPECT_EQ(test::ReadAll(listFile), table.entries()[0] + "\r\n" + table.entries()[1] + "\r\n");
    EXPECT_EQ(LastMessage().text, CpText("リストを作成しました"));

    struct Case {
        std::uint8_t soutai;
        bool shift;
        bool relative;
    } cases[] = {{0, false, false}, {0, true, true}, {1, false, true}, {1, true, false}};
    for (const Case& c : cases) {
        settings.soutai = c.soutai;
        prompts.shiftDown = c.shift;
        const std::string playlist = dir.File("list.m3u");
        prompts.saveFiles.push_back(playlist);
        commands->MakeM3u();
        const std::string expected =
            c.relative ? std::string("a.mp3\r\nb.mp3\r\n")
                       : table.songPaths()[0] + "\r\n" + table.songPaths()[1] + "\r\n";
        EXPECT_EQ(test::ReadAll(playlist), expected) << int(c.soutai) << c.shift;
        EXPECT_EQ(settings.soutai, c.soutai);
    }
    EXPECT_EQ(LastMessage().text, CpText("m3uファイルを作成しました"));
}

TEST_F(ListCommandsTest, ManualLivesInTheStartupFolder) {
    EXPECT_EQ(commands->ManualPath(), dir.path().string() + "/manual.htm");
}

}  // namespace
}  // namespace sorrelbox
