#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <clocale>
#include <filesystem>
#include <fstream>
#include <random>
#include <thread>

#include "analysis/Id3Reader.h"
#include "analysis/MpegScan.h"
#include "analysis/SongTable.h"
#include "support/Messages.h"
#include "support/PeerScript.h"
#include "support/TempDir.h"
#include "tagwrite/ArtistList.h"
#include "tagwrite/FileNameTemplate.h"
#include "tagwrite/GenreList.h"
#include "tagwrite/Id3v1Writer.h"
#include "tagwrite/Id3v2TestSupport.h"
#include "tagwrite/Id3v2Writer.h"
#include "tagwrite/ListOrder.h"
#include "tagwrite/RenameSong.h"
#include "tagwrite/TagConversion.h"

// The ID3v2 tag built from an old tag, byte for byte; the tags written into files, where every
// refusal, failure or kill leaves the old file or the new one; the ID3v1 writer; other software
// (tests/tagwrite/peers/id3v2_peers.py: mutagen, kid3-cli, ffprobe) reading what we write; the
// genre and artist lists in the boxes' order, copying between the pages, renaming.
namespace sorrelbox {
namespace {

using namespace std::string_literals;
using namespace test;
using Typed = std::vector<std::pair<std::uint16_t, std::string>>;
using Messages = std::vector<Message>;
using Lines = std::vector<std::string>;
const Bytes kNihon = "\x93\xFA\x96\x7B", ff = "\0\0"s;  // 日本 in CP932
const Bytes kAudio = CbrFile(5000), kV1 = BandV1Tag("v1");
const CodePage kUtf8(CodePage::Kind::Utf8), kCp932(CodePage::Kind::Cp932);
const std::string kShipped = ReadAll(std::string(SORRELBOX_RESOURCE_DIR) + "/genre.txt");
const std::string kCannot = "ID3v2タグを編集できませんでした";
const auto T = [](std::string_view text) { return "\0"s + Bytes(text); };

Lines Split(std::string_view text) {  // "a|b|c"
    Lines out(1);
    for (char c : text) c == '|' ? out.emplace_back() : (out.back().push_back(c), out.back());
    return out;
}
// A frame header and body in the version's size form.
Bytes F(int major, std::string_view id, const Bytes& body, int flags = 0) {
    const auto n = std::uint32_t(body.size());
    return Bytes(id) + (major == 4 ? SyncsafeBytes(n) : BigEndian32(n)) + char(flags >> 8) +
           char(flags & 0xFF) + body;
}
Bytes Whole(int major, const Bytes& body, int flags = 0, int rev = 0) {
    return "ID3"s + char(major) + char(rev) + char(flags) +
           SyncsafeBytes(std::uint32_t(body.size())) + body;
}
Bytes Old(int major, std::vector<Id3v2Frame> frames, std::size_t padding = 0, int rev = 0,
          std::optional<Bytes> ext = {}, bool unsync = false, int flags = 0) {
    Id3v2Tag t;
    t.major = std::uint8_t(major), t.revision = std::uint8_t(rev), t.frames = std::move(frames);
    t.padding = padding, t.extendedHeader = std::move(ext), t.unsynchronise = unsync,
    t.flags = std::uint8_t(flags);
    return t.Build();
}
Typed Set(std::uint16_t bit = 0, std::string v = "", std::uint16_t bit2 = 0, std::string v2 = "",
          std::uint16_t bit3 = 0, std::string v3 = "") {
    return {{bit, v}, {bit2, v2}, {bit3, v3}};  // bit 0: no field
}
// The tag built, or nothing when refused or a field was left unwritten.
std::optional<Bytes> Build(const Bytes& old, const Typed& typed, bool sjis = false) {
    ScopedCodePage scoped(CodePage(sjis ? CodePage::Kind::Cp932 : CodePage::Kind::Utf8));
    Id3v2Edit edit;
    std::uint16_t mask = 0;
    for (const auto& [bit, value] : typed) {
        if (bit) edit.values[Id3v2FieldIndex(bit)] = value, mask |= bit;
    }
    const auto r = BuildId3v2Tag(std::vector<std::uint8_t>(old.begin(), old.end()), edit, mask);
    if (!r.ok || mask != 0) return std::nullopt;
    return Bytes(r.tag.begin(), r.tag.end());
}
// The old tag the file tests start from: 105 bytes.
Bytes Tag(const std::string& title, int major = 3, int flags = 0) {
    return Old(major, {TextFrame("TIT2", title), TextFrame("TPE1", "artist")}, 64, 0, {}, false,
               flags);
}
std::size_t FilesIn(const TempDir& dir) {
    return std::size_t(std::distance(std::filesystem::directory_iterator(dir.path()), {}));
}
int Reap(pid_t pid) {  // exit status, or -signal
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
}
// Runs f in a child whose files cannot grow past limit; 0 when f returned true.
template <typename F>
int InChild(F f, rlim_t limit = RLIM_INFINITY) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit rl{limit, limit};
        ::setrlimit(RLIMIT_FSIZE, &rl);
        ::_exit(f() ? 0 : 1);
    }
    return Reap(pid);
}
struct Result {
    bool failed;
    std::uint16_t mask;
    Messages messages;
    bool operator==(const Result&) const = default;
};
// Writes value ("a|b|..": values) into the fields of mask; the tag read was oldLength long.
Result Write(const std::string& path, std::size_t oldLength, std::uint16_t mask = kFieldTitle,
             const std::string& value = "New", int kanryoumes = 0, int backup = 0,
             const std::string& backupPath = "") {
    ScriptedPrompts p;
    Id3v2Edit edit;
    edit.songPath = path, edit.oldTagLength = std::uint32_t(oldLength);
    const Lines values = Split(value);  // one for every field, or each field's
    for (std::size_t i = 0; i < 12; ++i) edit.values[i] = values[std::min(i, values.size() - 1)];
    const bool failed =
        WriteId3v2Tag(edit, mask, {std::uint8_t(backup), std::uint8_t(kanryoumes), backupPath, p});
    return {failed, mask, p.messages};
}

TEST(Id3v2BuildTest, RewriteCases) {
    const Bytes awk = "\xFF\xE0\xFF\x00"s, t3 = Old(3, {TextFrame("TIT2", "t")}),
                t4 = Old(4, {TextFrame("TIT2", "t")});
    const std::vector<Id3v2Frame> unsyncFrames = {RawFrame("PRIV", awk), TextFrame("TIT2", "t")};
    Bytes unflagged24 = Old(4, unsyncFrames, 0, 0, {}, true), tmpl;
    unflagged24[19] = 0;  // a 2.4 frame under the tag's unsync flag without its own
    Id3v2Frame running = RawFrame("PRIV", Bytes(30, 'p'));
    running.sizeValue = 5000;
    const Bytes runs = Old(3, {TextFrame("TIT2", "t"), running}),
                peer = Old(4, {RawFrame("COMM", T("c"))}, 100);
    for (const char* id :
         {"TPE1", "TALB", "TYER", "TCON", "COMM", "TRCK", "TCOM", "TOPE", "TCOP", "WXXX", "TENC"}) {
        tmpl += F(3, id, id == "COMM"s ? "\0jpn\0"s : id == "WXXX"s ? ff : T(""));  // our new tag
    }
    const Typed n = Set(kFieldTitle, "n"), year = Set(kFieldYear, "2024"),
                nihon = Set(kFieldTitle, "日本");
    const Bytes tit3 = F(3, "TIT2", T("t")), tit4 = F(4, "TIT2", T("t")),
                tn3 = F(3, "TIT2", T("n")), tn4 = F(4, "TIT2", "\x03n"s);
    const auto enc = [](int e) {
        return Old(4, {RawFrame("TIT2", TextBody(std::uint8_t(e), "whatever\0"))});
    };
    const auto u16 = [](std::string_view s) { return "\x01" + Utf16Le(s); };
    const std::nullopt_t no = std::nullopt;
    const struct {
        bool sjis;
        Bytes old;
        Typed typed;
        std::optional<Bytes> want;  // none: refused
    } cases[] = {
        // A 2.3 frame size past 64 KiB, in plain bytes.
        {0, t3, Set(kFieldTitle, Bytes(70000, 'b')), Whole(3, F(3, "TIT2", T(Bytes(70000, 'b'))))},
        // The template for a new tag; new frames before the padding, in table order.
        {0, "", Set(kFieldTitle, "abc"), Whole(3, F(3, "TIT2", T("abc")) + tmpl)},
        {0, Old(3, {RawFrame("PRIV", "own")}, 9),
         Set(kFieldUrl, "u", kFieldArtist, "A", kFieldComment, "c"),
         Whole(3, F(3, "PRIV", "own") + F(3, "TPE1", T("A")) + F(3, "COMM", "\0jpn\0c"s) +
                      F(3, "WXXX", "\0\0u"s) + Bytes(9, '\0'))},
        // The first COMM only, its language and description kept; stepped over by its size.
        {0,
         Old(3, {RawFrame("COMM", CommBody(0, "eng", "de", "ol\0"s)), RawFrame("COMM", "\0deu\0x"s),
                 TextFrame("TIT2", "t")}),
         Set(kFieldComment, "new", kFieldTitle, "n"),
         Whole(3, F(3, "COMM", "\0engde\0new"s) + F(3, "COMM", "\0deu\0x"s) + tn3)},
        // A frame running past the tag follows the new frames; an empty frame is no padding.
        {0, runs, Set(kFieldComposer, "C"),
         Whole(3, tit3 + F(3, "TCOM", T("C")) + runs.substr(22))},
        {0, Old(3, {RawFrame("TIT2", ""), TextFrame("TPE1", "a")}, 5),
         Set(kFieldTitle, "n", kFieldAlbum, "b"),
         Whole(3, tn3 + F(3, "TPE1", T("a")) + F(3, "TALB", T("b")) + Bytes(5, '\0'))},
        {0, Old(3, {RawFrame("COMM", "\0eng"s)}), Set(kFieldComment, "c"),
         Whole(3, F(3, "COMM", "\0eng\0c"s))},
        // Status flags kept, format flags dropped; data length and group byte read through.
        {0, Old(4, {RawFrame("TIT2", T("t"), SizeForm::Native, 0x4001)}), n,
         Whole(4, F(4, "TIT2", "\x03n"s, 0x4000))},
        {0,
         Old(4,
             {RawFrame("TIT2", "\0\0\0\x07"s + TextBody(1, Utf16Le("ab")), SizeForm::Native, 1)}),
         n, Whole(4, F(4, "TIT2", u16("n")))},
        {0,
         Old(3, {RawFrame("COMM", "\x42"s + CommBody(0, "eng", "d", "o"), SizeForm::Native, 0x20)}),
         Set(kFieldComment, "new"), Whole(3, F(3, "COMM", CommBody(0, "eng", "d", "new")))},
        // Unsynchronisation: 2.3 read through and written without; 2.4 kept in the frames.
        {0, Old(3, unsyncFrames, 0, 0, {}, true), n, Whole(3, F(3, "PRIV", awk) + tn3)},
        {0, Old(4, unsyncFrames, 0, 0, {}, true), n,
         Whole(4, F(4, "PRIV", Unsynchronise(awk), 2) + tn4)},
        // Extended headers: CRC goes, 2.3 padding size made true, 2.4 update and restrictions stay.
        {0, Old(3, {TextFrame("TIT2", "t")}, 200, 0, "\0\0\0\x0A\x80\0\0\0\0\x05\x12\x34\x56\x78"s),
         n, Whole(3, "\0\0\0\x06\0\0\0\0\0\xC8"s + tn3 + Bytes(200, '\0'), 0x40)},
        {0,
         Old(4, {TextFrame("TIT2", "t")}, 0, 0,
             "\0\0\0\x0F\x01\x70\0\x05\x01\x02\x03\x04\x05\x01\x42"s),
         n, Whole(4, "\0\0\0\x09\x01\x50\x00\x01\x42"s + tn4, 0x40)},
        // Nothing to write gives the old tag back; refused: versions and headers not understood,
        // unsync without the frame's flag, a field in no known encoding.
        {0, peer, Set(), peer},
        {0, "ID3\x02\0\0\0\0\0\0"s, n, no},
        {0, "ID3\x05\0\0\0\0\0\0"s, n, no},
        {0, "XYZ\x03\0\0\0\0\0\0"s, n, no},
        {0, "ID3\x03"s, n, no},
        {0, unflagged24, n, no},
        {0, Old(3, {TextFrame("TIT2", "t")}, 0, 0, "\0\0\x10\0\0\0\0\0\0\0"s), n, no},
        {0, Old(3, {RawFrame("COMM", CommBody(5, "eng", "", "c"))}),
         Set(kFieldComment, "n", kFieldTitle, "n"), no},
        // The year frame by version (2.3 with a revision counts as 4, sizes stay plain).
        {1, Old(4, {TextFrame("TDRC", "1999")}), year, Whole(4, F(4, "TDRC", T("2024")))},
        {1, Old(4, {TextFrame("TYER", "1999")}), year, Whole(4, F(4, "TYER", T("2024")))},
        {1, t4, year, Whole(4, tit4 + F(4, "TDRC", T("2024")))},
        {1, t3, year, Whole(3, tit3 + F(3, "TYER", T("2024")))},
        {1, Old(3, {TextFrame("TIT2", "t")}, 0, 1), year,
         Whole(3, tit3 + F(3, "TDRC", T("2024")), 0, 1)},
        // The code page decides the encoding of a new text; a frame's own encoding stays, one no
        // version defines becomes UTF-16.
        {0, t3, n, Whole(3, tn3)},
        {0, t3, nihon, Whole(3, F(3, "TIT2", u16("日本")))},
        {0, t4, nihon, Whole(4, F(4, "TIT2", "\x03日本"s))},
        {1, enc(0), Set(kFieldTitle, kNihon), Whole(4, F(4, "TIT2", T(kNihon)))},
        {1, enc(1), Set(kFieldTitle, kNihon), Whole(4, F(4, "TIT2", u16("日本")))},
        {1, enc(1), Set(kFieldTitle, ""), Whole(4, F(4, "TIT2", u16("")))},
        {1, enc(2), Set(kFieldTitle, "ab"), Whole(4, F(4, "TIT2", "\x02" + Utf16Be("ab", false)))},
        {1, enc(3), Set(kFieldTitle, kNihon), Whole(4, F(4, "TIT2", "\x03日本"s))},
        {1, enc(7), Set(kFieldTitle, "ab"), Whole(4, F(4, "TIT2", u16("ab")))},
        {0, Old(4, {RawFrame("TCON", TextBody(1, Utf16Le("R")))}), Set(kFieldGenre, "(17)"),
         Whole(4, F(4, "TCON", u16("(17)")))},
        // COMM and WXXX: the description converted with the text, or kept with its encoding.
        {0, Old(3, {RawFrame("COMM", CommBody(0, "eng", "d", "o"))}), Set(kFieldComment, "日本"),
         Whole(3, F(3, "COMM",
                    "\x01"
                    "eng"s +
                        Utf16Le("d") + ff + Utf16Le("日本")))},
        {0, Old(3, {RawFrame("COMM", CommBody(1, "eng", Utf16Le("d"), "x"))}),
         Set(kFieldComment, "new"),
         Whole(3, F(3, "COMM",
                    "\x01"
                    "eng"s +
                        Utf16Le("d") + ff + Utf16Le("new")))},
        {0, Old(3, {}), Set(kFieldComment, "日本"),
         Whole(3, F(3, "COMM", "\x01jpn"s + Utf16Le("") + ff + Utf16Le("日本")))},
        {1, t4, Set(kFieldComment, kNihon), Whole(4, tit4 + F(4, "COMM", "\0jpn\0"s + kNihon))},
        {0, Old(4, {RawFrame("WXXX", WxxxBody(0, "", "x"))}), Set(kFieldUrl, "http://例.jp/é"),
         Whole(4, F(4, "WXXX", "\x03\0http://%E4%BE%8B.jp/\xE9"s))},
        {1, Old(4, {RawFrame("WXXX", WxxxBody(0, "", "x"))}), Set(kFieldUrl, kNihon),
         Whole(4, F(4, "WXXX", ff + kNihon))},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(Build(cases[i].old, cases[i].typed, cases[i].sjis), cases[i].want) << i;
    }
}

// Sizes in the version's own form, the header's whatever the old one said; frames after one
// found by the size rule (odd IDs too) are still matched and rewritten.
TEST(Id3v2BuildTest, SizesAndWalk) {
    for (int major : {3, 4}) {
        const Bytes old =
            Old(major, {TextFrame("TIT2", "x")}, 16384 - 200 - 10, 0, {}, false, 0x20);
        const Bytes b = Build(old, Set(kFieldTitle, Bytes(199, 'v'))).value_or("");
        EXPECT_EQ(b.substr(5, 5) + b.substr(14, 4),
                  major == 3 ? "\x20\0\x01\0\0\0\0\0\xC8"s : "\x20\0\x01\0\0\0\0\x01\x48"s);
        const Bytes longer = Build(old, Set(kFieldTitle, Bytes(17000, 'v'))).value_or("");
        EXPECT_EQ(longer.substr(6, 4), SyncsafeBytes(std::uint32_t(longer.size() - 10)));
    }
    const Bytes pic(300, '\x11');
    const Id3v2Frame before[] = {RawFrame("APIC", pic),
                                 RawFrame("APIC", pic, SizeForm::Syncsafe),
                                 RawFrame("APIC", pic, SizeForm::Plain),
                                 RawFrame("PRIV", Bytes(0x1FF, '"')),
                                 RawFrame("TPE1", ""),
                                 TextFrame("Xyz1", "odd")};
    for (const auto& [major, frame] : {std::pair{3, before[0]},
                                       {3, before[1]},
                                       {4, before[0]},
                                       {4, before[2]},
                                       {3, before[3]},
                                       {3, before[4]},
                                       {3, before[5]}}) {
        const Bytes old = Old(major, {frame, TextFrame("TIT2", "old")}, 20);
        const std::size_t at = 20 + frame.body.size();
        EXPECT_EQ(Build(old, Set(kFieldTitle, "new"), true),
                  old.substr(0, at + 11) + "new" + Bytes(20, '\0'))
            << frame.id;
    }
}
// Damaged tags never make the builder go out of bounds, and what it builds states its length.
TEST(Id3v2BuildTest, DamagedTagsBuildSafely) {
    std::mt19937 random(99);
    const Bytes base =
        Old(3,
            {TextFrame("TIT2", "title"), RawFrame("COMM", CommBody(0, "jpn", "d", "c")),
             RawFrame("APIC", Bytes(300, '\x11')), RawFrame("WXXX", WxxxBody(0, "", "u"))},
            40);
    for (int round = 0; round < 3000; ++round) {
        Bytes tag =
            base.substr(0, 3) + char(3 + round % 2) + '\0' + char(random() & 0xF0) + base.substr(6);
        for (int f = 1 + int(random() % 8); f > 0; --f)
            tag[10 + random() % (tag.size() - 10)] = char(random());
        const auto mask = std::uint16_t(random() & kId3v2AllFields);
        Typed typed;
        for (int i = 0; i < 12; ++i) typed.push_back({std::uint16_t(1 << i & mask), "v"});
        const Bytes b = Build(tag.substr(0, 10 + random() % (tag.size() - 9)), typed)
                            .value_or("ID3\x03\0\0\0\0\0\0"s);
        EXPECT_EQ(char(b[5] & 0x80) + b.substr(6, 4),
                  '\0' + SyncsafeBytes(std::uint32_t(b.size() - 10)));
    }
}

// A new tag goes before the audio and ID3v1 tag; the same values again change no byte;
// removal takes exactly the tag (and a 2.4 footer, which a rewrite makes match).
TEST(Id3v2WriteFileTest, WritesRemovesAndRewritesFooters) {
    TempDir dir;
    const std::string path = dir.Write("a.mp3", kAudio + kV1);
    EXPECT_EQ(Write(path, 0, kId3v2AllFields, "abc"),
              (Result{false, 0, {Done("ID3v2タグを編集しました")}}));
    const std::string after = ReadAll(path);
    EXPECT_EQ(after.substr(0, 28) + after.substr(183),
              "ID3\x03\0\0\0\0\x01\x2DTIT2\0\0\0\x04\0\0\0abcTPE1"s + kAudio + kV1);
    EXPECT_FALSE(Write(path, 183, kId3v2AllFields, "abc").failed || Write(path, 183, 0).failed);
    EXPECT_EQ(ReadAll(path), after);
    EXPECT_EQ(FilesIn(dir), 1u);  // no temporary file left behind
    EXPECT_EQ(Write(path, 183, kRemoveId3v2Tag).messages,
              Messages{Done("ID3v2タグを削除しました")});
    EXPECT_EQ(ReadAll(path), kAudio + kV1);
    dir.Write("a.mp3", "ID3\x04\0\0\0\0\0\0"s + kAudio);  // a bare header counts as no tag
    EXPECT_FALSE(Write(path, 0, kFieldTitle, "abc").failed);
    EXPECT_EQ(ReadAll(path), "ID3\x04\0\0\0\0\0\x0E"s +
                                 F(4, "TIT2",
                                   "\x03"
                                   "abc"s) +
                                 kAudio);
    const Bytes old = Tag("t", 4, 0x10);
    dir.Write("a.mp3", old + "3DI" + old.substr(3, 7) + kAudio);
    EXPECT_FALSE(Write(path, old.size(), kFieldTitle, "longer").failed);
    EXPECT_EQ(ReadAll(path).substr(old.size() + 5), "3DI" + ReadAll(path).substr(3, 7) + kAudio);
    EXPECT_FALSE(Write(path, old.size() + 5, kRemoveId3v2Tag).failed);
    EXPECT_EQ(ReadAll(path), kAudio);
}

// The backup holds the song as it was (a failed one is told, the write goes on); the song's
// mode and a link to it stay.
TEST(Id3v2WriteFileTest, BackupsMessagesPermissionsAndLinks) {
    TempDir dir;
    const std::string backup = dir.Write("backup.mp3", "older"),
                      path = dir.Write("a.mp3", Tag("old"));
    EXPECT_EQ(Write(path, 105, kFieldTitle, "New", 1, 1, backup), (Result{false, 0, {}}));
    EXPECT_EQ(ReadAll(backup), Tag("old"));
    const Message failed = Failure("バックアップファイルの保存に失敗しました");
    EXPECT_EQ(Write(path, 105, kFieldAlbum, "New", 2, 1, backup + "/x"),
              (Result{false, 0, {failed}}));
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    std::filesystem::create_symlink(path, dir.File("link.mp3"));
    EXPECT_EQ(Write(dir.File("link.mp3"), 119, kFieldTitle, "Newer", 1), (Result{false, 0, {}}));
    EXPECT_TRUE(std::filesystem::is_symlink(dir.File("link.mp3")));
    EXPECT_EQ(ReadAll(path).substr(21, 5) + ReadAll(path).substr(54, 3), "NewerNew");
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0, 0640u);
}

// Each refusal leaves the song byte for byte as it was and says it could not be edited.
TEST(Id3v2WriteFileTest, RefusalsLeaveTheSongUntouched) {
    TempDir dir;
    const Bytes tag = Tag("t"), v22 = "ID3\x02\0\0\0\0\0\x0A"s + Bytes(10, 'x');
    Bytes unflagged = Old(4, {TextFrame("TIT2", "t")}, 0, 0, {}, true), huge = tag;
    unflagged[19] = 0;                             // the frame lacks its own unsync flag
    huge[6] = huge[7] = huge[8] = huge[9] = 0x7F;  // 256 MB claimed on a small file
    const Bytes files[] = {tag, tag, "", unflagged, huge, huge, v22, ""};
    const std::size_t lengths[] = {106, 0, 105, unflagged.size(), (1u << 28) + 9, (1u << 28) + 9,
                                   20,  0};
    for (int i = 0; i < 8; ++i) {
        const auto mask = i == 5 || i == 7 ? kRemoveId3v2Tag : std::uint16_t(kFieldTitle);
        EXPECT_EQ(Write(dir.Write("a.mp3", files[i] + kAudio), lengths[i], mask),
                  (Result{true, mask, {Failure(kCannot)}}));
        EXPECT_EQ(ReadAll(dir.File("a.mp3")), files[i] + kAudio) << i;
    }
    EXPECT_EQ(Write(dir.File("missing.mp3"), 0), (Result{true, kFieldTitle, {Failure(kCannot)}}));
    EXPECT_EQ(FilesIn(dir), 1u);
}

// Where no temporary file can be made the song is rewritten in place; a failure part-way leaves
// its audio and ID3v1 tag at the start, without an ID3v2 tag.
TEST(Id3v2WriteFileTest, InPlaceWhereNoTemporaryFileCanBeMade) {
    TempDir dir;
    const Bytes rest = kAudio + kV1, c(100, 'c');
    const std::string path = dir.Write("a.mp3", Tag("old") + rest), folder = dir.path().string();
    if (std::system(("chattr +i '" + folder + "' 2>/dev/null").c_str()) != 0) {
        if (::geteuid() == 0) GTEST_SKIP() << "cannot keep new files out of the folder";
        ASSERT_EQ(::chmod(folder.c_str(), 0555), 0);
    }
    EXPECT_FALSE(Write(path, 105, kFieldComposer, c).failed);  // past the padding
    EXPECT_EQ(ReadAll(path),
              Whole(3, Tag("old").substr(10, 31) + F(3, "TCOM", T(c)) + Bytes(64, '\0')) + rest);
    const Message recovered =
        Failure("ID3v2タグの編集に失敗しました\nファイル保護のためID3v2タグを削除しました");
    EXPECT_EQ(
        InChild(
            [&] { return Write(path, 216, kFieldComposer, c + c).messages == Messages{recovered}; },
            216 + rest.size()),
        0);
    EXPECT_EQ(ReadAll(path), rest);
    std::system(("chattr -i '" + folder + "' 2>/dev/null").c_str());
    ::chmod(folder.c_str(), 0755);
}

// A write failing at any byte (the file size limit stops it) leaves the song as it was.
TEST(Id3v2CrashTest, WriteFailingAtAnyByteLeavesTheSongUntouched) {
    TempDir dir;
    const Bytes before = Tag("old") + CbrFile(200000);
    const std::string path = dir.Write("song.mp3", before);
    const auto write = [&] {
        return Write(path, 105, kFieldComposer, Bytes(500, 'c')).messages ==
               Messages{Failure(kCannot)};
    };
    for (rlim_t limit : {0ul, 5ul, 10ul, 300ul, 4096ul, 100000ul, before.size()}) {
        EXPECT_EQ(InChild(write, limit), 0) << limit;
        EXPECT_TRUE(ReadAll(path) == before && FilesIn(dir) == 1) << limit;
    }
}

ino_t Inode(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}
// The size of the temporary file a write is filling; nothing between writes.
std::optional<std::uintmax_t> TemporaryFileSize(const TempDir& dir) {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path(), error)) {
        if (entry.path().filename().string().starts_with(".sorrelbox-"))
            return std::filesystem::file_size(entry.path(), error);
    }
    return std::nullopt;
}

// The kill points are moments the writer shows, not times: before or after the song's
// replacement, with the next temporary file not looked for or filled to a random part.
TEST(Id3v2CrashTest, KilledAtAnyMomentLeavesTheOldOrTheNewFile) {
    TempDir dir;
    const Bytes audio = CbrFile(3 << 20), fileA = Tag("AAAA") + audio, fileB = Tag("BBBB") + audio;
    const std::string path = dir.Write("song.mp3", fileA);
    std::mt19937 random(12345);
    std::uniform_real_distribution<double> filled(-0.25, 1.0);  // below 0: no file looked for
    int sawOld = 0, sawNew = 0, midWrite = 0;
    for (int i = 0; i < 48; ++i) {
        const std::string old = ReadAll(path);
        const ino_t oldInode = Inode(path);
        const pid_t writer = ::fork();
        for (bool toB = old == fileA; writer == 0; toB = !toB) {  // each write flips the title
            if (Write(path, 106, kFieldTitle, toB ? "BBBB" : "AAAA", 1).failed) ::_exit(3);
        }
        const double part = filled(random);
        const auto reached = [&] {
            const auto size = TemporaryFileSize(dir);
            return (i % 2 == 0 || Inode(path) != oldInode) &&
                   (part < 0 || (size && double(*size) >= part * double(fileA.size())));
        };
        siginfo_t info{};
        while (!reached() &&
               ::waitid(P_PID, id_t(writer), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
               info.si_pid == 0) {
            std::this_thread::yield();
        }
        ::kill(writer, SIGKILL);
        ASSERT_EQ(Reap(writer), -SIGKILL);
        const std::string now = ReadAll(path);
        ASSERT_TRUE(now == fileA || now == fileB) << i << ": " << now.size() << " bytes";
        (now == old ? sawOld : sawNew)++;
        for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
            if (entry.path() != path) midWrite += std::filesystem::remove(entry.path());
        }
    }
    EXPECT_TRUE(sawOld > 0 && sawNew > 0 && midWrite > 0);
}

// Overwrite, append (even behind a file too short for a tag), removal of exactly the tag; a
// file that lost its tag keeps every audio byte; unopenable files fail with their message; a
// write the system cuts short leaves no part of a tag behind the audio.
TEST(Id3v1WriterTest, WritesAppendsRemovesAndRefuses) {
    TempDir dir;
    Id3v1Image image;
    image.title.fill('T'), image.year = {'1', '9', '9', '9'}, image.commentBlock[29] = 7;
    const auto raw = image.Bytes();
    const Bytes v1(raw.begin(), raw.end()), edit = "ID3v1タグを編集", remove = "ID3v1タグを削除";
    std::filesystem::create_directory(dir.path() / "folder");
    const Bytes before[] = {kAudio + kV1, kAudio, "TAGxyz", kAudio + kV1, kAudio, "", "", "", ""};
    const Bytes after[] = {kAudio + v1, kAudio + v1, "TAGxyz" + v1, kAudio, kAudio};
    const Message messages[] = {Done(edit + "しました"), Failure(edit + "できませんでした"),
                                Done(remove + "しました"), Failure(remove + "できませんでした")};
    const int want[][3] = {{0, 0, 0}, {0, 1, -1}, {0, 1, -1}, {1, 0, 2}, {1, 1, 3},
                           {0, 1, 1}, {1, 1, 3},  {0, 1, 1},  {1, 1, 3}};
    for (int i = 0; i < 9; ++i) {  // remove, kanryoumes, message
        ScriptedPrompts p;
        const std::string path =
            i < 5 ? dir.Write("s", before[i]) : dir.File(i < 7 ? "missing" : "folder");
        const auto result = WriteId3v1Tag(path, image, want[i][0], std::uint8_t(want[i][1]), p);
        EXPECT_EQ(result, i < 3    ? Id3v1WriteResult::Written
                          : i == 3 ? Id3v1WriteResult::Removed
                                   : Id3v1WriteResult::Failed);
        EXPECT_EQ(p.messages, want[i][2] < 0 ? Messages{} : Messages{messages[want[i][2]]}) << i;
        EXPECT_EQ(ReadAll(path), i < 5 ? after[i] : "") << i;
    }
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "missing"));  // never created
    const std::string path = dir.Write("s", kAudio);
    const auto write = [&] {
        ScriptedPrompts q;
        return WriteId3v1Tag(path, image, false, 1, q) == Id3v1WriteResult::Failed &&
               q.messages.size() == 1;
    };
    EXPECT_EQ(InChild(write, kAudio.size() + 50), 0);
    EXPECT_EQ(ReadAll(path), kAudio);
}

// The peers (mutagen, kid3-cli, ffprobe) find the fields in the file.
void PeersRead(const std::string& python, const std::string& path, const std::string& json) {
    std::ofstream(path + ".json") << json;
    const PeerRun r = RunPeerScript(python, {"check", path, path + ".json"});
    EXPECT_EQ(r.status, 0) << r.out;
}

// Every field is rewritten or created, in both code pages, over old tags of both versions
// whose text frames use each encoding; we and the peers read it, frames not edited stay.
TEST(Id3v2PeerTest, WeAndPeersReadWhatWeWrite) {
    const auto python = PeerPython();
    TempDir dir;
    const Lines keys = Split("TIT2|TPE1|TALB|YEAR|TCON|COMM|TRCK|TCOM|TOPE|TCOP|WXXX|TENC");
    for (const int c :
         {0, 3, 4, 41, 42, 43, 100, 103, 104, 131, 143}) {  // CP932, version, encoding
        const int major = c % 100 / 10 ? c % 100 / 10 : c % 100,
                  encoding = c % 100 / 10 ? c % 10 : 0;
        const CodePage cp(c >= 100 ? CodePage::Kind::Cp932 : CodePage::Kind::Utf8);
        ScopedCodePage scoped(cp);
        const std::string joined = cp.FromUtf8(
            c >= 100 ? "日本語ソ|表示|アルバム|2001|(3)|コメント|7|作曲|原|著作|http://x.jp/|符"
                     : "日本語ソ|表示 "
                       "\xF0\x9F\x8E\xB5|Ålbum|2002|(17)|コメント|1|作曲|原|著作|http://u/|符");
        const Lines values = Split(joined);
        const Bytes text[] = {"old", Utf16Le("old"), Utf16Be("old", false), "old"};
        std::vector<Id3v2Frame> frames = {
            RawFrame("TCON", T("(1)")), RawFrame("COMM", CommBody(0, "jpn", "", "old")),
            RawFrame("WXXX", "\0\0http://old/"s), RawFrame("APIC", Bytes(3000, 'Z'))};
        for (const char* id : {"TIT2", "TPE1", "TALB", major == 4 ? "TDRC" : "TYER", "TRCK", "TCOM",
                               "TOPE", "TCOP", "TENC"}) {
            frames.push_back(TextFrame(id, text[encoding], std::uint8_t(encoding)));
        }
        const Bytes old = major ? Old(major, frames, 200) : "";
        const std::string path = dir.Write("peer.mp3", old + FramesFile(72));
        ASSERT_EQ(Write(path, old.size(), kId3v2AllFields, joined, 1), (Result{false, 0, {}})) << c;
        SongInfo info;
        ScanMpegFile(path, info);
        const auto read = ReadSongTags(path, info.id3v2Size);
        ASSERT_TRUE(read && read->v2.tagVersion == (major ? major : 3)) << c;
        for (int type = 1; type <= kFieldTypes; ++type)
            EXPECT_EQ(read->v2.field(type).value, values[type - 1]) << c;
        EXPECT_EQ(ReadAll(path).find(Bytes(3000, 'Z')) != Bytes::npos, major != 0) << c;
        if (!python) continue;
        // Shift-JIS stays under encoding 0, as Japanese players expect.
        std::string json = "{\"codec\": \""s + (c >= 100 ? "cp932" : "utf-8") +
                           "\", \"version\": " + std::to_string(major ? major : 3) +
                           (c >= 100 ? ", \"genreName\": \"Dance\"" : ", \"genreName\": \"Rock\"") +
                           (c == 100 || c == 103 || c == 104 ? ", \"encoding\": 0" : "") +
                           ", \"fields\": {";
        for (std::size_t i = 0; i < 12; ++i)
            json += (i ? ", " : "") + JsonString(keys[i]) + ": " + JsonString(cp.ToUtf8(values[i]));
        PeersRead(*python, path, json + "}}");
    }
}

// A peer's tag, picture and all, survives our edit, one that outgrows its padding.
TEST(Id3v2PeerTest, PictureOfAPeersTagSurvivesOurEdit) {
    const auto python = PeerPython();
    if (!python) GTEST_SKIP() << "no Python with mutagen";
    TempDir dir;
    ScopedCodePage scoped{CodePage(CodePage::Kind::Utf8)};
    for (int version : {3, 4}) {
        const std::string path = dir.Write("pic.mp3", FramesFile(72)), value(3000, 'e');
        const PeerRun made = RunPeerScript(*python, {"make", path, std::to_string(version)});
        SongInfo info;
        ScanMpegFile(path, info);
        EXPECT_EQ(Write(path, info.id3v2Size + 10, kFieldTitle | kFieldComment, value, 1),
                  (Result{false, 0, {}}));
        EXPECT_EQ(RunPeerScript(*python, {"picture", path}).out, made.out);
        PeersRead(*python, path,
                  "{\"codec\": \"utf-8\", \"version\": " + std::to_string(version) +
                      ", \"fields\": {\"TIT2\": \"" + value +
                      "\", \"TPE1\": \"Peer artist\", \"COMM\": \"" + value + "\"}}");
    }
}

// Each a sorts strictly before b, in both code pages: case and width folded, ties by code
// point, ASCII before kana, voiced kana with their plain forms, the long mark as the vowel
// before it, small kana as large, hiragana with katakana, kanji after kana.
TEST(ListOrderTest, FixedOrderAndEquality) {
    const Lines order = Split(
        "|a|abc|ABD|ABC|abc|Ｂ|c|R&B|アシッド|カルト|ガングスタ|ガングスタ|カントリー|カ|ガ|"
        "オールディーズ|"
        "オルタナティブ|ジャングル|ショーチューン|ソウル|その他|ロックンロール|歌謡曲|歌謡曲|演歌");
    for (const CodePage& cp : {kUtf8, kCp932}) {
        for (std::size_t i = 0; i < std::size(order); i += 2) {
            const std::string a = cp.FromUtf8(order[i]), b = cp.FromUtf8(order[i + 1]);
            EXPECT_TRUE(ListOrderLess(a, b, cp) && !ListOrderLess(b, a, cp) &&
                        !ListOrderLess(a, a, cp))
                << order[i];
        }
    }
    // Equal apart from case and width; two invalid byte strings are still different.
    const Lines equal = Split("The Band|the BAND|ＡＢＣ|ａｂｃ|カ|ガ|Band|Bands|\xFF|\xFE");
    for (std::size_t i = 0; i < equal.size(); i += 2) {
        EXPECT_EQ(ListTextEqualIgnoringCase(equal[i], equal[i + 1], kUtf8), i < 4) << equal[i];
    }
    EXPECT_EQ(SplitListLines("a\r\nb\r\n\r\nc\rd\n\ne"), (Lines{"a", "b", "", "c\rd", "", "e"}));
    EXPECT_EQ(SplitListLines(""), Lines{});
}

// The shipped genre.txt is in the boxes' order under any locale; codes follow box positions
// whatever the file's order, and lines past the table are left out.
TEST(GenreListTest, ShippedFileAndCodes) {
    for (const CodePage& cp : {kUtf8, kCp932}) {
        ScopedCodePage scoped(cp);
        const Lines lines = SplitListLines(cp.FromUtf8(kShipped));
        ASSERT_EQ(lines.size(), kGenreCount);
        for (std::size_t i = 1; i < lines.size(); ++i)
            EXPECT_TRUE(ListOrderLess(lines[i - 1], lines[i])) << i;
        for (const char* locale : {"C", "ja_JP.UTF-8", "en_US.UTF-8", "de_DE.UTF-8"}) {
            std::setlocale(LC_ALL, locale);  // may fail; the order must not care either way
            EXPECT_EQ(GenreList::FromBytes(cp.FromUtf8(kShipped), 0).names(), lines) << locale;
        }
        std::setlocale(LC_ALL, "C");
    }
    ScopedCodePage utf8(kUtf8);
    test::TempDir dir;
    Lines reversed = SplitListLines(kShipped);
    std::string shuffled;
    for (auto line = reversed.rbegin(); line != reversed.rend(); ++line) shuffled += *line + "\r\n";
    const GenreList list = GenreList::Load(dir.Write("genre.txt", shuffled + "Extra\nMore\n"), 0);
    EXPECT_EQ(list.names(), reversed);
    const Lines names = Split("|J-POP|R&B|ブルース|ロック|ジャズ|ハードロック|アニメソング|童謡");
    const int codes[] = {247, 146, 14, 0, 17, 8, 79, 255, 253};
    for (int i = 0; i < 9; ++i) {
        const auto at = std::find(reversed.begin(), reversed.end(), names[i]) - reversed.begin();
        EXPECT_EQ(list.CodeAt(int(at)), codes[i]) << names[i];
    }
    EXPECT_EQ(list.CodeAt(-1) + list.CodeAt(int(kGenreCount)), 2 * 247);  // no selection: line 0
    const GenreList kuuran = GenreList::FromBytes(kShipped, 1),
                    missing = GenreList::Load(dir.File("none"), 0),
                    few =
                        GenreList::FromBytes("\nB\nA\n", 0);  // the empty choice is 255 with kuuran
    EXPECT_EQ((std::vector{list.FirstLineWithCode(17), list.FirstLineWithCode(80),
                           kuuran.FirstLineWithCode(255), kuuran.FirstLineWithCode(247),
                           few.FirstLineWithCode(146), few.FirstLineWithCode(14)}),
              (std::vector<std::optional<int>>{83, {}, 0, {}, 1, {}}));
    EXPECT_TRUE(missing.genreListMissing() && missing.names().empty() && !list.genreListMissing());
    EXPECT_EQ(few.names(), (Lines{"", "A", "B"}));
}

// Entries sorted, a case-blind duplicate refused, the file rewritten whole; a failed write
// keeps the new entry and the file; a list too large to read whole is never replaced.
TEST(ArtistListTest, AddAndFilesNeverLost) {
    ScopedCodePage utf8(kUtf8);
    test::TempDir dir;
    EXPECT_EQ(ArtistList::FromBytes("Zed\r\nabba\r\n\r\nBand\r\n").entries(),
              (Lines{"", "abba", "Band", "Zed"}));
    const std::string path = dir.Write("artist.txt", "Zed\r\nabba\r\n"),
                      fresh = dir.File("new.txt");
    ArtistList list = ArtistList::Load(path);
    ScriptedPrompts prompts, quiet;
    std::size_t position = 99;
    EXPECT_EQ(list.Add("Band", path, 0, prompts, &position), ArtistList::AddResult::Added);
    EXPECT_EQ(position, 1u);
    EXPECT_EQ(list.Add("ZED", path, 0, prompts), ArtistList::AddResult::AlreadyListed);
    EXPECT_EQ(list.Add("", path, 0, prompts), ArtistList::AddResult::Empty);
    EXPECT_EQ(test::ReadAll(path), "abba\r\nBand\r\nZed\r\n");
    EXPECT_EQ(ArtistList::Load(fresh).Add("ア", fresh, 1, quiet), ArtistList::AddResult::Added);
    EXPECT_EQ(test::ReadAll(fresh), "ア\r\n");
    std::filesystem::create_directory(dir.path() / "folder");
    EXPECT_EQ(list.Add("Cat", dir.File("folder"), 0, prompts), ArtistList::AddResult::WriteFailed);
    EXPECT_EQ(list.entries(), (Lines{"abba", "Band", "Cat", "Zed"}));
    const std::string large = dir.Write("large.txt", "Zed\r\n");
    std::filesystem::resize_file(large, 17u << 20);
    EXPECT_EQ(ArtistList::Load(large).Add("Band", large, 0, prompts),
              ArtistList::AddResult::Unreadable);
    EXPECT_EQ(std::filesystem::file_size(large) == 17u << 20 &&
                  test::ReadAll(large).starts_with("Zed\r\n"),
              true);
    EXPECT_TRUE(quiet.messages.empty() && std::filesystem::is_directory(dir.path() / "folder"));
    const auto failed = test::Refusal("リストを更新できませんでした");
    EXPECT_EQ(prompts.messages,
              (std::vector{test::Done("リストに追加しました"),
                           test::Refusal("すでにリストにあります"), failed, failed}));
}

// ID3v2 to ID3v1: cut to the widths, never splitting a character; held fields stay; the
// track from its first three bytes (the counter with automatic tracks).
TEST(TagConversionTest, CopiesBetweenThePages) {
    const std::string a = "\xE3\x81\x82", c35(35, 'c'), c28(28, 'c');  // あ: 3 bytes
    const std::string titles[] = {
        std::string(40, 't'), std::string(29, 't') + a + "x", "t", "t", "t", "t"};
    const std::string comments[] = {c35, std::string(27, 'c') + a, c35, c35, "", ""};
    const std::string years[] = {"19990", "19" + a, "1999", "", "", ""},
                      tracks[] = {"7/12", "7", "300", "1234", "x5", ""};
    const Id3v1Values want[] = {
        {std::string(30, 't'), "Band", "A", "1999", c28, 7, 5},
        {std::string(29, 't'), "Band", "A", "19", std::string(27, 'c'), 7, 5},
        {"t", "Old", "A", "1999", c28, 44, 5},
        {"t", "Band", "A", "", c28, 123, 5},
        {"t", "Band", "A", "", "", 0, 5},
        {"t", "Band", "A", "", "", 2, 5}};
    for (int i = 0; i < 6; ++i) {
        TagEditor editor(EditorMode::List, "/m/song.mp3");
        Id3v2Values& v2 = editor.v2.values;
        v2[V2Field::Title] = titles[i], v2[V2Field::Comment] = comments[i],
        v2[V2Field::Year] = years[i];
        v2[V2Field::Track] = tracks[i], v2[V2Field::Artist] = "Band", v2[V2Field::Album] = "A",
        v2.genreLine = 5;
        editor.v1.values.artist = "Old", editor.v1.holds.artist = i == 2, editor.autoTrack = i == 5;
        editor.trackCounter = 258, editor.currentPage = 2;
        CopyId3v2ToId3v1(editor, kUtf8);
        EXPECT_EQ(editor.v1.values, want[i]) << i;
        EXPECT_TRUE(editor.v1.hasBox && editor.currentPage == 1);
    }
    // ID3v1 to ID3v2: whole values; held fields and frames not taken over (locked) stay.
    TagEditor editor(EditorMode::List, "/m/song.mp3");
    editor.v1.values = {"T", "A", "B", "2001", "C", 0, 9};
    editor.v2.values[V2Field::Composer] = "Comp", editor.v2.values[V2Field::Track] = "3";
    editor.v2.holds[V2Field::Album] = true;
    CopyId3v1ToId3v2(editor);
    const Id3v2Values& v2 = editor.v2.values;
    EXPECT_EQ(v2[V2Field::Title] + v2[V2Field::Album] + v2[V2Field::Comment] + v2[V2Field::Track] +
                  v2[V2Field::Composer],
              "TCComp");
    EXPECT_TRUE(v2.genreLine == 9 && editor.v2.hasBox && editor.currentPage == 2);
    editor.v1.values = {"T", "A", "B", "2001", "New", 4, 3};
    editor.v2.record.lockedFlags = FieldBit(V2Field::Comment) | FieldBit(V2Field::Genre);
    CopyId3v1ToId3v2(editor);
    EXPECT_EQ(v2[V2Field::Comment] + v2[V2Field::Track] + std::to_string(v2.genreLine), "C49");
    editor.autoTrack = true, editor.trackCounter = 12;
    CopyId3v1ToId3v2(editor);
    EXPECT_EQ(v2[V2Field::Track], "12");
}

// Checked: the shown page's track starts the counter; unchecked: what the file held.
TEST(TagConversionTest, AutomaticTrackStartsFromTheShownPage) {
    const int pages[] = {1, 1, 2, 2, 1}, v1Tracks[] = {0, 4, 4, 4, -3},
              counters[] = {1, 4, 12, 1, 1};
    const char* v2Tracks[] = {"", "9", "12/15", "", ""};
    for (int i = 0; i < 5; ++i) {
        TagEditor editor(EditorMode::List, "/m/song.mp3");
        editor.currentPage = std::uint8_t(pages[i]),
        editor.v1.values.track = std::int16_t(v1Tracks[i]);
        editor.v2.values[V2Field::Track] = v2Tracks[i];
        editor.v2.record.oldValue[FieldIndex(V2Field::Track)] = "8/9";
        SetAutoTrack(editor, true);
        EXPECT_TRUE(editor.autoTrack && editor.trackCounter == counters[i] &&
                    editor.v1.values.track == counters[i])
            << i;
        EXPECT_EQ(editor.v2.values[V2Field::Track], std::to_string(counters[i]));
        SetAutoTrack(editor, false);
        EXPECT_TRUE(!editor.autoTrack && editor.v1.values.track == 0 &&
                    editor.v2.values[V2Field::Track] == "8/9");
    }
}

TEST(FileNameTemplateTest, Expansion) {
    const Id3v1Values v1 = {"Intro", "Band1", "Alb1", "1999", "c1", 3, -1};
    const Id3v2Values v2 = {
        {{"Song", "Band", "Alb2", "2001", "", "c2", "12", "Comp", "Orig", "Copy", "url", "Enc"}},
        -1};
    // Each token once; the hyphen is the width character (width 0); at the end only the
    // four characters are replaced; width 12 takes one digit.
    const Lines cases = Split(
        "%1tr2 %1ti|03 Intro|%2tr3-%2ar|012-Band|%1tr-%1ti|3Intro|%2ti %2ti|Song %2ti|"
        "%1ar%1al%1ye%1cm|Band1Alb11999c1|%2al%2ye%2cm%2sa%2or%2co%2ur%2en|"
        "Alb22001c2CompOrigCopyurlEnc|"
        "x%1tr|x3|%1tr12|0000000000032|%2tr1|12|||%1TI|%1TI");
    for (int i = 0; i < 22; i += 2)
        EXPECT_EQ(ExpandFileNameTemplate(cases[i], v1, v2, kUtf8), cases[i + 1]) << cases[i];
    // A title holding a later token has it replaced; an earlier one does not.
    Id3v1Values tricky = v1;
    tricky.title = "%1ar and %1ti";
    EXPECT_EQ(ExpandFileNameTemplate("%1ti", tricky, v2, kUtf8), "Band1 and %1ti");
    // Tokens only on character boundaries (0x83 0x25 is one character); a double-byte width
    // character is replaced whole.
    EXPECT_EQ(ExpandFileNameTemplate("\x83%1ti\x83\x40%1tr\x82\xA0x", v1, {}, kCp932),
              "\x83%1ti\x83\x40"
              "3x");
}

TEST(RenameSongTest, ForbiddenCharactersAndRename) {
    for (const char c : std::string("\\/:*?\"<>|"))
        EXPECT_EQ(FindForbiddenNameChar(std::string("ab") + c, kCp932), 2u) << c;
    // 0x95 0x5C and 0x83 0x7C are single Shift-JIS characters, not a backslash or a bar.
    EXPECT_EQ(FindForbiddenNameChar("\x95\x5C\x83\x7C", kCp932), std::string::npos);
    EXPECT_EQ(FindForbiddenNameChar("\x95\x5C", kUtf8), 1u);
    ScopedCodePage utf8(kUtf8);
    test::TempDir dir;
    SongTable table(PathStyle::Posix);
    std::string song = dir.Write("song.mp3", "bytes"), renamed = dir.File("新しい.mp3");
    table.AppendEntry(dir.Write("first.mp3", "1"), "first"), table.AppendEntry(song, "old");
    table.AppendEntry(dir.Write("last.mp3", "3"), "last");
    table.info().seconds = 6000 + 125;
    ScriptedPrompts prompts;
    EXPECT_EQ(RenameSongFile(song, "新しい", renamed, table, 1, 1, prompts),
              RenameOutcome::Renamed);
    EXPECT_EQ(song + test::ReadAll(renamed) + table.songPaths()[1], renamed + "bytes" + renamed);
    EXPECT_EQ(table.entries(), (Lines{"first", "102：05  新しい.mp3", "last"}));
    EXPECT_EQ(SongListEntry(65, "a"), "  1：05  a");
    EXPECT_TRUE(prompts.messages.empty());  // kanryoumes
}

}  // namespace
}  // namespace sorrelbox
