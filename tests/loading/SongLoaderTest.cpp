#include "loading/SongLoader.h"

#include <gtest/gtest.h>

#include <atomic>
#include <iterator>
#include <map>
#include <sstream>

#include "loading/PlaylistLine.h"
#include "support/Messages.h"
#include "support/Mp3Builder.h"
#include "support/TempDir.h"

namespace sorrelbox::test {
namespace {

using Paths = std::vector<std::string>;

Paths Split(const std::string& words) {
    std::istringstream in(words);
    return Paths(std::istream_iterator<std::string>(in), {});
}
// R reached 999, F full, E no mp3 in the folder, G no folder, M playlist unread; n not read and
// i no header, after NAME in a selection (nNAME); L the failure list ('/' for a line end).
std::vector<Message> Said(const std::string& codes) {
    const std::map<char, Message> kinds = {
        {'R',
         {CpText("総曲数が999曲に達しました、読み込みを終了します"), CpText("確認"),
          MessageIcon::Information, MessageButtons::Ok}},
        {'F', Refusal("999曲までしか読み込めません")},
        {'E', Refusal("このフォルダにはmp3ファイルがありません")},
        {'G', Failure("フォルダが取得できませんでした")},
        {'M', Failure("m3uファイルを読み込めませんでした")},
        {'n', Failure("ファイルを読み込めませんでした")},
        {'i', Failure("ファイル情報を取得できませんでした")},
        {'L', Failure("読み込めなかったファイルがあります")}};
    std::vector<Message> said;
    for (std::string code : Split(codes)) {
        std::ranges::replace(code, '/', '\n');
        said.push_back(kinds.at(code[0]));
        if (code[0] == 'L') said.back().text += code.substr(1);
        if (code[0] != 'L' && code.size() > 1) said.back().text.insert(0, code.substr(1) + "\n");
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
    // Writes name (a song of `seconds` without bytes) and its folders.
    std::string Put(const std::string& name, std::optional<std::string> bytes, int seconds = 1) {
        std::filesystem::create_directories((dir.path() / name).parent_path());
        return dir.Write(name, bytes.value_or(CbrFile(16000 * seconds)));
    }
    // Empties the table, messages and answers, then fills the table to count songs.
    void Reset(std::size_t count) {
        table.Clear();
        prompts = ScriptedPrompts();
        seen.clear();
        const std::string filler = Put("filler.mp3", std::nullopt, 0);
        while (table.songPaths().size() < count)
            ASSERT_EQ(AddSongFile(table, filler), ScanResult::ScanOk);
    }
    // The words as paths below the folder.
    Paths Below(const std::string& words) const {
        Paths paths = Split(words);
        for (std::string& path : paths) path.insert(0, base);
        return paths;
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

// Flows: F open files, D drop, O open folder once per argument ("-": no folder comes back).
// In Shift-JIS: names on disk are UTF-8, 表 is "\x95\x5C", あ "\x82\xA0", ソ "\x83\x5C".
TEST_F(LoadingTest, FlowsTakeTheirSongsInOrderWithTheirMessages) {
    ScopedCodePage sjis{CodePage(CodePage::Kind::Cp932)};
    // NAME=BYTES ('|' for a line end); a song without bytes.
    for (std::string file :
         Split("a.mp3 a.MP3 b.mp3 c.mp3 notes.txt sub/b.mp3 music/b.mp3 music/B.mp3 music/a.MP3 "
               "music/_c.mp3 music/C.Mp3 music/x.txt music/y.mp3.bak music/deeper/z.mp3 "
               "music/sub.mp3/z.mp3 empty/a.m3u=a.mp3 j.mp3=junk a.M3U=a "
               "l.m3u=a.mp3|b.mp3 l.M3U=b.mp3 p1.m3u=a.mp3 p2.m3u=a.mp3|#EXTINF:1,b 表/ソ.mp3=junk "
               "表/あ.mp3 表/a🎵.mp3 表/a?.mp3 表/only/🎵.mp3")) {
        std::ranges::replace(file, '|', '\n');
        const std::size_t eq = file.find('=');
        Put(file.substr(0, eq),
            eq == std::string::npos ? std::nullopt : std::optional(file.substr(eq + 1)));
    }
    Put("pl.m3u", "#EXTM3U\r\n#EXTINF:2,a\r\na.mp3\r\nsub/b.mp3\n" + base +
                      "c.mp3\r\nx#.mp3\n\nsub/missing.mp3");
    const struct {
        std::uint8_t zyuuhuku;
        std::size_t fill;
        char flow;
        std::string args, added, said;
    } rows[] = {
        {0, 0, 'F', "gone.mp3 a.mp3 j.mp3 a.M3U gone.m3u", "a.mp3", "ngone.mp3 ij.mp3 ia.M3U M"},
        // Another spelling of a path is no duplicate.
        {1, 0, 'F', "a.mp3 a.mp3 l.m3u /a.mp3", "a.mp3 b.mp3 /a.mp3", ""},
        // "#" inside a line is a path; a blank line fails with an empty name.
        {0, 0, 'F', "pl.m3u", "a.mp3 sub/b.mp3 c.mp3", "L/x#.mp3//missing.mp3"},
        {0, 997, 'F', "a.mp3 b.mp3 c.mp3", "a.mp3 b.mp3", "R"},
        {0, 999, 'F', "a.mp3", "", "F"},
        {0, 0, 'D', "notes.txt m a.MP3 l.M3U j.mp3 gone.Mp3", "a.MP3 b.mp3", "i n"},
        // A playlist tests the limit before every line, comments included.
        {0, 998, 'D', "p1.m3u c.mp3", "a.mp3", ""},
        {0, 998, 'D', "p2.m3u c.mp3", "a.mp3", "R"},
        {0, 0, 'O', "- empty none", "", "G E E"},
        // Letters fold to upper case, so '_' comes after them; no subfolders.
        {0, 0, 'O', "music", "music/a.MP3 music/B.mp3 music/b.mp3 music/C.Mp3 music/_c.mp3",
         "L/sub.mp3"},
        {0, 997, 'O', "music", "music/a.MP3 music/B.mp3", "R"},
        // A name the code page cannot hold fails with '?' for what did not convert (whatever
        // file has that name), and a folder of only such names is not "empty".
        {0, 0, 'O', "\x95\x5C \x95\x5C/only", "\x95\x5C/a?.mp3 \x95\x5C/\x82\xA0.mp3",
         "L/a?.mp3/\x83\x5C.mp3 L/?.mp3"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.flow + (" " + r.args));
        Reset(r.fill);
        settings.zyuuhuku = r.zyuuhuku;
        const Paths paths = Below(r.args);
        prompts.openFiles.push_back(paths);
        if (r.flow == 'F') OpenFiles(context);
        if (r.flow == 'D') DropFiles(context, paths);
        for (std::size_t i = 0; r.flow == 'O' && i < paths.size(); ++i) {
            prompts.folders.push_back(
                {false, paths[i].ends_with('-') ? std::nullopt : std::optional(paths[i])});
            OpenFolder(context);
        }
        EXPECT_EQ(Paths(table.songPaths().begin() + r.fill, table.songPaths().end()),
                  Below(r.added));
        EXPECT_EQ(prompts.messages, Said(r.said));
    }
}

// Reading ahead changes nothing the user sees, past the read-ahead window and the limit: with
// 0 workers (each file read when it is added) and with 4 workers whose first read ends only
// once the load has shown progress while waiting for it (the window is told, and can paint,
// during a slow read: proven without timing). Stopped (the window closed), what was added
// stays with its totals and nothing more is asked, not even the failures so far.
TEST_F(LoadingTest, ReadingAheadChangesNothingTheUserSees) {
    for (int i = 1000; i < 2020; ++i)
        Put("f/" + std::to_string(i) + ".mp3",
            i % 97 == 32 ? std::optional<std::string>("junk") : std::nullopt, i % 3);
    const auto load = [&](unsigned workers, LoadObserver* observer, std::size_t stop = SIZE_MAX) {
        Reset(0);
        stopAfter = stop;
        LoadContext load{table, settings, prompts, observer, workers, [&](const std::string& path) {
                             if (observer && path.ends_with("/1000.mp3")) shown.wait(false);
                             return ScanSongFile(path);
                         }};
        prompts.folders.push_back({false, dir.File("f")});
        OpenFolder(load);
        return std::tuple(table.entries(), table.totalKB(), prompts.messages);
    };
    const auto inline_ = load(0, nullptr);
    EXPECT_EQ(table.songPaths().size(), 999u);
    EXPECT_EQ(load(4, this), inline_);
    for (std::size_t done = 0; done < 1000; ++done)
        EXPECT_NE(std::ranges::find(seen, std::pair{done, 1020ul}), seen.end()) << done;
    load(4, this, 5);
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_EQ(table.songPaths(), Below("f/1000.mp3 f/1001.mp3 f/1003.mp3 f/1004.mp3"));
    EXPECT_EQ(table.totalTimeText(), CpText("0：06"));
}

// Windows playlists here: the first candidate names no file, so the raw-line retry loads the
// song once, and the table stores the drive-prefixed form.
TEST_F(LoadingTest, WindowsPlaylistRetriesTheRawLineWithTheDrive) {
    SongTable windows(PathStyle::Windows);
    LoadContext load{windows, settings, prompts};
    const std::string a = Put("a.mp3", std::nullopt);
    settings.zyuuhuku = 1;
    LoadPlaylist(load, Put("l.m3u", a + "\r\n" + a + "\r\nnothing\\x.mp3\r\n"));
    EXPECT_EQ(windows.entries(), Paths{CpText("  0：01  ") + base.substr(0, 2) + a});
    EXPECT_EQ(prompts.messages, Said("L/x.mp3"));
}

constexpr PathStyle W = PathStyle::Windows, P = PathStyle::Posix;

// The loading tests load POSIX playlists from files; here the Windows rules and the edges.
TEST(PlaylistLineTest, PlansEachLine) {
    // A UTF-8 BOM is dropped once, and only in UTF-8; '\r' stays inside a line.
    const std::string bom = "\xEF\xBB\xBF";
    EXPECT_EQ(SplitPlaylistLines(bom + bom + "a\rb\n\n"), (Paths{bom + "a\rb", ""}));
    ScopedCodePage sjis{CodePage(CodePage::Kind::Cp932)};
    EXPECT_EQ(SplitPlaylistLines(bom), Paths{bom});
    const struct {
        PathStyle style;
        const char *line, *playlist, *plan;  // candidate|retry's table path|failure name
    } rows[] = {
        // Found on the current drive by the retry and stored with the playlist's drive.
        {W, "\\m\\a.mp3", "D:\\l\\x.m3u", "D:\\l\\\\m\\a.mp3|D:\\m\\a.mp3|a.mp3"},
        // ソ and 表 end in 0x5C: the folder is cut at the real backslash.
        {W, "\x83\x5C.mp3", "D:\\\x95\x5C\\x.m3u",
         "D:\\\x95\x5C\\\x83\x5C.mp3|D:\x83\x5C.mp3|\x83\x5C.mp3"},
        {P, "a\r.mp3", "/l/x.m3u", "/l/a.mp3||a\r.mp3"},
    };
    for (const auto& r : rows) {
        const PlaylistLinePlan p = PlanPlaylistLine(r.line, r.playlist, r.style);
        EXPECT_EQ(p.candidate + "|" + p.retryTablePath + "|" + p.failureName, r.plan);
    }
}

}  // namespace
}  // namespace sorrelbox::test
