#include <gtest/gtest.h>
#include <sched.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <clocale>
#include <ranges>

#include "analysis/Id3Reader.h"
#include "analysis/MpegScan.h"
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
using Messages = std::vector<Message>;
using Lines = std::vector<std::string>;
const Bytes kNihon = "\x93\xFA\x96\x7B";  // 日本 in CP932
const Bytes kAudio = CbrFile(5000), kV1 = BandV1Tag("v1");
const CodePage kUtf8(CodePage::Kind::Utf8), kCp932(CodePage::Kind::Cp932);
const auto Utf16 = [](std::string_view text) { return "\x01" + Utf16Le(text); };

Lines Split(std::string_view text) {  // "a|b|c"
    Lines out;
    for (const auto part : std::views::split(text, '|')) out.emplace_back(part.begin(), part.end());
    return out;
}
// A frame header and body in the version's size form.
Bytes Frame(int major, std::string_view id, const Bytes& body, int flags = 0) {
    const auto size = std::uint32_t(body.size());
    return Bytes(id) + (major == 4 ? SyncsafeBytes(size) : BigEndian32(size)) + char(flags >> 8) +
           char(flags) + body;
}
// flags as the header holds them; 0x80 unsynchronises the frames.
Bytes OldTag(int major, std::vector<Id3v2Frame> frames, std::size_t padding = 0, int flags = 0,
             std::optional<Bytes> extended = {}) {
    Id3v2Tag tag;
    tag.major = std::uint8_t(major);
    tag.flags = std::uint8_t(flags & 0x7F);
    tag.unsynchronise = flags & 0x80;
    tag.frames = std::move(frames);
    tag.padding = padding;
    tag.extendedHeader = std::move(extended);
    return tag.Build();
}
Bytes OneFrame(int major, std::string_view id, Bytes body, std::uint16_t flags = 0) {
    return OldTag(major, {RawFrame(id, std::move(body), flags)});
}
// The tag built with value in the fields of mask, or nothing when refused or a field was left
// unwritten.
std::optional<Bytes> Build(const Bytes& old, std::uint16_t mask, const Bytes& value,
                           bool sjis = false) {
    ScopedCodePage scoped(sjis ? kCp932 : kUtf8);
    Id3v2Edit edit;
    edit.values.fill(value);
    const auto built = BuildId3v2Tag(std::vector<std::uint8_t>(old.begin(), old.end()), edit, mask);
    if (!built.ok || mask != 0) return std::nullopt;
    return Bytes(built.tag.begin(), built.tag.end());
}
// The old tag the file tests start from: 105 bytes.
Bytes SongTag(const std::string& title, int major = 3, int flags = 0) {
    return OldTag(major, {TextFrame("TIT2", title), TextFrame("TPE1", "artist")}, 64, flags);
}
std::size_t FilesIn(const TempDir& dir) {
    return std::size_t(std::distance(std::filesystem::directory_iterator(dir.path()), {}));
}
int Reap(pid_t pid) {  // exit status, or -signal
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
}
// Runs task in a child whose files cannot grow past limit; 0 when task returned true.
template <typename Task>
int InChild(Task task, rlim_t limit) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit fileSize{limit, limit};
        ::setrlimit(RLIMIT_FSIZE, &fileSize);
        ::_exit(task() ? 0 : 1);
    }
    return Reap(pid);
}
struct Result {
    bool failed;
    std::uint16_t mask;
    Messages messages;
    bool operator==(const Result&) const = default;
};
// Writes value ("a|b|..": one for each field) into the fields of mask; the tag read was
// oldLength long.
Result Write(const std::string& path, std::size_t oldLength, std::uint16_t mask = kFieldTitle,
             const std::string& value = "New", int kanryoumes = 0, const std::string& backup = "") {
    ScriptedPrompts prompts;
    Id3v2Edit edit;
    edit.songPath = path;
    edit.oldTagLength = std::uint32_t(oldLength);
    const Lines values = Split(value);
    for (std::size_t i = 0; i < 12; ++i) edit.values[i] = values[std::min(i, values.size() - 1)];
    const WriterEnv env{std::uint8_t(!backup.empty()), std::uint8_t(kanryoumes), backup, prompts};
    return {WriteId3v2Tag(edit, mask, env), mask, prompts.messages};  // mask as the write left it
}

// Each row: the old tag, the fields set to the value, the new tag's frames and padding (its
// header is the old one's, unsynchronisation flag cleared), or nothing when refused.
TEST(Id3v2BuildTest, RewriteCases) {
    const Bytes t3 = OneFrame(3, "TIT2", "\0t"s), t4 = OneFrame(4, "TIT2", "\0t"s),
                tit3 = Frame(3, "TIT2", "\0t"s), tn3 = Frame(3, "TIT2", "\0n"s),
                tn4 = Frame(4, "TIT2", "\x03n"s), awk = "\xFF\xE0\xFF\x00"s, nihon = "日本",
                newYear = "\0"s + "2024";
    const std::vector<Id3v2Frame> unsyncFrames = {RawFrame("PRIV", awk), TextFrame("TIT2", "t")};
    Id3v2Frame running = RawFrame("PRIV", Bytes(30, 'p'));
    running.sizeValue = 5000;
    const Bytes runs = OldTag(3, {TextFrame("TIT2", "t"), running});
    Bytes newTag;  // our template: every frame, empty
    for (const char* id :
         {"TPE1", "TALB", "TYER", "TCON", "COMM", "TRCK", "TCOM", "TOPE", "TCOP", "WXXX", "TENC"})
        newTag += Frame(3, id, id == "COMM"s ? "\0jpn\0"s : id == "WXXX"s ? "\0\0"s : "\0"s);
    const auto encoded = [](int encoding) { return OneFrame(4, "TIT2", char(encoding) + "x\0"s); };
    const std::uint16_t title = kFieldTitle, comment = kFieldComment, year = kFieldYear;
    // Code page Shift-JIS, old tag, fields, value, new frames and padding.
    const std::tuple<bool, Bytes, std::uint16_t, Bytes, std::optional<Bytes>> cases[] = {
        // clang-format off
        // Sizes in the version's own form (plain in 2.3 even past 64 KiB), the header's syncsafe.
        {0, t3, title, Bytes(70000, 'b'), Frame(3, "TIT2", '\0' + Bytes(70000, 'b'))},
        {0, OldTag(4, {TextFrame("TIT2", "x")}, 16384 - 10 - 200, 0x20), title, Bytes(199, 'v'),
            Frame(4, "TIT2", "\x03" + Bytes(199, 'v')) + Bytes(16174, '\0')},
        // New frames after the old ones, before the padding, in table order; an empty frame is
        // no padding; a frame running past the tag follows them.
        {0, "", title, "abc", Frame(3, "TIT2", "\0abc"s) + newTag},
        {0, OldTag(3, {RawFrame("TIT2", ""), TextFrame("TPE1", "a")}, 5), title | comment | kFieldUrl, "n",
            tn3 + Frame(3, "TPE1", "\0a"s) + Frame(3, "COMM", "\0jpn\0n"s) + Frame(3, "WXXX", "\0\0n"s) + Bytes(5, '\0')},
        {0, runs, kFieldComposer, "C", tit3 + Frame(3, "TCOM", "\0C"s) + runs.substr(22)},
        // The first COMM only, its language and description kept; stepped over by its size.
        {0, OldTag(3, {RawFrame("COMM", "\0engde\0ol\0"s), RawFrame("COMM", "\0deu\0x"s), TextFrame("TIT2", "t")}),
            title | comment, "n", Frame(3, "COMM", "\0engde\0n"s) + Frame(3, "COMM", "\0deu\0x"s) + tn3},
        // Status flags kept, format flags dropped; data length and group byte read through.
        {0, OneFrame(4, "TIT2", "\0\0\0\x07"s + TextBody(1, Utf16Le("ab")), 0x4001), title, "n",
            Frame(4, "TIT2", Utf16("n"), 0x4000)},
        {0, OneFrame(3, "COMM", "\x42\0engd\0o"s, 0x20), comment, "new", Frame(3, "COMM", "\0engd\0new"s)},
        // Unsynchronisation: 2.3 read through and written without; 2.4 kept in the frames.
        {0, OldTag(3, unsyncFrames, 0, 0x80), title, "n", Frame(3, "PRIV", awk) + tn3},
        {0, OldTag(4, unsyncFrames, 0, 0x80), title, "n", Frame(4, "PRIV", Unsynchronise(awk), 2) + tn4},
        // Extended headers: CRC goes, 2.3 padding size made true, 2.4 update and restrictions stay.
        {0, OldTag(3, {TextFrame("TIT2", "t")}, 200, 0, "\0\0\0\x0A\x80\0\0\0\0\x05\x12\x34\x56\x78"s), title, "n",
            "\0\0\0\x06\0\0\0\0\0\xC8"s + tn3 + Bytes(200, '\0')},
        {0, OldTag(4, {TextFrame("TIT2", "t")}, 0, 0, "\0\0\0\x0F\x01\x70\0\x05\x01\x02\x03\x04\x05\x01\x42"s), title, "n",
            "\0\0\0\x09\x01\x50\x00\x01\x42"s + tn4},
        // Nothing to write gives the old tag back; a field in no known encoding is refused.
        {0, OldTag(4, {RawFrame("COMM", "\0c"s)}, 100), 0, "", Frame(4, "COMM", "\0c"s) + Bytes(100, '\0')},
        {0, OneFrame(3, "COMM", CommBody(5, "eng", "", "c")), comment | title, "n", std::nullopt},
        // The year frame by version (2.3 with a revision counts as 4, sizes stay plain).
        {1, t4, year, "2024", Frame(4, "TIT2", "\0t"s) + Frame(4, "TDRC", newYear)},
        {1, "ID3\x03\x01"s + t3.substr(5), year, "2024", tit3 + Frame(3, "TDRC", newYear)},
        // The code page decides the encoding of a new text; a frame's own encoding stays, one no
        // version defines becomes UTF-16.
        {0, t3, title, nihon, Frame(3, "TIT2", Utf16(nihon))},
        {0, t4, title, nihon, Frame(4, "TIT2", "\x03" + nihon)},
        {1, encoded(0), title, kNihon, Frame(4, "TIT2", '\0' + kNihon)},
        {1, encoded(2), title, kNihon, Frame(4, "TIT2", "\x02" + Utf16Be(nihon, false))},
        {1, encoded(3), title, kNihon, Frame(4, "TIT2", "\x03" + nihon)},
        {1, encoded(7), title, "", Frame(4, "TIT2", Utf16(""))},
        {0, OneFrame(4, "TCON", TextBody(1, Utf16Le("R"))), kFieldGenre, "(17)", Frame(4, "TCON", Utf16("(17)"))},
        // COMM and WXXX: the description converted with the text, or kept with its encoding.
        {0, OneFrame(3, "COMM", "\0engd\0o"s), comment, nihon,
            Frame(3, "COMM", "\x01"s + "eng" + Utf16Le("d") + "\0\0"s + Utf16Le(nihon))},
        {0, OneFrame(4, "WXXX", "\0\0x"s), kFieldUrl, "http://例.jp/é", Frame(4, "WXXX", "\x03\0http://%E4%BE%8B.jp/\xE9"s)},
        // clang-format on
    };
    for (const auto& [sjis, old, mask, value, body] : cases) {
        const Bytes head = old.empty() ? "ID3\x03\0\0"s : old.substr(0, 5) + char(old[5] & 0x7F);
        EXPECT_EQ(Build(old, mask, value, sjis),
                  body ? std::optional(head + SyncsafeBytes(std::uint32_t(body->size())) + *body)
                       : std::nullopt);
    }
    // Versions and headers not understood.
    for (const Bytes& old : {"ID3\x02\0\0\0\0\0\0"s, "ID3\x05\0\0\0\0\0\0"s, "XYZ\x03\0\0\0\0\0\0"s,
                             "ID3\x03"s, OldTag(3, {}, 0, 0, "\0\0\x10\0\0\0\0\0\0\0"s)})
        EXPECT_EQ(Build(old, title, "n"), std::nullopt) << old.size();
}

// A new tag goes before the audio and ID3v1 tag; the same values again change no byte;
// removal takes exactly the tag (and a 2.4 footer, which a rewrite makes match). The backup
// holds the song as it was (a failed one is told, the write goes on).
TEST(Id3v2WriteFileTest, WritesRemovesAndBacksUp) {
    TempDir dir;
    const std::string path = dir.Write("a.mp3", kAudio + kV1),
                      backup = dir.Write("backup.mp3", "older");
    EXPECT_EQ(Write(path, 0, kId3v2AllFields, "abc"),
              (Result{false, 0, {Done("ID3v2タグを編集しました")}}));
    const std::string after = ReadAll(path);
    EXPECT_EQ(after.substr(0, 28) + after.substr(183),
              "ID3\x03\0\0\0\0\x01\x2DTIT2\0\0\0\x04\0\0\0abcTPE1"s + kAudio + kV1);
    EXPECT_FALSE(Write(path, 183, kId3v2AllFields, "abc", 1, backup).failed ||
                 Write(path, 183, 0).failed);
    EXPECT_TRUE(ReadAll(path) + ReadAll(backup) == after + after && FilesIn(dir) == 2);
    EXPECT_EQ(Write(path, 183, kRemoveId3v2Tag).messages,
              Messages{Done("ID3v2タグを削除しました")});
    EXPECT_EQ(ReadAll(path), kAudio + kV1);
    dir.Write("a.mp3", "ID3\x04\0\0\0\0\0\0"s + kAudio);  // a bare header counts as no tag
    EXPECT_FALSE(Write(path, 0, kFieldTitle, "abc").failed);
    EXPECT_EQ(ReadAll(path), "ID3\x04\0\0\0\0\0\x0E"s + Frame(4, "TIT2", "\x03"s + "abc") + kAudio);
    const Bytes old = SongTag("t", 4, 0x10);
    dir.Write("a.mp3", old + "3DI" + old.substr(3, 7) + kAudio);
    EXPECT_FALSE(Write(path, old.size(), kFieldTitle, "longer").failed);
    EXPECT_EQ(ReadAll(path).substr(old.size() + 5), "3DI" + ReadAll(path).substr(3, 7) + kAudio);
    EXPECT_FALSE(Write(path, old.size() + 5, kRemoveId3v2Tag).failed);
    EXPECT_EQ(ReadAll(path), kAudio);
    dir.Write("a.mp3", SongTag("old"));
    EXPECT_EQ(Write(path, 105, kFieldAlbum, "New", 2, backup + "/x"),
              (Result{false, 0, {Failure("バックアップファイルの保存に失敗しました")}}));
}

// Each refusal, and a write failing at any byte (the file size limit stops it), leaves the
// song byte for byte as it was and no other file, and says it could not be edited.
TEST(Id3v2CrashTest, RefusedOrCutShortTheSongStaysAsItWas) {
    TempDir dir;
    const Bytes tag = SongTag("t"), v22 = "ID3\x02\0\0\0\0\0\x0A"s + Bytes(10, 'x');
    Bytes unflagged = OldTag(4, {TextFrame("TIT2", "t")}, 0, 0x80), huge = tag;
    unflagged[19] = 0;                             // the frame lacks its own unsync flag
    huge[6] = huge[7] = huge[8] = huge[9] = 0x7F;  // 256 MB claimed on a small file
    const std::size_t claimed = (1u << 28) + 9, size = 105 + kAudio.size();
    const Bytes files[] = {tag, tag, "",  unflagged, huge, huge, v22,
                           "",  tag, tag, tag,       tag,  tag,  tag};
    const std::size_t lengths[] = {
        106, 0, 105, unflagged.size(), claimed, claimed, 20, 0, 105, 105, 105, 105, 105, 105};
    const rlim_t limits[] = {RLIM_INFINITY, 0, 5, 10, 300, 4096, size};
    for (std::size_t i = 0; i < std::size(files); ++i) {
        const auto mask = i == 5 || i == 7 ? kRemoveId3v2Tag : std::uint16_t(kFieldComposer);
        const std::string path = dir.Write("a.mp3", files[i] + kAudio);
        const auto write = [&] {
            return Write(path, lengths[i], mask, Bytes(500, 'c')) ==
                   Result{true, mask, {Failure("ID3v2タグを編集できませんでした")}};
        };
        EXPECT_EQ(InChild(write, limits[i < 8 ? 0 : i - 7]), 0) << i;
        EXPECT_TRUE(ReadAll(path) == files[i] + kAudio && FilesIn(dir) == 1) << i;
    }
}

// Where no temporary file can be made the song is rewritten in place; a failure part-way leaves
// its audio and ID3v1 tag at the start, without an ID3v2 tag.
TEST(Id3v2WriteFileTest, InPlaceWhereNoTemporaryFileCanBeMade) {
    TempDir dir;
    const Bytes rest = kAudio + kV1, composer(100, 'c');
    const std::string path = dir.Write("a.mp3", SongTag("old") + rest), folder = dir.path();
    if (std::system(("chattr +i '" + folder + "' 2>/dev/null").c_str()) != 0) {
        if (::geteuid() == 0) GTEST_SKIP() << "cannot keep new files out of the folder";
        ASSERT_EQ(::chmod(folder.c_str(), 0555), 0);
    }
    EXPECT_FALSE(Write(path, 105, kFieldComposer, composer).failed);  // past the padding
    EXPECT_EQ(ReadAll(path), OldTag(3,
                                    {TextFrame("TIT2", "old"), TextFrame("TPE1", "artist"),
                                     TextFrame("TCOM", composer)},
                                    64) +
                                 rest);
    const std::string recovered =
        "ID3v2タグの編集に失敗しました\nファイル保護のためID3v2タグを削除しました";
    const auto write = [&] {
        return Write(path, 216, kFieldComposer, composer + composer) ==
               Result{true, kFieldComposer, {Failure(recovered)}};
    };
    EXPECT_EQ(InChild(write, 216 + rest.size()), 0);
    EXPECT_EQ(ReadAll(path), rest);
    std::system(("chattr -i '" + folder + "' 2>/dev/null").c_str());
    ::chmod(folder.c_str(), 0755);
}

// The kill points are moments the writer shows, not times: before or after the song's
// replacement, with the next temporary file not looked for or filled to a varying part.
TEST(Id3v2CrashTest, KilledAtAnyMomentLeavesTheOldOrTheNewFile) {
    TempDir dir;
    const Bytes audio = CbrFile(3 << 20), fileA = SongTag("AAAA") + audio,
                fileB = SongTag("BBBB") + audio;
    const std::string path = dir.Write("song.mp3", fileA);
    const auto inode = [&] {
        struct stat st {};
        return ::stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
    };
    for (int i = 0; i < 48; ++i) {
        const ino_t oldInode = inode();
        const pid_t writer = ::fork();
        for (bool toB = ReadAll(path) == fileA; writer == 0;
             toB = !toB)  // each write flips the title
            if (Write(path, 106, kFieldTitle, toB ? "BBBB" : "AAAA", 1).failed) ::_exit(3);
        const double part = (i * 7 % 20) / 16.0 - 0.25;  // below 0: no file looked for
        const auto reached = [&] {                       // by the temporary file a write is filling
            std::error_code error;
            std::uintmax_t size = 0;
            for (const auto& entry : std::filesystem::directory_iterator(dir.path(), error))
                if (entry.path() != path) size = std::filesystem::file_size(entry.path(), error);
            return (i % 2 == 0 || inode() != oldInode) &&
                   (part < 0 || double(size) >= part * double(fileA.size()));
        };
        siginfo_t info{};
        while (!reached() &&
               ::waitid(P_PID, id_t(writer), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
               info.si_pid == 0)
            ::sched_yield();
        ::kill(writer, SIGKILL);
        ASSERT_EQ(Reap(writer), -SIGKILL);
        const std::string now = ReadAll(path);
        ASSERT_TRUE(now == fileA || now == fileB) << i << ": " << now.size() << " bytes";
        for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
            if (entry.path() != path) std::filesystem::remove(entry.path());
    }
}

// Overwrite, append (even behind a file too short for a tag), removal of exactly the tag; a
// file that lost its tag keeps every audio byte; an unopenable file fails with its message; a
// write the system cuts short leaves no part of a tag behind the audio.
TEST(Id3v1WriterTest, WritesAppendsRemovesAndRefuses) {
    using enum Id3v1WriteResult;
    TempDir dir;
    Id3v1Image image;
    image.title.fill('T');
    const auto raw = image.Bytes();
    const Bytes v1(raw.begin(), raw.end()), edit = "ID3v1タグを編集", remove = "ID3v1タグを削除";
    const Message messages[] = {Done(edit + "しました"), Failure(edit + "できませんでした"),
                                Done(remove + "しました"), Failure(remove + "できませんでした")};
    // The last row's write is cut short 50 bytes into the tag.
    const Bytes before[] = {kAudio + kV1, kAudio,    "TAGxyz", kAudio + kV1,
                            kAudio,       "missing", kAudio};
    const Bytes after[] = {kAudio + v1, kAudio + v1, "TAGxyz" + v1, kAudio, kAudio, "", kAudio};
    const bool removes[] = {0, 0, 0, 1, 1, 0, 0}, quiet[] = {0, 1, 1, 0, 1, 1, 1};
    const int message[] = {0, -1, -1, 2, 3, 1, 1};
    const Id3v1WriteResult results[] = {Written, Written, Written, Removed, Failed, Failed, Failed};
    for (int i = 0; i < 7; ++i) {
        const std::string path = i != 5 ? dir.Write("s", before[i]) : dir.File(before[i]);
        const auto write = [&] {
            ScriptedPrompts prompts;
            return WriteId3v1Tag(path, image, removes[i], quiet[i], prompts) == results[i] &&
                   prompts.messages ==
                       (message[i] < 0 ? Messages{} : Messages{messages[message[i]]});
        };
        EXPECT_EQ(InChild(write, i < 6 ? RLIM_INFINITY : kAudio.size() + 50), 0) << i;
        EXPECT_EQ(ReadAll(path), after[i]) << i;
    }
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "missing"));  // never created
}

// Every field is rewritten or created, in both code pages, over old tags of both versions; we
// and the peers read it, frames not edited stay.
TEST(Id3v2PeerTest, WeAndPeersReadWhatWeWrite) {
    const auto python = PeerPython();
    TempDir dir;
    const Lines keys = Split("TIT2|TPE1|TALB|YEAR|TCON|COMM|TRCK|TCOM|TOPE|TCOP|WXXX|TENC");
    for (const int c : {0, 3, 4, 100, 103, 104}) {  // CP932, version (0: no old tag)
        const int major = c % 100;
        const CodePage cp(c >= 100 ? CodePage::Kind::Cp932 : CodePage::Kind::Utf8);
        ScopedCodePage scoped(cp);
        const std::string joined = cp.FromUtf8(
            c >= 100 ? "日本語ソ|表示|アルバム|2001|(3)|コメント|7|作曲|原|著作|http://x.jp/|符"
                     : "日本語ソ|表示 🎵|Ålbum|2002|(17)|コメント|1|作曲|原|著作|http://u/|符");
        const Lines values = Split(joined);
        const std::vector<Id3v2Frame> frames = {TextFrame("TIT2", "old"), TextFrame("TCON", "(1)"),
                                                RawFrame("WXXX", "\0\0http://old/"s),
                                                RawFrame("APIC", Bytes(3000, 'Z'))};
        const Bytes old = major ? OldTag(major, frames, 200) : "";
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
        std::string json = "{\"version\": " + std::to_string(major ? major : 3) +
                           (c >= 100 ? R"(, "codec": "cp932", "genreName": "Dance", "encoding": 0)"
                                     : R"(, "codec": "utf-8", "genreName": "Rock")") +
                           ", \"fields\": {";
        for (std::size_t i = 0; i < 12; ++i)
            json += (i ? ", " : "") + JsonString(keys[i]) + ": " + JsonString(cp.ToUtf8(values[i]));
        const PeerRun run =
            RunPeerScript(*python, {"check", path, dir.Write("peer.json", json + "}}")});
        EXPECT_EQ(run.status, 0) << run.out;
    }
}

// Each a sorts strictly before b, in both code pages: case and width folded, ties by code
// point, ASCII before kana, voiced kana with their plain forms, the long mark as the vowel
// before it (after no kana, as itself), small kana as large, hiragana with katakana, kanji
// after kana.
TEST(ListOrderTest, FixedOrderAndEquality) {
    const Lines order = Split(
        "|a|abc|ABD|ABC|abc|Ｂ|c|R&B|アシッド|カルト|ガングスタ|ガングスタ|カントリー|カ|ガ|"
        "オールディーズ|オルタナティブ|"
        "ジャングル|ショーチューン|ソウル|その他|ロックンロール|歌謡曲|歌謡曲|演歌|\x01ウ|\x01ー");
    for (const CodePage& cp : {kUtf8, kCp932}) {
        for (std::size_t i = 0; i < std::size(order); i += 2) {
            const std::string a = cp.FromUtf8(order[i]), b = cp.FromUtf8(order[i + 1]);
            EXPECT_TRUE(ListOrderLess(a, b, cp) && !ListOrderLess(b, a, cp) &&
                        !ListOrderLess(a, a, cp))
                << order[i];
        }
    }
    // Past the basic plane by code point, whatever the surrogates.
    EXPECT_TRUE(ListOrderLess("￥", "𝟿", kUtf8) && !ListOrderLess("𝟿", "￥", kUtf8));
    // Equal apart from case and width (the artist list's duplicates); two invalid byte strings
    // are still different.
    EXPECT_TRUE(ListTextEqualIgnoringCase("ＢＡＮＤ", "band", kUtf8) &&
                !ListTextEqualIgnoringCase("カ", "ガ", kUtf8) &&
                !ListTextEqualIgnoringCase("\xFF", "\xFE", kUtf8));
    EXPECT_EQ(SplitListLines("a\r\nb\r\n\r\nc\rd\n\ne"), (Lines{"a", "b", "", "c\rd", "", "e"}));
}

// The shipped genre.txt is in the boxes' order in both code pages, whatever the locale; codes
// follow box positions whatever the file's order, and lines past the table are left out.
TEST(GenreListTest, ShippedFileAndCodes) {
    const std::string shipped = ReadAll(std::string(SORRELBOX_RESOURCE_DIR) + "/genre.txt");
    const Lines sorted = SplitListLines(shipped);
    std::string reversed;
    for (auto line = sorted.rbegin(); line != sorted.rend(); ++line) reversed += *line + "\r\n";
    std::setlocale(LC_ALL, "ja_JP.UTF-8");  // may fail; the order must not care either way
    for (const CodePage& cp : {kUtf8, kCp932}) {
        ScopedCodePage scoped(cp);
        EXPECT_EQ(GenreList::FromBytes(cp.FromUtf8(reversed + "Extra\nMore\n"), 0).names(),
                  SplitListLines(cp.FromUtf8(shipped)));
    }
    std::setlocale(LC_ALL, "C");
    TempDir dir;
    const GenreList list = GenreList::Load(dir.Write("genre.txt", shipped), 0);
    EXPECT_EQ((std::vector{list.CodeAt(0), list.CodeAt(83), list.CodeAt(-1),
                           list.CodeAt(int(kGenreCount))}),
              (std::vector<std::uint8_t>{247, 17, 247, 247}));  // no selection: line 0
    EXPECT_TRUE(list.FirstLineWithCode(17) == 83 && !list.genreListMissing() &&
                GenreList::Load(dir.File("none"), 0).genreListMissing());
}

// Entries sorted, a case-blind duplicate refused, the file rewritten whole; a list too large to
// read whole is never replaced.
TEST(ArtistListTest, AddAndFilesNeverLost) {
    using enum ArtistList::AddResult;
    ScopedCodePage utf8(kUtf8);
    TempDir dir;
    const std::string path = dir.Write("artist.txt", "Zed\r\nabba\r\n"),
                      large = dir.Write("large.txt", "Zed\r\n");
    std::filesystem::resize_file(large, 17u << 20);
    ArtistList list = ArtistList::Load(path);
    ScriptedPrompts prompts;
    EXPECT_EQ(std::vector({list.Add("Band", path, 0, prompts), list.Add("ZED", path, 0, prompts),
                           ArtistList::Load(large).Add("Band", large, 0, prompts)}),
              std::vector({Added, AlreadyListed, Unreadable}));
    EXPECT_EQ(ReadAll(path), "abba\r\nBand\r\nZed\r\n");
    EXPECT_TRUE(ReadAll(large) == "Zed\r\n" + Bytes((17u << 20) - 5, '\0'));
    EXPECT_EQ(prompts.messages,
              (Messages{Done("リストに追加しました"), Refusal("すでにリストにあります"),
                        Refusal("リストを更新できませんでした")}));
}

// ID3v2 to ID3v1: cut to the widths, never splitting a character in either code page; held
// fields stay; the track from its first three bytes.
TEST(TagConversionTest, CopiesBetweenThePages) {
    const std::string a = "\xE3\x81\x82", t29(29, 't'), c27(27, 'c'), c35(35, 'c');  // あ: 3 bytes
    // Code page Shift-JIS, title, comment, year, track, the ID3v1 values.
    using Row = std::tuple<bool, std::string, std::string, std::string, std::string, Id3v1Values>;
    const Row cases[] = {
        // clang-format off
        {0, t29 + "tt", c35, "19990", "7/12", {t29 + "t", "Band", "A", "1999", c27 + "c", 7, 5}},
        {0, t29 + a, c27 + a, "19" + a, "7", {t29, "Band", "A", "19", c27, 7, 5}},
        {1, t29 + kNihon, c27 + kNihon, "199" + kNihon, "7", {t29, "Band", "A", "199", c27, 7, 5}},
        {0, "t", c35, "1999", "300", {"t", "Old", "A", "1999", c27 + "c", 44, 5}},  // artist held
        {0, "t", c35, "", "1234", {"t", "Band", "A", "", c27 + "c", 123, 5}},
        {0, "t", c35, "", "x5", {"t", "Band", "A", "", c27 + "ccc", 0, 5}},
        // clang-format on
    };
    for (const auto& [sjis, title, comment, year, track, want] : cases) {
        TagEditor editor(EditorMode::List, "/m/song.mp3");
        editor.v2.values = {{title, "Band", "A", year, "", comment, track}, 5};
        editor.v1.values.artist = "Old";
        editor.v1.holds.artist = want.artist == "Old";
        CopyId3v2ToId3v1(editor, sjis ? kCp932 : kUtf8);
        EXPECT_TRUE(editor.v1.values == want && editor.v1.hasBox) << track;
    }
    // ID3v1 to ID3v2: whole values; held fields and frames not taken over (locked) stay.
    TagEditor editor(EditorMode::List, "/m/song.mp3");
    editor.v1.values = {"T", "A", "B", "2001", "New", 0, 9};
    editor.v2.values = {{"", "", "", "", "", "Old", "3", "Comp"}, -1};
    editor.v2.holds[V2Field::Album] = true;
    editor.v2.record.lockedFlags = FieldBit(V2Field::Comment);
    CopyId3v1ToId3v2(editor);
    EXPECT_EQ(editor.v2.values, (Id3v2Values{{"T", "A", "", "2001", "", "Old", "", "Comp"}, 9}));
    EXPECT_TRUE(editor.v2.hasBox && editor.currentPage == 2);
}

// Each token once; the hyphen is the width character (width 0); at the end only the four
// characters are replaced; width 12 takes one digit; tokens only on character boundaries (0x83
// 0x25 is one character), a double-byte width character replaced whole.
TEST(FileNameTemplateTest, Expansion) {
    const Id3v1Values v1 = {"Intro", "Band1", "Alb1", "1999", "c1", 3, -1};
    const Id3v2Values v2 = {
        {"Song", "Band", "Alb2", "2001", "", "c2", "12", "Comp", "Orig", "Copy", "url", "Enc"}, -1};
    const Lines cases = Split(
        "%1tr2 %1ti|03 Intro|%2tr3-%2ar|012-Band|%1tr-%1ti|3Intro|%2ti %2ti|Song %2ti|"
        "%1ar%1al%1ye%1cm|Band1Alb11999c1|%2al%2ye%2cm%2sa%2or%2co%2ur%2en|"
        "Alb22001c2CompOrigCopyurlEnc|"
        "x%1tr|x3|%1tr12|0000000000032|%2tr1|12|||%1TI|%1TI");
    for (std::size_t i = 0; i < cases.size(); i += 2)
        EXPECT_EQ(ExpandFileNameTemplate(cases[i], v1, v2, kUtf8), cases[i + 1]) << cases[i];
    EXPECT_EQ(ExpandFileNameTemplate("\x83%1ti\x83@%1tr\x82\xA0x", v1, {}, kCp932),
              "\x83%1ti\x83@3x");
}

// Forbidden characters count only as whole characters; a rename updates the song's path and its
// list entry (with the list's total time).
TEST(RenameSongTest, ForbiddenCharactersAndRename) {
    // 0x95 0x5C and 0x83 0x7C are single Shift-JIS characters, not a backslash or a bar.
    EXPECT_EQ(FindForbiddenNameChar("\x95\x5C\x83\x7C?", kCp932), 4u);
    EXPECT_EQ(FindForbiddenNameChar("\x95\x5C", kUtf8), 1u);
    ScopedCodePage utf8(kUtf8);
    TempDir dir;
    SongTable table(PathStyle::Posix);
    std::string song = dir.Write("song.mp3", "bytes"), renamed = dir.File("新しい.mp3");
    for (const std::string name : {"first", "song", "last"})
        table.AppendEntry(dir.File(name + ".mp3"), name);
    table.info().seconds = 6000 + 125;
    ScriptedPrompts prompts;  // kanryoumes: no message
    EXPECT_TRUE(RenameSongFile(song, "新しい", renamed, table, 1, 1, prompts) ==
                    RenameOutcome::Renamed &&
                prompts.messages.empty());
    EXPECT_EQ(song + ReadAll(renamed) + table.songPaths()[1], renamed + "bytes" + renamed);
    EXPECT_EQ(table.entries(), (Lines{"first", "102：05  新しい.mp3", "last"}));
}

}  // namespace
}  // namespace sorrelbox
