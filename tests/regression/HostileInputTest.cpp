// Files people keep in music folders that are not what they claim to be. Each gives a clear
// result, ends in bounded time and leaves every file on disk as it was.

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <future>
#include <optional>
#include <random>
#include <string>
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
    if (done.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
        std::fprintf(stderr, "hung for 20 s\n");
        std::_Exit(1);
    }
    done.get();
}

// What a file held before the code under test touched it.
struct Snapshot {
    std::string bytes;
    fs::file_time_type written;
    fs::file_type type;

    static Snapshot Of(const std::string& path) {
        const fs::file_status status = fs::symlink_status(path);
        Snapshot s{{}, fs::last_write_time(path), status.type()};
        if (status.type() == fs::file_type::regular) s.bytes = ReadAll(path);
        return s;
    }
    bool operator==(const Snapshot&) const = default;
};

std::string CannotObtain() {
    return CpText("ファイル情報を取得できませんでした");
}

long MaxRssKb() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// The whole program on the same paths: one JSON line per file, exit status 1 for a failure.
struct CliRun {
    int status = -1;
    std::vector<std::string> lines;
};
CliRun RunCliScan(const std::vector<std::string>& paths, const std::string& codePage) {
    std::string command = "SORRELBOX_CODEPAGE=" + codePage + " timeout 60 '" +
                          std::string(SORRELBOX_CLI_PATH) + "' scan";
    for (const std::string& path : paths) command += " '" + path + "'";
    CliRun run;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return run;
    std::string out;
    char buffer[4096];
    while (const std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) out.append(buffer, n);
    const int rc = ::pclose(pipe);
    run.status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    for (std::size_t start = 0; start < out.size();) {
        const std::size_t end = out.find('\n', start);
        run.lines.push_back(out.substr(start, end - start));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return run;
}

int ResultOf(const std::string& jsonLine) {
    const std::size_t at = jsonLine.find("\"result\":");
    if (at == std::string::npos) return -1;
    return std::atoi(jsonLine.c_str() + at + 9);
}

Id3v2Frame RawFrame(std::string id, Bytes body, std::optional<std::uint32_t> declared = {}) {
    return Id3v2Frame{std::move(id), std::move(body), SizeForm::Native, std::nullopt, declared, 0};
}

// --- Files with bad bytes ------------------------------------------------------------------

struct FileCase {
    const char* name;
    std::function<Bytes()> bytes;
    ScanResult scan;
    std::uint32_t id3v2Size;
    std::optional<std::string> title;  // nullopt: the file name
    std::function<void(const SongTags&)> checkTags;
};

Bytes OnlyHeaderClaiming256MB() {
    return "ID3\x03\x00\x00\x7F\x7F\x7F\x7F"s;
}

Bytes FramePastTagEnd() {
    Id3v2Tag tag;
    tag.frames = {RawFrame("TIT2", TextBody(0, "cut"), 1000u)};
    Id3v1Tag v1;
    v1.title = "from v1";
    return Mp3Builder().Id3v2(tag).Frame().FillToBeforeId3v1(2000).Id3v1(v1).Build();
}

Bytes EmptyTit2() {
    Id3v2Tag tag;
    tag.frames = {RawFrame("TIT2", ""), TextFrame("TPE1", "artist")};
    Id3v1Tag v1;
    v1.title = "from v1";
    return Mp3Builder().Id3v2(tag).Frame().FillToBeforeId3v1(2000).Id3v1(v1).Build();
}

Bytes OddUtf16() {
    Id3v2Tag tag;
    // Encoding 1, byte-order mark, "AB" in UTF-16LE and one byte more.
    tag.frames = {RawFrame("TIT2",
                           "\x01\xFF\xFE"
                           "A\0B\0C"s),
                  RawFrame("TPE1", "\x01\xFF"s)};
    return Mp3Builder().Id3v2(tag).Frame().FillTo(2000).Build();
}

const std::vector<FileCase>& FileCases() {
    static const std::vector<FileCase> cases = {
        {"empty.mp3", [] { return Bytes(); }, ScanResult::ScanNoHeader, 0, std::nullopt,
         [](const SongTags& t) { EXPECT_FALSE(t.v2.tagFound || t.v1.present); }},
        {"id3.mp3", [] { return Bytes("ID3"); }, ScanResult::ScanNoHeader, 0, std::nullopt,
         [](const SongTags& t) { EXPECT_FALSE(t.v2.tagFound || t.v1.present); }},
        {"sync.mp3", [] { return Bytes("\xFF\xFB\x90"); }, ScanResult::ScanNoHeader, 0,
         std::nullopt, [](const SongTags& t) { EXPECT_FALSE(t.v2.tagFound || t.v1.present); }},
        {"huge-tag.mp3", OnlyHeaderClaiming256MB, ScanResult::ScanNoHeader, 0x0FFFFFFF,
         std::nullopt,
         [](const SongTags& t) {
             EXPECT_TRUE(t.v2.tagFound);
             EXPECT_EQ(t.v2.presentFlags, 0);
         }},
        {"frame-past-tag.mp3", FramePastTagEnd, ScanResult::ScanOk, 14, "from v1",
         [](const SongTags& t) {
             EXPECT_TRUE(t.v2.cutShort);
             EXPECT_FALSE(t.v2.field(kTitle).present);
             EXPECT_TRUE(t.v1.present);
         }},
        {"tit2-empty.mp3", EmptyTit2, ScanResult::ScanOk, 27, "",
         [](const SongTags& t) {
             EXPECT_TRUE(t.v2.field(kTitle).present);
             EXPECT_FALSE(t.v2.field(kTitle).hasValue);
             EXPECT_EQ(t.v2.field(kArtist).value, "artist");
         }},
        {"utf16-odd.mp3", OddUtf16, ScanResult::ScanOk, 30, "AB",
         [](const SongTags& t) {
             EXPECT_EQ(t.v2.field(kTitle).value, "AB");
             EXPECT_TRUE(t.v2.field(kTitle).utf16);
             EXPECT_TRUE(t.v2.field(kArtist).present);
             EXPECT_EQ(t.v2.field(kArtist).value, "");
         }},
    };
    return cases;
}

TEST(HostileFiles, GiveAClearResultAndStayUnchanged) {
    const ScopedCodePage utf8(CodePage(CodePage::Kind::Utf8));
    TempDir dir;
    std::vector<std::string> paths;
    std::vector<Snapshot> before;
    for (const FileCase& c : FileCases()) {
        paths.push_back(dir.Write(c.name, c.bytes()));
        before.push_back(Snapshot::Of(paths.back()));
    }

    for (std::size_t i = 0; i < FileCases().size(); ++i) {
        const FileCase& c = FileCases()[i];
        SCOPED_TRACE(c.name);
        const long rssBefore = MaxRssKb();
        Bounded([&] {
            SongInfo info;
            EXPECT_EQ(ScanMpegFile(paths[i], info), c.scan);
            EXPECT_EQ(info.id3v2Size, c.id3v2Size);
            EXPECT_EQ(ReadDisplayTitle(paths[i], info.id3v2Size, PathStyle::Posix),
                      c.title.value_or(c.name));
            const auto tags = ReadSongTags(paths[i], info.id3v2Size);
            ASSERT_TRUE(tags.has_value());
            c.checkTags(*tags);
        });
        // A size field is a claim, not an allocation: nothing near the 256 MB it names.
        EXPECT_LT(MaxRssKb() - rssBefore, 64 * 1024);
        EXPECT_EQ(Snapshot::Of(paths[i]), before[i]);
    }

    const CliRun run = RunCliScan(paths, "UTF-8");
    EXPECT_EQ(run.status, 1);
    ASSERT_EQ(run.lines.size(), paths.size());
    for (std::size_t i = 0; i < paths.size(); ++i)
        EXPECT_EQ(ResultOf(run.lines[i]), static_cast<int>(FileCases()[i].scan)) << run.lines[i];
    for (std::size_t i = 0; i < paths.size(); ++i)
        EXPECT_EQ(Snapshot::Of(paths[i]), before[i]) << paths[i];
}

// --- Things that are not files, and names that do not exist on disk ------------------------

TEST(HostileFiles, PipesFoldersAndUnconvertibleNamesCannotBeOpened) {
    TempDir dir;
    const std::string pipe = dir.File("pipe.mp3");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    const std::string folder = dir.File("x.mp3");
    fs::create_directory(folder);
    // Lossy conversions of the bad name below must not be opened in its place.
    const Bytes song = CbrFile(4000);
    for (const char* lookalike : {"bad.mp3", "bad?.mp3", "bad\xEF\xBF\xBD .mp3", "bad .mp3"})
        dir.Write(lookalike, song);
    const std::string unconvertible = dir.File("bad") + "\x81\x20.mp3";  // 0x20 is no trail byte

    struct Case {
        std::string path;
        CodePage codePage;
    };
    const std::vector<Case> cases = {{pipe, CodePage(CodePage::Kind::Utf8)},
                                     {folder, CodePage(CodePage::Kind::Utf8)},
                                     {pipe, CodePage(CodePage::Kind::Cp932)},
                                     {unconvertible, CodePage(CodePage::Kind::Cp932)}};
    std::vector<std::pair<std::string, Snapshot>> before;
    for (const auto& entry : fs::directory_iterator(dir.path()))
        before.emplace_back(entry.path().string(), Snapshot::Of(entry.path().string()));

    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        const ScopedCodePage codePage(c.codePage);
        Bounded([&] {
            SongInfo info;
            EXPECT_EQ(ScanMpegFile(c.path, info), ScanResult::ScanOpenFailed);
            EXPECT_EQ(info, SongInfo{});
            EXPECT_EQ(ReadDisplayTitle(c.path, 0, PathStyle::Posix), CannotObtain());
            EXPECT_EQ(ReadDisplayTitle(c.path, 100, PathStyle::Posix), CannotObtain());
            EXPECT_FALSE(ReadSongTags(c.path, 0).has_value());
        });
    }

    // The program, in both code pages (the bad name is passed as its bytes).
    CliRun run = RunCliScan({pipe, folder}, "UTF-8");
    EXPECT_EQ(run.status, 1);
    ASSERT_EQ(run.lines.size(), 2u);
    for (const std::string& line : run.lines) EXPECT_EQ(ResultOf(line), 1) << line;
    run = RunCliScan({unconvertible}, "CP932");
    EXPECT_EQ(run.status, 1);
    ASSERT_EQ(run.lines.size(), 1u);
    EXPECT_EQ(ResultOf(run.lines[0]), 1) << run.lines[0];

    std::size_t entries = 0;
    for (const auto& entry : fs::directory_iterator(dir.path())) {
        (void)entry;
        ++entries;
    }
    EXPECT_EQ(entries, before.size());  // nothing created
    for (const auto& [path, snapshot] : before) EXPECT_EQ(Snapshot::Of(path), snapshot) << path;
}

// --- Settings and playlists ----------------------------------------------------------------

Bytes Garbage(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    Bytes bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>(random() & 0xFF);
    return bytes;
}

TEST(HostileSettings, AMegabyteOfGarbageGivesTheDefaults) {
    TempDir dir;
    // Neither section can appear in it, so every setting keeps its default.
    Bytes garbage = Garbage(1 << 20, 5);
    for (char& c : garbage) {
        if (c == '[') c = '(';
    }
    const std::string ini = dir.Write("sorrelbox.ini", garbage);
    const Snapshot before = Snapshot::Of(ini);
    Bounded([&] {
        EXPECT_EQ(LoadSettings(ini), Settings{});
        EXPECT_EQ(GetProfileInt(ini, "tag", "backup", 1), 1u);
        EXPECT_EQ(GetProfileInt(ini, "main", "soutai", 0), 0u);
    });
    EXPECT_EQ(Snapshot::Of(ini), before);

    // The same garbage behind a real section: the setting is read, the garbage ignored.
    const std::string mixed = dir.Write("mixed.ini", "[main]\r\nsoutai=1\r\n" + garbage);
    Bounded([&] { EXPECT_EQ(LoadSettings(mixed).soutai, 1); });
}

class HostilePlaylist : public ::testing::Test {
  protected:
    HostilePlaylist() {
        a = dir.Write("a.mp3", CbrFile(4000));
        b = dir.Write("b.mp3", CbrFile(8000));
    }

    // Loads the playlist, returns the messages, and checks nothing on disk changed.
    std::vector<ScriptedPrompts::Message> Load(const Bytes& text) {
        const std::string playlist = dir.Write("list.m3u", text);
        const Snapshot before[] = {Snapshot::Of(playlist), Snapshot::Of(a), Snapshot::Of(b)};
        ScriptedPrompts prompts;
        LoadContext context{table, settings, prompts};
        Bounded([&] { LoadPlaylist(context, playlist); });
        EXPECT_EQ(Snapshot::Of(playlist), before[0]);
        EXPECT_EQ(Snapshot::Of(a), before[1]);
        EXPECT_EQ(Snapshot::Of(b), before[2]);
        return prompts.messages;
    }

    const ScopedCodePage utf8{CodePage(CodePage::Kind::Utf8)};
    TempDir dir;
    std::string a, b;
    SongTable table{PathStyle::Posix};
    Settings settings;
};

TEST_F(HostilePlaylist, ALineOf100KBFailsAloneAndIsNamed) {
    const Bytes longName(100 * 1024, 'n');
    const auto messages = Load("a.mp3\r\n" + longName + "\r\nb.mp3\r\n");
    EXPECT_EQ(table.songPaths(), (std::vector<std::string>{a, b}));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, CpText("読み込めなかったファイルがあります") + "\n" + longName);
    EXPECT_EQ(messages[0].caption, CpText("エラー"));
}

TEST_F(HostilePlaylist, NulBytesNeverCutALineShortToAnotherFile) {
    // "a.mp3" NUL "junk" must not load a.mp3: the line names no file that exists.
    const auto messages = Load("a.mp3\0junk\nb.mp3\n\0\n"s);
    EXPECT_EQ(table.songPaths(), (std::vector<std::string>{b}));
    EXPECT_EQ(table.songCount(), 1);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text,
              CpText("読み込めなかったファイルがあります") + "\na.mp3\0junk"s + "\n\0"s);
}

}  // namespace
}  // namespace sorrelbox::test
