#include "tagwrite/Id3v2Writer.h"

#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <string>

#include "analysis/MpegScan.h"
#include "platform/CodePage.h"
#include "support/Mp3Builder.h"
#include "tagwrite/Id3v2TestSupport.h"

// The tag built from an old tag, byte for byte. Fixtures are made with Mp3Builder; sizes in
// the expected bytes are spelled out.

namespace sorrelbox {
namespace {

using namespace std::string_literals;

using test::Bytes;
using test::CommBody;
using test::Id3v2Frame;
using test::Id3v2Tag;
using test::RawFrame;
using test::TextBody;
using test::TextFrame;
using test::WxxxBody;

struct Built {
    bool ok = false;
    Bytes tag;
    bool footer = false;
    std::uint16_t mask = 0;
};

Built Build(const Bytes& oldTag, std::uint16_t mask, const Id3v2Edit& edit) {
    const std::vector<std::uint8_t> old(oldTag.begin(), oldTag.end());
    Built b;
    b.mask = mask;
    auto r = BuildId3v2Tag(old, edit, b.mask);
    b.ok = r.ok;
    b.tag.assign(r.tag.begin(), r.tag.end());
    b.footer = r.footer;
    return b;
}

Id3v2Edit EditWith(std::uint16_t bit, std::string value) {
    Id3v2Edit edit;
    edit.values[Id3v2FieldIndex(bit)] = std::move(value);
    return edit;
}

// Frame header + body in the given size form.
Bytes Frame(std::string_view id, const Bytes& body, bool syncsafe, std::uint16_t flags = 0) {
    Bytes out(id);
    out += syncsafe ? test::SyncsafeBytes(static_cast<std::uint32_t>(body.size()))
                    : test::BigEndian32(static_cast<std::uint32_t>(body.size()));
    out += static_cast<char>(flags >> 8);
    out += static_cast<char>(flags & 0xFF);
    return out + body;
}

Bytes Header(std::uint8_t major, std::uint8_t revision, std::uint8_t flags, std::size_t bodySize) {
    return Bytes("ID3") + static_cast<char>(major) + static_cast<char>(revision) +
           static_cast<char>(flags) + test::SyncsafeBytes(static_cast<std::uint32_t>(bodySize));
}

Bytes TemplateFrom(std::size_t offset) {
    Bytes t = Frame("TIT2", Bytes(1, '\0'), false) + Frame("TPE1", Bytes(1, '\0'), false) +
              Frame("TALB", Bytes(1, '\0'), false) + Frame("TYER", Bytes(1, '\0'), false) +
              Frame("TCON", Bytes(1, '\0'), false) + Frame("COMM", Bytes("\0jpn\0", 5), false) +
              Frame("TRCK", Bytes(1, '\0'), false) + Frame("TCOM", Bytes(1, '\0'), false) +
              Frame("TOPE", Bytes(1, '\0'), false) + Frame("TCOP", Bytes(1, '\0'), false) +
              Frame("WXXX", Bytes(2, '\0'), false) + Frame("TENC", Bytes(1, '\0'), false);
    return t.substr(offset - 10);
}

TEST(Id3v2BuildTest, NewTagIsTheTemplateWithTheTitle) {
    const Built b = Build("", kFieldTitle, EditWith(kFieldTitle, "abc"));
    ASSERT_TRUE(b.ok);
    EXPECT_EQ(b.tag.size(), 150u);
    const Bytes expected = Bytes("ID3\x03\x00\x00", 6) + Bytes("\x00\x00\x01\x0C", 4) +
                           Frame("TIT2", Bytes("\0abc", 4), false) + TemplateFrom(21);
    EXPECT_EQ(b.tag, expected);
    EXPECT_EQ(b.mask, 0);
}

TEST(Id3v2BuildTest, EveryFieldIntoTheTemplate) {
    Id3v2Edit edit;
    for (std::size_t i = 0; i < kId3v2FieldCount; ++i)
        edit.values[i] = std::string(1, char('a' + i));
    const Built b = Build("", kId3v2AllFields, edit);
    ASSERT_TRUE(b.ok);
    const Bytes frames =
        Frame("TIT2", Bytes("\0a", 2), false) + Frame("TPE1", Bytes("\0b", 2), false) +
        Frame("TALB", Bytes("\0c", 2), false) + Frame("TYER", Bytes("\0d", 2), false) +
        Frame("TCON", Bytes("\0e", 2), false) + Frame("COMM", Bytes("\0jpn\0f", 6), false) +
        Frame("TRCK", Bytes("\0g", 2), false) + Frame("TCOM", Bytes("\0h", 2), false) +
        Frame("TOPE", Bytes("\0i", 2), false) + Frame("TCOP", Bytes("\0j", 2), false) +
        Frame("WXXX", Bytes("\0\0k", 3), false) + Frame("TENC", Bytes("\0l", 2), false);
    EXPECT_EQ(b.tag, Header(3, 0, 0, frames.size()) + frames);
    EXPECT_EQ(b.mask, 0);
}

TEST(Id3v2BuildTest, NewFrameGoesBeforeThePaddingWhichStaysWhole) {
    Id3v2Tag old;
    old.frames = {TextFrame("TIT2", "x"), TextFrame("TPE1", "y")};
    old.padding = 1024;
    const Bytes oldTag = old.Build();
    const Built b = Build(oldTag, kFieldComposer, EditWith(kFieldComposer, "Bach"));
    ASSERT_TRUE(b.ok);
    const Bytes frames = Frame("TIT2", Bytes("\0x", 2), false) +
                         Frame("TPE1", Bytes("\0y", 2), false) +
                         Frame("TCOM", Bytes("\0Bach", 5), false) + Bytes(1024, '\0');
    EXPECT_EQ(b.tag, Header(3, 0, 0, frames.size()) + frames);
    EXPECT_EQ(b.tag.size(), oldTag.size() + 11 + 4);
}

TEST(Id3v2BuildTest, NewFramesFollowTheLastFrameWithoutPaddingInTableOrder) {
    Id3v2Tag old;
    old.frames = {TextFrame("TIT2", "x"), RawFrame("PRIV", Bytes("own\0data", 8))};
    const Built b = Build(old.Build(), kFieldUrl | kFieldArtist | kFieldComment, [] {
        Id3v2Edit e;
        e.values[Id3v2FieldIndex(kFieldUrl)] = "http://u";
        e.values[Id3v2FieldIndex(kFieldArtist)] = "A";
        e.values[Id3v2FieldIndex(kFieldComment)] = "c";
        return e;
    }());
    ASSERT_TRUE(b.ok);
    const Bytes frames =
        Frame("TIT2", Bytes("\0x", 2), false) + Frame("PRIV", Bytes("own\0data", 8), false) +
        Frame("TPE1", Bytes("\0A", 2), false) + Frame("COMM", Bytes("\0jpn\0c", 6), false) +
        Frame("WXXX", Bytes("\0\0http://u", 10), false);
    EXPECT_EQ(b.tag, Header(3, 0, 0, frames.size()) + frames);
}

TEST(Id3v2BuildTest, OnlyTheFirstCommIsRewrittenKeepingLanguageAndDescription) {
    Id3v2Tag old;
    old.frames = {RawFrame("COMM", CommBody(0, "eng", "desc", "old one")),
                  RawFrame("COMM", CommBody(0, "deu", "", "second"))};
    const Built b = Build(old.Build(), kFieldComment, EditWith(kFieldComment, "new"));
    ASSERT_TRUE(b.ok);
    const Bytes frames = Frame("COMM", Bytes("\0engdesc\0new", 12), false) +
                         Frame("COMM", CommBody(0, "deu", "", "second"), false);
    EXPECT_EQ(b.tag, Header(3, 0, 0, frames.size()) + frames);
}

TEST(Id3v2BuildTest, YearFrameByVersion) {
    ScopedCodePage cp932{CodePage(CodePage::Kind::Cp932)};  // encoding 0 in every version
    struct Case {
        std::uint8_t major, revision;
        std::vector<Id3v2Frame> frames;
        Bytes expectedFrames;
    };
    const Case cases[] = {
        {4,
         0,
         {TextFrame("TDRC", "1999")},
         Frame("TDRC",
               Bytes("\0"
                     "2024",
                     5),
               true)},
        {4,
         0,
         {TextFrame("TIT2", "t")},
         Frame("TIT2", Bytes("\0t", 2), true) + Frame("TDRC",
                                                      Bytes("\0"
                                                            "2024",
                                                            5),
                                                      true)},
        {3,
         0,
         {TextFrame("TIT2", "t")},
         Frame("TIT2", Bytes("\0t", 2), false) + Frame("TYER",
                                                       Bytes("\0"
                                                             "2024",
                                                             5),
                                                       false)},
        // A 2.3 header with a revision counts as 4 for the year, its sizes stay plain.
        {3,
         1,
         {TextFrame("TIT2", "t")},
         Frame("TIT2", Bytes("\0t", 2), false) + Frame("TDRC",
                                                       Bytes("\0"
                                                             "2024",
                                                             5),
                                                       false)},
        // An existing TYER in a 2.4 tag is written under its own ID.
        {4,
         0,
         {TextFrame("TYER", "1999")},
         Frame("TYER",
               Bytes("\0"
                     "2024",
                     5),
               true)},
    };
    for (const Case& c : cases) {
        Id3v2Tag old;
        old.major = c.major;
        old.revision = c.revision;
        old.frames = c.frames;
        const Built b = Build(old.Build(), kFieldYear, EditWith(kFieldYear, "2024"));
        ASSERT_TRUE(b.ok);
        EXPECT_EQ(b.tag, Header(c.major, c.revision, 0, c.expectedFrames.size()) + c.expectedFrames)
            << int(c.major) << "." << int(c.revision);
    }
}

TEST(Id3v2BuildTest, RewrittenTextFrameKeepsItsEncoding) {
    ScopedCodePage sjis{CodePage(CodePage::Kind::Cp932)};
    const Bytes nihon = "\x93\xFA\x96\x7B";  // 日本 in CP932
    struct Case {
        std::uint8_t encoding;
        std::string value;
        Bytes body;
    };
    const Case cases[] = {
        {0, nihon, Bytes(1, '\0') + nihon},
        {1, "ab",
         Bytes("\x01\xFF\xFE"
               "a\0b\0",
               7)},
        {1, nihon, Bytes("\x01\xFF\xFE\xE5\x65\x2C\x67", 7)},
        {1, "", Bytes("\x01\xFF\xFE", 3)},  // an emptied UTF-16 title: size 3
        {2, "ab", Bytes("\x02\0a\0b", 5)},
        {3, nihon, "\x03\xE6\x97\xA5\xE6\x9C\xAC"},
        {3, "", "\x03"},
        // An encoding no version defines is written as a UTF-16 frame that says so.
        {7, "ab",
         Bytes("\x01\xFF\xFE"
               "a\0b\0",
               7)},
    };
    for (const Case& c : cases) {
        Id3v2Tag old;
        old.major = 4;
        old.frames = {RawFrame("TIT2", TextBody(c.encoding, "whatever\0"))};
        const Built b = Build(old.Build(), kFieldTitle, EditWith(kFieldTitle, c.value));
        ASSERT_TRUE(b.ok);
        const Bytes frames = Frame("TIT2", c.body, true);
        EXPECT_EQ(b.tag, Header(4, 0, 0, frames.size()) + frames) << int(c.encoding);
    }
}

// The code page decides how a written frame declares its text; a frame whose encoding was not
// 0 keeps it, and a COMM or WXXX keeps its language and description.
TEST(Id3v2BuildTest, TheCodePageDecidesTheEncodingWritten) {
    const CodePage utf8(CodePage::Kind::Utf8), cp932(CodePage::Kind::Cp932);
    const Bytes nihon = "\x93\xFA\x96\x7B";  // 日本 in CP932
    const Bytes ff = "\0\0"s;
    struct Case {
        CodePage cp;
        std::uint8_t major;
        std::uint16_t bit;
        const char* id;
        std::optional<Bytes> old;  // the old frame's body; none: a new frame
        std::string value;
        Bytes body;
    };
    const Case cases[] = {
        {utf8, 3, kFieldTitle, "TIT2", TextBody(0, "old"), "abc", "\0abc"s},
        {utf8, 3, kFieldTitle, "TIT2", TextBody(0, "old"), "日本", "\x01" + test::Utf16Le("日本")},
        {utf8, 4, kFieldTitle, "TIT2", TextBody(0, "old"), "日本", "\x03日本"s},
        {utf8, 3, kFieldTitle, "TIT2", std::nullopt, "日本", "\x01" + test::Utf16Le("日本")},
        {utf8, 4, kFieldGenre, "TCON", TextBody(1, test::Utf16Le("Rock")), "(17)",
         "\x01" + test::Utf16Le("(17)")},
        {utf8, 3, kFieldComment, "COMM", CommBody(0, "eng", "desc", "old"), "日本",
         "\x01"
         "eng"s +
             test::Utf16Le("desc") + ff + test::Utf16Le("日本")},
        {utf8, 3, kFieldComment, "COMM", CommBody(1, "eng", test::Utf16Le("d"), "x"), "new",
         "\x01"
         "eng"s +
             test::Utf16Le("d") + ff + test::Utf16Le("new")},
        {utf8, 3, kFieldComment, "COMM", std::nullopt, "日本",
         "\x01jpn"s + test::Utf16Le("") + ff + test::Utf16Le("日本")},
        {utf8, 4, kFieldUrl, "WXXX", WxxxBody(0, "", "http://x"), "http://例.jp/é",
         "\x03\0http://%E4%BE%8B.jp/\xE9"s},
        {cp932, 3, kFieldTitle, "TIT2", TextBody(0, "old"), nihon, "\0"s + nihon},
        {cp932, 4, kFieldComment, "COMM", std::nullopt, nihon, "\0jpn\0"s + nihon},
        {cp932, 4, kFieldUrl, "WXXX", WxxxBody(0, "", "x"), "http://" + nihon,
         "\0\0http://"s + nihon},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.id) + " " + c.value);
        ScopedCodePage cp(c.cp);
        Id3v2Tag old;
        old.major = c.major;
        old.frames = {TextFrame("TPE1", "x")};
        if (c.old) old.frames.push_back(RawFrame(c.id, *c.old));
        const Built b = Build(old.Build(), c.bit, EditWith(c.bit, c.value));
        ASSERT_TRUE(b.ok);
        const Bytes frames =
            Frame("TPE1", "\0x"s, c.major == 4) + Frame(c.id, c.body, c.major == 4);
        EXPECT_EQ(b.tag, Header(c.major, 0, 0, frames.size()) + frames);
    }
}

TEST(Id3v2BuildTest, AFieldThatCannotBeWrittenRefusesTheEdit) {
    Id3v2Tag old;
    old.frames = {RawFrame("COMM", CommBody(5, "eng", "", "c"))};  // no such encoding
    const Built b = Build(old.Build(), kFieldComment | kFieldTitle, EditWith(kFieldComment, "n"));
    EXPECT_FALSE(b.ok);
}

TEST(Id3v2BuildTest, SizesAreWrittenInTheVersionsOwnForm) {
    const std::string value(199, 'v');  // frame size 200
    for (std::uint8_t major : {3, 4}) {
        Id3v2Tag old;
        old.major = major;
        old.frames = {TextFrame("TIT2", "x")};
        old.padding = 16384 - 200 - 10;
        const Built b = Build(old.Build(), kFieldTitle, EditWith(kFieldTitle, value));
        ASSERT_TRUE(b.ok);
        EXPECT_EQ(b.tag.substr(6, 4), Bytes("\x00\x01\x00\x00", 4));  // 16384
        EXPECT_EQ(b.tag.substr(14, 4),
                  major == 3 ? Bytes("\x00\x00\x00\xC8", 4) : Bytes("\x00\x00\x01\x48", 4));
    }
}

// Frames after one that must be found by the size rule are still matched and rewritten.
TEST(Id3v2BuildTest, WalkFindsFramesAfterFramesOfEveryForm) {
    struct Case {
        const char* what;
        std::uint8_t major;
        Id3v2Frame before;
    };
    const Case cases[] = {
        {"2.3 plain 300", 3, RawFrame("APIC", Bytes(300, '\x11'))},
        {"2.3 written syncsafe 300", 3,
         RawFrame("APIC", Bytes(300, '\x11'), test::SizeForm::Syncsafe)},
        {"2.4 syncsafe 300", 4, RawFrame("APIC", Bytes(300, '\x11'))},
        {"2.4 written plain 300", 4, RawFrame("APIC", Bytes(300, '\x11'), test::SizeForm::Plain)},
        {"2.3 size 00 00 01 FF is a frame", 3, RawFrame("PRIV", Bytes(0x1FF, '\x22'))},
        {"empty frame", 3, RawFrame("TPE1", "")},
    };
    for (const Case& c : cases) {
        Id3v2Tag old;
        old.major = c.major;
        old.frames = {c.before, TextFrame("TIT2", "old")};
        old.padding = 20;
        const Bytes oldTag = old.Build();
        const Built b = Build(oldTag, kFieldTitle, EditWith(kFieldTitle, "new"));
        ASSERT_TRUE(b.ok) << c.what;
        EXPECT_EQ(b.mask, 0) << c.what;
        // The frame before is carried over as it was, TIT2 rewritten in place.
        const std::size_t beforeLen = 10 + c.before.body.size();
        EXPECT_EQ(b.tag.substr(10, beforeLen), oldTag.substr(10, beforeLen)) << c.what;
        EXPECT_EQ(b.tag.substr(10 + beforeLen, 4), "TIT2") << c.what;
        EXPECT_EQ(b.tag.size(), oldTag.size()) << c.what;
    }
}

TEST(Id3v2BuildTest, RewrittenFrameIsSteppedOverByItsOwnSize) {
    Id3v2Tag old;
    // The comment text ends in a NUL, which a length counted from the text would miss.
    old.frames = {RawFrame("COMM", Bytes("\0jpn\0hello\0", 11)), TextFrame("TIT2", "t")};
    Id3v2Edit edit;
    edit.values[Id3v2FieldIndex(kFieldComment)] = "bye";
    edit.values[Id3v2FieldIndex(kFieldTitle)] = "T";
    const Built b = Build(old.Build(), kFieldComment | kFieldTitle, edit);
    ASSERT_TRUE(b.ok);
    const Bytes frames =
        Frame("COMM", Bytes("\0jpn\0bye", 8), false) + Frame("TIT2", Bytes("\0T", 2), false);
    EXPECT_EQ(b.tag, Header(3, 0, 0, frames.size()) + frames);
}

TEST(Id3v2BuildTest, FrameRunningPastTheTagKeepsTheRestAfterTheNewFrames) {
    Id3v2Tag old;
    old.frames = {TextFrame("TIT2", "t"), RawFrame("PRIV", Bytes(30, 'p'))};
    old.frames[1].sizeValue = 5000;
    const Bytes oldTag = old.Build();
    const Built b = Build(oldTag, kFieldComposer, EditWith(kFieldComposer, "C"));
    ASSERT_TRUE(b.ok);
    const Bytes frames = Frame("TIT2", Bytes("\0t", 2), false) +
                         Frame("TCOM", Bytes("\0C", 2), false) + oldTag.substr(22);
    EXPECT_EQ(b.tag, Header(3, 0, 0, frames.size()) + frames);
}

TEST(Id3v2BuildTest, HeaderSizeIsTheLengthWrittenWhateverTheOldHeaderSaid) {
    Id3v2Tag old;
    old.frames = {TextFrame("TIT2", "t")};
    old.padding = 10;
    old.flags = 0x20;  // experimental: kept
    const Built b = Build(old.Build(), kFieldTitle, EditWith(kFieldTitle, "longer title"));
    ASSERT_TRUE(b.ok);
    EXPECT_EQ(b.tag.substr(0, 6), Bytes("ID3\x03\x00\x20", 6));
    EXPECT_EQ(b.tag.substr(6, 4),
              test::SyncsafeBytes(static_cast<std::uint32_t>(b.tag.size() - 10)));
}

TEST(Id3v2BuildTest, RewrittenFrameKeepsStatusFlagsAndDropsFormatFlags) {
    Id3v2Tag old;
    old.major = 4;
    old.frames = {TextFrame("TIT2", "t")};
    old.frames[0].flags = 0x4001;  // read-only status, data length indicator
    const Built b = Build(old.Build(), kFieldTitle, EditWith(kFieldTitle, "n"));
    ASSERT_TRUE(b.ok);
    EXPECT_EQ(b.tag.substr(10), Frame("TIT2", Bytes("\x03n", 2), true, 0x4000));
}

TEST(Id3v2BuildTest, UnsynchronisedTags) {
    // 2.3: read back through the scheme and written without it, flag cleared.
    Id3v2Tag v3;
    v3.frames = {RawFrame("PRIV", Bytes("\xFF\xE0\xFF\x00", 4)), TextFrame("TIT2", "t")};
    v3.unsynchronise = true;
    const Built b3 = Build(v3.Build(), kFieldTitle, EditWith(kFieldTitle, "n"));
    ASSERT_TRUE(b3.ok);
    const Bytes frames =
        Frame("PRIV", Bytes("\xFF\xE0\xFF\x00", 4), false) + Frame("TIT2", Bytes("\0n", 2), false);
    EXPECT_EQ(b3.tag, Header(3, 0, 0, frames.size()) + frames);

    // 2.4 marks it frame by frame as well: those frames keep it, the tag's flag goes.
    Id3v2Tag v4 = v3;
    v4.major = 4;
    const Built b4 = Build(v4.Build(), kFieldTitle, EditWith(kFieldTitle, "n"));
    ASSERT_TRUE(b4.ok);
    const Bytes frames4 =
        Frame("PRIV", test::Unsynchronise(Bytes("\xFF\xE0\xFF\x00", 4)), true, 0x0002) +
        Frame("TIT2", Bytes("\x03n", 2), true);
    EXPECT_EQ(b4.tag, Header(4, 0, 0, frames4.size()) + frames4);

    // A 2.4 frame under the tag's flag without its own is not guessed at.
    Bytes unflagged = v4.Build();
    unflagged[19] = 0;  // the PRIV frame's format flags
    EXPECT_FALSE(Build(unflagged, kFieldTitle, EditWith(kFieldTitle, "n")).ok);
}

TEST(Id3v2BuildTest, ExtendedHeaderIsCarriedOverAndMadeTrue) {
    // 2.3 with a CRC: the CRC goes, the padding size becomes the padding written.
    Id3v2Tag v3;
    v3.extendedHeader = Bytes("\0\0\0\x0A\x80\0\0\0\0\x05\x12\x34\x56\x78", 14);
    v3.frames = {TextFrame("TIT2", "t")};
    v3.padding = 7;
    const Built b3 = Build(v3.Build(), kFieldTitle, EditWith(kFieldTitle, "n"));
    ASSERT_TRUE(b3.ok);
    const Bytes body3 = Bytes("\0\0\0\x06\0\0\0\0\0\x07", 10) +
                        Frame("TIT2", Bytes("\0n", 2), false) + Bytes(7, '\0');
    EXPECT_EQ(b3.tag, Header(3, 0, 0x40, body3.size()) + body3);

    // 2.4 with update, CRC and restrictions: the CRC goes.
    Id3v2Tag v4;
    v4.major = 4;
    v4.extendedHeader = Bytes("\0\0\0\x0F\x01\x70\x00\x05\x01\x02\x03\x04\x05\x01\x42", 15);
    v4.frames = {TextFrame("TIT2", "t")};
    const Built b4 = Build(v4.Build(), kFieldTitle, EditWith(kFieldTitle, "n"));
    ASSERT_TRUE(b4.ok);
    const Bytes body4 =
        Bytes("\0\0\0\x09\x01\x50\x00\x01\x42", 9) + Frame("TIT2", Bytes("\x03n", 2), true);
    EXPECT_EQ(b4.tag, Header(4, 0, 0x40, body4.size()) + body4);

    // One that cannot be understood is not guessed at.
    Id3v2Tag bad;
    bad.extendedHeader = Bytes("\0\0\x10\0\0\0\0\0\0\0", 10);
    bad.frames = {TextFrame("TIT2", "t")};
    EXPECT_FALSE(Build(bad.Build(), kFieldTitle, EditWith(kFieldTitle, "n")).ok);
}

TEST(Id3v2BuildTest, NothingToWriteGivesTheOldTagBack) {
    Id3v2Tag old;
    old.major = 4;
    old.frames = {TextFrame("TIT2", "t"), RawFrame("APIC", Bytes(400, '\x33')),
                  RawFrame("COMM", CommBody(0, "jpn", "d", "c"))};
    old.padding = 100;
    const Bytes oldTag = old.Build();
    EXPECT_EQ(Build(oldTag, 0, {}).tag, oldTag);
}

TEST(Id3v2BuildTest, RefusesWhatItCannotRead) {
    for (const Bytes& bad : {Bytes("ID3\x02\0\0\0\0\0\0", 10), Bytes("ID3\x05\0\0\0\0\0\0", 10),
                             Bytes("XYZ\x03\0\0\0\0\0\0", 10), Bytes("ID3\x03", 4)}) {
        EXPECT_FALSE(Build(bad, kFieldTitle, EditWith(kFieldTitle, "n")).ok);
    }
}

TEST(Id3v2BuildTest, EmptyFrameIsAFrameNotPadding) {
    Id3v2Tag old;
    old.frames = {RawFrame("TIT2", ""), TextFrame("TPE1", "a")};
    old.padding = 5;
    const Built b = Build(old.Build(), kFieldTitle | kFieldAlbum, [] {
        Id3v2Edit e;
        e.values[0] = "t";
        e.values[2] = "b";
        return e;
    }());
    ASSERT_TRUE(b.ok);
    const Bytes frames = Frame("TIT2", Bytes("\0t", 2), false) +
                         Frame("TPE1", Bytes("\0a", 2), false) +
                         Frame("TALB", Bytes("\0b", 2), false) + Bytes(5, '\0');
    EXPECT_EQ(b.tag, Header(3, 0, 0, frames.size()) + frames);
}

// Rewriting reads the old frame through its format flags: a data length indicator or group
// byte is not taken for the encoding byte or the language.
TEST(Id3v2BuildTest, OldFrameIsReadThroughItsFormatFlags) {
    Id3v2Tag v4;
    v4.major = 4;
    v4.frames = {RawFrame("TIT2", Bytes("\0\0\0\x07", 4) + TextBody(1, test::Utf16Le("ab")))};
    v4.frames[0].flags = 0x0001;
    const Built b4 = Build(v4.Build(), kFieldTitle, EditWith(kFieldTitle, "x"));
    ASSERT_TRUE(b4.ok);
    EXPECT_EQ(b4.tag.substr(10), Frame("TIT2", Bytes("\x01\xFF\xFEx\0", 5), true));

    Id3v2Tag v3;
    v3.frames = {RawFrame("COMM", Bytes("\x42", 1) + CommBody(0, "eng", "desc", "old"))};
    v3.frames[0].flags = 0x0020;
    const Built b3 = Build(v3.Build(), kFieldComment, EditWith(kFieldComment, "new"));
    ASSERT_TRUE(b3.ok);
    EXPECT_EQ(b3.tag.substr(10), Frame("COMM", CommBody(0, "eng", "desc", "new"), false));
}

// Hostile bytes: damaged tags never make the builder read or write out of bounds, and what it
// builds always states its own length.
TEST(Id3v2BuildTest, DamagedTagsBuildSafely) {
    Id3v2Tag base;
    base.frames = {TextFrame("TIT2", "title"), RawFrame("COMM", CommBody(0, "jpn", "d", "c")),
                   RawFrame("APIC", Bytes(300, '\x11')), RawFrame("WXXX", WxxxBody(0, "", "u"))};
    base.padding = 40;
    std::mt19937 random(99);
    Id3v2Edit edit;
    for (std::size_t i = 0; i < kId3v2FieldCount; ++i) edit.values[i] = "v";
    for (int round = 0; round < 3000; ++round) {
        base.major = round % 2 ? 3 : 4;
        base.flags = static_cast<std::uint8_t>(random() & 0xF0);
        Bytes tag = base.Build();
        const int flips = 1 + static_cast<int>(random() % 8);
        for (int f = 0; f < flips; ++f) {
            tag[10 + random() % (tag.size() - 10)] = static_cast<char>(random());
        }
        tag.resize(10 + random() % (tag.size() - 9));
        const Built b = Build(tag, static_cast<std::uint16_t>(random() & kId3v2AllFields), edit);
        if (!b.ok) continue;
        ASSERT_GE(b.tag.size(), 10u);
        const auto* p = reinterpret_cast<const std::uint8_t*>(b.tag.data());
        EXPECT_EQ(DecodeSyncsafe(std::span<const std::uint8_t, 4>(p + 6, 4)), b.tag.size() - 10);
        EXPECT_EQ(b.tag[5] & 0x80, 0);  // never claims unsynchronisation
    }
}

}  // namespace
}  // namespace sorrelbox
