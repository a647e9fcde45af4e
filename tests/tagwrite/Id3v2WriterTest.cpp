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
using test::Utf16Le;
using test::WxxxBody;

const CodePage kUtf8(CodePage::Kind::Utf8);
const CodePage kCp932(CodePage::Kind::Cp932);

struct Built {
    bool ok = false;
    Bytes tag;
    std::uint16_t mask = 0;
};

Built Build(const Bytes& oldTag, std::uint16_t mask, const Id3v2Edit& edit) {
    const std::vector<std::uint8_t> old(oldTag.begin(), oldTag.end());
    Built b;
    b.mask = mask;
    auto r = BuildId3v2Tag(old, edit, b.mask);
    b.ok = r.ok;
    b.tag.assign(r.tag.begin(), r.tag.end());
    return b;
}

// An edit with the given fields set; its mask is every field named.
struct Fields {
    Fields(std::initializer_list<std::pair<std::uint16_t, std::string>> fields) {
        for (const auto& [bit, value] : fields) {
            edit.values[Id3v2FieldIndex(bit)] = value;
            mask |= bit;
        }
    }
    Id3v2Edit edit;
    std::uint16_t mask = 0;
};

Fields Set(std::uint16_t bit, std::string value) {
    return Fields{{bit, std::move(value)}};
}
Fields Set(std::initializer_list<std::pair<std::uint16_t, std::string>> fields) {
    return Fields(fields);
}

// Frame header + body in the given size form.
Bytes Frame(std::string_view id, const Bytes& body, bool syncsafe, std::uint16_t flags = 0) {
    const auto size = static_cast<std::uint32_t>(body.size());
    return Bytes(id) + (syncsafe ? test::SyncsafeBytes(size) : test::BigEndian32(size)) +
           static_cast<char>(flags >> 8) + static_cast<char>(flags & 0xFF) + body;
}
Bytes F3(std::string_view id, const Bytes& body, std::uint16_t flags = 0) {
    return Frame(id, body, false, flags);
}
Bytes F4(std::string_view id, const Bytes& body, std::uint16_t flags = 0) {
    return Frame(id, body, true, flags);
}
// A text body of encoding 0.
Bytes T(std::string_view text) {
    return "\0"s + Bytes(text);
}

Bytes Header(std::uint8_t major, std::uint8_t revision, std::uint8_t flags, std::size_t bodySize) {
    return Bytes("ID3") + static_cast<char>(major) + static_cast<char>(revision) +
           static_cast<char>(flags) + test::SyncsafeBytes(static_cast<std::uint32_t>(bodySize));
}
Bytes Whole(std::uint8_t major, const Bytes& body, std::uint8_t flags = 0, std::uint8_t rev = 0) {
    return Header(major, rev, flags, body.size()) + body;
}

Bytes OldTag(std::uint8_t major, std::vector<Id3v2Frame> frames, std::size_t padding = 0,
             std::uint8_t revision = 0) {
    Id3v2Tag tag;
    tag.major = major;
    tag.revision = revision;
    tag.frames = std::move(frames);
    tag.padding = padding;
    return tag.Build();
}
Id3v2Frame Flagged(Id3v2Frame frame, std::uint16_t flags) {
    frame.flags = flags;
    return frame;
}

// Our new tag: every frame empty, after the first from bytes.
Bytes Template(std::size_t from) {
    Bytes t;
    for (const char* id : {"TIT2", "TPE1", "TALB", "TYER", "TCON"}) t += F3(id, T(""));
    t += F3("COMM", "\0jpn\0"s);
    for (const char* id : {"TRCK", "TCOM", "TOPE", "TCOP"}) t += F3(id, T(""));
    return (t + F3("WXXX", "\0\0"s) + F3("TENC", T(""))).substr(from);
}

// Every case names the old tag, the fields typed and the whole tag expected (none: refused).
TEST(Id3v2BuildTest, RewriteCases) {
    const Bytes nihon = "\x93\xFA\x96\x7B";  // 日本 in CP932
    const Bytes ff = "\0\0"s;
    const Bytes awkward = "\xFF\xE0\xFF\x00"s;
    Bytes unflagged24 = [&] {  // a 2.4 frame under the tag's unsync flag without its own
        Id3v2Tag t;
        t.major = 4;
        t.unsynchronise = true;
        t.frames = {RawFrame("PRIV", awkward), TextFrame("TIT2", "t")};
        Bytes b = t.Build();
        b[19] = 0;
        return b;
    }();
    const Bytes running = [] {
        Id3v2Tag t;
        t.frames = {TextFrame("TIT2", "t"), RawFrame("PRIV", Bytes(30, 'p'))};
        t.frames[1].sizeValue = 5000;
        return t.Build();
    }();
    const auto unsync = [&](std::uint8_t major) {
        Id3v2Tag t;
        t.major = major;
        t.unsynchronise = true;
        t.frames = {RawFrame("PRIV", awkward), TextFrame("TIT2", "t")};
        return t.Build();
    };
    const auto extended = [](std::uint8_t major, Bytes ext, std::size_t padding) {
        Id3v2Tag t;
        t.major = major;
        t.extendedHeader = std::move(ext);
        t.frames = {TextFrame("TIT2", "t")};
        t.padding = padding;
        return t.Build();
    };
    const Bytes peerTag = OldTag(4,
                                 {TextFrame("TIT2", "t"), RawFrame("APIC", Bytes(400, '\x33')),
                                  RawFrame("COMM", CommBody(0, "jpn", "d", "c"))},
                                 100);
    const struct {
        const char* name;
        CodePage cp;
        Bytes old;
        Fields typed;
        std::optional<Bytes> want;
    } cases[] = {
        {"new tag: the template with the title", kUtf8, "", Set(kFieldTitle, "abc"),
         Whole(3, F3("TIT2", T("abc")) + Template(11))},
        {"new frame before the padding, which stays whole", kUtf8,
         OldTag(3, {TextFrame("TIT2", "x"), TextFrame("TPE1", "y")}, 1024),
         Set(kFieldComposer, "Bach"),
         Whole(3, F3("TIT2", T("x")) + F3("TPE1", T("y")) + F3("TCOM", T("Bach")) +
                      Bytes(1024, '\0'))},
        {"new frames after the last frame, in table order", kUtf8,
         OldTag(3, {TextFrame("TIT2", "x"), RawFrame("PRIV", "own\0data"s)}),
         Set({{kFieldUrl, "http://u"}, {kFieldArtist, "A"}, {kFieldComment, "c"}}),
         Whole(3, F3("TIT2", T("x")) + F3("PRIV", "own\0data"s) + F3("TPE1", T("A")) +
                      F3("COMM", "\0jpn\0c"s) + F3("WXXX", "\0\0http://u"s))},
        {"first COMM only, language and description kept", kUtf8,
         OldTag(3, {RawFrame("COMM", CommBody(0, "eng", "desc", "old one")),
                    RawFrame("COMM", CommBody(0, "deu", "", "second"))}),
         Set(kFieldComment, "new"),
         Whole(3, F3("COMM", "\0engdesc\0new"s) + F3("COMM", CommBody(0, "deu", "", "second")))},
        // The comment text ends in a NUL, which a length counted from the text would miss.
        {"rewritten frame stepped over by its own size", kUtf8,
         OldTag(3, {RawFrame("COMM", "\0jpn\0hello\0"s), TextFrame("TIT2", "t")}),
         Set({{kFieldComment, "bye"}, {kFieldTitle, "T"}}),
         Whole(3, F3("COMM", "\0jpn\0bye"s) + F3("TIT2", T("T")))},
        {"a frame running past the tag follows the new frames", kUtf8, running,
         Set(kFieldComposer, "C"),
         Whole(3, F3("TIT2", T("t")) + F3("TCOM", T("C")) + running.substr(22))},
        {"empty frame is a frame, not padding", kUtf8,
         OldTag(3, {RawFrame("TIT2", ""), TextFrame("TPE1", "a")}, 5),
         Set({{kFieldTitle, "t"}, {kFieldAlbum, "b"}}),
         Whole(3, F3("TIT2", T("t")) + F3("TPE1", T("a")) + F3("TALB", T("b")) + Bytes(5, '\0'))},
        {"status flags kept, format flags dropped", kUtf8,
         OldTag(4, {Flagged(TextFrame("TIT2", "t"), 0x4001)}), Set(kFieldTitle, "n"),
         Whole(4, F4("TIT2", "\x03n"s, 0x4000))},
        // A data length indicator or group byte is not taken for the encoding or language.
        {"2.4 frame read through its data length indicator", kUtf8,
         OldTag(4, {Flagged(RawFrame("TIT2", "\0\0\0\x07"s + TextBody(1, Utf16Le("ab"))), 1)}),
         Set(kFieldTitle, "x"), Whole(4, F4("TIT2", "\x01\xFF\xFEx\0"s))},
        {"2.3 frame read through its group byte", kUtf8,
         OldTag(3, {Flagged(RawFrame("COMM", "\x42"s + CommBody(0, "eng", "desc", "old")), 0x20)}),
         Set(kFieldComment, "new"), Whole(3, F3("COMM", CommBody(0, "eng", "desc", "new")))},
        {"2.3 unsynchronised: read through, written without", kUtf8, unsync(3),
         Set(kFieldTitle, "n"), Whole(3, F3("PRIV", awkward) + F3("TIT2", T("n")))},
        {"2.4 unsynchronised frames keep it, the tag's flag goes", kUtf8, unsync(4),
         Set(kFieldTitle, "n"),
         Whole(4, F4("PRIV", test::Unsynchronise(awkward), 2) + F4("TIT2", "\x03n"s))},
        {"2.4 unsync without the frame's flag is not guessed at", kUtf8, unflagged24,
         Set(kFieldTitle, "n"), std::nullopt},
        {"2.3 extended header: CRC goes, padding size made true", kUtf8,
         extended(3, "\0\0\0\x0A\x80\0\0\0\0\x05\x12\x34\x56\x78"s, 7), Set(kFieldTitle, "n"),
         Whole(3, "\0\0\0\x06\0\0\0\0\0\x07"s + F3("TIT2", T("n")) + Bytes(7, '\0'), 0x40)},
        {"2.4 extended header: CRC goes, update and restrictions stay", kUtf8,
         extended(4, "\0\0\0\x0F\x01\x70\x00\x05\x01\x02\x03\x04\x05\x01\x42"s, 0),
         Set(kFieldTitle, "n"),
         Whole(4, "\0\0\0\x09\x01\x50\x00\x01\x42"s + F4("TIT2", "\x03n"s), 0x40)},
        {"an extended header not understood", kUtf8, extended(3, "\0\0\x10\0\0\0\0\0\0\0"s, 0),
         Set(kFieldTitle, "n"), std::nullopt},
        {"nothing to write gives the old tag back", kUtf8, peerTag, Set({}), peerTag},
        {"2.2", kUtf8, "ID3\x02\0\0\0\0\0\0"s, Set(kFieldTitle, "n"), std::nullopt},
        {"2.5", kUtf8, "ID3\x05\0\0\0\0\0\0"s, Set(kFieldTitle, "n"), std::nullopt},
        {"no ID3", kUtf8, "XYZ\x03\0\0\0\0\0\0"s, Set(kFieldTitle, "n"), std::nullopt},
        {"cut header", kUtf8, "ID3\x03"s, Set(kFieldTitle, "n"), std::nullopt},
        {"a field in no known encoding refuses the edit", kUtf8,
         OldTag(3, {RawFrame("COMM", CommBody(5, "eng", "", "c"))}),
         Set({{kFieldComment, "n"}, {kFieldTitle, ""}}), std::nullopt},
        // The year frame by version; CP932 writes encoding 0 in every version.
        {"2.4 TDRC", kCp932, OldTag(4, {TextFrame("TDRC", "1999")}), Set(kFieldYear, "2024"),
         Whole(4, F4("TDRC", T("2024")))},
        {"2.4 new year is TDRC", kCp932, OldTag(4, {TextFrame("TIT2", "t")}),
         Set(kFieldYear, "2024"), Whole(4, F4("TIT2", T("t")) + F4("TDRC", T("2024")))},
        {"2.3 new year is TYER", kCp932, OldTag(3, {TextFrame("TIT2", "t")}),
         Set(kFieldYear, "2024"), Whole(3, F3("TIT2", T("t")) + F3("TYER", T("2024")))},
        {"2.3 with a revision counts as 4 for the year, sizes stay plain", kCp932,
         OldTag(3, {TextFrame("TIT2", "t")}, 0, 1), Set(kFieldYear, "2024"),
         Whole(3, F3("TIT2", T("t")) + F3("TDRC", T("2024")), 0, 1)},
        {"2.4 TYER keeps its ID", kCp932, OldTag(4, {TextFrame("TYER", "1999")}),
         Set(kFieldYear, "2024"), Whole(4, F4("TYER", T("2024")))},
        // The code page decides how a written frame declares its text; a frame whose encoding
        // was not 0 keeps it, and a COMM or WXXX keeps its language and description.
        {"ascii stays encoding 0", kUtf8, OldTag(3, {TextFrame("TIT2", "old")}),
         Set(kFieldTitle, "abc"), Whole(3, F3("TIT2", T("abc")))},
        {"utf8 code page, 2.3: UTF-16", kUtf8, OldTag(3, {TextFrame("TIT2", "old")}),
         Set(kFieldTitle, "日本"), Whole(3, F3("TIT2", "\x01" + Utf16Le("日本")))},
        {"utf8 code page, 2.4: UTF-8", kUtf8, OldTag(4, {TextFrame("TIT2", "old")}),
         Set(kFieldTitle, "日本"), Whole(4, F4("TIT2", "\x03日本"s))},
        {"utf8 code page, 2.4 UTF-16 genre stays UTF-16", kUtf8,
         OldTag(4, {RawFrame("TCON", TextBody(1, Utf16Le("Rock")))}), Set(kFieldGenre, "(17)"),
         Whole(4, F4("TCON", "\x01" + Utf16Le("(17)")))},
        {"utf8 code page, COMM to UTF-16 keeps description", kUtf8,
         OldTag(3, {RawFrame("COMM", CommBody(0, "eng", "desc", "old"))}),
         Set(kFieldComment, "日本"),
         Whole(3, F3("COMM",
                     "\x01"
                     "eng"s +
                         Utf16Le("desc") + ff + Utf16Le("日本")))},
        {"UTF-16 COMM stays UTF-16", kUtf8,
         OldTag(3, {RawFrame("COMM", CommBody(1, "eng", Utf16Le("d"), "x"))}),
         Set(kFieldComment, "new"),
         Whole(3, F3("COMM",
                     "\x01"
                     "eng"s +
                         Utf16Le("d") + ff + Utf16Le("new")))},
        {"utf8 code page, new COMM", kUtf8, OldTag(3, {TextFrame("TPE1", "x")}),
         Set(kFieldComment, "日本"),
         Whole(3,
               F3("TPE1", T("x")) + F3("COMM", "\x01jpn"s + Utf16Le("") + ff + Utf16Le("日本")))},
        {"utf8 code page, 2.4 WXXX: percent-encoded URL", kUtf8,
         OldTag(4, {RawFrame("WXXX", WxxxBody(0, "", "http://x"))}),
         Set(kFieldUrl, "http://例.jp/é"), Whole(4, F4("WXXX", "\x03\0http://%E4%BE%8B.jp/\xE9"s))},
        {"cp932 stays encoding 0", kCp932, OldTag(3, {TextFrame("TIT2", "old")}),
         Set(kFieldTitle, nihon), Whole(3, F3("TIT2", T(nihon)))},
        {"cp932 new COMM", kCp932, OldTag(4, {TextFrame("TPE1", "x")}), Set(kFieldComment, nihon),
         Whole(4, F4("TPE1", T("x")) + F4("COMM", "\0jpn\0"s + nihon))},
        {"cp932 WXXX", kCp932, OldTag(4, {RawFrame("WXXX", WxxxBody(0, "", "x"))}),
         Set(kFieldUrl, "http://" + nihon), Whole(4, F4("WXXX", "\0\0http://"s + nihon))},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScopedCodePage cp(c.cp);
        const Built b = Build(c.old, c.typed.mask, c.typed.edit);
        EXPECT_EQ(b.ok, c.want.has_value());
        if (!c.want) continue;
        EXPECT_EQ(b.tag, *c.want);
        EXPECT_EQ(b.mask, 0);
    }
}

TEST(Id3v2BuildTest, EveryFieldIntoTheTemplate) {
    ScopedCodePage cp(kUtf8);
    Id3v2Edit edit;
    for (std::size_t i = 0; i < kId3v2FieldCount; ++i) edit.values[i] = Bytes(1, char('a' + i));
    const Built b = Build("", kId3v2AllFields, edit);
    ASSERT_TRUE(b.ok);
    Bytes frames;
    const char* ids[] = {"TIT2", "TPE1", "TALB", "TYER", "TCON"};
    for (int i = 0; i < 5; ++i) frames += F3(ids[i], T(Bytes(1, char('a' + i))));
    frames += F3("COMM", "\0jpn\0f"s);
    const char* more[] = {"TRCK", "TCOM", "TOPE", "TCOP"};
    for (int i = 0; i < 4; ++i) frames += F3(more[i], T(Bytes(1, char('g' + i))));
    frames += F3("WXXX", "\0\0k"s) + F3("TENC", T("l"));
    EXPECT_EQ(b.tag, Whole(3, frames));
    EXPECT_EQ(b.mask, 0);
}

TEST(Id3v2BuildTest, RewrittenTextFrameKeepsItsEncoding) {
    ScopedCodePage sjis(kCp932);
    const Bytes nihon = "\x93\xFA\x96\x7B";  // 日本 in CP932
    const struct {
        std::uint8_t encoding;
        std::string value;
        Bytes body;
    } cases[] = {
        {0, nihon, T(nihon)},
        {1, "ab",
         "\x01\xFF\xFE"
         "a\0b\0"s},
        {1, nihon, "\x01\xFF\xFE\xE5\x65\x2C\x67"s},
        {1, "", "\x01\xFF\xFE"s},  // an emptied UTF-16 title: size 3
        {2, "ab", "\x02\0a\0b"s},
        {3, nihon, "\x03\xE6\x97\xA5\xE6\x9C\xAC"s},
        {3, "", "\x03"s},
        // An encoding no version defines is written as a UTF-16 frame that says so.
        {7, "ab",
         "\x01\xFF\xFE"
         "a\0b\0"s},
    };
    for (const auto& c : cases) {
        const Bytes old = OldTag(4, {RawFrame("TIT2", TextBody(c.encoding, "whatever\0"))});
        const Built b = Build(old, kFieldTitle, Set(kFieldTitle, c.value).edit);
        EXPECT_EQ(b.tag, Whole(4, F4("TIT2", c.body))) << int(c.encoding);
    }
}

TEST(Id3v2BuildTest, SizesAreWrittenInTheVersionsOwnForm) {
    for (std::uint8_t major : {3, 4}) {
        Id3v2Tag old;
        old.major = major;
        old.frames = {TextFrame("TIT2", "x")};
        old.padding = 16384 - 200 - 10;
        old.flags = 0x20;  // experimental: kept
        const Built b = Build(old.Build(), kFieldTitle, Set(kFieldTitle, Bytes(199, 'v')).edit);
        EXPECT_EQ(b.tag.substr(5, 5), "\x20\x00\x01\x00\x00"s);  // 16384
        EXPECT_EQ(b.tag.substr(14, 4), major == 3 ? "\x00\x00\x00\xC8"s : "\x00\x00\x01\x48"s);
        // The header states the length written whatever the old header said.
        const Built longer =
            Build(old.Build(), kFieldTitle, Set(kFieldTitle, Bytes(17000, 'v')).edit);
        EXPECT_EQ(longer.tag.substr(6, 4),
                  test::SyncsafeBytes(static_cast<std::uint32_t>(longer.tag.size() - 10)));
    }
}

// Frames after one that must be found by the size rule are still matched and rewritten.
TEST(Id3v2BuildTest, WalkFindsFramesAfterFramesOfEveryForm) {
    const struct {
        const char* what;
        std::uint8_t major;
        Id3v2Frame before;
    } cases[] = {
        {"2.3 plain 300", 3, RawFrame("APIC", Bytes(300, '\x11'))},
        {"2.3 written syncsafe 300", 3,
         RawFrame("APIC", Bytes(300, '\x11'), test::SizeForm::Syncsafe)},
        {"2.4 syncsafe 300", 4, RawFrame("APIC", Bytes(300, '\x11'))},
        {"2.4 written plain 300", 4, RawFrame("APIC", Bytes(300, '\x11'), test::SizeForm::Plain)},
        {"2.3 size 00 00 01 FF is a frame", 3, RawFrame("PRIV", Bytes(0x1FF, '\x22'))},
        {"empty frame", 3, RawFrame("TPE1", "")},
        // An odd ID is stepped over by its size: the edit behind it is written, not dropped.
        {"odd frame ID", 3, TextFrame("Xyz1", "odd")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Bytes old = OldTag(c.major, {c.before, TextFrame("TIT2", "old")}, 20);
        const Built b = Build(old, kFieldTitle, Set(kFieldTitle, "new").edit);
        ASSERT_TRUE(b.ok);
        EXPECT_EQ(b.mask, 0);
        // The frame before is carried over as it was, TIT2 rewritten in place.
        const std::size_t beforeLen = 10 + c.before.body.size();
        EXPECT_EQ(b.tag.substr(10, beforeLen), old.substr(10, beforeLen));
        EXPECT_EQ(b.tag.substr(10 + beforeLen, 4), "TIT2");
        EXPECT_EQ(b.tag.substr(10 + beforeLen + 11, 3), "new");
        EXPECT_EQ(b.tag.size(), old.size());
    }
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
