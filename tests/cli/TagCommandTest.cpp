#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "Commands.h"
#include "platform/CodePage.h"
#include "support/Mp3Builder.h"
#include "support/PeerScript.h"
#include "support/TempDir.h"
#include "tagwrite/Id3v2TestSupport.h"

// sorrelbox-cli tag show / tag set through RunTag, with a temporary current folder holding
// sorrelbox.ini, genre.txt, backup.mp3 and the manifest.

namespace sorrelbox {
namespace {

using test::Bytes;
using test::Id3v2Tag;
using test::TextFrame;

const CodePage kUtf8(CodePage::Kind::Utf8);
const CodePage kCp932(CodePage::Kind::Cp932);

class TagCommandTest : public ::testing::Test {
  protected:
    TagCommandTest() {
        char buffer[4096];
        saved_ = ::getcwd(buffer, sizeof buffer) ? buffer : "/";
        EXPECT_EQ(::chdir(dir.path().c_str()), 0);
        dir.Write("genre.txt", test::ReadAll(std::string(SORRELBOX_RESOURCE_DIR) + "/genre.txt"));
    }
    ~TagCommandTest() override { (void)::chdir(saved_.c_str()); }

    int Tag(std::vector<std::string> args) {
        std::ostringstream out, err;
        const int status = cli::RunTag(args, out, err);
        out_ = out.str();
        err_ = err.str();
        return status;
    }
    std::string Read(const std::string& name) const { return test::ReadAll(dir.File(name)); }

    static Id3v2Tag V2() {
        Id3v2Tag tag;
        tag.frames = {TextFrame("TIT2", "Hello"), TextFrame("TCON", "(17)Rock")};
        tag.padding = 32;
        return tag;
    }

    ScopedCodePage utf8{kUtf8};
    test::TempDir dir;
    const Bytes audio = test::CbrFile(4000);
    std::string out_;
    std::string err_;

  private:
    std::string saved_;
};

TEST_F(TagCommandTest, ShowPrintsBothTags) {
    Id3v2Tag tag = V2();
    tag.frames.push_back(TextFrame("TPE1", test::Utf16Le("Bänd"), 1));
    const Bytes file = tag.Build() + audio + test::BandV1Tag("V1 title");
    dir.Write("song.mp3", file);
    EXPECT_EQ(Tag({"show", "song.mp3"}), 0);
    EXPECT_EQ(
        out_,
        "{\"path\":\"song.mp3\",\"result\":0,\"id3v2Size\":" +
            std::to_string(tag.Build().size() - 10) +
            ",\"v1\":{\"title\":\"V1 title\",\"artist\":\"Band\",\"album\":\"\",\"year\":\"\","
            "\"comment\":\"\",\"track\":5,\"genre\":17},"
            "\"v2\":{\"version\":3,\"title\":\"Hello\",\"artist\":\"Bänd\",\"album\":\"\","
            "\"year\":\"\",\"comment\":\"\",\"track\":\"\",\"composer\":\"\","
            "\"origArtist\":\"\",\"copyright\":\"\",\"url\":\"\",\"encodedBy\":\"\","
            "\"genre\":17,\"utf16\":[]},\"v2Unsupported\":false}\n");
    EXPECT_EQ(err_, "");
    EXPECT_EQ(Read("song.mp3"), file);
}

TEST_F(TagCommandTest, ShowWithoutTagsUnsupportedVersionsAndFailures) {
    Id3v2Tag v22;
    v22.major = 2;
    v22.frames = {TextFrame("TT2", "x")};
    Id3v2Tag v24;
    v24.major = 4;
    v24.frames = {TextFrame("TDRC", "2024")};
    const struct {
        Bytes file;
        std::vector<std::string> wanted;
        const char* err;
    } cases[] = {
        {audio, {"\"id3v2Size\":0,\"v1\":null,\"v2\":null,\"v2Unsupported\":false}"}, ""},
        {v22.Build() + audio,
         {"\"v2\":null,\"v2Unsupported\":true}"},
         "エラー: ID3v2.2には対応していません\n"},
        {v24.Build() + audio, {"\"version\":4,", "\"year\":\"2024\"", "\"genre\":null"}, ""},
    };
    for (const auto& c : cases) {
        dir.Write("song.mp3", c.file);
        EXPECT_EQ(Tag({"show", "song.mp3"}), 0);
        for (const std::string& w : c.wanted) EXPECT_NE(out_.find(w), std::string::npos) << out_;
        EXPECT_EQ(err_, c.err);
    }
    EXPECT_EQ(Tag({"show", "missing.mp3"}), 1);
    EXPECT_NE(out_.find("\"result\":1"), std::string::npos);
    EXPECT_EQ(err_, "エラー: ID3タグを読み込めませんでした\n");
    for (const auto& args :
         std::vector<std::vector<std::string>>{{"show"}, {"show", "a", "b"}, {}, {"frob"}}) {
        EXPECT_EQ(Tag(args), 2);
    }
}

TEST_F(TagCommandTest, SetWithNothingGivenLeavesTheFileAlone) {
    const Bytes file = V2().Build() + audio + test::BandV1Tag("V1 title");
    dir.Write("Song.MP3", file);
    EXPECT_EQ(Tag({"set", "Song.MP3"}), 0);
    EXPECT_EQ(err_, "");
    EXPECT_EQ(Read("Song.MP3"), file);
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "backup.mp3"));
}

TEST_F(TagCommandTest, SetWritesAndShowReadsBack) {
    const Bytes file = V2().Build() + audio + test::BandV1Tag("V1 title");
    dir.Write("song.mp3", file);
    EXPECT_EQ(
        Tag({"set", "song.mp3", "--v2", "title=New", "--v2", "genre=8", "--v2",
             "comment=line1\nline2", "--v1", "title=Eins", "--v1", "track=12", "--v1", "genre="}),
        0);
    EXPECT_EQ(err_, "完了: ID3v2タグを編集しました\n完了: ID3v1タグを編集しました\n");
    EXPECT_EQ(Read("backup.mp3"), file);  // backup defaults to on
    ASSERT_EQ(Tag({"show", "song.mp3"}), 0);
    EXPECT_NE(out_.find("\"v1\":{\"title\":\"Eins\",\"artist\":\"Band\",\"album\":\"\","
                        "\"year\":\"\",\"comment\":\"\",\"track\":12,\"genre\":247}"),
              std::string::npos)
        << out_;
    EXPECT_NE(out_.find("\"title\":\"New\""), std::string::npos) << out_;
    EXPECT_NE(out_.find("\"comment\":\"line1\\nline2\""), std::string::npos) << out_;
    EXPECT_NE(out_.find("\"genre\":8,"), std::string::npos) << out_;
}

TEST_F(TagCommandTest, SettingsComeFromTheCurrentFolder) {
    dir.Write("sorrelbox.ini", "[main]\r\nkanryoumes=1\r\n[tag]\r\nkuuran=1\r\nbackup=0\r\n");
    dir.Write("song.mp3", audio + test::BandV1Tag("V1 title"));
    EXPECT_EQ(Tag({"set", "song.mp3", "--v1", "genre="}), 0);
    EXPECT_EQ(err_, "");  // no completion messages
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "backup.mp3"));
    const Bytes after = Read("song.mp3");
    EXPECT_EQ(static_cast<std::uint8_t>(after.back()), 255);  // kuuran
}

TEST_F(TagCommandTest, HasBoxes) {
    dir.Write("song.mp3", audio);
    // A value for one page checks only that page's box.
    EXPECT_EQ(Tag({"set", "song.mp3", "--v2", "title=abc"}), 0);
    Bytes after = Read("song.mp3");
    EXPECT_EQ(after.size(), 150 + audio.size());
    EXPECT_EQ(after.substr(0, 3), "ID3");

    EXPECT_EQ(Tag({"set", "song.mp3", "--v1", "title=abc"}), 0);
    EXPECT_EQ(Read("song.mp3").size(), 150 + audio.size() + 128);

    // --no-v1 and --no-v2 remove the tags, answering OK to both questions.
    EXPECT_EQ(Tag({"set", "song.mp3", "--no-v1", "--no-v2"}), 0);
    EXPECT_EQ(err_,
              "確認: ID3v2タグを削除しますか？\n完了: ID3v2タグを削除しました\n"
              "確認: ID3v1タグを削除しますか？\n完了: ID3v1タグを削除しました\n");
    EXPECT_EQ(Read("song.mp3"), audio);
}

// The rename rules are the editor's; here only that a refused rename exits 1.
TEST_F(TagCommandTest, NameTemplateRenamesAndRefusalsExit1) {
    dir.Write("song.mp3", V2().Build() + audio + test::BandV1Tag("V1 title"));
    EXPECT_EQ(Tag({"set", "song.mp3", "--name", "%1tr2 %2ti"}), 0);
    EXPECT_TRUE(std::filesystem::exists(dir.path() / "05 Hello.mp3"));
    dir.Write("taken.mp3", "keep me");
    EXPECT_EQ(Tag({"set", "05 Hello.mp3", "--name", "taken"}), 1);
    EXPECT_EQ(Read("taken.mp3"), "keep me");
    EXPECT_EQ(Tag({"set", "05 Hello.mp3", "--name", "a?b"}), 1);
    EXPECT_TRUE(std::filesystem::exists(dir.path() / "05 Hello.mp3"));
}

TEST_F(TagCommandTest, UsageErrorsWriteNothing) {
    Id3v2Tag tag = V2();
    test::Id3v2Frame comm = TextFrame("COMM", "");
    comm.body = test::CommBody(1, "eng", "", Bytes("\xFF\xFE\x00\xD8", 4));  // a lone surrogate
    tag.frames.push_back(comm);
    const Bytes file = tag.Build() + audio + test::BandV1Tag("V1 title");
    dir.Write("song.mp3", file);
    const std::vector<std::vector<std::string>> cases = {
        {"set"},
        {"set", "song.mp3", "other.mp3"},
        {"set", "song.mp3", "--v1", "composer=x"},
        {"set", "song.mp3", "--v2", "nokey=x"},
        {"set", "song.mp3", "--v1", "title"},
        {"set", "song.mp3", "--v1"},
        {"set", "song.mp3", "--v1", "track=x"},
        {"set", "song.mp3", "--v1", "track=40000"},
        {"set", "song.mp3", "--v2", "genre=abc"},
        {"set", "song.mp3", "--v2", "genre=256"},
        {"set", "song.mp3", "--v1", "genre=80"},   // no line has code 80
        {"set", "song.mp3", "--v2", "comment=x"},  // a comment no code page holds is locked
        {"set", "song.mp3", "--frob"},
    };
    for (const auto& args : cases) {
        EXPECT_EQ(Tag(args), 2) << args.back();
        EXPECT_NE(err_.find("usage:"), std::string::npos) << args.back();
        EXPECT_EQ(Read("song.mp3"), file) << args.back();
    }
}

TEST_F(TagCommandTest, GenreWithoutAGenreList) {
    std::filesystem::remove(dir.path() / "genre.txt");
    dir.Write("song.mp3", audio + test::BandV1Tag("V1 title", 80));
    EXPECT_EQ(Tag({"set", "song.mp3", "--v1", "genre=17"}), 2);
    // Other fields still work and the genre byte stays as it was.
    EXPECT_EQ(Tag({"set", "song.mp3", "--v1", "title=New"}), 0);
    EXPECT_EQ(static_cast<std::uint8_t>(Read("song.mp3").back()), 80);
}

TEST_F(TagCommandTest, UnsupportedVersionRefusesOnlyTheId3v2Write) {
    Id3v2Tag old;
    old.major = 2;
    old.frames = {TextFrame("TT2", "x")};
    dir.Write("old.mp3", old.Build() + audio);
    EXPECT_EQ(Tag({"set", "old.mp3", "--v1", "title=t"}), 0);
    EXPECT_EQ(err_,
              "エラー: ID3v2.2には対応していません\nエラー: ID3v2.2は編集できません\n"
              "完了: ID3v1タグを編集しました\n");
    EXPECT_EQ(Tag({"set", "old.mp3", "--v2", "title=t"}), 1);
}

TEST_F(TagCommandTest, Id3v1CutsAtCharacterBoundaries) {
    const struct {
        CodePage cp;
        std::string arg;     // --v1 KEY=VALUE
        std::size_t offset;  // of the field in the tag
        Bytes field;         // its 30 bytes as stored
    } cases[] = {
        // A double-byte character at bytes 29-30 of the title.
        {kCp932, "title=" + Bytes(29, 'a') + "あ", 3, Bytes(29, 'a') + " "},
        {kUtf8, "title=Aあいうえおかきくけこさ", 3, "Aあいうえおかきくけ  "},
        // A comment longer than 28 bytes has no track and 30 bytes, the last character whole.
        {kUtf8, "comment=" + Bytes(28, 'c') + "あ", 97, Bytes(28, 'c') + "  "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arg);
        ScopedCodePage cp(c.cp);
        dir.Write("song.mp3", audio);
        EXPECT_EQ(Tag({"set", "song.mp3", "--v1", c.arg}), 0);
        EXPECT_EQ(Read("song.mp3").substr(audio.size() + c.offset, 30), c.field);
    }
}

// In code page CP932 the texts are Shift-JIS in the file and UTF-8 in the JSON and on the
// command line; a UTF-16 frame is shown converted and rewritten as UTF-16.
TEST_F(TagCommandTest, ShiftJisAndUtf16InCodePage932) {
    ScopedCodePage cp932(kCp932);
    Id3v2Tag tag;
    tag.frames = {TextFrame("TIT2", "\x82\xA0\x82\xA2"),  // あい in Shift-JIS
                  TextFrame("TPE1", test::Utf16Le("ユニ"), 1)};
    dir.Write("song.mp3", tag.Build() + audio);
    ASSERT_EQ(Tag({"show", "song.mp3"}), 0);
    EXPECT_NE(out_.find("\"title\":\"あい\",\"artist\":\"ユニ\""), std::string::npos) << out_;
    EXPECT_NE(out_.find("\"utf16\":[]"), std::string::npos) << out_;

    ASSERT_EQ(Tag({"set", "song.mp3", "--v2", "artist=ユニコード", "--v2", "title=うえ"}), 0);
    const Bytes after = Read("song.mp3");
    EXPECT_NE(after.find(Bytes("TIT2\x00\x00\x00\x05\x00\x00\x00\x82\xA4\x82\xA6", 15)),
              Bytes::npos);
    EXPECT_NE(
        after.find("TPE1" + Bytes("\x00\x00\x00\x0D\x00\x00\x01", 7) + test::Utf16Le("ユニコード")),
        Bytes::npos);
    ASSERT_EQ(Tag({"show", "song.mp3"}), 0);
    EXPECT_NE(out_.find("\"title\":\"うえ\",\"artist\":\"ユニコード\""), std::string::npos) << out_;
}

TEST_F(TagCommandTest, SetRefusesFilesTheListWouldNotTake) {
    dir.Write("notes.mp3", std::string(3000, 'x'));
    EXPECT_EQ(Tag({"set", "notes.mp3", "--v1", "title=x"}), 1);
    EXPECT_EQ(Read("notes.mp3"), std::string(3000, 'x'));
    EXPECT_EQ(Tag({"set", "missing.mp3", "--v1", "title=x"}), 1);
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "missing.mp3"));
    // Showing is harmless and still reads what tags there are.
    EXPECT_EQ(Tag({"show", "notes.mp3"}), 0);
    EXPECT_NE(out_.find("\"result\":2"), std::string::npos) << out_;
}

// In the UTF-8 code page other programs read what `tag set` writes exactly as typed, and we
// read and edit what they write (tests/tagwrite/peers/id3v2_peers.py: mutagen, and kid3-cli
// and ffprobe when installed).
TEST_F(TagCommandTest, PeersAndWeAgreeOnJapaneseTags) {
    const auto python = test::PeerPython();
    if (!python) GTEST_SKIP() << "no Python with mutagen";
    const bool kid3 = std::system("command -v kid3-cli >/dev/null 2>&1") == 0;
    const Bytes playable = test::FramesFile(20);
    Id3v2Tag v24;
    v24.major = 4;
    v24.frames = {TextFrame("TIT2", "old"),
                  test::RawFrame("COMM", test::CommBody(0, "eng", "", "old"))};
    const struct {
        const char* writer;  // "": tag set; else the peer that writes the tag
        Bytes file;
        int version;
        const char* genre;  // as the writer puts it in TCON
    } cases[] = {
        {"", playable, 3, "(17)"},
        {"", v24.Build() + playable, 4, "(17)"},
        {"kid3", playable, 3, "Rock"},     // UTF-16
        {"mutagen", playable, 4, "(17)"},  // UTF-8
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.writer) + " " + std::to_string(c.version));
        if (std::string_view(c.writer) == "kid3" && !kid3) continue;
        const std::string path = dir.Write("song.mp3", c.file);
        std::string title = "日本語タイトル";
        const auto expect = [&] {
            std::ofstream(dir.File("expected.json"))
                << "{\"codec\": \"utf-8\", \"version\": " << c.version
                << ", \"genreName\": \"Rock\", \"fields\": {\"TIT2\": " << test::JsonString(title)
                << ", \"TPE1\": \"歌手\", \"TALB\": \"アルバム\", \"COMM\": \"コメント\", "
                << "\"TCON\": \"" << c.genre << "\"}}";
            return dir.File("expected.json");
        };
        if (*c.writer == '\0') {
            ASSERT_EQ(
                Tag({"set", "song.mp3", "--v2", "title=" + title, "--v2", "artist=歌手", "--v2",
                     "album=アルバム", "--v2", "comment=コメント", "--v2", "genre=17"}),
                0)
                << err_;
        } else {
            const test::PeerRun written =
                test::RunPeerScript(*python, {"write", c.writer, path, expect()});
            ASSERT_EQ(written.status, 0) << written.out;
            ASSERT_EQ(Tag({"show", "song.mp3"}), 0);
            EXPECT_NE(out_.find("\"title\":\"日本語タイトル\",\"artist\":\"歌手\",\"album\":"
                                "\"アルバム\",\"year\":\"\",\"comment\":\"コメント\""),
                      std::string::npos)
                << out_;
            EXPECT_NE(out_.find("\"genre\":17,\"utf16\":[]"), std::string::npos) << out_;
            // One field edited: the peer still reads every other one.
            title = "新しい題";
            ASSERT_EQ(Tag({"set", "song.mp3", "--v2", "title=" + title}), 0) << err_;
        }
        const test::PeerRun r = test::RunPeerScript(*python, {"check", path, expect()});
        EXPECT_EQ(r.status, 0) << r.out;
    }
}

}  // namespace
}  // namespace sorrelbox
