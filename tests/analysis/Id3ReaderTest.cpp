#include "analysis/Id3Reader.h"

#include <gtest/gtest.h>

#include "analysis/FrameSize.h"
#include "platform/CodePage.h"
#include "support/Mp3Builder.h"

namespace sorrelbox {
namespace {

using namespace std::string_literals;
using T = test::Id3v2Tag;
using V1 = test::Id3v1Tag;
using test::Bytes, test::Id3v2Frame, test::SizeForm, test::TextFrame, test::Utf16Le;
const CodePage kUtf8(CodePage::Kind::Utf8), kCp932(CodePage::Kind::Cp932);

std::span<const std::uint8_t> AsBytes(const Bytes& b) {
    return {reinterpret_cast<const std::uint8_t*>(b.data()), b.size()};
}
Id3v2Frame F(std::string id, Bytes body, std::uint16_t flags = 0,
             std::optional<std::uint32_t> size = {}, SizeForm form = SizeForm::Native) {
    return {std::move(id), std::move(body), form, std::nullopt, size, flags};
}
Bytes Tag(std::uint8_t major, std::vector<Id3v2Frame> frames, std::size_t padding = 0) {
    return test::Id3v2Tag{.major = major, .frames = std::move(frames), .padding = padding}.Build();
}
std::string Short(const std::string& s) {
    return s.size() > 20 ? "#" + std::to_string(s.size()) : s;
}

// A record in short: value/old length, [language|description] of COMM and WXXX, the flags set.
std::string Rec(const FrameRecord& r) {
    if (r.undecodable) return "undecodable";
    std::string s = Short(r.value) + "/" + std::to_string(r.oldLength);
    if (!r.language.empty() || !r.description.empty() || r.descLength) {
        s += " [" + r.language + "|" + Short(r.description);
        if (r.descLength != r.description.size()) s += "|" + std::to_string(r.descLength);
        s += "]";
    }
    return s + (r.utf16 ? " u16" : "") + (r.hasValue ? "" : " none") + (r.locked ? " locked" : "");
}

// A whole read in short: version, state, genre code, then each field's frame ID@offset+size.
std::string Describe(const Id3v2Read& r) {
    std::string s = r.tagFound ? "v" + std::to_string(r.tagVersion) : "-";
    s += std::string(r.unsupported ? " unsupported" : "") + (r.present ? "" : " unread") +
         (r.cutShort ? " cut" : "") + (r.wholeTagUnsynchronised ? " unsync" : "");
    if (r.oldGenreCode != kNoGenreCode) s += " genre" + std::to_string(r.oldGenreCode);
    for (int t = 1; t <= kFieldTypes; ++t) {
        const FrameRecord& f = r.field(t);
        EXPECT_EQ((r.presentFlags & FieldBit(t)) != 0, f.present) << t;
        EXPECT_EQ((r.utf16Flags & FieldBit(t)) != 0, f.utf16) << t;
        EXPECT_EQ((r.lockedFlags & FieldBit(t)) != 0, f.locked) << t;
        if (!f.present) continue;
        s += " " + f.id + "@" + std::to_string(f.frameOffset) + "+" + std::to_string(f.frameSize);
        if (f.frameFlags) s += " flags" + std::to_string(f.frameFlags);
        s += "=" + Rec(f);
    }
    return s;
}
// The read and the display title of a tag with an ID3v1 tag titled "Hello" after it.
std::string Read(const Bytes& tag) {
    const auto title =
        ParseTagTitle(AsBytes(tag), AsBytes(V1{.title = "Hello", .padByte = ' '}.Build()));
    return Describe(ParseId3v2Tags(AsBytes(tag))) + " title=" + Short(title.value_or("-"));
}

TEST(FrameSizeTest, FormsAndFallback) {
    // 00 00 01 2C: 300 plain, 172 syncsafe. The walk rows of the whole-tag table cover the other
    // landings.
    const Bytes txxx = "TXXX"s + test::BigEndian32(300) + "\0\0"s;
    const Bytes tit2 = "TIT2"s + test::BigEndian32(1) + "\0\0\0"s;
    const std::tuple<Bytes, std::uint8_t, std::uint32_t> rows[] = {
        {txxx + Bytes(300, 'a') + tit2, 3, 300},            // plain lands on a frame
        {"TXXX\0\0\0\xC9\0\0"s + Bytes(201, 'c'), 4, 201},  // a top bit set is never syncsafe
        {txxx + Bytes(172, 'a') + tit2 + Bytes(200, '\0'), 3, 172},  // a frame header beats zeros
        {txxx, 4, 172},  // neither lands: the version's form
        {"TXXX"s + test::BigEndian32(256) + "\0\0"s + Bytes(128, 'x') + Bytes(20, '\0'), 3, 128},
    };
    for (const auto& [frames, major, size] : rows)
        EXPECT_EQ(NextFrameSize(AsBytes(frames), 0, major), size) << frames.size();
}

TEST(Id3ReaderTest, FrameBodies) {
    const struct {
        int type;
        Bytes body, want;
        CodePage cp = kUtf8;
    } rows[] = {
        // Text to the code page: 0 as it is (ISO-8859-1 when not UTF-8), 1 by its BOM, 2, 3.
        {kArtist, "\0\x93\xfa\x95\x5c\0junk"s, "\x93\xfa\x95\x5c/9", kCp932},
        {kArtist, "\0Caf\xE9"s, "Café/4"},
        {kArtist, "\x01"s + Utf16Le("日本語表"), "\x93\xfa\x96\x7b\x8c\xea\x95\x5c/8 u16", kCp932},
        {kArtist, "\x01"s + test::Utf16Be("日本"), "日本/4 u16"},
        {kArtist, "\x01"s + Utf16Le("ab", false), "ab/4 u16"},  // no BOM: little-endian
        {kArtist, "\x01"s + Utf16Le("🎵"), "🎵/4 u16"},           // a surrogate pair
        {kArtist, "\x01"s + Utf16Le("ab") + "\0\0c\0"s, "ab/8 u16"},
        {kArtist, "\x01"s + Utf16Le("AB") + "C", "AB/5 u16"},  // an odd byte is dropped
        {kArtist, "\x02"s + test::Utf16Be("表", false), "\x95\x5c/2 u16", kCp932},
        {kArtist, "\x03日本語表"s, "\x93\xfa\x96\x7b\x8c\xea\x95\x5c/12 u16", kCp932},
        {kArtist, "\x03\xEF\xBB\xBF" + "ab"s, "ab/2 u16"},  // a UTF-8 BOM is skipped
        {kArtist, "\x03ｱ"s, "ｱ/3 u16"},                     // EF and BF bytes that are no BOM
        {kArtist, "\x03み"s, "み/3 u16"},
        {kArtist, "\x03\xF0\x9F\x8E\xB5"s, "?/4 u16", kCp932},
        // Empty frames.
        {kTitle, "", "/0 none"},
        {kGenre, "\x01"s, "/0 u16 none"},
        // Genres, comments and URLs in any encoding; locked when the code page cannot hold them.
        {kComment, "\x01jpn"s + Utf16Le("q") + "\0\0"s + Utf16Le("日本"),
         "日本/6 [jpn|\xFF\xFEq\0] u16"s},
        {kUrl, "\x01"s + Utf16Le("q") + "\0\0http"s, "http/4 [|\xFF\xFEq\0] u16"s},
        {kComment, "\x03jpn\0\xF0\x9F\x8E\xB5"s, "/0 [jpn|] u16 none locked", kCp932},
        {kGenre, "\x05(17)"s, "/0 u16 none locked"},
        {kComment, test::CommBody(0, "jpn", "desc", "text"), "text/4 [jpn|desc]"},
        {kComment, "\0engabc"s, "/0 [eng|abc]"},  // no NUL after the description
        {kComment, "\0en"s, "/0 [en|]"},
    };
    for (const auto& r : rows) {
        ScopedCodePage cp(r.cp);
        const FrameRecord record = ReadFrameBody(r.type, AsBytes(r.body));
        EXPECT_TRUE(record.present);
        EXPECT_EQ(Rec(record), r.want) << &r - rows;
    }
}

TEST(Id3ReaderTest, GenreCodes) {
    // text=code, "-" for none; a near-miss name is none
    for (const std::string row :
         {"(17)Rock=17", "rOCK=17", "0=0", "300=-", "JPop=146", "j-pop=146", "=-", "(RX)=0",
          "(300)=44", "x(1)(2)=1", "(5=-", "(99999999999999)=255", "Cid Jazz=-"}) {
        const auto code = GenreCodeOf(row.substr(0, row.rfind('=')));
        EXPECT_EQ(row.substr(0, row.rfind('=') + 1) + (code ? std::to_string(*code) : "-"), row);
    }
}

TEST(Id3ReaderTest, WholeTagsAndTheirTitle) {
    const auto tit2 = [](std::string text) { return std::vector{TextFrame("TIT2", text)}; };
    const auto otherForm = [](SizeForm form) {
        return std::vector{F("APIC", Bytes(300, 1), 0, {}, form),
                           F("TIT2", "\0"s + Bytes(200, 't'), 0, {}, form)};
    };
    const std::vector xAlbum{TextFrame("TIT2", "x"), TextFrame("TALB", "album")};
    const auto pastFile =
        T{.frames = {TextFrame("TPE1", "a"), TextFrame("TIT2", "b")}, .sizeOverride = 0x0FFFFFFF}
            .Build();
    const std::vector escaped{TextFrame("TPE1", "\xFF\xE0\xFF\0\xFF"s), TextFrame("TALB", "\xFF")};
    const struct {
        Bytes tag;
        std::string want;
        CodePage cp = kUtf8;
    } rows[] = {
        // A TIT2 that can be read is the title even when empty.
        {Tag(3, {TextFrame("TIT2", "")}), "v3 TIT2@10+1=/0 none title="},
        {Tag(3, {F("TIT2", "\x01"s)}), "v3 TIT2@10+1=/-1 u16 none title="},
        // The first frame of each field counts; TYER and TDRC share the year.
        {Tag(3, {TextFrame("TIT2", "one"), TextFrame("TDRC", "2001"), TextFrame("TIT2", "two"),
                 TextFrame("TYER", "1999"), TextFrame("TXXX", "other"), TextFrame("TENC", "enc")}),
         "v3 TIT2@10+4=one/3 TDRC@24+5=2001/4 TENC@84+4=enc/3 title=one"},
        {Tag(3, {TextFrame("TCON", "(17)Rock")}), "v3 genre17 TCON@10+9=(17)Rock/8 title=Hello"},
        {Tag(3, {F("TCON", "\x05(17)"s)}), "v3 TCON@10+5=/0 u16 none locked title=Hello"},
        // 2.3 with a revision reads as 2.4; 2.2 and unknown versions are found, not read.
        {T{.major = 2, .frames = tit2("t")}.Build(), "v2 unsupported unread title=Hello"},
        {T{.major = 3, .revision = 1, .frames = tit2("t")}.Build(), "v4 TIT2@10+2=t/1 title=t"},
        // Extended headers are skipped; one that claims more than the tag leaves no frames.
        {T{.frames = xAlbum, .extendedHeader = test::ExtendedHeader(3)}.Build(),
         "v3 TIT2@20+2=x/1 TALB@32+6=album/5 title=x"},
        {T{.major = 4, .frames = xAlbum, .extendedHeader = test::ExtendedHeader(4)}.Build(),
         "v4 TIT2@16+2=x/1 TALB@28+6=album/5 title=x"},
        {T{.frames = xAlbum, .extendedHeader = test::BigEndian32(5000)}.Build(), "v3 title=Hello"},
        // Unsynchronisation: 2.3 over the whole tag, 2.4 frame by frame.
        {T{.frames = escaped, .unsynchronise = true}.Build(),
         "v3 unsync TPE1@10+6=\xFF\xE0\xFF/5 TALB@26+2=\xFF/1 title=Hello", kCp932},
        {T{.major = 4, .frames = escaped, .unsynchronise = true}.Build(),
         "v4 TPE1@10+9 flags2=\xFF\xE0\xFF/5 TALB@29+3 flags2=\xFF/1 title=Hello", kCp932},
        // Format flags: 2.4 group byte and data length skipped; 2.3 group byte; compressed or
        // encrypted frames are present but not read.
        {Tag(4, {F("TIT2", "\x07"s + test::SyncsafeBytes(3) + "\0ab"s, 0x41),
                 F("TPE1", "\0a"s, 0x08), TextFrame("TALB", "next")}),
         "v4 TIT2@10+8 flags65=ab/2 TPE1@28+2 flags8=undecodable TALB@40+5=next/4 title=ab"},
        {Tag(3, {F("TIT2", "\0\0\0\x09xyz"s, 0x80), F("TPE1", "\x07\0ab"s, 0x20),
                 F("TALB", "\x01\0abc"s, 0x40)}),
         "v3 TIT2@10+7 flags128=undecodable TPE1@27+4 flags32=ab/2 TALB@41+5 flags64=undecodable "
         "title=Hello"},
        // Frames whose size bytes are in the other form do not lose the walk.
        {Tag(3, otherForm(SizeForm::Syncsafe), 64), "v3 TIT2@320+201=#200/200 title=#200"},
        {Tag(4, otherForm(SizeForm::Plain)), "v4 TIT2@320+201=#200/200 title=#200"},
        // The walk steps over odd IDs and stops at padding or before what leaves the tag.
        {Tag(3, {TextFrame("TPE1", "a"), F("TIT2", "\0b"s, 0, 400)}),
         "v3 cut TPE1@10+2=a/1 title=Hello"},
        {pastFile, "v3 TIT2@22+2=b/1 TPE1@10+2=a/1 title=b"},
        {Tag(3, {TextFrame("TPE1", "a")}, 30) + "TIT2", "v3 TPE1@10+2=a/1 title=Hello"},
        {Tag(3, {TextFrame("t!t2", "b"), TextFrame("TPE1", "a"), TextFrame("TIT2", "c")}),
         "v3 TIT2@34+2=c/1 TPE1@22+2=a/1 title=c"},
        {"ID3\x03\0\0\0\0\0\x05TIT2\0"s, "v3 cut title=Hello"},
        {"ID3\x03\0\0"s, "- unread title=Hello"},
        // Frames larger than 64 KB are read whole; the description length stops at 0xFFFF.
        {Tag(4,
             {F("COMM", test::CommBody(0, "eng", Bytes(70000, 'd'), "c")), TextFrame("TPE1", "z")}),
         "v4 TPE1@70026+2=z/1 COMM@10+70006=c/1 [eng|#70000|65535] title=Hello"},
    };
    for (const auto& r : rows) {
        ScopedCodePage cp(r.cp);
        EXPECT_EQ(Read(r.tag), r.want) << &r - rows;
    }
    // Without a tag to read, the ID3v1 title without trailing spaces, or none.
    const Bytes v1 = V1{.title = "\x95\x5c  ", .padByte = ' '}.Build();
    EXPECT_EQ(ParseTagTitle({}, AsBytes(v1)), "\x95\x5c");
    EXPECT_FALSE(ParseTagTitle({}, AsBytes(V1{.title = Bytes(30, ' ')}.Build())));
}

TEST(Id3ReaderTest, Id3v1Fields) {
    const auto read = [](const Bytes& last) {
        const Id3v1Read r = ParseId3v1(AsBytes(last));
        if (!r.present) return "-"s;
        return std::string(r.title.data()) + "|" + r.artist.data() + "|" + r.album.data() + "|" +
               r.year.data() + "|" + r.comment.data() + (r.hasTrack ? "|#" : "|-") +
               std::to_string(r.track) + "|" + std::to_string(r.genre);
    };
    V1 tag{Bytes(30, 'T'), Bytes(30, 'A'), Bytes(30, 'L'), "2024", Bytes(30, 'C'), 7, 17};
    const Bytes fields = Bytes(30, 'T') + "|" + Bytes(30, 'A') + "|" + Bytes(30, 'L') + "|2024|";
    EXPECT_EQ(read(tag.Build()), fields + Bytes(28, 'C') + "|#7|17");
    tag.track.reset();
    EXPECT_EQ(read(tag.Build()), fields + Bytes(30, 'C') + "|-0|17");
    EXPECT_EQ(read(tag.Build().substr(1)), "-");
    EXPECT_EQ(read("tag" + tag.Build().substr(3)), "-");
}

}  // namespace
}  // namespace sorrelbox
