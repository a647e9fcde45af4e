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

TEST(M3uLineTest, WindowsRelativeLines) {
    struct Case {
        const char* song;
        const char* line;
    } cases[] = {
        {"C:\\Music\\a.mp3", "a.mp3"},
        {"C:\\Music\\Live\\b.mp3", "Live\\b.mp3"},
        {"C:\\Other\\c.mp3", "\\Other\\c.mp3"},
        {"C:\\Musical\\d.mp3", "\\Musical\\d.mp3"},
        {"C:\\MUSIC\\e.mp3", "\\MUSIC\\e.mp3"},
        {"c:\\Music\\f.mp3", "c:\\Music\\f.mp3"},
        {"D:\\g.mp3", "D:\\g.mp3"},
        {"C", "C"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(M3uLine(c.song, "C:\\Music\\list.m3u", M3uMode::Relative, PathStyle::Windows),
                  c.line)
            << c.song;
        EXPECT_EQ(M3uLine(c.song, "C:\\Music\\list.m3u", M3uMode::Full, PathStyle::Windows),
                  c.song);
    }
    // At a drive's root every song of the drive loses "C:\".
    EXPECT_EQ(M3uLine("C:\\Music\\a.mp3", "C:\\list.m3u", M3uMode::Relative, PathStyle::Windows),
              "Music\\a.mp3");
    // No folder in the playlist path: every path begins with the empty folder.
    EXPECT_EQ(M3uLine("C:\\Music\\a.mp3", "list.m3u", M3uMode::Relative, PathStyle::Windows),
              "C:\\Music\\a.mp3");
}

TEST(M3uLineTest, ShiftJisPlaylistFolderIsFoundByCharacters) {
    ScopedCodePage sjis{CodePage(CodePage::Kind::Cp932)};
    // ソ ends in 0x5C: a byte search would cut the folder inside the playlist's name.
    EXPECT_EQ(M3uLine("C:\\Music\\a.mp3", "C:\\Music\\\x83\x5C.m3u", M3uMode::Relative,
                      PathStyle::Windows),
              "a.mp3");
    EXPECT_EQ(M3uLine("C:\\\x95\x5C\\\x83\x5C.mp3", "C:\\\x95\x5C\\l.m3u", M3uMode::Relative,
                      PathStyle::Windows),
              "\x83\x5C.mp3");
}

TEST(M3uLineTest, PosixRelativeLinesOnlyInsideThePlaylistTree) {
    struct Case {
        const char* song;
        const char* playlist;
        const char* line;
    } cases[] = {
        {"/music/a.mp3", "/music/list.m3u", "a.mp3"},
        {"/music/live/b.mp3", "/music/list.m3u", "live/b.mp3"},
        {"/other/c.mp3", "/music/list.m3u", "/other/c.mp3"},
        {"/musical/d.mp3", "/music/list.m3u", "/musical/d.mp3"},
        {"/music/a.mp3", "/list.m3u", "music/a.mp3"},
        {"/music/a.mp3", "list.m3u", "/music/a.mp3"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(M3uLine(c.song, c.playlist, M3uMode::Relative, PathStyle::Posix), c.line)
            << c.song;
    }
}

TEST(WritersTest, OneLinePerItemEndedByCrLf) {
    std::ostringstream list;
    WriteTextList(list, {"  4\x81\x46"
                         "05  a.mp3",
                         "b"});
    EXPECT_EQ(list.str(),
              "  4\x81\x46"
              "05  a.mp3\r\nb\r\n");
    std::ostringstream m3u;
    WriteM3u(m3u, {"/m/a.mp3", "/x/b.mp3"}, "/m/l.m3u", M3uMode::Relative, PathStyle::Posix);
    EXPECT_EQ(m3u.str(), "a.mp3\r\n/x/b.mp3\r\n");
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
    Message Msg(std::string_view text, std::string_view caption, MessageIcon icon) {
        return {CpText(text), CpText(caption), icon, MessageButtons::Ok};
    }
    std::vector<std::string> FolderNames() const {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(dir.path())) {
            names.push_back(e.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    test::TempDir dir;
    SongTable table{PathStyle::Posix};
    Settings settings;
    ScriptedPrompts prompts;
    OutputContext context{table, settings, prompts};
};

TEST_F(OutputCommandTest, NothingLoadedIsRefusedBeforeTheDialog) {
    EXPECT_EQ(MakeTextList(context), OutputResult::NothingLoaded);
    EXPECT_EQ(MakeM3u(context), OutputResult::NothingLoaded);
    const Message refused = Msg("１曲も読み込まれていません", "エラー", MessageIcon::Information);
    EXPECT_EQ(prompts.messages, (std::vector<Message>{refused, refused}));
    EXPECT_TRUE(prompts.saveDialogs.empty());
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
    // Only the list itself is left in the folder: no temporary file.
    EXPECT_EQ(FolderNames(), (std::vector<std::string>{"a.mp3", "b.mp3", "c.mp3", "list.txt"}));
}

TEST_F(OutputCommandTest, CompletionMessagesFollowKanryoumes) {
    Load({{"a.mp3", 1}});
    for (std::uint8_t value : {0, 1, 2, 255}) {
        settings.kanryoumes = value;
        prompts.messages.clear();
        prompts.saveFiles.push_back(dir.File("l.txt"));
        prompts.saveFiles.push_back(dir.File("l.m3u"));
        EXPECT_EQ(MakeTextList(context), OutputResult::Written);
        EXPECT_EQ(MakeM3u(context), OutputResult::Written);
        EXPECT_EQ(prompts.messages.size(), value == 0 ? 2u : 0u) << int(value);
    }
    EXPECT_EQ(prompts.saveDialogs.back().filter, CpText("m3uファイル(*.m3u)|*.m3u||"));
    EXPECT_EQ(prompts.saveDialogs.back().initialName, "*.m3u");
    EXPECT_EQ(prompts.saveDialogs.back().defaultExtension, "m3u");
}

TEST_F(OutputCommandTest, CancelledDialogWritesNothing) {
    Load({{"a.mp3", 1}});
    EXPECT_EQ(MakeTextList(context), OutputResult::Cancelled);
    EXPECT_EQ(MakeM3u(context), OutputResult::Cancelled);
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_EQ(FolderNames(), std::vector<std::string>{"a.mp3"});
}

TEST_F(OutputCommandTest, M3uModeFromSoutaiAndShift) {
    Load({{"a.mp3", 1}});
    const std::string song = table.songPaths()[0];
    struct Case {
        std::uint8_t soutai;
        bool shift;
        bool relative;
    } cases[] = {{0, false, false}, {1, false, true}, {2, false, false},
                 {0, true, true},   {1, true, false}, {2, true, false}};
    for (const Case& c : cases) {
        settings.soutai = c.soutai;
        prompts.shiftDown = c.shift;
        const std::string out = dir.File("x.m3u");
        prompts.saveFiles.push_back(out);
        ASSERT_EQ(MakeM3u(context), OutputResult::Written);
        EXPECT_EQ(test::ReadAll(out), (c.relative ? std::string("a.mp3") : song) + "\r\n")
            << int(c.soutai) << c.shift;
        EXPECT_EQ(settings.soutai, c.soutai);
    }
}

TEST_F(OutputCommandTest, FileThatCannotBeCreated) {
    Load({{"a.mp3", 1}});
    std::filesystem::create_directory(dir.path() / "taken.txt");
    prompts.saveFiles.push_back(dir.File("no/such/l.txt"));
    prompts.saveFiles.push_back(dir.File("taken.txt"));
    prompts.saveFiles.push_back(dir.File("no/such/l.m3u"));
    EXPECT_EQ(MakeTextList(context), OutputResult::CreateFailed);
    EXPECT_EQ(MakeTextList(context), OutputResult::CreateFailed);
    EXPECT_EQ(MakeM3u(context), OutputResult::CreateFailed);
    const Message list = Msg("リストの作成に失敗しました", "エラー", MessageIcon::Warning);
    EXPECT_EQ(
        prompts.messages,
        (std::vector<Message>{
            list, list, Msg("m3uファイルを作成できませんでした", "エラー", MessageIcon::Warning)}));
}

TEST_F(OutputCommandTest, WriteFailureIsReportedAsDiskFull) {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    Load({{"a.mp3", 1}});
    settings.kanryoumes = 0;
    prompts.saveFiles.push_back("/dev/full");
    prompts.saveFiles.push_back("/dev/full");
    EXPECT_EQ(MakeTextList(context), OutputResult::WriteFailed);
    EXPECT_EQ(MakeM3u(context), OutputResult::WriteFailed);
    const Message full{"Disk full while accessing /dev/full.", "sorrelbox", MessageIcon::Error,
                       MessageButtons::Ok};
    EXPECT_EQ(prompts.messages, (std::vector<Message>{full, full}));
    // The device is written in place, never replaced by a file.
    struct stat st {};
    ASSERT_EQ(::stat("/dev/full", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
}

// A write that fails part way (here: past a file-size limit) leaves the old file as it was
// and no temporary file behind.
TEST_F(OutputCommandTest, FailedWriteKeepsTheOldFile) {
    Load({{"a.mp3", 1}, {"b.mp3", 2}, {"c.mp3", 3}});
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
    EXPECT_EQ(prompts.messages,
              (std::vector<Message>{{"Disk full while accessing " + out + ".", "sorrelbox",
                                     MessageIcon::Error, MessageButtons::Ok}}));
    EXPECT_EQ(test::ReadAll(out), "old list\r\n");
    EXPECT_EQ(FolderNames(), (std::vector<std::string>{"a.mp3", "b.mp3", "c.mp3", "list.txt"}));
}

TEST_F(OutputCommandTest, ReplacingKeepsPermissionsAndFollowsLinks) {
    Load({{"a.mp3", 1}});
    const std::string target = dir.Write("real.txt", "old");
    ::chmod(target.c_str(), 0640);
    std::filesystem::create_symlink(target, dir.path() / "link.txt");
    prompts.saveFiles.push_back(target);
    prompts.saveFiles.push_back(dir.File("link.txt"));
    settings.kanryoumes = 1;
    ASSERT_EQ(MakeTextList(context), OutputResult::Written);
    struct stat st {};
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    dir.Write("real.txt", "old");
    ASSERT_EQ(MakeTextList(context), OutputResult::Written);
    EXPECT_TRUE(std::filesystem::is_symlink(dir.path() / "link.txt"));
    EXPECT_EQ(test::ReadAll(target), CpText("  0：01  a.mp3\r\n"));
}

TEST_F(OutputCommandTest, ShiftJisPathsAreWrittenAsTheirBytes) {
    ScopedCodePage sjis{CodePage(CodePage::Kind::Cp932)};
    std::filesystem::create_directory(dir.path() / "\xE8\xA1\xA8");  // 表
    dir.Write("\xE8\xA1\xA8/\xE3\x82\xBD.mp3", test::CbrFile(417));  // ソ.mp3
    const std::string folder = dir.path().string() + "/\x95\x5C";
    ASSERT_EQ(AddSongFile(table, folder + "/\x83\x5C.mp3"), ScanResult::ScanOk);
    settings.soutai = 1;
    prompts.saveFiles.push_back(folder + "/\x83\x5C.m3u");
    prompts.saveFiles.push_back(folder + "/\x83\x5C.txt");
    ASSERT_EQ(MakeM3u(context), OutputResult::Written);
    ASSERT_EQ(MakeTextList(context), OutputResult::Written);
    EXPECT_EQ(test::ReadAll(dir.File("\xE8\xA1\xA8/\xE3\x82\xBD.m3u")), "\x83\x5C.mp3\r\n");
    EXPECT_EQ(test::ReadAll(dir.File("\xE8\xA1\xA8/\xE3\x82\xBD.txt")),
              "  0\x81\x46"
              "00  \x83\x5C.mp3\r\n");
}

}  // namespace
}  // namespace sorrelbox
