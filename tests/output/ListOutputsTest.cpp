#include "output/ListOutputs.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>

#include "platform/ScriptedPrompts.h"
#include "support/TempDir.h"

namespace sorrelbox::test {
namespace {

constexpr PathStyle W = PathStyle::Windows, P = PathStyle::Posix;

// The CLI tests write both outputs and their failures; here the line rule and the Shift key.
TEST(M3uLineTest, RelativeLinesOnlyInsideThePlaylistTree) {
    const struct {
        PathStyle style;
        const char *song, *playlist, *line;
    } rows[] = {
        {W, "C:\\M\\a.mp3", "C:\\M\\l.m3u", "a.mp3"},
        {W, "C:\\M\\Live\\b.mp3", "C:\\M\\l.m3u", "Live\\b.mp3"},
        {W, "C:\\Ms\\d.mp3", "C:\\M\\l.m3u", "\\Ms\\d.mp3"},  // same drive
        {W, "c:\\M\\f.mp3", "C:\\M\\l.m3u", "c:\\M\\f.mp3"},
        {W, "C:", "C:\\M\\l.m3u", ""},
        {P, "/m/live/b.mp3", "/m/l.m3u", "live/b.mp3"},
        {P, "/m/a.mp3", "/l.m3u", "m/a.mp3"},
    };
    for (const auto& r : rows)
        EXPECT_EQ(M3uLine(r.song, r.playlist, M3uMode::Relative, r.style), r.line) << r.song;
    // ソ ends in 0x5C: a byte search would cut the folder inside the playlist's name.
    ScopedCodePage sjis{CodePage(CodePage::Kind::Cp932)};
    EXPECT_EQ(M3uLine("C:\\M\\a.mp3", "C:\\M\\\x83\x5C.m3u", M3uMode::Relative, W), "a.mp3");
}

// Shift takes the other M3U mode; a write that fails part way leaves the old file as it was,
// and no temporary file.
TEST(OutputCommandTest, ShiftAndAWriteThatFails) {
    TempDir dir;
    SongTable table{P};
    Settings settings;
    ScriptedPrompts prompts;
    OutputContext context{table, settings, prompts};
    table.AppendEntry(dir.File("a.mp3"), "");
    const std::string out = dir.File("l.m3u");
    prompts.saveFiles = {out, out};
    prompts.shiftDown = true;  // relative, with soutai 0
    EXPECT_EQ(MakeM3u(context), OutputResult::Written);
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    const rlimit small{4, saved.rlim_max};  // less than the line
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const OutputResult result = MakeM3u(context);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(result, OutputResult::WriteFailed);
    EXPECT_EQ(ReadAll(out), "a.mp3\r\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

}  // namespace
}  // namespace sorrelbox::test
