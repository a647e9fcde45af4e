// Files, playlists and settings that are not what they claim to be: each gives a clear result
// without hanging and leaves every file on disk as it was.

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <filesystem>
#include <map>
#include <random>

#include "analysis/Id3Reader.h"
#include "analysis/MpegScan.h"
#include "analysis/SongTable.h"
#include "loading/SongLoader.h"
#include "platform/CodePage.h"
#include "platform/ScriptedPrompts.h"
#include "settings/Settings.h"
#include "support/Mp3Builder.h"
#include "support/TempDir.h"

namespace sorrelbox::test {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;
const CodePage kUtf8(CodePage::Kind::Utf8), kCp932(CodePage::Kind::Cp932);

// Every entry of a folder with its bytes, time written and type.
using Snapshot = std::map<std::string, std::tuple<std::string, fs::file_time_type, fs::file_type>>;
Snapshot SnapshotOf(const TempDir& dir) {
    Snapshot s;
    for (const auto& e : fs::directory_iterator(dir.path())) {
        const auto type = e.symlink_status().type();
        s[e.path().string()] = {type == fs::file_type::regular ? ReadAll(e.path().string()) : "",
                                e.last_write_time(), type};
    }
    return s;
}

TEST(HostileFiles, GiveAClearResultAndStayUnchanged) {
    constexpr auto kOk = ScanResult::ScanOk, kNo = ScanResult::ScanNoHeader;
    constexpr auto kFailed = ScanResult::ScanOpenFailed;
    TempDir dir;
    const std::string pipe = dir.File("pipe.mp3");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    // Lossy conversions of the bad name below must not be opened in its place.
    for (const char* lookalike : {"bad.mp3", "bad?.mp3", "bad\xEF\xBF\xBD .mp3", "bad .mp3"})
        dir.Write(lookalike, CbrFile(4000));
    const std::string unconvertible = dir.File("bad") + "\x81\x20.mp3";  // 0x20 is no trail byte
    // A frame that claims more than the tag holds; the ID3v1 title is shown.
    const Id3v2Frame cut{.id = "TIT2", .body = "\0cut"s, .sizeValue = 1000};
    const Bytes past = Mp3Builder().Id3v2({.frames = {cut}}).Frame().Id3v1({.title = "v1"}).Build();
    const struct {
        std::string path;
        ScanResult scan;
        std::uint32_t id3v2Size;
        const char* title;  // nullptr: the message that the file cannot be read
        CodePage codePage = kUtf8;
    } rows[] = {
        {dir.Write("empty.mp3", ""), kNo, 0, "empty.mp3"},
        // A size field is a claim, not an allocation.
        {dir.Write("huge.mp3", "ID3\x03\0\0\x7F\x7F\x7F\x7F"s), kNo, 0x0FFFFFFF, "huge.mp3"},
        {dir.Write("past.mp3", past), kOk, 14, "v1"},
        {pipe, kFailed, 0, nullptr},
        {unconvertible, kFailed, 0, nullptr, kCp932},
    };
    const Snapshot before = SnapshotOf(dir);
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const long rssBefore = usage.ru_maxrss;
    for (const auto& r : rows) {
        SCOPED_TRACE(r.path);
        const ScopedCodePage codePage(r.codePage);
        SongInfo info;
        info.bitRate = 5;  // every scan starts from zero
        EXPECT_EQ(ScanMpegFile(r.path, info), r.scan);
        EXPECT_EQ(info.id3v2Size, r.id3v2Size);
        EXPECT_EQ(info.bitRate, r.scan == kOk ? 128 : 0);
        EXPECT_EQ(ReadDisplayTitle(r.path, info.id3v2Size, PathStyle::Posix),
                  r.title ? r.title : CpText("ファイル情報を取得できませんでした"));
        EXPECT_EQ(ReadSongTags(r.path, info.id3v2Size).has_value(), r.scan != kFailed);
    }
    ::getrusage(RUSAGE_SELF, &usage);
    EXPECT_LT(usage.ru_maxrss - rssBefore, 64 * 1024);  // nothing near the 256 MB claimed
    EXPECT_EQ(SnapshotOf(dir), before);                 // nothing created or changed
}

TEST(HostileSettings, AMegabyteOfGarbageGivesTheDefaults) {
    TempDir dir;
    std::mt19937 random(5);
    Bytes garbage(1 << 20, '\0');
    // Neither section can appear in it, so every setting keeps its default.
    for (char& c : garbage) c = static_cast<char>(random() & 0xFF);
    std::replace(garbage.begin(), garbage.end(), '[', '(');
    const std::string ini = dir.Write("sorrelbox.ini", garbage);
    const Snapshot before = SnapshotOf(dir);
    EXPECT_EQ(LoadSettings(ini), Settings{});
    EXPECT_EQ(SnapshotOf(dir), before);
}

// A line of 100 KB fails alone and is named; a NUL never cuts a line short to another file.
TEST(HostilePlaylist, BadLinesFailAloneAndAreNamed) {
    const ScopedCodePage utf8(kUtf8);
    TempDir dir;
    const std::string a = dir.Write("a.mp3", CbrFile(4000)), b = dir.Write("b.mp3", CbrFile(8000));
    const Bytes longName(100 * 1024, 'n');
    dir.Write("list.m3u", "a.mp3\r\n" + longName + "\r\nb.mp3\r\na.mp3\0junk\n\0\nb.mp3\na.mp3\n"s);
    const Snapshot before = SnapshotOf(dir);
    SongTable table{PathStyle::Posix};
    Settings settings;
    ScriptedPrompts prompts;
    LoadContext context{table, settings, prompts};
    LoadPlaylist(context, dir.File("list.m3u"));
    EXPECT_EQ(SnapshotOf(dir), before);
    EXPECT_EQ(table.songPaths(), (std::vector{a, b, b, a}));
    EXPECT_EQ(table.songCount(), 4);  // one more than the lines that failed
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].text, CpText("読み込めなかったファイルがあります") + "\n" +
                                            longName + "\na.mp3\0junk\n\0"s);
}

}  // namespace
}  // namespace sorrelbox::test
