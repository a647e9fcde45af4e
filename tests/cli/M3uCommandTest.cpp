#include "OutputCliFixture.h"

namespace sorrelbox {
namespace {

using test::OutputCliTest;

TEST_F(OutputCliTest, M3uUsageErrors) {
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"m3u"},
                                               {"m3u", "out.m3u"},
                                               {"m3u", "--relative", "out.m3u"},
                                               {"m3u", "--relative", "--full", "out.m3u", "a.mp3"},
                                               {"m3u", "--absolute", "out.m3u", "a.mp3"}}) {
        EXPECT_EQ(Run(args), 2) << args.back();
        EXPECT_NE(stderr_.find("usage: sorrelbox-cli m3u [--relative|--full] OUTPUT SOURCE..."),
                  std::string::npos);
    }
}

TEST_F(OutputCliTest, M3uModeFromOptionOrSoutai) {
    std::filesystem::create_directories(dir.path() / "lists");
    std::filesystem::create_directories(dir.path() / "music/live");
    Song("music/a.mp3", 1);
    Song("music/live/b.mp3", 1);
    const std::string base = dir.path().string();
    struct Case {
        const char* ini;  // nullptr: no settings file
        std::vector<std::string> options;
        const char* output;
        std::string expected;
    } cases[] = {
        {nullptr, {}, "music/l.m3u", base + "/music/a.mp3\r\n" + base + "/music/live/b.mp3\r\n"},
        {"[main]\r\nsoutai=1\r\n", {}, "music/l.m3u", "a.mp3\r\nlive/b.mp3\r\n"},
        {"[main]\r\nsoutai=1\r\n",
         {"--full"},
         "music/l.m3u",
         base + "/music/a.mp3\r\n" + base + "/music/live/b.mp3\r\n"},
        {nullptr, {"--relative"}, "music/l.m3u", "a.mp3\r\nlive/b.mp3\r\n"},
        // Outside the playlist's folder tree a song keeps its full path.
        {nullptr, {"--relative"}, "music/live/l.m3u", base + "/music/a.mp3\r\nb.mp3\r\n"},
        {nullptr,
         {"--relative"},
         "lists/l.m3u",
         base + "/music/a.mp3\r\n" + base + "/music/live/b.mp3\r\n"},
    };
    for (const Case& c : cases) {
        std::filesystem::remove(dir.path() / "sorrelbox.ini");
        if (c.ini) dir.Write("sorrelbox.ini", c.ini);
        std::vector<std::string> args{"m3u"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        args.insert(args.end(), {c.output, "music/a.mp3", "music/live/b.mp3"});
        EXPECT_EQ(Run(args), 0) << c.output;
        EXPECT_EQ(Read(c.output), c.expected) << c.output;
        EXPECT_EQ(stderr_, "完了: m3uファイルを作成しました\n");
    }
}

TEST_F(OutputCliTest, M3uRoundTripsThroughThePlaylistLoader) {
    std::filesystem::create_directories(dir.path() / "music/live");
    Song("music/a.mp3", 2);
    Song("music/live/b.mp3", 3);
    ASSERT_EQ(Run({"m3u", "--relative", "music/l.m3u", "music"}), 0);
    ASSERT_EQ(Run({"list", "out.txt", "music/l.m3u"}), 0);
    EXPECT_EQ(Read("out.txt"),
              "  0\xEF\xBC\x9A"
              "02  a.mp3\r\n");
    ASSERT_EQ(Run({"m3u", "--relative", "music/l.m3u", "music/a.mp3", "music/live/b.mp3"}), 0);
    ASSERT_EQ(Run({"m3u", "--full", "copy.m3u", "music/l.m3u"}), 0);
    ASSERT_EQ(Run({"list", "out.txt", "copy.m3u"}), 0);
    EXPECT_EQ(Read("out.txt"),
              "  0\xEF\xBC\x9A"
              "02  a.mp3\r\n  0\xEF\xBC\x9A"
              "03  b.mp3\r\n");
}

TEST_F(OutputCliTest, M3uNeverWritesOverASourcePlaylist) {
    Song("a.mp3", 1);
    dir.Write("in.m3u", "a.mp3\n");
    EXPECT_EQ(Run({"m3u", "in.m3u", "in.m3u"}), 1);
    EXPECT_EQ(Read("in.m3u"), "a.mp3\n");
    EXPECT_NE(stderr_.find("not writing over a loaded song or source playlist: in.m3u"),
              std::string::npos);
}

}  // namespace
}  // namespace sorrelbox
