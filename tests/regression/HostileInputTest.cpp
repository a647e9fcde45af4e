// Files people keep in music folders that are not what they claim to be. Each gives a clear
// result, ends in bounded time and leaves every file on disk as it was.

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <future>
#include <map>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "analysis/Id3Reader.h"
#include "analysis/MpegScan.h"
#include "analysis/SongTable.h"
#include "loading/SongLoader.h"
#include "platform/CodePage.h"
#include "platform/ProfileFile.h"
#include "platform/ScriptedPrompts.h"
#include "settings/Settings.h"
#include "support/Mp3Builder.h"
#include "support/TempDir.h"

namespace sorrelbox::test {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

// A hang fails the test at once instead of holding CI until its time limit.
void Bounded(const std::function<void()>& work) {
    auto done = std::async(std::launch::async, work);
    if (done.wait_for(std::chrono::seconds(20)) != std::future_status::ready) std::_Exit(1);
    done.get();
}

// Every entry of a folder with what it held: bytes, time written and type.
using Snapshot = std::map<std::string, std::tuple<std::string, fs::file_time_type, fs::file_type>>;
Snapshot SnapshotOf(const TempDir& dir) {
    Snapshot s;
    for (const auto& e : fs::directory_iterator(dir.path())) {
        const std::string path = e.path().string();
        const auto type = fs::symlink_status(path).type();
        s[path] = {type == fs::file_type::regular ? ReadAll(path) : "", fs::last_write_time(path),
                   type};
    }
    return s;
}

// The program's scan: the result field of each JSON line, and its exit status last.
std::vector<int> CliScanResults(const std::vector<std::string>& paths, const char* codePage) {
    std::string command =
        "SORRELBOX_CODEPAGE="s + codePage + " timeout 60 '" + SORRELBOX_CLI_PATH + "' scan";
    for (const std::string& path : paths) command += " '" + path + "'";
    std::vector<int> results;
    FILE* pipe = ::popen(command.c_str(), "r");
    char line[4096];
    while (pipe && std::fgets(line, sizeof line, pipe)) {
        const char* at = std::strstr(line, "\"result\":");
        results.push_back(at ? std::atoi(at + 9) : -1);
    }
    const int rc = pipe ? ::pclose(pipe) : -1;
    results.push_back(WIFEXITED(rc) ? WEXITSTATUS(rc) : -1);
    return results;
}

// What the tag reader made of a file, in short.
std::string Describe(const SongTags& t) {
    std::string s = t.v2.tagFound ? "v2" : "-";
    if (t.v2.cutShort) s += " cut";
    for (const auto& [field, name] : {std::pair{kTitle, " title"}, {kArtist, " artist"}}) {
        const auto& f = t.v2.field(field);
        if (f.present) s += name + (f.hasValue ? "=" + f.value : "?") + (f.utf16 ? "(16)" : "");
    }
    return s + (t.v1.present ? " v1" : "");
}

Bytes WithTag(std::vector<Id3v2Frame> frames, bool v1) {
    Id3v2Tag tag;
    tag.frames = std::move(frames);
    Id3v1Tag old;
    old.title = "from v1";
    Mp3Builder b;
    b.Id3v2(tag).Frame();
    return v1 ? b.FillToBeforeId3v1(2000).Id3v1(old).Build() : b.FillTo(2000).Build();
}
Id3v2Frame Raw(std::string id, Bytes body, std::optional<std::uint32_t> declared = {}) {
    return {std::move(id), std::move(body), SizeForm::Native, std::nullopt, declared, 0};
}

TEST(HostileFiles, GiveAClearResultAndStayUnchanged) {
    const ScopedCodePage utf8(CodePage(CodePage::Kind::Utf8));
    const struct {
        const char* name;
        Bytes bytes;
        ScanResult scan;
        std::uint32_t id3v2Size;
        const char *title, *tags;  // title nullptr: the file name
    } rows[] = {
        {"empty.mp3", "", ScanResult::ScanNoHeader, 0, nullptr, "-"},
        {"id3.mp3", "ID3", ScanResult::ScanNoHeader, 0, nullptr, "-"},
        {"sync.mp3", "\xFF\xFB\x90", ScanResult::ScanNoHeader, 0, nullptr, "-"},
        // A size field is a claim, not an allocation.
        {"huge-tag.mp3", "ID3\x03\x00\x00\x7F\x7F\x7F\x7F"s, ScanResult::ScanNoHeader, 0x0FFFFFFF,
         nullptr, "v2"},
        {"frame-past-tag.mp3", WithTag({Raw("TIT2", TextBody(0, "cut"), 1000u)}, true),
         ScanResult::ScanOk, 14, "from v1", "v2 cut v1"},
        {"tit2-empty.mp3", WithTag({Raw("TIT2", ""), TextFrame("TPE1", "artist")}, true),
         ScanResult::ScanOk, 27, "", "v2 title? artist=artist v1"},
        // Encoding 1, byte-order mark, "AB" in UTF-16LE and one byte more.
        {"utf16-odd.mp3",
         WithTag({Raw("TIT2",
                      "\x01\xFF\xFE"
                      "A\0B\0C"s),
                  Raw("TPE1", "\x01\xFF"s)},
                 false),
         ScanResult::ScanOk, 30, "AB", "v2 title=AB(16) artist=(16)"},
    };
    TempDir dir;
    std::vector<std::string> paths;
    for (const auto& r : rows) paths.push_back(dir.Write(r.name, r.bytes));
    const Snapshot before = SnapshotOf(dir);
    std::vector<int> expected;
    for (std::size_t i = 0; i < paths.size(); ++i) {
        const auto& r = rows[i];
        SCOPED_TRACE(r.name);
        rusage usage{};
        ::getrusage(RUSAGE_SELF, &usage);
        const long rssBefore = usage.ru_maxrss;
        Bounded([&] {
            SongInfo info;
            EXPECT_EQ(ScanMpegFile(paths[i], info), r.scan);
            EXPECT_EQ(info.id3v2Size, r.id3v2Size);
            EXPECT_EQ(ReadDisplayTitle(paths[i], info.id3v2Size, PathStyle::Posix),
                      r.title ? r.title : r.name);
            const auto tags = ReadSongTags(paths[i], info.id3v2Size);
            ASSERT_TRUE(tags.has_value());
            EXPECT_EQ(Describe(*tags), r.tags);
        });
        ::getrusage(RUSAGE_SELF, &usage);
        EXPECT_LT(usage.ru_maxrss - rssBefore, 64 * 1024);  // nothing near the 256 MB claimed
        expected.push_back(static_cast<int>(r.scan));
    }
    expected.push_back(1);
    EXPECT_EQ(CliScanResults(paths, "UTF-8"), expected);
    EXPECT_EQ(SnapshotOf(dir), before);
}

TEST(HostileFiles, PipesFoldersAndUnconvertibleNamesCannotBeOpened) {
    TempDir dir;
    const std::string pipe = dir.File("pipe.mp3"), folder = dir.File("x.mp3");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    fs::create_directory(folder);
    // Lossy conversions of the bad name below must not be opened in its place.
    for (const char* lookalike : {"bad.mp3", "bad?.mp3", "bad\xEF\xBF\xBD .mp3", "bad .mp3"})
        dir.Write(lookalike, CbrFile(4000));
    const std::string unconvertible = dir.File("bad") + "\x81\x20.mp3";  // 0x20 is no trail byte
    const Snapshot before = SnapshotOf(dir);
    const CodePage utf8(CodePage::Kind::Utf8), cp932(CodePage::Kind::Cp932);
    for (const auto& [path, codePage] :
         {std::pair{pipe, utf8}, {folder, utf8}, {pipe, cp932}, {unconvertible, cp932}}) {
        SCOPED_TRACE(path);
        const ScopedCodePage scoped(codePage);
        Bounded([&] {
            SongInfo info;
            EXPECT_EQ(ScanMpegFile(path, info), ScanResult::ScanOpenFailed);
            EXPECT_EQ(info, SongInfo{});
            EXPECT_EQ(ReadDisplayTitle(path, 100, PathStyle::Posix),
                      CpText("ファイル情報を取得できませんでした"));
            EXPECT_FALSE(ReadSongTags(path, 0).has_value());
        });
    }
    EXPECT_EQ(CliScanResults({pipe, folder}, "UTF-8"), (std::vector<int>{1, 1, 1}));
    EXPECT_EQ(CliScanResults({unconvertible}, "CP932"), (std::vector<int>{1, 1}));
    EXPECT_EQ(SnapshotOf(dir), before);  // nothing created or changed
}

TEST(HostileSettings, AMegabyteOfGarbageGivesTheDefaults) {
    TempDir dir;
    std::mt19937 random(5);
    Bytes garbage(1 << 20, '\0');
    // Neither section can appear in it, so every setting keeps its default.
    for (char& c : garbage) c = static_cast<char>(random() & 0xFF);
    std::replace(garbage.begin(), garbage.end(), '[', '(');
    const std::string ini = dir.Write("sorrelbox.ini", garbage);
    const std::string mixed = dir.Write("mixed.ini", "[main]\r\nsoutai=1\r\n" + garbage);
    const Snapshot before = SnapshotOf(dir);
    Bounded([&] {
        EXPECT_EQ(LoadSettings(ini), Settings{});
        EXPECT_EQ(GetProfileInt(ini, "tag", "backup", 1), 1u);
        EXPECT_EQ(LoadSettings(mixed).soutai, 1);  // a real section before it is read
    });
    EXPECT_EQ(SnapshotOf(dir), before);
}

class HostilePlaylist : public ::testing::Test {
  protected:
    // Loads the playlist, returns the messages, and checks nothing on disk changed.
    std::vector<ScriptedPrompts::Message> Load(const Bytes& text) {
        dir.Write("list.m3u", text);
        const Snapshot before = SnapshotOf(dir);
        ScriptedPrompts prompts;
        LoadContext context{table, settings, prompts};
        Bounded([&] { LoadPlaylist(context, dir.File("list.m3u")); });
        EXPECT_EQ(SnapshotOf(dir), before);
        return prompts.messages;
    }
    std::string Failed(const std::string& lines) const {
        return CpText("読み込めなかったファイルがあります") + lines;
    }

    const ScopedCodePage utf8{CodePage(CodePage::Kind::Utf8)};
    TempDir dir;
    std::string a = dir.Write("a.mp3", CbrFile(4000)), b = dir.Write("b.mp3", CbrFile(8000));
    SongTable table{PathStyle::Posix};
    Settings settings;
};

TEST_F(HostilePlaylist, ALineOf100KBFailsAloneAndIsNamed) {
    const Bytes longName(100 * 1024, 'n');
    const auto messages = Load("a.mp3\r\n" + longName + "\r\nb.mp3\r\n");
    EXPECT_EQ(table.songPaths(), (std::vector<std::string>{a, b}));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, Failed("\n" + longName));
    EXPECT_EQ(messages[0].caption, CpText("エラー"));
}

TEST_F(HostilePlaylist, NulBytesNeverCutALineShortToAnotherFile) {
    // "a.mp3" NUL "junk" must not load a.mp3: the line names no file that exists.
    const auto messages = Load("a.mp3\0junk\nb.mp3\n\0\n"s);
    EXPECT_EQ(table.songPaths(), (std::vector<std::string>{b}));
    EXPECT_EQ(table.songCount(), 1);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, Failed("\na.mp3\0junk"s + "\n\0"s));
}

}  // namespace
}  // namespace sorrelbox::test
