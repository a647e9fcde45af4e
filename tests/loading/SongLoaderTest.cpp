#include "loading/SongLoader.h"

#include <gtest/gtest.h>

#include <atomic>
#include <iterator>
#include <sstream>

#include "loading/FolderEntries.h"
#include "loading/PlaylistLine.h"
#include "support/Messages.h"
#include "support/Mp3Builder.h"
#include "support/TempDir.h"

namespace sorrelbox::test {
namespace {

using Paths = std::vector<std::string>;
using Messages = std::vector<Message>;

Paths Split(const std::string& words) {
    std::istringstream in(words);
    return Paths(std::istream_iterator<std::string>(in), {});
}
Message Failures(std::string_view names) {
    return {Failure("読み込めなかったファイルがあります").text + std::string(names),
            CpText("エラー"), MessageIcon::Warning, MessageButtons::Ok};
}
// R reached 999, F full, E no mp3 in the folder, G no folder, M playlist unread, n:NAME not
// read, i:NAME no header (no name in a drop), L/A//B failure list ('/' for a line end).
Messages Said(const std::string& codes) {
    Messages said;
    for (std::string c : Split(codes)) {
        const std::string name = c.size() > 2 ? c.substr(2) + "\n" : "";
        if (c == "R")
            said.push_back({CpText("総曲数が999曲に達しました、読み込みを終了します"),
                            CpText("確認"), MessageIcon::Information, MessageButtons::Ok});
        if (c == "F") said.push_back(Refusal("999曲までしか読み込めません"));
        if (c == "E") said.push_back(Refusal("このフォルダにはmp3ファイルがありません"));
        if (c == "G") said.push_back(Failure("フォルダが取得できませんでした"));
        if (c == "M") said.push_back(Failure("m3uファイルを読み込めませんでした"));
        if (c[0] == 'n') said.push_back(Failure(name + "ファイルを読み込めませんでした"));
        if (c[0] == 'i') said.push_back(Failure(name + "ファイル情報を取得できませんでした"));
        std::ranges::replace(c, '/', '\n');
        if (c[0] == 'L') said.push_back(Failures(c.substr(1)));
    }
    return said;
}

// Also the window that follows a load, and stops it once `stopAfter` paths are done.
class LoadingTest : public ::testing::Test, public LoadObserver {
  protected:
    void Progress(std::size_t done, std::size_t total) override {
        seen.emplace_back(done, total);
        shown = true;
        shown.notify_all();
    }
    bool StopRequested() override { return !seen.empty() && seen.back().first >= stopAfter; }
    // Writes name and its folders; a name ending in '/' is only a folder.
    std::string Put(const std::string& name, const std::string& bytes) {
        std::filesystem::create_directories((dir.path() / name).parent_path());
        return name.ends_with('/') ? dir.File(name) : dir.Write(name, bytes);
    }
    std::string Song(const std::string& name, unsigned seconds = 1) {
        return Put(name, CbrFile(16000 * seconds));
    }
    // Empties the table, messages and answers, then fills the table to count songs.
    void Reset(std::size_t count) {
        table.Clear();
        prompts = ScriptedPrompts();
        seen.clear();
        const std::string filler = Song("filler.mp3", 0);
        while (table.songPaths().size() < count)
            ASSERT_EQ(AddSongFile(table, filler), ScanResult::ScanOk);
    }
    // The paths past the first `from`, below the folder.
    Paths Added(std::size_t from) const {
        Paths names;
        for (std::size_t i = from; i < table.songPaths().size(); ++i)
            names.push_back(table.songPaths()[i].substr(base.size()));
        return names;
    }

    TempDir dir;
    const std::string base = dir.path().string() + "/";
    SongTable table{PathStyle::Posix};
    Settings settings;
    ScriptedPrompts prompts;
    LoadContext context{table, settings, prompts};
    std::vector<std::pair<std::size_t, std::size_t>> seen;
    std::size_t stopAfter = SIZE_MAX;
    std::atomic<bool> shown = false;
};

// Flows: F open files, D drop, P playlist, O open folder once per argument ("-": no folder
// comes back). Each row with and without reading ahead.
TEST_F(LoadingTest, FlowsTakeTheirSongsInOrderWithTheirMessages) {
    // NAME=BYTES ('|' for a line end); a song without bytes; NAME ending in '/' is a folder.
    for (std::string file :
         Split("a.mp3 a.MP3 b.mp3 c.mp3 notes.txt sub/b.mp3 music/b.mp3 music/B.mp3 music/a.MP3 "
               "music/_c.mp3 music/C.Mp3 music/x.txt music/y.mp3.bak music/deeper/z.mp3 m/2.mp3 "
               "music/sub.mp3/= empty/a.m3u=a.mp3 m/1.mp3=junk m/3.mp3= j.mp3=junk a.M3U=a.mp3 "
               "l.m3u=a.mp3|b.mp3 l.M3U=b.mp3 p1.m3u=a.mp3 p2.m3u=a.mp3|#EXTINF:1,b")) {
        std::ranges::replace(file, '|', '\n');
        const std::size_t eq = file.find('=');
        eq == std::string::npos ? Song(file) : Put(file.substr(0, eq), file.substr(eq + 1));
    }
    Put("pl.m3u", "\xEF\xBB\xBF#EXTM3U\r\n#EXTINF:2,a\r\na.mp3\r\nsub/b.mp3\n" + base +
                      "c.mp3\r\nx#.mp3\n\nsub/missing.mp3");
    const struct {
        std::uint8_t zyuuhuku;
        std::size_t fill;
        char flow;
        std::string args, added, said;
    } rows[] = {
        {0, 0, 'F', "gone.mp3 a.mp3 j.mp3 a.M3U", "a.mp3", "n:gone.mp3 i:j.mp3 i:a.M3U"},
        {0, 0, 'F', "gone.m3u a.mp3", "a.mp3", "M"},
        {0, 0, 'F', "a.mp3 a.mp3 l.m3u", "a.mp3 a.mp3 a.mp3 b.mp3", ""},
        // Another spelling of a path is no duplicate; 2 counts as off.
        {1, 0, 'F', "a.mp3 a.mp3 l.m3u /a.mp3", "a.mp3 b.mp3 /a.mp3", ""},
        {2, 0, 'F', "a.mp3 a.mp3", "a.mp3 a.mp3", ""},
        {0, 997, 'F', "a.mp3 b.mp3 c.mp3", "a.mp3 b.mp3", "R"},
        {0, 998, 'F', "a.mp3", "a.mp3", "R"},
        {0, 998, 'F', "p1.m3u b.mp3", "a.mp3", ""},
        {0, 999, 'F', "a.mp3", "", "F"},
        {0, 0, 'D', "notes.txt m a.MP3 l.M3U j.mp3 gone.Mp3", "a.MP3 b.mp3", "i n"},
        {1, 0, 'D', "b.mp3 l.m3u b.mp3", "b.mp3 a.mp3", ""},
        {0, 998, 'D', "a.mp3 b.mp3", "a.mp3", "R"},
        {0, 999, 'D', "b.mp3", "", "F"},
        // A playlist tests the limit before every line, comments included.
        {0, 998, 'D', "p1.m3u c.mp3", "a.mp3", ""},
        {0, 998, 'D', "p2.m3u c.mp3", "a.mp3", "R"},
        {0, 998, 'D', "l.m3u c.mp3", "a.mp3", "R"},
        // "#" inside a line is a path; a blank line fails with an empty name.
        {0, 0, 'P', "pl.m3u", "a.mp3 sub/b.mp3 c.mp3", "L/x#.mp3//missing.mp3"},
        {0, 0, 'O', "- empty none", "", "G E E"},
        // Letters fold to upper case, so '_' comes after them; no subfolders.
        {0, 0, 'O', "music", "music/a.MP3 music/B.mp3 music/b.mp3 music/C.Mp3 music/_c.mp3",
         "L/sub.mp3"},
        {0, 0, 'O', "m/", "m/2.mp3", "L/1.mp3/3.mp3"},
        {1, 0, 'O', "music/deeper music/deeper", "music/deeper/z.mp3", ""},
        {0, 997, 'O', "music", "music/a.MP3 music/B.mp3", "R"},
        {0, 998, 'O', "music/deeper", "music/deeper/z.mp3", ""},
        {0, 999, 'O', "music", "", "F"},
    };
    for (const auto& r : rows) {
        for (unsigned workers : {0u, 8u}) {
            SCOPED_TRACE(testing::Message() << r.flow << " " << r.args << ", workers " << workers);
            Reset(r.fill);
            settings.zyuuhuku = r.zyuuhuku;
            LoadContext load{table, settings, prompts, nullptr, workers};
            Paths paths;
            for (const std::string& arg : Split(r.args)) paths.push_back(base + arg);
            if (r.flow == 'F') prompts.openFiles.push_back(paths);
            if (r.flow == 'F') OpenFiles(load);
            if (r.flow == 'F' && r.fill < 999) {
                EXPECT_TRUE(prompts.openDialogs.at(0).multiSelect);
            }
            if (r.flow == 'D') DropFiles(load, paths);
            if (r.flow == 'P') LoadPlaylist(load, paths[0]);
            for (std::size_t i = 0; r.flow == 'O' && i < paths.size(); ++i) {
                prompts.folders.push_back(
                    {false, r.args[0] == '-' && i == 0 ? std::nullopt : std::optional(paths[i])});
                OpenFolder(load);
            }
            EXPECT_EQ(Added(r.fill), Split(r.added));
            EXPECT_EQ(prompts.messages, Said(r.said));
        }
    }
}

// Reading ahead changes nothing the user sees, past the read-ahead window and the limit: with
// 0 (each file read when it is added), 1 and 8 workers, and with 4 workers whose first read
// ends only once the load has shown progress while waiting for it (the window is told, and can
// paint, during a slow read: proven without timing). Stopped (the window closed), what was
// added stays with its totals and nothing more is asked, not even the failures so far.
TEST_F(LoadingTest, ReadingAheadChangesNothingTheUserSees) {
    for (int i = 0; i < 1020; ++i) {
        const std::string name = "f/" + std::to_string(1000 + i) + ".mp3";
        i % 97 == 2 ? Put(name, "junk") : Song(name, i % 3);
    }
    const auto load = [&](unsigned workers, LoadObserver* observer, std::size_t stop = SIZE_MAX) {
        Reset(0);
        stopAfter = stop;
        LoadContext load{table, settings, prompts, observer, workers, [&](const std::string& path) {
                             if (observer && path.ends_with("/1000.mp3")) shown.wait(false);
                             return ScanSongFile(path);
                         }};
        prompts.folders.push_back({false, dir.File("f")});
        OpenFolder(load);
        return std::tuple(table.songPaths(), table.entries(), table.totalSeconds(), table.totalKB(),
                          prompts.messages);
    };
    const auto inline_ = load(0, nullptr);
    EXPECT_EQ(std::get<0>(inline_).size(), 999u);
    EXPECT_EQ(std::get<4>(inline_).at(0), Said("R")[0]);
    for (unsigned workers : {1u, 8u}) EXPECT_EQ(load(workers, nullptr), inline_) << workers;
    EXPECT_EQ(load(4, this), inline_);
    for (std::size_t done = 0; done < 1000; ++done)
        EXPECT_NE(std::ranges::find(seen, std::pair{done, 1020ul}), seen.end()) << done;
    load(4, this, 5);
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_EQ(Added(0), Split("f/1000.mp3 f/1001.mp3 f/1003.mp3 f/1004.mp3"));
    EXPECT_EQ(table.totalTimeText(), CpText("0：02"));
}

// Windows playlists here: the first candidate names no file, so the raw-line retry loads the
// song, and the table stores the drive-prefixed form.
TEST_F(LoadingTest, WindowsPlaylistRetriesTheRawLineWithTheDrive) {
    SongTable windows(PathStyle::Windows);
    LoadContext load{windows, settings, prompts};
    const std::string a = Song("a.mp3", 0), stored = base.substr(0, 2) + a;
    settings.zyuuhuku = 1;
    LoadPlaylist(load, Put("l.m3u", a + "\r\n" + a + "\r\nnothing\\x.mp3\r\n"));
    EXPECT_EQ(windows.songPaths(), Paths{stored});
    EXPECT_EQ(windows.entries(), Paths{CpText("  0：00  ") + stored});
    EXPECT_EQ(prompts.messages, Said("L/x.mp3"));
}

// Shift-JIS names keep their bytes; a name the code page cannot hold is a failure with '?' for
// what did not convert, and a folder of only such names is not "empty".
TEST_F(LoadingTest, OpenFolderInShiftJis) {
    ScopedCodePage sjis{CodePage(CodePage::Kind::Cp932)};
    Put("\xE8\xA1\xA8/\xE3\x82\xBD.mp3", "junk");  // 表/ソ.mp3 on disk (UTF-8)
    for (const char* name :
         {"\xE3\x81\x82.mp3", "a\xF0\x9F\x8E\xB5.mp3", "only/\xF0\x9F\x8E\xB5.mp3"})
        Song(std::string("\xE8\xA1\xA8/") + name);  // あ.mp3, a🎵.mp3, only/🎵.mp3
    prompts.folders = {{false, base + "\x95\x5C"}, {false, base + "\x95\x5C/only"}};
    OpenFolder(context);
    OpenFolder(context);
    EXPECT_EQ(table.entries(), Paths{"  0\x81\x46"
                                     "01  \x82\xA0.mp3"});
    EXPECT_EQ(Added(0), Paths{"\x95\x5C/\x82\xA0.mp3"});
    EXPECT_EQ(prompts.messages,
              (Messages{Failures("\na?.mp3\n\x83\x5C.mp3"), Failures("\n?.mp3")}));
}

using Lines = std::vector<std::string>;
constexpr PathStyle W = PathStyle::Windows, P = PathStyle::Posix;

// The loading tests load POSIX playlists from files; here the Windows rules and the edges.
TEST(PlaylistLineTest, PlansEachLine) {
    const struct {
        PathStyle style;
        const char *line, *playlist, *candidate, *retryTable, *failureName;
    } rows[] = {
        {W, "C:\\m\\a.mp3", "D:\\l\\x.m3u", "C:\\m\\a.mp3", "D:C:\\m\\a.mp3", "a.mp3"},
        {W, "sub\\a.mp3", "D:\\l\\x.m3u", "D:\\l\\sub\\a.mp3", "D:sub\\a.mp3", "a.mp3"},
        // Found on the current drive by the retry and stored with the playlist's drive.
        {W, "\\m\\a.mp3", "D:\\l\\x.m3u", "D:\\l\\\\m\\a.mp3", "D:\\m\\a.mp3", "a.mp3"},
        {W, "", "D:\\l\\x.m3u", "D:\\l\\", "D:", ""},
        {W, "ab:c.mp3", "D:\\x.m3u", "D:\\ab:c.mp3", "D:ab:c.mp3", "ab:c.mp3"},  // ':' not 2nd
        {W, "a.mp3\r", "D:\\x.m3u", "D:\\a.mp3", "D:a.mp3\r", "a.mp3\r"},
        {W, "a.mp3", "x.m3u", "\\a.mp3", "x.a.mp3", "a.mp3"},  // playlist without a folder
        {P, "a\r.mp3", "/l/x.m3u", "/l/a.mp3", nullptr, "a\r.mp3"},
        {P, "a.mp3", "x.m3u", "a.mp3", nullptr, "a.mp3"},
        {P, "C:\\a.mp3", "/l/x.m3u", "/l/C:\\a.mp3", nullptr, "C:\\a.mp3"},
    };
    for (const auto& r : rows) {
        const PlaylistLinePlan p = PlanPlaylistLine(r.line, r.playlist, r.style);
        EXPECT_EQ(std::tuple(p.comment, p.candidate, p.retryScanPath.value_or("-"),
                             p.retryTablePath, p.failureName),
                  std::tuple(false, r.candidate, r.retryTable ? r.line : "-",
                             r.retryTable ? r.retryTable : "", r.failureName));
    }
    EXPECT_TRUE(PlanPlaylistLine("#EXTINF:1,x", "D:\\x.m3u", W).comment);
    EXPECT_FALSE(PlanPlaylistLine(" #x", "D:\\x.m3u", W).comment);
    EXPECT_EQ(SplitPlaylistLines("a\rb\n\n"), (Lines{"a\rb", ""}));
    // Shift-JIS: the BOM stays; 表 ends in 0x5C, and the folder is cut at the real backslash.
    ScopedCodePage sjis{CodePage(CodePage::Kind::Cp932)};
    EXPECT_EQ(SplitPlaylistLines("\xEF\xBB\xBF."), Lines{"\xEF\xBB\xBF."});
    const PlaylistLinePlan plan = PlanPlaylistLine("\x83\x5C.mp3", "D:\\\x95\x5C\\x.m3u", W);
    EXPECT_EQ(plan.candidate + "|" + plan.failureName, "D:\\\x95\x5C\\\x83\x5C.mp3|\x83\x5C.mp3");
}

TEST(FolderEntriesTest, MatchingOrderAndJoining) {
    // Folded letters past the first too: 'B' before '_', though 'b' is after it.
    EXPECT_EQ(
        SelectMp3Entries({"b.mp3", "a_.mp3", "ab.mp3", "[.mp3", "Z.mp3", ".mp3", "mp3", "x.mp3 "}),
        (Lines{".mp3", "ab.mp3", "a_.mp3", "b.mp3", "Z.mp3", "[.mp3"}));
    EXPECT_EQ(JoinFolderEntry("C:\\m", "a.mp3", W), "C:\\m\\a.mp3");
    EXPECT_EQ(JoinFolderEntry("C:\\", "a.mp3", W), "C:\\\\a.mp3");
    EXPECT_EQ(JoinFolderEntry("/", "a.mp3", P), "/a.mp3");
}

}  // namespace
}  // namespace sorrelbox::test
