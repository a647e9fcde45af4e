// The tag editor's reading walk over any file bytes: ID3v2 frames of every version and
// layout, their text encodings and the ID3v1 block.

#include <cstring>
#include <string>

#include "FuzzTarget.h"
#include "analysis/ByteSource.h"
#include "analysis/Id3Reader.h"
#include "analysis/MpegScan.h"
#include "platform/CodePage.h"
#include "support/Mp3Builder.h"

namespace sorrelbox::fuzz {
namespace {

void CheckSame(const SongTags& a, const SongTags& b) {
    FUZZ_CHECK(a.v2.tagFound == b.v2.tagFound && a.v2.present == b.v2.present);
    FUZZ_CHECK(a.v2.presentFlags == b.v2.presentFlags && a.v2.utf16Flags == b.v2.utf16Flags);
    for (int type = 1; type <= kFieldTypes; ++type)
        FUZZ_CHECK(a.v2.field(type).value == b.v2.field(type).value);
    FUZZ_CHECK(a.v1.present == b.v1.present && a.v1.title == b.v1.title);
}

void CheckTags(const SongTags& tags, std::size_t size, const std::uint8_t* data) {
    const Id3v2Read& v2 = tags.v2;
    if (!v2.tagFound) FUZZ_CHECK(!v2.present && v2.presentFlags == 0);
    FUZZ_CHECK(!(v2.present && v2.unsupported));
    FUZZ_CHECK((v2.utf16Flags & ~v2.presentFlags) == 0);
    FUZZ_CHECK((v2.lockedFlags & ~v2.utf16Flags) == 0);
    for (int type = 1; type <= kFieldTypes; ++type) {
        const FrameRecord& field = v2.field(type);
        FUZZ_CHECK(field.present == ((v2.presentFlags & FieldBit(type)) != 0));
        if (!field.present) continue;
        FUZZ_CHECK(field.value.find('\0') == std::string::npos);
        FUZZ_CHECK(field.hasValue || field.value.empty());
        FUZZ_CHECK(!(field.locked && field.hasValue));
        // A frame lies inside the file, unless the whole tag was unsynchronised and its
        // offsets count the bytes after undoing it.
        if (!v2.wholeTagUnsynchronised) FUZZ_CHECK(field.frameOffset + 10 <= size);
    }
    const bool hasV1 = size >= kId3v1Size && std::memcmp(data + size - kId3v1Size, "TAG", 3) == 0;
    FUZZ_CHECK(tags.v1.present == hasV1);
    for (const auto* text : {tags.v1.title.data(), tags.v1.artist.data(), tags.v1.album.data(),
                             tags.v1.comment.data()}) {
        FUZZ_CHECK(std::memchr(text, '\0', 31) != nullptr);
    }
    FUZZ_CHECK(tags.v1.year[4] == '\0');
}

int FuzzTagRead(const std::uint8_t* data, std::size_t size) {
    const ScopedCodePage codePage(
        CodePage((size & 1) ? CodePage::Kind::Cp932 : CodePage::Kind::Utf8));
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const MemoryByteSource memory(bytes);

    // The editor reads with the tag size the latest scan left.
    SongInfo info;
    (void)ScanMpegSource(memory, info);
    const SongTags tags = ReadSongTagsFrom(memory, info.id3v2Size);
    CheckTags(tags, size, data);

    const std::string path = ScratchFolder::Get().Write("input.mp3", data, size);
    const auto fromFile = ReadSongTags(path, info.id3v2Size);
    FUZZ_CHECK(fromFile.has_value());
    CheckSame(tags, *fromFile);

    // The parsers on their own: the whole input as a tag, and a tag size the file no
    // longer matches.
    (void)ParseId3v2Tags({data, size});
    (void)ReadSongTagsFrom(memory, static_cast<std::uint32_t>(size * 2654435761u));
    return 0;
}

std::vector<std::string> TagReadSeeds() {
    using namespace sorrelbox::test;
    std::vector<std::string> seeds;
    auto frame = [](std::string id, Bytes body) {
        return Id3v2Frame{std::move(id), std::move(body), SizeForm::Native,
                          std::nullopt,  std::nullopt,    0};
    };
    for (const std::uint8_t major : {3, 4}) {
        Id3v2Tag tag;
        tag.major = major;
        tag.frames = {
            TextFrame("TIT2", "Title"),
            TextFrame("TPE1", "Artist"),
            TextFrame("TPE1", "Second artist"),
            frame("TALB", TextBody(1, Utf16Le("Album"))),
            TextFrame("TDRC", "2001"),
            TextFrame("TYER", "1999"),
            TextFrame("TCON", "(17)Rock"),
            frame("COMM", CommBody(0, "jpn", "desc", "comment")),
            TextFrame("TRCK", "3/12"),
            frame("TCOM", TextBody(2, Utf16Be("Composer", false))),
            frame("TOPE", TextBody(3, "オリジナル")),
            TextFrame("TCOP", "(c)"),
            frame("WXXX", WxxxBody(0, "d", "http://example.com/")),
            frame("TENC", TextBody(1, "")),
        };
        tag.padding = 32;
        Id3v1Tag v1;
        v1.title = "v1";
        v1.comment = "comment";
        v1.track = 7;
        v1.genre = 17;
        seeds.push_back(Mp3Builder().Id3v2(tag).Frame().FillToBeforeId3v1(3000).Id3v1(v1).Build());
    }
    Id3v2Tag v22;
    v22.major = 2;
    v22.frames = {TextFrame("TT2", "Old")};
    seeds.push_back(Mp3Builder().Id3v2(v22).Frame().Build());
    Id3v2Tag unsync;
    unsync.major = 4;
    unsync.unsynchronise = true;
    unsync.frames = {TextFrame("TIT2", "\xFF\xFB\x90"), frame("TCON", TextBody(1, "x"))};
    seeds.push_back(Mp3Builder().Id3v2(unsync).Frame().Build());
    Id3v2Tag big;  // a frame of more than 64 KiB and a syncsafe size in a 2.3 tag
    big.frames = {TextFrame("TIT2", std::string(70000, 'a')),
                  Id3v2Frame{"TPE1", TextBody(0, std::string(200, 'b')), SizeForm::Syncsafe,
                             std::nullopt, std::nullopt, 0}};
    seeds.push_back(Mp3Builder().Id3v2(big).Frame().Build());
    return seeds;
}

}  // namespace

SORRELBOX_FUZZ_TARGET_REGISTER("tag_read", FuzzTagRead, TagReadSeeds);

}  // namespace sorrelbox::fuzz
