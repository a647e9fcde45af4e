#include "analysis/Id3Reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "analysis/FrameSize.h"
#include "platform/CodePage.h"
#include "support/Mp3Builder.h"
#include "support/TempDir.h"

namespace sorrelbox {
namespace {

using namespace std::string_literals;
using test::Bytes;
using test::Id3v2Frame;
using test::Id3v2Tag;
using test::SizeForm;
using test::TextFrame;

const CodePage kUtf8(CodePage::Kind::Utf8);
const CodePage kCp932(CodePage::Kind::Cp932);

std::span<const std::uint8_t> AsBytes(const Bytes& b) {
    return {reinterpret_cast<const std::uint8_t*>(b.data()), b.size()};
}

Id3v2Frame Frame(std::string_view id, Bytes body, SizeForm form = SizeForm::Native,
                 std::uint16_t flags = 0) {
    Id3v2Frame f;
    f.id = id;
    f.body = std::move(body);
    f.sizeForm = form;
    f.flags = flags;
    return f;
}

Id3v2Tag Tag(std::uint8_t major, std::vector<Id3v2Frame> frames, std::size_t padding = 0) {
    Id3v2Tag tag;
    tag.major = major;
    tag.frames = std::move(frames);
    tag.padding = padding;
    return tag;
}

test::Id3v1Tag V1Title(std::string title) {
    test::Id3v1Tag tag;
    tag.title = std::move(title);
    return tag;
}

// The tag with frame index declaring 400 bytes, past the tag's end.
Bytes Sized(Id3v2Tag tag, std::size_t index) {
    tag.frames[index].sizeValue = 400;
    return tag.Build();
}

Id3v2Read Parse(const Id3v2Tag& tag) {
    return ParseId3v2Tags(AsBytes(tag.Build()));
}

// --- Frame sizes in both forms --------------------------------------------------------------

struct SizeCase {
    const char* name;
    std::uint8_t major;
    SizeForm form;
};

class FrameSizeFormTest : public ::testing::TestWithParam<SizeCase> {};

// A 300-byte frame (its size bytes differ between the forms) and frames after it.
TEST_P(FrameSizeFormTest, LongFrameDoesNotLoseTheWalk) {
    const SizeCase& c = GetParam();
    for (std::size_t padding : {std::size_t{0}, std::size_t{64}}) {
        const Id3v2Read read =
            Parse(Tag(c.major,
                      {Frame("APIC", Bytes(300, '\x01'), c.form),
                       Frame("TPE1", test::TextBody(0, "Artist"), c.form),
                       Frame("TIT2", test::TextBody(0, Bytes(200, 't')), c.form)},
                      padding));
        EXPECT_TRUE(read.present);
        EXPECT_FALSE(read.cutShort);
        EXPECT_EQ(read.field(kArtist).value, "Artist");
        EXPECT_EQ(read.field(kTitle).value, Bytes(200, 't'));
        EXPECT_EQ(read.field(kTitle).frameSize, 201u);
        EXPECT_EQ(read.field(kArtist).frameOffset, 10u + 310u);
        EXPECT_EQ(read.presentFlags, FieldBit(kArtist) | FieldBit(kTitle));
    }
}

INSTANTIATE_TEST_SUITE_P(Forms, FrameSizeFormTest,
                         ::testing::Values(SizeCase{"v23Plain", 3, SizeForm::Plain},
                                           SizeCase{"v23Syncsafe", 3, SizeForm::Syncsafe},
                                           SizeCase{"v24Syncsafe", 4, SizeForm::Syncsafe},
                                           SizeCase{"v24Plain", 4, SizeForm::Plain}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(FrameSizeTest, FormsAndFallback) {
    // 00 00 01 2C: 300 plain, 172 syncsafe.
    const Bytes tit2 = "TIT2"s + test::BigEndian32(1) + "\0\0\0"s;
    const Bytes plain300 = "TXXX"s + test::BigEndian32(300) + "\0\0"s + Bytes(300, 'a') + tit2;
    const Bytes plain172 = "TXXX"s + test::BigEndian32(300) + "\0\0"s + Bytes(172, 'a') + "TIT2"s +
                           test::BigEndian32(200) + "\0\0"s + Bytes(200, 'b');
    const struct {
        const char* name;
        Bytes frames;
        std::uint8_t major;
        std::uint32_t size;
    } cases[] = {
        {"v23 plain lands on a frame", plain300, 3, 300},
        {"v24 tries syncsafe, falls back to plain", plain300, 4, 300},
        {"v24 syncsafe lands", plain172, 4, 172},
        {"v23 plain misses, syncsafe lands", plain172, 3, 172},
        {"top bit set is never syncsafe", "TXXX"s + "\0\0\0\xC9"s + "\0\0"s + Bytes(201, 'c'), 4,
         201},
        {"a frame ID whose size does not fit is no landing",
         "TXXX"s + test::BigEndian32(300) + "\0\0"s + Bytes(172, 'a') + "TIT2"s +
             test::BigEndian32(9999) + Bytes(200, 'b'),
         3, 300},
        {"a frame header is preferred to zeros",
         "TXXX"s + test::BigEndian32(300) + "\0\0"s + Bytes(172, 'a') + tit2 + Bytes(200, '\0'), 3,
         172},
        {"neither lands: the version's form", "TXXX"s + test::BigEndian32(300) + "\0\0"s, 3, 300},
        {"neither lands, v24", "TXXX"s + test::BigEndian32(300) + "\0\0"s, 4, 172},
        {"syncsafe ends on padding",
         "TXXX"s + test::BigEndian32(256) + "\0\0"s + Bytes(128, 'x') + Bytes(20, '\0'), 3, 128},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(NextFrameSize(AsBytes(c.frames), 0, c.major), c.size) << c.name;
    }
}

// --- The editor's reading -------------------------------------------------------------------

TEST(Id3ReaderTest, Utf16TitleWithByteOrderMark) {
    ScopedCodePage cp(kUtf8);
    const Id3v2Read read = Parse(Tag(3, {Frame("TIT2", "\x01"s + test::Utf16Le("Word"))}));
    const FrameRecord& title = read.field(kTitle);
    EXPECT_EQ(title.frameSize, 11u);
    EXPECT_TRUE(title.hasValue);
    EXPECT_EQ(title.value, "Word");
    EXPECT_TRUE(title.utf16);
    EXPECT_EQ(title.oldLength, 8);
    EXPECT_EQ(read.utf16Flags, FieldBit(kTitle));
    EXPECT_EQ(read.tagVersion, 3);
}

TEST(Id3ReaderTest, EncodingsConvertToTheCodePage) {
    const struct {
        const char* name;
        CodePage cp;
        Bytes body;
        Bytes value;
        std::int32_t oldLength;
    } cases[] = {
        {"cp932 bytes as they are", kCp932, "\0\x93\xfa\x95\x5c\0junk"s, "\x93\xfa\x95\x5c", 9},
        {"utf16le bom to cp932", kCp932, "\x01"s + test::Utf16Le("日本語表"),
         "\x93\xfa\x96\x7b\x8c\xea\x95\x5c", 8},
        {"utf16be bom honoured", kUtf8, "\x01"s + test::Utf16Be("日本"), "日本", 4},
        {"utf16 without bom is little-endian", kUtf8, "\x01"s + test::Utf16Le("ab", false), "ab",
         4},
        {"utf16be", kCp932, "\x02"s + test::Utf16Be("表", false), "\x95\x5c", 2},
        {"utf8 to cp932", kCp932, "\x03日本語表"s, "\x93\xfa\x96\x7b\x8c\xea\x95\x5c", 12},
        {"utf8 to utf8 stops at nul", kUtf8,
         "\x03"
         "é\0x"s,
         "é", 4},
        {"utf8 starting with EF is no BOM", kUtf8, "\x03ｱ"s, "ｱ", 3},
        {"utf8 with BF third is no BOM", kUtf8, "\x03み"s, "み", 3},
        {"character missing in cp932", kCp932, "\x03\xF0\x9F\x8E\xB5"s, "?", 4},
        {"not UTF-8 in the UTF-8 code page: ISO-8859-1", kUtf8, "\0Caf\xE9"s, "Café", 4},
        {"utf16 nul ends the text", kUtf8, "\x01"s + test::Utf16Le("ab") + "\0\0c\0"s, "ab", 8},
        {"bom alone", kUtf8, "\x01\xFF\xFE"s, "", 0},
        {"too short for its bom", kUtf8, "\x01\xFF"s, "", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScopedCodePage cp(c.cp);
        const FrameRecord r = ReadFrameBody(kArtist, AsBytes(c.body));
        EXPECT_TRUE(r.hasValue);
        EXPECT_EQ(r.value, c.value);
        EXPECT_EQ(r.oldLength, c.oldLength);
        EXPECT_EQ(r.utf16, c.body[0] != '\0');
        EXPECT_EQ(r.encoding, static_cast<std::uint8_t>(c.body[0]));
    }
}

TEST(Id3ReaderTest, EmptyFramesGenresCommentsAndUrlsInEveryEncoding) {
    const struct {
        const char* name;
        int type;
        Bytes body;
        bool utf16;
        Bytes value;  // "" with hasValue false when locked is set or nothing follows the byte
        std::int32_t oldLength;
        bool locked = false;
        CodePage cp = kUtf8;
    } cases[] = {
        {"no bytes", kTitle, "", false, "", 0},
        {"encoding 0 only", kTitle, "\0"s, false, "", 0},
        {"utf16 encoding only", kTitle, "\x01"s, true, "", -1},
        {"utf16 encoding only, genre", kGenre, "\x01"s, true, "", 0},
        {"utf16 encoding only, comment", kComment, "\x01"s, true, "", 0},
        {"utf16 genre", kGenre, "\x01"s + test::Utf16Le("Rock"), true, "Rock", 10},
        {"utf16 comment", kComment,
         "\x01jpn\xFF\xFE"
         "d\0\0\0"s +
             test::Utf16Le("日本"),
         true, "日本", 6},
        {"utf8 comment to cp932", kComment, "\x03jpn\0表"s, true, "\x95\x5c", 2, false, kCp932},
        {"utf8 url", kUrl, "\x03\0http"s, true, "http", 4},
        {"utf16 url after its description", kUrl, "\x01"s + test::Utf16Le("d") + "\0\0http"s, true,
         "http", 4},
        {"comment cp932 cannot hold", kComment, "\x03jpn\0\xF0\x9F\x8E\xB5"s, true, "", 0, true,
         kCp932},
        {"genre in an unknown encoding", kGenre, "\x05(17)"s, true, "", 0, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScopedCodePage cp(c.cp);
        const FrameRecord r = ReadFrameBody(c.type, AsBytes(c.body));
        EXPECT_TRUE(r.present);
        EXPECT_EQ(r.utf16, c.utf16);
        EXPECT_EQ(r.hasValue, !c.locked && c.body.size() > 1);
        EXPECT_EQ(r.locked, c.locked);
        EXPECT_EQ(r.oldLength, c.oldLength);
        EXPECT_EQ(r.value, c.value);
    }
}

TEST(Id3ReaderTest, CommentAndUrlLayouts) {
    const struct {
        int type;
        Bytes body;
        const char* value;
        std::uint16_t descLength;
        std::int32_t oldLength;  // for WXXX: n - 2 - descLength
        const char* language;
    } cases[] = {
        {kComment, test::CommBody(0, "jpn", "desc", "text"), "text", 4, 4, "jpn"},
        {kComment, "\0engabc"s, "", 3, 0, "eng"},  // no NUL after the description
        {kComment, "\0en"s, "", 0, 0, "en"},
        {kUrl, test::WxxxBody(0, "d", "http://x"), "http://x", 1, 8, ""},
        {kUrl, "\0\0http://y\0"s, "http://y", 0, 9, ""},
    };
    for (const auto& c : cases) {
        const FrameRecord r = ReadFrameBody(c.type, AsBytes(c.body));
        EXPECT_EQ(r.value, c.value) << c.value;
        EXPECT_EQ(r.descLength, c.descLength) << c.value;
        EXPECT_EQ(r.oldLength, c.oldLength) << c.value;
        EXPECT_EQ(r.language, c.language) << c.value;
    }
    EXPECT_EQ(ReadFrameBody(kComment, AsBytes(test::CommBody(0, "jpn", "desc", "t"))).description,
              "desc");
}

TEST(Id3ReaderTest, GenreCodes) {
    const struct {
        const char* text;
        std::optional<std::uint8_t> code;
    } cases[] = {
        {"(17)", 17},
        {"(17)Rock", 17},
        {"Rock", 17},
        {"rOCK", 17},
        {"17", 17},
        {"0", 0},
        {"300", std::nullopt},
        {"Pop", 13},
        {"JPop", 146},
        {"j-pop", 146},
        {"Not a genre", std::nullopt},
        {"", std::nullopt},
        {"(RX)", 0},
        {"(300)", 44},
        {"x(1)(2)", 1},
        {"(5", std::nullopt},
        {"(99999999999999)", static_cast<std::uint8_t>(99999999999999ull % 256)},
    };
    for (const auto& c : cases) EXPECT_EQ(GenreCodeOf(c.text), c.code) << c.text;

    EXPECT_EQ(Parse(Tag(3, {TextFrame("TCON", "(17)Rock")})).oldGenreCode, 17);
    const Id3v2Read rock = Parse(Tag(3, {TextFrame("TCON", "Rock")}));
    EXPECT_EQ(rock.oldGenreCode, 17);
    EXPECT_EQ(rock.field(kGenre).oldLength, 4);
    EXPECT_EQ(rock.presentFlags, FieldBit(kGenre));
}

TEST(Id3ReaderTest, MatchingOrderAndDuplicates) {
    const Id3v2Read read = Parse(Tag(3, {
                                            TextFrame("TPE1", "first"),
                                            TextFrame("TDRC", "2001"),
                                            TextFrame("TPE1", "second"),
                                            TextFrame("TYER", "1999"),
                                            TextFrame("TXXX", "other"),
                                            TextFrame("TENC", "enc"),
                                        }));
    EXPECT_EQ(read.field(kArtist).value, "first");
    EXPECT_EQ(read.field(kYear).value, "2001");
    EXPECT_EQ(read.field(kYear).id, "TDRC");
    EXPECT_EQ(read.field(kEncodedBy).value, "enc");
    EXPECT_EQ(read.presentFlags, FieldBit(kArtist) | FieldBit(kYear) | FieldBit(kEncodedBy));
    EXPECT_FALSE(read.field(kTitle).present);
}

TEST(Id3ReaderTest, Versions) {
    const struct {
        std::uint8_t major, revision, version;
        bool present;
    } cases[] = {
        {2, 0, 2, false}, {3, 0, 3, true},  {3, 1, 4, true},  {4, 0, 4, true},
        {4, 9, 4, true},  {5, 0, 0, false}, {1, 0, 0, false}, {0xFF, 0, 0, false},
    };
    for (const auto& c : cases) {
        Id3v2Tag tag = Tag(c.major, {TextFrame("TIT2", "t")});
        tag.revision = c.revision;
        const Id3v2Read read = Parse(tag);
        EXPECT_TRUE(read.tagFound);
        EXPECT_EQ(read.tagVersion, c.version) << int(c.major) << "." << int(c.revision);
        EXPECT_EQ(read.present, c.present);
        EXPECT_EQ(read.unsupported, !c.present);
        EXPECT_EQ(read.field(kTitle).present, c.present);
    }
}

TEST(Id3ReaderTest, ExtendedHeaderIsSkipped) {
    for (std::uint8_t major : {3, 4}) {
        Id3v2Tag tag = Tag(major, {TextFrame("TIT2", "x"), TextFrame("TALB", "album")});
        tag.extendedHeader = test::ExtendedHeader(major);
        const Id3v2Read read = Parse(tag);
        EXPECT_EQ(read.field(kAlbum).value, "album") << int(major);
        EXPECT_EQ(read.field(kTitle).frameOffset, major == 3 ? 20u : 16u);
    }
    // An extended header size past the tag leaves no frames.
    Id3v2Tag broken = Tag(3, {TextFrame("TIT2", "x")});
    broken.extendedHeader = test::BigEndian32(5000);
    EXPECT_FALSE(Parse(broken).field(kTitle).present);
}

TEST(Id3ReaderTest, UnsynchronisationIsUndone) {
    const Bytes awkward = "\xFF\xE0\xFF\x00\xFF"s;
    ScopedCodePage cp(kCp932);  // the bytes as they are
    for (std::uint8_t major : {3, 4}) {
        SCOPED_TRACE(static_cast<int>(major));
        Id3v2Tag tag = Tag(major, {TextFrame("TPE1", awkward), TextFrame("TALB", "\xFF"s)});
        tag.unsynchronise = true;
        const Id3v2Read read = Parse(tag);
        EXPECT_EQ(read.field(kArtist).value, awkward.substr(0, 3));  // ends at its NUL
        EXPECT_EQ(read.field(kArtist).oldLength, 5);
        EXPECT_EQ(read.field(kAlbum).value, "\xFF");
        EXPECT_EQ(read.wholeTagUnsynchronised, major == 3);
    }
}

TEST(Id3ReaderTest, FrameFormatFlags) {
    // 2.4: grouping byte and data-length indicator before the data.
    const Id3v2Read v24 = Parse(
        Tag(4, {Frame("TIT2", "\x07"s + test::SyncsafeBytes(3) + "\0ab"s, SizeForm::Native, 0x0041),
                Frame("TPE1", "\0a"s, SizeForm::Native, 0x0008), TextFrame("TALB", "next")}));
    EXPECT_EQ(v24.field(kTitle).value, "ab");
    EXPECT_EQ(v24.field(kTitle).frameFlags, 0x0041);
    EXPECT_TRUE(v24.field(kArtist).undecodable);
    EXPECT_FALSE(v24.field(kArtist).hasValue);
    EXPECT_EQ(v24.presentFlags, FieldBit(kTitle) | FieldBit(kArtist) | FieldBit(kAlbum));
    // 2.3: a group byte; compression and encryption cannot be read.
    const Id3v2Read v23 = Parse(Tag(3, {Frame("TIT2", "\x07\0ab"s, SizeForm::Native, 0x0020),
                                        Frame("TPE1", "\0\0\0\x09xyz"s, SizeForm::Native, 0x0080),
                                        Frame("TALB", "\x01\0abc"s, SizeForm::Native, 0x0040)}));
    EXPECT_EQ(v23.field(kTitle).value, "ab");
    EXPECT_TRUE(v23.field(kArtist).undecodable);
    EXPECT_TRUE(v23.field(kAlbum).undecodable);
}

TEST(Id3ReaderTest, WalkStopsSafely) {
    const struct {
        const char* name;
        Bytes tag;
        bool title, artist, cutShort;
    } cases[] = {
        {"frame runs past the tag",
         Sized(Tag(3, {TextFrame("TPE1", "a"), TextFrame("TIT2", "b")}), 1), false, true, true},
        {"tag size past the end of the file",
         [] {
             Id3v2Tag t = Tag(3, {TextFrame("TPE1", "a"), TextFrame("TIT2", "b")});
             t.sizeOverride = 0x0FFFFFFF;
             return t.Build();
         }(),
         true, true, false},
        {"header cut by the end of the file",
         Tag(3, {TextFrame("TPE1", "a"), TextFrame("TIT2", "b")}).Build().substr(0, 27), false,
         true, true},
        {"padding ends the walk", Tag(3, {TextFrame("TPE1", "a")}, 30).Build() + "TIT2", false,
         true, false},
        {"an odd ID is stepped over",
         Tag(3, {TextFrame("t!t2", "b"), TextFrame("TPE1", "a"), TextFrame("TIT2", "c")}).Build(),
         true, true, false},
        {"an odd ID running past the tag ends the walk",
         Sized(Tag(3, {TextFrame("TPE1", "a"), TextFrame("Xyz1", "b"), TextFrame("TIT2", "c")}), 1),
         false, true, true},
        {"tag smaller than a frame header", "ID3\x03\0\0\0\0\0\x05TIT2\0"s, false, false, true},
        {"empty tag", "ID3\x03\0\0\0\0\0\0"s, false, false, false},
        {"header only, no size", "ID3\x03\0\0"s, false, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Id3v2Read read = ParseId3v2Tags(AsBytes(c.tag));
        EXPECT_EQ(read.field(kTitle).present, c.title);
        EXPECT_EQ(read.field(kArtist).present, c.artist);
        EXPECT_EQ(read.cutShort, c.cutShort);
    }
}

TEST(Id3ReaderTest, LargeFramesAreReadWhole) {
    const Id3v2Read read =
        Parse(Tag(4, {TextFrame("TIT2", Bytes(70000, 'x')),
                      Frame("COMM", test::CommBody(0, "eng", Bytes(70000, 'd'), "c")),
                      TextFrame("TPE1", "after")}));
    EXPECT_EQ(read.field(kTitle).value.size(), 70000u);
    EXPECT_EQ(read.field(kTitle).oldLength, 70000);
    EXPECT_EQ(read.field(kComment).value, "c");
    EXPECT_EQ(read.field(kComment).descLength, 0xFFFF);
    EXPECT_EQ(read.field(kComment).description.size(), 70000u);
    EXPECT_EQ(read.field(kArtist).value, "after");
}

TEST(Id3ReaderTest, Id3v1Fields) {
    test::Id3v1Tag tag;
    tag.title = "Title";
    tag.artist = "Artist";
    tag.album = "Album";
    tag.year = "2024";
    tag.comment = "Comment";
    tag.track = 7;
    tag.genre = 17;
    tag.padByte = ' ';
    const Id3v1Read read = ParseId3v1(AsBytes(tag.Build()));
    EXPECT_TRUE(read.present);
    EXPECT_EQ(std::string(read.title.data()), "Title" + Bytes(25, ' '));
    EXPECT_EQ(std::string(read.year.data()), "2024");
    EXPECT_TRUE(read.hasTrack);
    EXPECT_EQ(read.track, 7);
    EXPECT_EQ(std::string(read.comment.data()), "Comment" + Bytes(21, ' '));
    EXPECT_EQ(read.genre, 17);

    tag.track.reset();
    tag.comment = Bytes(30, 'c');
    const Id3v1Read full = ParseId3v1(AsBytes(tag.Build()));
    EXPECT_FALSE(full.hasTrack);
    EXPECT_EQ(full.track, 0);
    EXPECT_EQ(std::string(full.comment.data()), Bytes(30, 'c'));

    EXPECT_FALSE(ParseId3v1(AsBytes(tag.Build().substr(1))).present);
    EXPECT_FALSE(ParseId3v1(AsBytes("tag" + tag.Build().substr(3))).present);
}

// Records every read, so the reader is seen to stay within the file.
class RecordingSource : public ByteSource {
  public:
    explicit RecordingSource(std::string_view bytes) : bytes_(bytes) {}
    std::uint64_t size() const override { return bytes_.size(); }
    std::size_t ReadAt(std::uint64_t offset, std::span<std::uint8_t> buffer) const override {
        largestRead = std::max(largestRead, buffer.size());
        ++reads;
        return inner_.ReadAt(offset, buffer);
    }
    mutable std::size_t largestRead = 0;
    mutable int reads = 0;

  private:
    std::string_view bytes_;
    MemoryByteSource inner_{bytes_};
};

TEST(Id3ReaderTest, HugeTagSizeReadsOnlyWhatTheFileHolds) {
    Id3v2Tag tag = Tag(3, {TextFrame("TIT2", "t")});
    tag.sizeOverride = 0x0FFFFFFF;  // 256 MB
    const Bytes file = test::Mp3Builder().Id3v2(tag).Frame().Id3v1(V1Title("v1")).Build();
    RecordingSource source(file);
    const SongTags tags = ReadSongTagsFrom(source, 0x0FFFFFFF);
    EXPECT_EQ(tags.v2.field(kTitle).value, "t");
    EXPECT_TRUE(tags.v1.present);
    EXPECT_LE(source.largestRead, file.size());
    EXPECT_EQ(source.reads, 2);
}

TEST(Id3ReaderTest, FilesOnDisk) {
    ScopedCodePage cp(kUtf8);
    test::TempDir dir;
    const std::string both = test::Mp3Builder()
                                 .Id3v2(Tag(3, {TextFrame("TIT2", "v2")}))
                                 .Frame()
                                 .Id3v1(V1Title("v1"))
                                 .WriteTo(dir, "both.mp3");
    const auto tags = ReadSongTags(both, 13);
    ASSERT_TRUE(tags);
    EXPECT_EQ(tags->v2.field(kTitle).value, "v2");
    EXPECT_EQ(std::string(tags->v1.title.data()), "v1");
    // id3v2Size 0: the ID3v2 tag is not looked at.
    EXPECT_FALSE(ReadSongTags(both, 0)->v2.tagFound);
    // Shorter than an ID3v1 tag: none, even when it begins with "TAG".
    const std::string tiny = dir.Write("tiny.mp3", "TAG" + Bytes(100, 'x'));
    EXPECT_FALSE(ReadSongTags(tiny, 0)->v1.present);
    EXPECT_FALSE(ReadSongTags(dir.File("missing.mp3"), 0));
    EXPECT_FALSE(ReadSongTags(dir.path().string(), 0));
}

// --- The display title -----------------------------------------------------------------------

struct TitleCase {
    const char* name;
    CodePage cp;
    Bytes file;
    const char* title;  // nullptr: the file name
};

TEST(DisplayTitleTest, Cases) {
    test::Id3v1Tag v1Spaces;
    v1Spaces.title = "Hello";
    v1Spaces.padByte = ' ';
    test::Id3v1Tag v1Blank;
    v1Blank.title = Bytes(30, ' ');
    test::Id3v1Tag v1Sjis;
    v1Sjis.title = "\x95\x5c  ";
    v1Sjis.padByte = ' ';
    const auto audio = [](const Id3v2Tag& tag) {
        return test::Mp3Builder().Id3v2(tag).Frame().Build();
    };
    Id3v2Tag cutTitle = Tag(3, {TextFrame("TIT2", "cut")});
    cutTitle.frames[0].sizeValue = 100;
    Id3v2Tag compressed = Tag(3, {Frame("TIT2", "\0\0\0\x09x"s, SizeForm::Native, 0x0080)});
    Id3v2Tag v22;
    v22.major = 2;
    v22.frames.push_back(TextFrame("TT2", "old"));

    const auto v1After = [&](const Id3v2Tag& tag, const test::Id3v1Tag& v1) {
        return test::Mp3Builder().Id3v2(tag).Frame().Id3v1(v1).Build();
    };
    const auto title3 = [&](Bytes body) { return audio(Tag(3, {Frame("TIT2", std::move(body))})); };
    const TitleCase cases[] = {
        {"utf16 word", kUtf8, title3("\x01"s + test::Utf16Le("Word")), "Word"},
        {"utf16 to cp932", kCp932, title3("\x01"s + test::Utf16Le("表")), "\x95\x5c"},
        {"utf8 in 2.4 to cp932", kCp932, audio(Tag(4, {TextFrame("TIT2", "日本", 3)})),
         "\x93\xfa\x96\x7b"},
        {"after a long plain-size frame", kUtf8,
         audio(Tag(3, {Frame("APIC", Bytes(5000, '\x80')), TextFrame("TIT2", "found")})), "found"},
        {"after syncsafe sizes in 2.3", kUtf8,
         audio(Tag(
             3, {Frame("APIC", Bytes(300, 'p'), SizeForm::Syncsafe), TextFrame("TIT2", "found")})),
         "found"},
        {"after a frame with an odd ID", kUtf8,
         audio(Tag(3, {TextFrame("Xyz1", "odd"), TextFrame("TIT2", "found")})), "found"},
        {"first TIT2 only", kUtf8,
         audio(Tag(3, {TextFrame("TIT2", "one"), TextFrame("TIT2", "two")})), "one"},
        {"empty TIT2 wins over ID3v1", kUtf8, v1After(Tag(3, {TextFrame("TIT2", "")}), v1Spaces),
         ""},
        {"TIT2 of encoding only", kUtf8, v1After(Tag(3, {Frame("TIT2", "\x01"s)}), v1Spaces), ""},
        {"ID3v1 title trimmed", kUtf8, v1After(Tag(3, {TextFrame("TPE1", "a")}), v1Spaces),
         "Hello"},
        {"TIT2 past the tag falls to ID3v1", kUtf8,
         test::Mp3Builder().Id3v2(cutTitle).Id3v1(v1Spaces).Build(), "Hello"},
        {"compressed TIT2 falls to ID3v1", kUtf8, v1After(compressed, v1Spaces), "Hello"},
        {"2.2 tag is not read", kUtf8, v1After(v22, v1Spaces), "Hello"},
        {"shift-jis ID3v1 title with 0x5C", kCp932,
         test::Mp3Builder().Frame().Id3v1(v1Sjis).Build(), "\x95\x5c"},
        {"blank ID3v1 title", kUtf8, test::Mp3Builder().Frame().Id3v1(v1Blank).Build(), nullptr},
        {"no tags", kUtf8, test::Mp3Builder().Frame().Build(), nullptr},
        {"empty file", kUtf8, "", nullptr},
    };
    test::TempDir dir;
    for (const TitleCase& c : cases) {
        SCOPED_TRACE(c.name);
        ScopedCodePage cp(c.cp);
        const std::string path = dir.Write(std::string(c.name) + ".mp3", c.file);
        const auto header = ParseId3v2Header(AsBytes(c.file));
        const std::uint32_t size = header ? header->size : 0;
        const std::string expected = c.title ? c.title : std::string(c.name) + ".mp3";
        EXPECT_EQ(ReadDisplayTitle(path, size, PathStyle::Posix), expected);
    }
}

TEST(DisplayTitleTest, FileNameByPathStyleAndFailures) {
    ScopedCodePage cp(kUtf8);
    test::TempDir dir;
    // On POSIX a backslash is part of a name, so the Windows split can be tried on a real file.
    const std::string windowsLike =
        dir.Write("C:\\music\\track01.mp3", test::Mp3Builder().Frame().Build());
    EXPECT_EQ(ReadDisplayTitle(windowsLike, 0, PathStyle::Windows), "track01.mp3");
    EXPECT_EQ(ReadDisplayTitle(windowsLike, 0, PathStyle::Posix), "C:\\music\\track01.mp3");
    EXPECT_EQ(ReadDisplayTitle(dir.File("missing.mp3"), 0, PathStyle::Posix),
              "ファイル情報を取得できませんでした");
    EXPECT_EQ(ReadDisplayTitle(dir.path().string(), 0, PathStyle::Posix),
              "ファイル情報を取得できませんでした");
}

}  // namespace
}  // namespace sorrelbox
