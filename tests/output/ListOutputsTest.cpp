#include "output/ListOutputs.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <sstream>

#include "loading/SongLoader.h"
#include "platform/CodePage.h"
#include "platform/ScriptedPrompts.h"
#include "support/Mp3Builder.h"
#include "support/TempDir.h"

namespace sorrelbox {
namespace {

using Message = ScriptedPrompts::Message;
using Names = std::vector<std::string>;

TEST(M3uLineTest, RelativeLinesOnlyInsideThePlaylistTree) {
    constexpr PathStyle W = PathStyle::Windows, P = PathStyle::Posix;
    const struct {
        PathStyle style;
        const char *song, *playlist, *line;
    } rows[] = {
        {W, "C:\\Music\\a.mp3", "C:\\Music\\list.m3u", "a.mp3"},
        {W, "C:\\Music\\Live\\b.mp3", "C:\\Music\\list.m3u", "Live\\b.mp3"},
        {W, "C:\\Musical\\d.mp3", "C:\\Music\\list.m3u", "\\Musical\\d.mp3"},  // same drive
        {W, "C:\\MUSIC\\e.mp3", "C:\\Music\\list.m3u", "\\MUSIC\\e.mp3"},
        {W, "c:\\Music\\f.mp3", "C:\\Music\\list.m3u", "c:\\Music\\f.mp3"},
        {W, "D:\\g.mp3", "C:\\Music\\list.m3u", "D:\\g.mp3"},
        {W, "C", "C:\\Music\\list.m3u", "C"},
        {W, "C:\\Music\\a.mp3", "C:\\list.m3u", "Music\\a.mp3"},
        {W, "C:\\Music\\a.mp3", "list.m3u", "C:\\Music\\a.mp3"},
        {P, "/music/live/b.mp3", "/music/list.m3u", "live/b.mp3"},
        {P, "/musical/d.mp3", "/music/list.m3u", "/musical/d.mp3"},
        {P, "/music/a.mp3", "/list.m3u", "music/a.mp3"},
        {P, "/music/a.mp3", "list.m3u", "/music/a.mp3"},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(M3uLine(r.song, r.playlist, M3uMode::Relative, r.style), r.line) << r.song;
        EXPECT_EQ(M3uLine(r.song, r.playlist, M3uMode::Full, r.style), r.song);
    }
    // ソ ends in 0x5C: a byte search would cut the folder inside the playlist's name.
    ScopedCodePage sjis{CodePage(CodePage::Kind::Cp932)};
    EXPECT_EQ(M3uLine("C:\\M\\a.mp3", "C:\\M\\\x83\x5C.m3u", M3uMode::Relative, W), "a.mp3");
    EXPECT_EQ(M3uLine("C:\\\x95\x5C\\\x83\x5C.mp3", "C:\\\x95\x5C\\l.m3u", M3uMode::Relative, W),
              "\x83\x5C.mp3");
    std::ostringstream list, m3u;
    WriteTextList(list, {"a", "b"});
    WriteM3u(m3u, {"/m/a.mp3", "/x/b.mp3"}, "/m/l.m3u", M3uMode::Relative, P);
    EXPECT_EQ(list.str() + m3u.str(), "a\r\nb\r\na.mp3\r\n/x/b.mp3\r\n");
}

class OutputCommandTest : public ::testing::Test {
  protected:
    void Load(std::initializer_list<std::pair<const char*, unsigned>> songs) {
        test::MpegHeader header;
        header.bitRateIndex = 1;  // 4000 bytes a second
        for (const auto& [name, seconds] : songs) {
            const std::string path = dir.Write(name, test::CbrFile(seconds * 4000, header));
            ASSERT_EQ(AddSongFile(table, path), ScanResult::ScanOk);
        }
    }
    static Message Msg(std::string_view text, std::string_view caption, MessageIcon icon) {
        return {CpText(text), CpText(caption), icon, MessageButtons::Ok};
    }
    static Message DiskFull(const std::string& path) {
        return {"Disk full while accessing " + path + ".", "sorrelbox", MessageIcon::Error,
                MessageButtons::Ok};
    }
    Names FolderNames() const {
        Names names;
        for (const auto& e : std::filesystem::directory_iterator(dir.path()))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    test::TempDir dir;
    SongTable table{PathStyle::Posix};
    Settings settings;
    ScriptedPrompts prompts;
    OutputContext context{table, settings, prompts};
};

TEST_F(OutputCommandTest, NothingLoadedOrCancelledWritesNothing) {
    EXPECT_EQ(MakeTextList(context), OutputResult::NothingLoaded);
    EXPECT_EQ(MakeM3u(context), OutputResult::NothingLoaded);
    const Message refused = Msg("１曲も読み込まれていません", "エラー", MessageIcon::Information);
    EXPECT_EQ(prompts.messages, (std::vector<Message>{refused, refused}));
    EXPECT_TRUE(prompts.saveDialogs.empty());
    Load({{"a.mp3", 1}});
    prompts.messages.clear();
    EXPECT_EQ(MakeTextList(context), OutputResult::Cancelled);
    EXPECT_EQ(MakeM3u(context), OutputResult::Cancelled);
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_EQ(FolderNames(), Names{"a.mp3"});
}

TEST_F(OutputCommandTest, TextListIsTheEntriesWithCrLf) {
    Load({{"b.mp3", 605}, {"a.mp3", 6000}, {"c.mp3", 5}});
    table.Move(2, 0);
    const std::string out = dir.Write("list.txt", std::string(500, 'z'));  // no tail may stay
    prompts.saveFiles.push_back(out);
    EXPECT_EQ(MakeTextList(context), OutputResult::Written);
    EXPECT_EQ(test::ReadAll(out), CpText("  0：05  c.mp3\r\n 10：05  b.mp3\r\n100：00  a.mp3\r\n"));
    ASSERT_EQ(prompts.saveDialogs.size(), 1u);
    EXPECT_EQ(prompts.saveDialogs[0].filter, CpText("テキスト文書(*.txt)|*.txt||"));
    EXPECT_EQ(prompts.saveDialogs[0].initialName, "*.txt");
    EXPECT_EQ(prompts.saveDialogs[0].defaultExtension, "txt");
    EXPECT_EQ(prompts.messages,
              std::vector<Message>{Msg("リストを作成しました", "完了", MessageIcon::Information)});
    EXPECT_EQ(FolderNames(), (Names{"a.mp3", "b.mp3", "c.mp3", "list.txt"}));  // no temporary
}

TEST_F(OutputCommandTest, M3uModeFromSoutaiAndShiftAndMessagesFromKanryoumes) {
    Load({{"a.mp3", 1}});
    const std::string song = table.songPaths()[0];
    const struct {
        std::uint8_t soutai;
        bool shift, relative;
        std::uint8_t kanryoumes;
    } rows[] = {{0, false, false, 0}, {1, false, true, 1}, {2, false, false, 2},
                {0, true, true, 255}, {1, true, false, 0}, {2, true, false, 0}};
    for (const auto& r : rows) {
        settings = Settings{};
        settings.soutai = r.soutai;
        settings.kanryoumes = r.kanryoumes;
        prompts.shiftDown = r.shift;
        prompts.messages.clear();
        prompts.saveFiles.push_back(dir.File("x.m3u"));
        ASSERT_EQ(MakeM3u(context), OutputResult::Written);
        EXPECT_EQ(test::ReadAll(dir.File("x.m3u")),
                  (r.relative ? std::string("a.mp3") : song) + "\r\n")
            << int(r.soutai) << r.shift;
        EXPECT_EQ(prompts.messages,
                  r.kanryoumes ? std::vector<Message>{}
                               : std::vector<Message>{Msg("m3uファイルを作成しました", "完了",
                                                          MessageIcon::Information)});
        EXPECT_EQ(settings.soutai, r.soutai);
    }
    EXPECT_EQ(prompts.saveDialogs.back().filter, CpText("m3uファイル(*.m3u)|*.m3u||"));
    EXPECT_EQ(prompts.saveDialogs.back().initialName, "*.m3u");
    EXPECT_EQ(prompts.saveDialogs.back().defaultExtension, "m3u");
    settings.kanryoumes = 1;
    prompts.messages.clear();
    prompts.saveFiles.push_back(dir.File("l.txt"));
    EXPECT_EQ(MakeTextList(context), OutputResult::Written);
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(OutputCommandTest, FailuresAreNamedAndKeepTheOldFile) {
    Load({{"a.mp3", 1}, {"b.mp3", 2}, {"c.mp3", 3}});
    std::filesystem::create_directory(dir.path() / "taken.txt");
    for (const char* name : {"no/such/l.txt", "taken.txt", "no/such/l.m3u"})
        prompts.saveFiles.push_back(dir.File(name));
    EXPECT_EQ(MakeTextList(context), OutputResult::CreateFailed);
    EXPECT_EQ(MakeTextList(context), OutputResult::CreateFailed);
    EXPECT_EQ(MakeM3u(context), OutputResult::CreateFailed);
    const Message list = Msg("リストの作成に失敗しました", "エラー", MessageIcon::Warning);
    const Message m3u = Msg("m3uファイルを作成できませんでした", "エラー", MessageIcon::Warning);
    EXPECT_EQ(prompts.messages, (std::vector<Message>{list, list, m3u}));
    prompts.messages.clear();

    // A device is written in place, never replaced by a file.
    if (std::filesystem::exists("/dev/full")) {
        prompts.saveFiles = {"/dev/full", "/dev/full"};
        EXPECT_EQ(MakeTextList(context), OutputResult::WriteFailed);
        EXPECT_EQ(MakeM3u(context), OutputResult::WriteFailed);
        EXPECT_EQ(prompts.messages,
                  (std::vector<Message>{DiskFull("/dev/full"), DiskFull("/dev/full")}));
        struct stat st {};
        ASSERT_EQ(::stat("/dev/full", &st), 0);
        EXPECT_TRUE(S_ISCHR(st.st_mode));
        prompts.messages.clear();
    }

    // A write that fails part way (past a file-size limit) leaves the old file as it was.
    const std::string out = dir.Write("list.txt", "old list\r\n");
    prompts.saveFiles.push_back(out);
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 20;  // less than the three lines
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const OutputResult result = MakeTextList(context);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(result, OutputResult::WriteFailed);
    EXPECT_EQ(prompts.messages, std::vector<Message>{DiskFull(out)});
    EXPECT_EQ(test::ReadAll(out), "old list\r\n");
    EXPECT_EQ(FolderNames(), (Names{"a.mp3", "b.mp3", "c.mp3", "list.txt", "taken.txt"}));
}

TEST_F(OutputCommandTest, ShiftJisPathsAreWrittenAsTheirBytes) {
    ScopedCodePage sjis{CodePage(CodePage::Kind::Cp932)};
    std::filesystem::create_directory(dir.path() / "\xE8\xA1\xA8");  // 表
    dir.Write("\xE8\xA1\xA8/\xE3\x82\xBD.mp3", test::CbrFile(417));  // ソ.mp3
    const std::string folder = dir.path().string() + "/\x95\x5C";
    ASSERT_EQ(AddSongFile(table, folder + "/\x83\x5C.mp3"), ScanResult::ScanOk);
    settings.soutai = 1;
    prompts.saveFiles = {folder + "/\x83\x5C.m3u", folder + "/\x83\x5C.txt"};
    ASSERT_EQ(MakeM3u(context), OutputResult::Written);
    ASSERT_EQ(MakeTextList(context), OutputResult::Written);
    EXPECT_EQ(test::ReadAll(dir.File("\xE8\xA1\xA8/\xE3\x82\xBD.m3u")), "\x83\x5C.mp3\r\n");
    EXPECT_EQ(test::ReadAll(dir.File("\xE8\xA1\xA8/\xE3\x82\xBD.txt")),
              "  0\x81\x46"
              "00  \x83\x5C.mp3\r\n");
}

}  // namespace
}  // namespace sorrelbox
