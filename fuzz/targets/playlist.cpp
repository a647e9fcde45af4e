// The M3U loader over any playlist text: line splitting, the line rules of both path styles,
// both code pages, duplicate refusal and the 999-song limit.

#include <filesystem>
#include <map>
#include <set>
#include <string>

#include "FuzzTarget.h"
#include "analysis/SongTable.h"
#include "loading/PlaylistLine.h"
#include "loading/SongLoader.h"
#include "platform/CodePage.h"
#include "platform/ScriptedPrompts.h"
#include "support/Mp3Builder.h"

namespace sorrelbox::fuzz {
namespace {

// Songs the playlists can name: two good ones, one without a frame header, one in a
// subfolder, and a folder named like a song.
const std::string& SongFolder() {
    static const std::string folder = [] {
        const ScratchFolder& scratch = ScratchFolder::Get();
        const std::string dir = scratch.File("songs");
        std::filesystem::create_directories(dir + "/sub");
        std::filesystem::create_directories(dir + "/folder.mp3");
        scratch.Write("songs/a.mp3", test::CbrFile(4000));
        scratch.Write("songs/b.mp3", test::VbrFile(1000));
        scratch.Write("songs/bad.mp3", std::string(500, 'x'));
        scratch.Write("songs/sub/c.mp3", test::CbrFile(9000));
        return dir;
    }();
    return folder;
}

// A table three songs short of the limit, as loads of earlier commands would have left it;
// made once per style and code page (filling it is slow), copied for each input.
SongTable NearlyFull(PathStyle style) {
    static std::map<std::pair<PathStyle, CodePage::Kind>, SongTable> made;
    const auto key = std::make_pair(style, ActiveCodePage().kind());
    auto it = made.find(key);
    if (it == made.end()) {
        SongTable table(style);
        SongInfo& info = table.info();
        info.fileSize = 4000;
        info.bitRate = 128;
        info.sampleRate = 44100;
        while (table.songCount() < kMaxSongs - 3) {
            table.ApplyScanMode(ScanMode::Add);
            table.Append("/nowhere/" + std::to_string(table.songCount()) + ".mp3");
        }
        it = made.emplace(key, std::move(table)).first;
    }
    return it->second;
}

// The first input byte chooses the setting and the environment; the rest is the playlist.
enum Option : std::uint8_t {
    kRefuseDuplicates = 1,
    kWindowsStyle = 2,
    kCp932 = 4,
    kNearlyFull = 0x18,  // both bits, so most inputs start from an empty table
};

int FuzzPlaylist(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::uint8_t options = data[0];
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    const ScopedCodePage codePage(
        CodePage((options & kCp932) ? CodePage::Kind::Cp932 : CodePage::Kind::Utf8));
    const PathStyle style = (options & kWindowsStyle) ? PathStyle::Windows : PathStyle::Posix;

    const std::string playlistPath = SongFolder() + "/list.m3u";
    ScratchFolder::Get().Write("songs/list.m3u", text);

    // The pure line rules.
    for (const std::string& line : SplitPlaylistLines(text)) {
        FUZZ_CHECK(line.find('\n') == std::string::npos);
        const PlaylistLinePlan plan = PlanPlaylistLine(line, playlistPath, style);
        if (plan.comment) continue;
        FUZZ_CHECK(plan.candidate.find_first_of("\r\n") == std::string::npos);
    }

    SongTable table = (options & kNearlyFull) == kNearlyFull ? NearlyFull(style) : SongTable(style);
    Settings settings;
    settings.zyuuhuku = (options & kRefuseDuplicates) ? 1 : 0;
    ScriptedPrompts prompts;
    LoadContext context{table, settings, prompts};
    LoadPlaylist(context, playlistPath);

    FUZZ_CHECK(table.songCount() >= 0 && table.songCount() <= kMaxSongs);
    FUZZ_CHECK(table.songPaths().size() == static_cast<std::size_t>(table.songCount()));
    FUZZ_CHECK(table.entries().size() == table.songPaths().size());
    if (settings.zyuuhuku == 1) {
        const std::set<std::string> unique(table.songPaths().begin(), table.songPaths().end());
        FUZZ_CHECK(unique.size() == table.songPaths().size());
    }
    for (const ScriptedPrompts::Message& message : prompts.messages) {
        FUZZ_CHECK(message.caption == CpText("エラー") || message.caption == CpText("確認"));
    }
    return 0;
}

std::vector<std::string> PlaylistSeeds() {
    using namespace std::string_literals;
    const std::string folder = SongFolder();
    return {
        "\x00#EXTM3U\r\n#EXTINF:123,a\r\na.mp3\r\nsub/c.mp3\r\n"s + folder + "/b.mp3\r\n",
        "\x01"
        "a.mp3\na.mp3\nbad.mp3\nmissing.mp3\n\nfolder.mp3\n./a.mp3\n"s,
        "\x02#x\r\nC:\\music\\a.mp3\r\nsub\\c.mp3\r\n\\music\\a.mp3\r\na.mp3\r\n"s,
        "\x05\xEF\xBB\xBF"s + "a.mp3\nb.mp3\n\x83\x5C.mp3\n",
        "\x18"
        "a.mp3\nb.mp3\nsub/c.mp3\na.mp3\nb.mp3\n"s,
        "\x1F"
        "\r\r\n#\na.mp3\0b.mp3\n"s,
    };
}

}  // namespace

SORRELBOX_FUZZ_TARGET_REGISTER("playlist", FuzzPlaylist, PlaylistSeeds);

}  // namespace sorrelbox::fuzz
