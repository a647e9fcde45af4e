#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <sstream>

#include "OutputCliFixture.h"
#include "platform/CodePage.h"
#include "support/Mp3Builder.h"
#include "support/TempDir.h"

// sorrelbox-cli tag show / tag set end to end in a temporary current folder holding
// sorrelbox.ini, genre.txt and backup.mp3; the editor's rules are tested in tests/editor.

namespace sorrelbox {
namespace {

using test::Bytes;
using test::TextFrame;

class TagCommandTest : public test::OutputCliTest {
  protected:
    TagCommandTest() {
        dir.Write("genre.txt", test::ReadAll(std::string(SORRELBOX_RESOURCE_DIR) + "/genre.txt"));
    }
    int Tag(std::vector<std::string> args) {
        args.insert(args.begin(), "tag");
        return Run(std::move(args));
    }
    std::string &out = stdout_, &err = stderr_;

    static Bytes V2(std::vector<test::Id3v2Frame> frames, std::uint8_t major = 3) {
        test::Id3v2Tag tag;
        tag.major = major;
        tag.frames = std::move(frames);
        return tag.Build();
    }

    ScopedCodePage utf8{CodePage(CodePage::Kind::Utf8)};
    const Bytes audio = test::CbrFile(4000);
};

TEST_F(TagCommandTest, SetWritesAndShowPrintsOneJsonLine) {
    const Bytes file = V2({TextFrame("TPE1", test::Utf16Le("Bänd"), 1)}) + audio +
                       test::BandV1Tag("V1 title");  // a --v2 value needs no ID3v2 tag
    dir.Write("song.mp3", file);
    EXPECT_EQ(Tag({"set", "song.mp3", "--v2", "title=New", "--v2", "genre=8", "--v2",
                   "comment=a\nb", "--v1", "title=Eins", "--v1", "comment=Note", "--v1", "track=12",
                   "--v1", "genre=", "--name", "%1tr2 %2ti"}),
              0);
    EXPECT_EQ(err,
              "完了: ID3v2タグを編集しました\n完了: ID3v1タグを編集しました\n"
              "確認: ファイル名を変更しますか？\n完了: ファイル名を編集しました\n");
    EXPECT_EQ(Read("backup.mp3"), file);  // backup defaults to on
    EXPECT_EQ(Tag({"show", "12 New.mp3"}), 0);
    EXPECT_TRUE(out.starts_with("{\"path\":\"12 New.mp3\",\"result\":0,\"id3v2Size\":")) << out;
    EXPECT_TRUE(out.ends_with(
        ",\"v1\":{\"title\":\"Eins\",\"artist\":\"Band\",\"album\":\"\",\"year\":\"\",\"comment\":"
        "\"Note\",\"track\":12,\"genre\":247},\"v2\":{\"version\":3,\"title\":\"New\",\"artist\":"
        "\"Bänd\",\"album\":\"\",\"year\":\"\",\"comment\":\"a\\nb\",\"track\":\"\",\"composer\":"
        "\"\",\"origArtist\":\"\",\"copyright\":\"\",\"url\":\"\",\"encodedBy\":\"\",\"genre\":8,"
        "\"utf16\":[]},\"v2Unsupported\":false}\n"))
        << out;
    EXPECT_EQ(Tag({"set", "12 New.mp3", "--no-v1", "--no-v2"}), 0);  // OK to both questions
    EXPECT_EQ(Read("12 New.mp3"), audio);

    EXPECT_EQ(Tag({"show", "missing.mp3"}), 1);
    EXPECT_NE(out.find("\"result\":1"), std::string::npos) << out;
    EXPECT_EQ(err, "エラー: ID3タグを読み込めませんでした\n");

    std::filesystem::remove("backup.mp3");
    dir.Write("sorrelbox.ini", "[main]\r\nkanryoumes=1\r\n[tag]\r\nkuuran=1\r\nbackup=0\r\n");
    EXPECT_EQ(Tag({"set", "12 New.mp3", "--v1", "genre=255", "--v2", "title=x"}), 0);
    EXPECT_EQ(err, "");  // no completion messages, no backup; 255 is the empty choice's code
    EXPECT_FALSE(std::filesystem::exists("backup.mp3"));
    EXPECT_EQ(static_cast<std::uint8_t>(Read("12 New.mp3").back()), 255);
}

// Exit 2 for a usage error and 1 for a refused or failed write; either way nothing is written.
TEST_F(TagCommandTest, ExitCodesAndRefusalsLeaveTheFilesAlone) {
    test::Id3v2Frame comm = TextFrame("COMM", "");  // a lone surrogate: no code page holds it
    comm.body = test::CommBody(1, "eng", "", Bytes("\xFF\xFE\x00\xD8", 4));
    dir.Write("song.mp3", V2({TextFrame("TIT2", "Hello"), comm}) + audio + test::BandV1Tag("T"));
    dir.Write("old.mp3", V2({TextFrame("TT2", "x")}, 2) + audio);
    dir.Write("notes.mp3", std::string(3000, 'x'));
    dir.Write("taken.mp3", "keep me");
    const std::vector<std::string> names = {"song.mp3", "old.mp3", "notes.mp3", "taken.mp3"};
    std::vector<Bytes> before;
    for (const auto& name : names) before.push_back(Read(name.c_str()));
    // Each row: the exit status, then the arguments. Genre 80 has no line; the comment is locked;
    // the song list would not take notes.mp3; nothing to write, nor a name that stays or expands to
    // nothing; the UTF-8 code page cannot hold the byte FF.
    std::istringstream rows(
        "2 show|2 show a b|2|2 frob|2 set|2 set song.mp3 old.mp3|2 set song.mp3 --v1 composer=x|"
        "2 set song.mp3 --v2 nokey=x|2 set song.mp3 --v1 title|2 set song.mp3 --v1|"
        "2 set song.mp3 --v1 track=x|2 set song.mp3 --v1 track=40000|2 set song.mp3 --frob|"
        "2 set song.mp3 --v2 genre=17x|2 set song.mp3 --v2 genre=256|2 set song.mp3 --v1 genre=80|"
        "2 set song.mp3 --v2 comment=x|0 set song.mp3|0 set song.mp3 --name song|1 show \xFF|"
        "0 set song.mp3 --name %2al|1 set notes.mp3 --v1 title=x|1 set missing.mp3 --v1 title=x|"
        "1 set old.mp3 --v2 title=t|1 set song.mp3 --name taken|1 set song.mp3 --name a?b");
    for (std::string row; std::getline(rows, row, '|');) {
        std::istringstream words(row);
        int status = 0;
        words >> status;
        EXPECT_EQ(Tag({std::istream_iterator<std::string>(words), {}}), status) << row;
        EXPECT_EQ(err.find("usage:") != std::string::npos, status == 2) << row << err;
        for (std::size_t i = 0; i < names.size(); ++i) EXPECT_EQ(Read(names[i].c_str()), before[i]);
    }
    EXPECT_FALSE(std::filesystem::exists("backup.mp3"));
    EXPECT_EQ(Tag({"set", "song.mp3", "--v1", "url=x"}), 2);  // the usage error names its problem
    EXPECT_TRUE(err.starts_with("sorrelbox-cli tag: unknown v1 key: url\n")) << err;
    EXPECT_EQ(Tag({"set", "old.mp3", "--v1", "title=t"}), 0);  // only the ID3v2 write is refused
    EXPECT_EQ(err,
              "エラー: ID3v2.2には対応していません\nエラー: ID3v2.2は編集できません\n"
              "完了: ID3v1タグを編集しました\n");
    std::filesystem::remove("genre.txt");
    EXPECT_EQ(Tag({"set", "song.mp3", "--v1", "genre="}), 2);  // no list, no genre to pick
}

}  // namespace
}  // namespace sorrelbox
