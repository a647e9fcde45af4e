#include <cstdlib>

#include "OutputCliFixture.h"

namespace sorrelbox {
namespace {

using test::OutputCliTest;

TEST_F(OutputCliTest, ListUsageErrors) {
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"list"}, {"list", "out.txt"}, {"list", "--x", "a.mp3"}}) {
        EXPECT_EQ(Run(args), 2) << args.size();
        EXPECT_NE(stderr_.find("usage: sorrelbox-cli list OUTPUT SOURCE..."), std::string::npos);
    }
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "out.txt"));
}

TEST_F(OutputCliTest, ListLoadsSourcesInOrderAndWritesTheList) {
    std::filesystem::create_directory(dir.path() / "album");
    Song("album/b.mp3", 61);
    Song("album/a.mp3", 5);
    Song("single.mp3", 600);
    dir.Write("pl.m3u", "album/a.mp3\r\n#x\r\nsingle.mp3\r\n");
    EXPECT_EQ(Run({"list", "out.txt", "single.mp3", "./album", "pl.m3u"}), 0);
    EXPECT_EQ(Read("out.txt"),
              " 10\xEF\xBC\x9A"
              "00  single.mp3\r\n"
              "  0\xEF\xBC\x9A"
              "05  a.mp3\r\n"
              "  1\xEF\xBC\x9A"
              "01  b.mp3\r\n"
              "  0\xEF\xBC\x9A"
              "05  a.mp3\r\n"
              " 10\xEF\xBC\x9A"
              "00  single.mp3\r\n");
    EXPECT_EQ(stderr_, "完了: リストを作成しました\n");
    EXPECT_EQ(stdout_, "");
}

TEST_F(OutputCliTest, ListReadsSettingsFromTheCurrentFolder) {
    Song("a.mp3", 1);
    dir.Write("sorrelbox.ini", "[main]\nkanryoumes=1\nzyuuhuku=1\n");
    EXPECT_EQ(Run({"list", "out.txt", "a.mp3", "a.mp3", dir.File("a.mp3")}), 0);
    EXPECT_EQ(Read("out.txt"),
              "  0\xEF\xBC\x9A"
              "01  a.mp3\r\n");
    EXPECT_EQ(stderr_, "");
}

TEST_F(OutputCliTest, ListPrintsEveryMessageOnOneLine) {
    Song("a.mp3", 1);
    dir.Write("junk.mp3", "no audio");
    EXPECT_EQ(Run({"list", "out.txt", "gone.mp3", "junk.mp3", "a.mp3", "gone.m3u"}), 0);
    EXPECT_EQ(stderr_,
              "エラー: gone.mp3\\nファイルを読み込めませんでした\n"
              "エラー: junk.mp3\\nファイル情報を取得できませんでした\n"
              "エラー: m3uファイルを読み込めませんでした\n"
              "完了: リストを作成しました\n");
}

TEST_F(OutputCliTest, ListFailsWithoutSongsOrWithoutAFile) {
    std::filesystem::create_directory(dir.path() / "empty");
    EXPECT_EQ(Run({"list", "out.txt", "empty"}), 1);
    EXPECT_EQ(stderr_,
              "エラー: このフォルダにはmp3ファイルがありません\n"
              "エラー: １曲も読み込まれていません\n");
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "out.txt"));

    Song("a.mp3", 1);
    EXPECT_EQ(Run({"list", "no/such/out.txt", "a.mp3"}), 1);
    EXPECT_EQ(stderr_, "エラー: リストの作成に失敗しました\n");
}

TEST_F(OutputCliTest, ListNeverWritesOverASourceSong) {
    const std::string song = Song("a.mp3", 1);
    const std::string before = Read("a.mp3");
    std::filesystem::create_symlink(song, dir.path() / "alias.txt");
    for (const char* output : {"a.mp3", "./a.mp3", "alias.txt"}) {
        EXPECT_EQ(Run({"list", output, "a.mp3"}), 1) << output;
        EXPECT_NE(stderr_.find("not writing over a loaded song or source playlist"),
                  std::string::npos)
            << stderr_;
        EXPECT_EQ(Read("a.mp3"), before);
    }
}

// The installed program: exit status and standard error as other tools see them.
TEST_F(OutputCliTest, ProgramExitStatus) {
    Song("a.mp3", 1);
    const std::string cli = SORRELBOX_CLI_PATH;
    EXPECT_EQ(std::system((cli + " list out.txt a.mp3 2>err.txt").c_str()), 0);
    EXPECT_EQ(Read("out.txt"),
              "  0\xEF\xBC\x9A"
              "01  a.mp3\r\n");
    EXPECT_EQ(Read("err.txt"), "完了: リストを作成しました\n");
    EXPECT_EQ(WEXITSTATUS(std::system((cli + " list out.txt 2>err.txt").c_str())), 2);
    EXPECT_EQ(WEXITSTATUS(std::system((cli + " list a.mp3 a.mp3 2>err.txt").c_str())), 1);
    // Shift-JIS in the process: messages still reach the terminal as UTF-8.
    EXPECT_EQ(
        WEXITSTATUS(std::system(
            ("SORRELBOX_CODEPAGE=CP932 " + cli + " list out.txt gone.mp3 2>err.txt").c_str())),
        1);
    EXPECT_EQ(Read("err.txt"),
              "エラー: gone.mp3\\nファイルを読み込めませんでした\n"
              "エラー: １曲も読み込まれていません\n");
}

}  // namespace
}  // namespace sorrelbox
