#include <cstdlib>
#include <iterator>

#include "OutputCliFixture.h"

namespace sorrelbox::test {
namespace {

// list and m3u run in turn in one folder over an older, longer o: usage errors (2), outputs
// written (0), refusals and failures (1) that leave o and the sources as they were.
TEST_F(OutputCliTest, ListAndM3uWriteWhatTheirSourcesLoad) {
    std::filesystem::create_directories(dir.path() / "m/live");
    WriteCbrSong(dir, "m/a.mp3", 1);
    WriteCbrSong(dir, "m/live/b.mp3", 2);
    dir.Write("m/l.m3u", "a.mp3\r\n#x\r\nlive/b.mp3\r\n");
    std::filesystem::create_symlink(dir.File("m/a.mp3"), dir.path() / "alias");
    const std::string m3uDone = "完了: m3uファイルを作成しました\n", old(500, 'z');
    const std::string over = "sorrelbox-cli: not writing over a loaded song or source playlist: ";
    const struct {
        std::string ini, args;
        int status;
        std::string written, said;
    } rows[] = {
        {"", "list --x m/a.mp3", 2, "", "usage: sorrelbox-cli list OUTPUT SOURCE...\n"},
        {"", "m3u --relative --full o m/a.mp3", 2, "",
         "usage: sorrelbox-cli m3u [--relative|--full] OUTPUT SOURCE...\n"},
        // Sources in order: a file, a folder (no subfolders), a playlist.
        {"", "list o m/live/b.mp3 ./m m/l.m3u", 0,
         "  0：02  b.mp3\r\n  0：01  a.mp3\r\n  0：01  a.mp3\r\n  0：02  b.mp3\r\n",
         "完了: リストを作成しました\n"},
        {"soutai=1", "m3u --full o m/a.mp3", 0, dir.File("m/a.mp3") + "\r\n", m3uDone},
        {"", "m3u --relative o m/a.mp3", 0, "m/a.mp3\r\n", m3uDone},
        {"", "list alias m/a.mp3", 1, "", over + "alias\n"},
        {"", "m3u m/l.m3u m/l.m3u", 1, "", over + "m/l.m3u\n"},
        {"", "list no/o m/a.mp3", 1, "", "エラー: リストの作成に失敗しました\n"},
        {"", "m3u no/o m/a.mp3", 1, "", "エラー: m3uファイルを作成できませんでした\n"},
        // A device is written in place.
        {"", "list /dev/full m/a.mp3", 1, "", "sorrelbox: Disk full while accessing /dev/full.\n"},
    };
    const std::string sources = Read("m/a.mp3") + Read("m/l.m3u");
    for (const auto& r : rows) {
        dir.Write("o", old);
        dir.Write("sorrelbox.ini", "[main]\n" + r.ini);
        std::istringstream words(r.args);
        EXPECT_EQ(Run(std::vector(std::istream_iterator<std::string>(words), {})), r.status)
            << r.args;
        EXPECT_EQ(stderr_, r.said) << r.args;
        EXPECT_EQ(Read("o"), r.status == 0 ? r.written : old) << r.args;
        EXPECT_EQ(Read("m/a.mp3") + Read("m/l.m3u"), sources);
    }
    EXPECT_TRUE(std::filesystem::is_character_file("/dev/full"));
    // The installed program: messages in UTF-8 from a Shift-JIS process.
    const std::string cli = "SORRELBOX_CODEPAGE=CP932 " + std::string(SORRELBOX_CLI_PATH);
    EXPECT_EQ(WEXITSTATUS(std::system((cli + " list o x.mp3 2>err").c_str())), 1);
    EXPECT_EQ(
        Read("err"),
        "エラー: x.mp3\\nファイルを読み込めませんでした\nエラー: １曲も読み込まれていません\n");
}

}  // namespace
}  // namespace sorrelbox::test
