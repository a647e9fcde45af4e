#include "loading/SongLoader.h"

#include <algorithm>
#include <condition_variable>
#include <filesystem>
#include <mutex>

#include "LoadingFixture.h"

namespace sorrelbox {
namespace {

using test::LoadingTest;
using Message = ScriptedPrompts::Message;

TEST_F(LoadingTest, AddSongFileAppendsOnlyWhatScans) {
    const std::string good = Song("a.mp3", 245);
    EXPECT_EQ(AddSongFile(table, good), ScanResult::ScanOk);
    EXPECT_EQ(AddSongFile(table, Junk("b.mp3")), ScanResult::ScanNoHeader);
    EXPECT_EQ(AddSongFile(table, dir.File("missing.mp3")), ScanResult::ScanOpenFailed);
    EXPECT_EQ(table.songPaths(), std::vector<std::string>{good});
    EXPECT_EQ(table.entries(), std::vector<std::string>{CpText("  4：05  a.mp3")});
    EXPECT_EQ(table.songCount(), 1);
    EXPECT_EQ(table.totalSeconds(), 245u);
}

TEST_F(LoadingTest, OpenFilesReportsEachFailureWithItsName) {
    const std::string a = Song("a.mp3");
    // Only ".m3u" in lower case is a playlist in this dialog: a.M3U is scanned as a song.
    const std::string upper = dir.Write("a.M3U", Base() + "a.mp3\n");
    prompts.openFiles.push_back(
        std::vector<std::string>{dir.File("gone.mp3"), a, Junk("j.mp3"), upper});
    OpenFiles(context);

    ASSERT_EQ(prompts.openDialogs.size(), 1u);
    EXPECT_TRUE(prompts.openDialogs[0].multiSelect);
    EXPECT_EQ(prompts.openDialogs[0].filter,
              CpText("MP3ファイル(*.mp3),M3Uファイル(*.m3u)|*.mp3; *.m3u||"));
    const std::vector<Message> expected = {
        Msg(CpText("gone.mp3\nファイルを読み込めませんでした"), "エラー", MessageIcon::Warning),
        Msg(CpText("j.mp3\nファイル情報を取得できませんでした"), "エラー", MessageIcon::Warning),
        Msg(CpText("a.M3U\nファイル情報を取得できませんでした"), "エラー", MessageIcon::Warning),
    };
    EXPECT_EQ(prompts.messages, expected);
    EXPECT_EQ(table.songPaths(), std::vector<std::string>{a});
}

TEST_F(LoadingTest, OpenFilesCancelledDoesNothing) {
    OpenFiles(context);
    EXPECT_EQ(prompts.openDialogs.size(), 1u);
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_EQ(table.songCount(), 0);
}

TEST_F(LoadingTest, DuplicatesAreRefusedSilentlyOnlyWhenZyuuhukuIsOne) {
    const std::string a = Song("a.mp3");
    const std::string b = Song("b.mp3");
    const std::string list = dir.Write("l.m3u", "a.mp3\r\nb.mp3\r\n");
    struct Case {
        std::uint8_t zyuuhuku;
        std::size_t songs;
    } cases[] = {{0, 5}, {1, 2}, {2, 5}};  // 2 counts as off
    for (const Case& c : cases) {
        table.Clear();
        prompts.messages.clear();
        settings.zyuuhuku = c.zyuuhuku;
        prompts.openFiles.push_back(std::vector<std::string>{a, a, list});
        OpenFiles(context);
        DropFiles(context, {b});
        EXPECT_EQ(table.songPaths().size(), c.songs) << int(c.zyuuhuku);
        EXPECT_TRUE(prompts.messages.empty());
    }
    // Spelled differently, the same file is no duplicate.
    table.Clear();
    settings.zyuuhuku = 1;
    AddSongFile(table, a);
    prompts.openFiles.push_back(std::vector<std::string>{dir.path().string() + "//a.mp3"});
    OpenFiles(context);
    EXPECT_EQ(table.songPaths().size(), 2u);
}

TEST_F(LoadingTest, OpenFilesStopsRightAfterThe999thSong) {
    const std::string a = Song("a.mp3");
    const std::string b = Song("b.mp3");
    const std::string c = Song("c.mp3");
    FillTable(997);
    prompts.openFiles.push_back(std::vector<std::string>{a, b, c});
    OpenFiles(context);
    EXPECT_EQ(table.songCount(), 999);
    EXPECT_EQ(table.songPaths().back(), b);
    EXPECT_EQ(prompts.messages, std::vector<Message>{Reached()});

    // Full: refused before the dialog.
    prompts.messages.clear();
    OpenFiles(context);
    EXPECT_EQ(prompts.openDialogs.size(), 1u);
    EXPECT_EQ(prompts.messages, std::vector<Message>{Full()});
}

TEST_F(LoadingTest, OpenFilesMessageComesEvenWhenThe999thIsTheLastFile) {
    FillTable(998);
    prompts.openFiles.push_back(std::vector<std::string>{Song("a.mp3")});
    OpenFiles(context);
    EXPECT_EQ(prompts.messages, std::vector<Message>{Reached()});
}

TEST_F(LoadingTest, OpenFolderTakesMp3EntriesSortedWithoutCase) {
    const std::string folder = Folder("music");
    for (const char* name : {"b.mp3", "B.mp3", "a.MP3", "_c.mp3", "C.Mp3", "x.txt", "y.mp3.bak"}) {
        dir.Write(std::string("music/") + name, test::SongBytes(1));
    }
    Folder("music/sub.mp3");  // an entry that is no file: reported, not entered
    Folder("music/deeper");
    dir.Write("music/deeper/z.mp3", test::SongBytes(1));
    prompts.folders.push_back({false, folder});
    OpenFolder(context);

    EXPECT_EQ(prompts.folderTitles,
              std::vector<std::string>{CpText(
                  "mp3ファイルを取得するフォルダを選択してください\n(m3uは読み込みません)")});
    const std::string base = folder + "/";
    // Letters fold to upper case, so '_' comes after them, as the listing of NTFS has it.
    EXPECT_EQ(table.songPaths(),
              (std::vector<std::string>{base + "a.MP3", base + "B.mp3", base + "b.mp3",
                                        base + "C.Mp3", base + "_c.mp3"}));
    EXPECT_EQ(prompts.messages, std::vector<Message>{Failures("\nsub.mp3")});
}

TEST_F(LoadingTest, OpenFolderCollectsFailuresIntoOneMessage) {
    const std::string folder = Folder("m");
    dir.Write("m/1.mp3", "junk");
    dir.Write("m/2.mp3", test::SongBytes(3));
    dir.Write("m/3.mp3", "");
    // A trailing '/' gets no second one.
    prompts.folders.push_back({false, folder + "/"});
    OpenFolder(context);
    EXPECT_EQ(table.songPaths(), std::vector<std::string>{folder + "/2.mp3"});
    EXPECT_EQ(prompts.messages, std::vector<Message>{Failures("\n1.mp3\n3.mp3")});
}

TEST_F(LoadingTest, OpenFolderRefusals) {
    const std::string empty = Folder("empty");
    dir.Write("empty/a.m3u", "x.mp3\n");
    const Message noMp3 =
        Msg(CpText("このフォルダにはmp3ファイルがありません"), "エラー", MessageIcon::Information);
    struct Case {
        FolderChoice choice;
        std::vector<Message> messages;
    } cases[] = {
        {FolderChoice{true, std::nullopt}, {}},
        {FolderChoice{false, std::nullopt},
         {Msg(CpText("フォルダが取得できませんでした"), "エラー", MessageIcon::Warning)}},
        {FolderChoice{false, empty}, {noMp3}},
        {FolderChoice{false, dir.File("no-such-folder")}, {noMp3}},
    };
    for (const Case& c : cases) {
        prompts.messages.clear();
        prompts.folders.push_back(c.choice);
        OpenFolder(context);
        EXPECT_EQ(prompts.messages, c.messages);
    }
    EXPECT_EQ(table.songCount(), 0);
}

TEST_F(LoadingTest, OpenFolderStopsBeforeThe1000thEntry) {
    const std::string folder = Folder("many");
    const std::string bytes = test::SongBytes(0);
    for (int i = 0; i < 1000; ++i) dir.Write("many/" + std::to_string(1000 + i) + ".mp3", bytes);
    prompts.folders.push_back({false, folder});
    OpenFolder(context);
    EXPECT_EQ(table.songCount(), 999);
    EXPECT_EQ(table.songPaths().back(), folder + "/1998.mp3");
    EXPECT_EQ(prompts.messages, std::vector<Message>{Reached()});

    // Full: refused before the browser.
    prompts.messages.clear();
    OpenFolder(context);
    EXPECT_EQ(prompts.folderTitles.size(), 1u);
    EXPECT_EQ(prompts.messages, std::vector<Message>{Full()});
}

TEST_F(LoadingTest, OpenFolderSaysNothingWhenThe999thIsTheLastEntry) {
    const std::string folder = Folder("two");
    dir.Write("two/a.mp3", test::SongBytes(0));
    dir.Write("two/b.mp3", test::SongBytes(0));
    FillTable(997);
    prompts.folders.push_back({false, folder});
    OpenFolder(context);
    EXPECT_EQ(table.songCount(), 999);
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(LoadingTest, DropTakesExtensionsWithoutCaseAndIgnoresTheRest) {
    const std::string a = Song("a.MP3");
    const std::string b = Song("b.mp3");
    const std::string list = dir.Write("l.M3U", "b.mp3\n");
    dir.Write("notes.txt", test::SongBytes(0));
    DropFiles(context, {dir.File("notes.txt"), Folder("folder"), a, list, Junk("j.mp3"),
                        dir.File("gone.Mp3"), "mp3"});
    EXPECT_EQ(table.songPaths(), (std::vector<std::string>{a, b}));
    const std::vector<Message> expected = {
        Msg(CpText("ファイル情報を取得できませんでした"), "エラー", MessageIcon::Warning),
        Msg(CpText("ファイルを読み込めませんでした"), "エラー", MessageIcon::Warning),
    };
    EXPECT_EQ(prompts.messages, expected);
}

TEST_F(LoadingTest, DropStopsAtTheLimit) {
    const std::string a = Song("a.mp3");
    const std::string b = Song("b.mp3");
    FillTable(998);
    DropFiles(context, {a, b});
    EXPECT_EQ(table.songPaths().back(), a);
    EXPECT_EQ(prompts.messages, std::vector<Message>{Reached()});
    prompts.messages.clear();
    DropFiles(context, {b});
    EXPECT_EQ(prompts.messages, std::vector<Message>{Full()});
    EXPECT_EQ(table.songCount(), 999);
}

TEST_F(LoadingTest, PlaylistLoadsItsLinesInOrder) {
    const std::string a = Song("a.mp3", 2);
    Folder("sub");
    const std::string b = dir.Write("sub/b.mp3", test::SongBytes(3));
    const std::string c = Song("c.mp3", 4);
    const std::string list = dir.Write("l.m3u",
                                       "\xEF\xBB\xBF#EXTM3U\r\n"
                                       "#EXTINF:2,a\r\n"
                                       "a.mp3\r\n"
                                       "sub/b.mp3\n" +
                                           c +
                                           "\r\n"
                                           "x#.mp3\n"
                                           "\n"
                                           "sub/missing.mp3");
    LoadPlaylist(context, list);
    EXPECT_EQ(table.songPaths(), (std::vector<std::string>{Base() + "a.mp3", b, c}));
    EXPECT_EQ(table.entries()[1], CpText("  0：03  b.mp3"));
    // "#" inside a line is a path; a blank line fails with an empty name.
    EXPECT_EQ(prompts.messages, std::vector<Message>{Failures("\nx#.mp3\n\nmissing.mp3")});
}

TEST_F(LoadingTest, PlaylistThatCannotBeReadEndsOnlyItself) {
    const std::string a = Song("a.mp3");
    prompts.openFiles.push_back(std::vector<std::string>{dir.File("gone.m3u"), a});
    OpenFiles(context);
    EXPECT_EQ(table.songPaths(), std::vector<std::string>{a});
    EXPECT_EQ(prompts.messages,
              std::vector<Message>{Msg(CpText("m3uファイルを読み込めませんでした"), "エラー",
                                       MessageIcon::Warning)});
}

TEST_F(LoadingTest, PlaylistTestsTheLimitBeforeEveryLine) {
    Song("a.mp3");
    Song("b.mp3");
    struct Case {
        const char* text;
        bool message;
    } cases[] = {
        {"a.mp3\n", false},
        {"a.mp3\n#EXTINF:1,b\n", true},  // a comment line still counts as more to read
        {"a.mp3\nb.mp3\n", true},
    };
    for (const Case& c : cases) {
        table.Clear();
        prompts.messages.clear();
        FillTable(998);
        const std::string list = dir.Write("l.m3u", c.text);
        // Dropped and then the song after it: the drop ends with the playlist at 999.
        DropFiles(context, {list, Song("z.mp3")});
        EXPECT_EQ(table.songCount(), 999) << c.text;
        EXPECT_EQ(table.songPaths().back(), Base() + "a.mp3") << c.text;
        EXPECT_EQ(prompts.messages.size(), c.message ? 1u : 0u) << c.text;
        if (c.message) {
            EXPECT_EQ(prompts.messages[0], Reached());
        }
    }
}

TEST_F(LoadingTest, ShiftJisNamesKeepTheirBytes) {
    ScopedCodePage sjis{CodePage(CodePage::Kind::Cp932)};
    const std::string folder = Folder("\xE8\xA1\xA8");               // 表 on disk (UTF-8)
    dir.Write("\xE8\xA1\xA8/\xE3\x82\xBD.mp3", "junk");              // ソ.mp3
    dir.Write("\xE8\xA1\xA8/\xE3\x81\x82.mp3", test::SongBytes(1));  // あ.mp3
    const std::string sjisFolder = dir.path().string() + "/\x95\x5C";
    prompts.folders.push_back({false, sjisFolder});
    OpenFolder(context);
    EXPECT_EQ(table.songPaths(), std::vector<std::string>{sjisFolder + "/\x82\xA0.mp3"});
    EXPECT_EQ(table.entries(), std::vector<std::string>{"  0\x81\x46"
                                                        "01  \x82\xA0.mp3"});
    EXPECT_EQ(prompts.messages, std::vector<Message>{Failures("\n\x83\x5C.mp3")});
}

// Windows-style playlists on this system: the first candidate names no file here, so the
// raw-line retry is what loads the song, and the table stores the drive-prefixed form.
TEST_F(LoadingTest, WindowsPlaylistRetriesTheRawLineWithTheDrive) {
    SongTable windowsTable(PathStyle::Windows);
    LoadContext windows{windowsTable, settings, prompts};
    const std::string a = Song("a.mp3");
    const std::string list = dir.Write("l.m3u", a + "\r\n" + a + "\r\nnothing\\x.mp3\r\n");
    settings.zyuuhuku = 1;
    LoadPlaylist(windows, list);
    const std::string stored = list.substr(0, 2) + a;
    EXPECT_EQ(windowsTable.songPaths(), std::vector<std::string>{stored});
    EXPECT_EQ(windowsTable.entries(), std::vector<std::string>{CpText("  0：00  ") + stored});
    EXPECT_EQ(prompts.messages, std::vector<Message>{Failures("\nx.mp3")});
}

// Everything a user sees of a session of loads: the table, its totals and every message.
struct Seen {
    std::vector<std::string> paths, entries;
    int count;
    std::uint32_t seconds, kb;
    std::vector<Message> messages;
    bool operator==(const Seen&) const = default;
};

// Reading ahead on several threads changes nothing the user sees: failures, duplicates, a
// playlist inside a selection and a folder past the 999 limit, with 0 (each file read when it
// is added), 1 and 8 workers.
TEST_F(LoadingTest, WorkersChangeNothingTheUserSees) {
    const std::string a = Song("a.mp3", 3), b = Song("b.mp3", 4), j = Junk("j.mp3");
    const std::string list = dir.Write("l.m3u", "a.mp3\nb.mp3\nj.mp3\ngone.mp3\nc.mp3\n");
    const std::string c = Song("c.mp3", 5);
    Folder("many");
    for (int i = 0; i < 1010; ++i) {
        const std::string name = "many/" + std::to_string(1000 + i) + ".mp3";
        if (i % 97 == 5) {
            dir.Write(name, "junk");
        } else {
            dir.Write(name, test::SongBytes(i % 7));
        }
    }
    settings.zyuuhuku = 1;
    auto run = [&](unsigned workers) {
        table.Clear();
        prompts.messages.clear();
        LoadContext load{table, settings, prompts, nullptr, workers};
        prompts.openFiles.push_back(
            std::vector<std::string>{a, a, j, dir.File("gone.mp3"), list, b});
        OpenFiles(load);
        DropFiles(load, {c, b, j, list, dir.File("x.MP3")});
        prompts.folders.push_back({false, dir.File("many")});
        OpenFolder(load);
        return Seen{table.songPaths(),    table.entries(), table.songCount(),
                    table.totalSeconds(), table.totalKB(), prompts.messages};
    };
    const Seen inline_ = run(0);
    EXPECT_EQ(inline_.count, 999);
    EXPECT_EQ(inline_.messages.size(), 8u);
    EXPECT_EQ(inline_.messages[6], Reached());  // then the folder's failures
    for (unsigned workers : {1u, 8u}) EXPECT_EQ(run(workers), inline_) << workers;
}

// Follows a load, and may stop it once `stopAfter` paths are done.
struct Watcher : LoadObserver {
    std::vector<std::pair<std::size_t, std::size_t>> seen;
    std::size_t stopAfter = SIZE_MAX;
    std::function<void(std::size_t done)> onProgress;
    void Progress(std::size_t done, std::size_t total) override {
        seen.emplace_back(done, total);
        if (onProgress) onProgress(done);
    }
    bool StopRequested() override { return !seen.empty() && seen.back().first >= stopAfter; }
};

// A slow source: the first read waits until the load has reported progress while waiting for it,
// so the test proves the window is told (and can paint) during a read, without any timing.
TEST_F(LoadingTest, ASlowSourceReportsProgressWhileItWaits) {
    Folder("f");
    std::vector<std::string> expected;
    for (int i = 0; i < 6; ++i) {
        const std::string name = "f/" + std::to_string(i) + ".mp3";
        if (i == 2) {
            dir.Write(name, "junk");
        } else {
            expected.push_back(dir.Write(name, test::SongBytes(i)));
        }
    }
    std::mutex mutex;
    std::condition_variable released;
    bool shown = false;
    Watcher watcher;
    watcher.onProgress = [&](std::size_t) {
        const std::lock_guard lock(mutex);
        shown = true;
        released.notify_all();
    };
    // The first song's read ends only once the flow has shown progress while waiting for it.
    const auto slow = [&](const std::string& path) {
        if (path.ends_with("/0.mp3")) {
            std::unique_lock lock(mutex);
            released.wait(lock, [&] { return shown; });
        }
        return ScanSongFile(path);
    };
    LoadContext load{table, settings, prompts, &watcher, 4, slow};
    prompts.folders.push_back({false, dir.File("f")});
    OpenFolder(load);
    EXPECT_EQ(table.songPaths(), expected);
    EXPECT_EQ(prompts.messages, std::vector<Message>{Failures("\n2.mp3")});
    // Progress was shown for every song, and the count ends complete.
    for (std::size_t done = 0; done < 6; ++done) {
        EXPECT_NE(std::find(watcher.seen.begin(), watcher.seen.end(), std::pair{done, 6ul}),
                  watcher.seen.end())
            << done;
    }
    EXPECT_EQ(watcher.seen.back(), (std::pair{6ul, 6ul}));
}

// Stopped mid-load (the window closed): what was added stays with its totals, and nothing more
// is asked, not even the failures so far.
TEST_F(LoadingTest, AStoppedLoadKeepsTheListConsistentWithItsTotals) {
    Folder("f");
    for (int i = 0; i < 20; ++i) {
        dir.Write("f/" + std::to_string(10 + i) + ".mp3",
                  i == 1 ? std::string("junk") : test::SongBytes(i + 1));
    }
    Watcher watcher;
    watcher.stopAfter = 5;
    LoadContext load{table, settings, prompts, &watcher};
    prompts.folders.push_back({false, dir.File("f")});
    OpenFolder(load);
    EXPECT_TRUE(prompts.messages.empty());
    ASSERT_EQ(table.songCount(), 4);  // 10, 12, 13, 14: 11 is junk
    EXPECT_EQ(table.entries().size(), 4u);
    EXPECT_EQ(table.songPaths().back(), dir.File("f/14.mp3"));
    EXPECT_EQ(table.totalSeconds(), 1u + 3 + 4 + 5);
    EXPECT_EQ(table.totalTimeText(), CpText("0：13"));
}

// A name the code page cannot hold is no file the program can open: it is counted among the
// failures, with '?' for what did not convert, and a folder of only such names is not "empty".
TEST_F(LoadingTest, OpenFolderListsNamesTheCodePageCannotHold) {
    ScopedCodePage sjis{CodePage(CodePage::Kind::Cp932)};
    Folder("m");
    dir.Write("m/\xF0\x9F\x8E\xB5.mp3", test::SongBytes(1));  // 🎵.mp3
    dir.Write(
        "m/a\xF0\x9F\x8E\xB5"
        "b.mp3",
        test::SongBytes(1));  // a🎵b.mp3
    dir.Write("m/\xF0\x9F\x8E\xB5.txt", "x");
    dir.Write("m/c.mp3", test::SongBytes(1));
    prompts.folders.push_back({false, dir.File("m")});
    OpenFolder(context);
    EXPECT_EQ(table.songPaths(), std::vector<std::string>{dir.File("m/c.mp3")});
    EXPECT_EQ(prompts.messages, std::vector<Message>{Failures("\n?.mp3\na?b.mp3")});

    std::filesystem::remove(dir.path() / "m/c.mp3");
    std::filesystem::remove(dir.path() /
                            "m/a\xF0\x9F\x8E\xB5"
                            "b.mp3");
    table.Clear();
    prompts.messages.clear();
    prompts.folders.push_back({false, dir.File("m")});
    OpenFolder(context);
    EXPECT_EQ(prompts.messages, std::vector<Message>{Failures("\n?.mp3")});
}

}  // namespace
}  // namespace sorrelbox
