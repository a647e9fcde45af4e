#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "analysis/Id3Reader.h"
#include "analysis/MpegScan.h"
#include "platform/CodePage.h"
#include "platform/ScriptedPrompts.h"
#include "support/Mp3Builder.h"
#include "support/PeerScript.h"
#include "support/TempDir.h"
#include "tagwrite/Id3v2TestSupport.h"
#include "tagwrite/Id3v2Writer.h"

// Our reader and other software read the tags we write, and we edit tags other software
// wrote: mutagen (and kid3-cli and ffprobe when installed) through
// tests/tagwrite/peers/id3v2_peers.py. The peers' part is skipped without Python and mutagen.

namespace sorrelbox {
namespace {

using test::Bytes;
using test::Id3v2Tag;
using test::RawFrame;

using test::JsonString;

constexpr std::array<const char*, kId3v2FieldCount> kKeys = {
    "TIT2", "TPE1", "TALB", "YEAR", "TCON", "COMM", "TRCK", "TCOM", "TOPE", "TCOP", "WXXX", "TENC"};

std::uint32_t Id3v2SizeOf(const std::string& path) {
    SongInfo info;
    ScanMpegFile(path, info);
    return info.id3v2Size;
}

bool Write(const std::string& path, std::uint16_t mask, const Id3v2Edit& values) {
    ScriptedPrompts prompts;
    WriterEnv env{.backup = 0, .kanryoumes = 1, .backupPath = "", .prompts = prompts};
    Id3v2Edit edit = values;
    edit.songPath = path;
    const std::uint32_t size = Id3v2SizeOf(path);
    edit.oldTagLength = size > 0 ? size + 10 : 0;
    const bool failed = WriteId3v2Tag(edit, mask, env);
    return !failed && mask == 0;
}

// The twelve field values, separated by '|'.
std::array<std::string, kId3v2FieldCount> Fields(std::string_view joined) {
    std::array<std::string, kId3v2FieldCount> out;
    for (std::string& field : out) {
        const std::size_t bar = std::min(joined.find('|'), joined.size());
        field = joined.substr(0, bar);
        joined.remove_prefix(std::min(bar + 1, joined.size()));
    }
    return out;
}

class Id3v2PeerTest : public ::testing::Test {
  protected:
    std::optional<std::string> python_ = test::PeerPython();
    test::TempDir dir;
};

struct PeerCase {
    const char* name;
    const char* codePage;
    int major;     // 0: the file has no tag (our 2.3 template)
    int encoding;  // of the old text frames
    std::array<std::string, kId3v2FieldCount> values;
};

// Every field is rewritten or created, over old tags of both versions whose text frames use
// each encoding; frames not edited come back as they were.
TEST_F(Id3v2PeerTest, WeAndPeersReadWhatWeWrite) {
    const auto ascii = Fields(
        "Title|Artist|Album|1999|(17)|A comment|3|Composer|Original|"
        "Copyright|http://example.com/|Encoder");
    // CP932 bytes: 日本語ソ, 表示, アルバム, コメント, 作曲, 原, 著作, 符
    const auto sjis = Fields(
        "\x93\xFA\x96\x7B\x8C\xEA\x83\x5C|\x95\x5C\x8E\xA6|\x83\x41\x83\x8B\x83\x6F\x83\x80|"
        "2001|(3)|\x83\x52\x83\x81\x83\x93\x83\x67|7|\x8D\xEC\x8B\xC8|\x8C\xB4|\x92\x98\x8D\xEC|"
        "http://x.jp/|\x95\x84");
    const auto utf8 = Fields(
        "日本語ソ|表示 \xF0\x9F\x8E\xB5|Ålbum|2002|(17)|コメント|1|作曲|原|著作|http://u/|符");
    const PeerCase cases[] = {
        {"ASCII, new tag", "UTF-8", 0, 0, ascii},
        {"ASCII over 2.3", "UTF-8", 3, 0, ascii},
        {"ASCII over 2.4", "UTF-8", 4, 0, ascii},
        {"UTF-8 code page, new tag", "UTF-8", 0, 0, utf8},
        {"UTF-8 code page over 2.3", "UTF-8", 3, 0, utf8},
        {"UTF-8 code page over 2.4", "UTF-8", 4, 0, utf8},
        {"Shift-JIS over 2.3", "CP932", 3, 0, sjis},
        {"Shift-JIS over 2.4", "CP932", 4, 0, sjis},
        {"Shift-JIS, new tag", "CP932", 0, 0, sjis},
        {"UTF-16 over 2.3 from CP932", "CP932", 3, 1, sjis},
        {"UTF-16 over 2.4", "UTF-8", 4, 1, utf8},
        {"UTF-16BE over 2.4", "UTF-8", 4, 2, utf8},
        {"UTF-8 over 2.4", "UTF-8", 4, 3, utf8},
        {"UTF-8 over 2.4 from CP932", "CP932", 4, 3, sjis},
    };
    for (const PeerCase& c : cases) {
        SCOPED_TRACE(c.name);
        const CodePage cp = *CodePage::FromName(c.codePage);
        ScopedCodePage scoped(cp);
        Bytes file;
        if (c.major != 0) {
            Id3v2Tag old;
            old.major = static_cast<std::uint8_t>(c.major);
            const auto enc = static_cast<std::uint8_t>(c.encoding);
            const Bytes oldText = c.encoding == 1   ? test::Utf16Le("old")
                                  : c.encoding == 2 ? test::Utf16Be("old", false)
                                                    : Bytes("old");
            for (const char* id : {"TIT2", "TPE1", "TALB", c.major == 4 ? "TDRC" : "TYER", "TRCK",
                                   "TCOM", "TOPE", "TCOP", "TENC"}) {
                old.frames.push_back(test::TextFrame(id, oldText, enc));
            }
            old.frames.push_back(RawFrame("TCON", test::TextBody(0, "(1)")));
            old.frames.push_back(RawFrame("COMM", test::CommBody(0, "jpn", "", "old")));
            old.frames.push_back(RawFrame("WXXX", test::WxxxBody(0, "", "http://old/")));
            old.frames.push_back(RawFrame("APIC", Bytes(3000, '\x5A')));
            old.padding = 200;
            file = old.Build();
        }
        const std::string path = dir.Write("peer.mp3", file + test::FramesFile(72));
        Id3v2Edit edit;
        edit.values = c.values;
        ASSERT_TRUE(Write(path, kId3v2AllFields, edit));

        const auto read = ReadSongTags(path, Id3v2SizeOf(path));
        ASSERT_TRUE(read);
        EXPECT_EQ(read->v2.tagVersion, c.major == 0 ? 3 : c.major);
        EXPECT_FALSE(read->v2.cutShort);
        for (int type = 1; type <= kFieldTypes; ++type) {
            const std::string& want = c.values[static_cast<std::size_t>(type - 1)];
            if (type == kGenre) {
                EXPECT_EQ(read->v2.oldGenreCode, GenreCodeOf(want).value_or(kNoGenreCode));
            } else {
                EXPECT_EQ(read->v2.field(type).value, want) << type;
            }
        }
        if (c.major != 0) {
            EXPECT_NE(test::ReadAll(path).find(Bytes(3000, '\x5A')), Bytes::npos);
            EXPECT_EQ(read->v2.field(kComment).language, "jpn");
        }
        if (!python_) continue;

        std::string json =
            std::string("{\"codec\": \"") +
            (cp.kind() == CodePage::Kind::Cp932 ? "cp932" : "utf-8") +
            "\", \"version\": " + std::to_string(c.major == 0 ? 3 : c.major) +
            ", \"genreName\": " + (c.values[4] == "(17)" ? "\"Rock\"" : "\"Dance\"") +
            // Shift-JIS stays under encoding 0, as Japanese players expect.
            (cp.kind() == CodePage::Kind::Cp932 && c.encoding == 0 ? ", \"encoding\": 0" : "") +
            ", \"fields\": {";
        for (std::size_t i = 0; i < kId3v2FieldCount; ++i) {
            json +=
                (i ? ", " : "") + JsonString(kKeys[i]) + ": " + JsonString(cp.ToUtf8(c.values[i]));
        }
        json += "}}";
        std::ofstream(dir.File("expected.json")) << json;
        const test::PeerRun r =
            test::RunPeerScript(*python_, {"check", path, dir.File("expected.json")});
        EXPECT_EQ(r.status, 0) << r.out;
    }
}

TEST_F(Id3v2PeerTest, PictureOfAPeersTagSurvivesOurEdit) {
    if (!python_) GTEST_SKIP() << "no Python with mutagen";
    for (int version : {3, 4}) {
        SCOPED_TRACE(version);
        ScopedCodePage scoped{CodePage(CodePage::Kind::Utf8)};
        const std::string path = dir.Write("pic.mp3", test::FramesFile(72));
        const test::PeerRun made =
            test::RunPeerScript(*python_, {"make", path, std::to_string(version)});
        ASSERT_EQ(made.status, 0) << made.out;
        const std::string peersFile = test::ReadAll(path);
        const std::size_t before = peersFile.size();
        // Nothing to change: not a byte changes.
        ASSERT_TRUE(Write(path, 0, Id3v2Edit{}));
        EXPECT_EQ(test::ReadAll(path), peersFile);

        Id3v2Edit edit;
        edit.values[Id3v2FieldIndex(kFieldTitle)] = "Edited title";
        edit.values[Id3v2FieldIndex(kFieldComment)] = "edited comment";
        edit.values[Id3v2FieldIndex(kFieldComposer)] = "New composer";
        // Long enough to need more than the peer's padding.
        edit.values[Id3v2FieldIndex(kFieldCopyright)] = std::string(3000, 'c');
        std::uint16_t mask = kFieldTitle | kFieldComment | kFieldComposer | kFieldCopyright;
        ASSERT_TRUE(Write(path, mask, edit));
        EXPECT_GT(test::ReadAll(path).size(), before);

        const test::PeerRun picture = test::RunPeerScript(*python_, {"picture", path});
        EXPECT_EQ(picture.status, 0);
        EXPECT_EQ(picture.out, made.out);

        std::string json = "{\"codec\": \"utf-8\", \"version\": " + std::to_string(version) +
                           ", \"fields\": {\"TIT2\": \"Edited title\", \"TPE1\": \"Peer artist\", "
                           "\"TALB\": \"Album\", \"YEAR\": \"2005\", \"COMM\": \"edited comment\", "
                           "\"TCOM\": \"New composer\", \"TCOP\": \"" +
                           std::string(3000, 'c') + "\"}}";
        std::ofstream(dir.File("expected.json")) << json;
        const test::PeerRun r =
            test::RunPeerScript(*python_, {"check", path, dir.File("expected.json")});
        EXPECT_EQ(r.status, 0) << r.out;
    }
}

}  // namespace
}  // namespace sorrelbox
