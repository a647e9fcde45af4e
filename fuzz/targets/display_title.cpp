// The display title over any file bytes: the scan gives the tag size as the program does,
// then the title is read from the file and from the same bytes in memory.

#include <string>

#include "FuzzTarget.h"
#include "analysis/ByteSource.h"
#include "analysis/Id3Reader.h"
#include "analysis/MpegScan.h"
#include "platform/CodePage.h"
#include "support/Mp3Builder.h"

namespace sorrelbox::fuzz {
namespace {

std::span<const std::uint8_t> Clip(const std::uint8_t* data, std::size_t size, std::uint64_t offset,
                                   std::uint64_t count) {
    if (offset >= size) return {};
    return {data + offset, static_cast<std::size_t>(std::min<std::uint64_t>(count, size - offset))};
}

int FuzzDisplayTitle(const std::uint8_t* data, std::size_t size) {
    // Odd sizes run in Shift-JIS, so UTF-16 text meets a code page that lacks characters.
    const ScopedCodePage codePage(
        CodePage((size & 1) ? CodePage::Kind::Cp932 : CodePage::Kind::Utf8));
    const std::string path = ScratchFolder::Get().Write("input.mp3", data, size);

    SongInfo info;
    (void)ScanMpegSource(MemoryByteSource({reinterpret_cast<const char*>(data), size}), info);
    // The scan's tag size, and a size that no longer fits the file (changed since the scan).
    std::uint32_t otherSize = 0;
    if (size >= 4) {
        otherSize = std::uint32_t{data[size - 4]} << 24 | std::uint32_t{data[size - 3]} << 16 |
                    std::uint32_t{data[size - 2]} << 8 | data[size - 1];
    }
    for (const std::uint32_t id3v2Size : {info.id3v2Size, otherSize}) {
        const std::string title = ReadDisplayTitle(path, id3v2Size, PathStyle::Posix);
        std::span<const std::uint8_t> tag;
        if (id3v2Size != 0) tag = Clip(data, size, 0, kId3v2HeaderSize + std::uint64_t{id3v2Size});
        std::span<const std::uint8_t> last;
        if (size >= kId3v1Size) last = Clip(data, size, size - kId3v1Size, kId3v1Size);
        const auto fromBytes = ParseTagTitle(tag, last);
        FUZZ_CHECK(title == fromBytes.value_or("input.mp3"));
        FUZZ_CHECK(title.find('\0') == std::string::npos);
    }
    return 0;
}

std::vector<std::string> DisplayTitleSeeds() {
    using namespace sorrelbox::test;
    std::vector<std::string> seeds;
    for (const std::uint8_t major : {3, 4}) {
        Id3v2Tag tag;
        tag.major = major;
        tag.frames = {TextFrame("TPE1", "Artist"), TextFrame("TIT2", "Title"),
                      Id3v2Frame{"TIT2", TextBody(1, Utf16Le("Second")), SizeForm::Native,
                                 std::nullopt, std::nullopt, 0}};
        tag.padding = 20;
        seeds.push_back(Mp3Builder().Id3v2(tag).Frame().FillTo(1200).Build());
    }
    Id3v2Tag utf16;
    utf16.frames = {Id3v2Frame{"TIT2", TextBody(1, Utf16Le("曲名")), SizeForm::Native, std::nullopt,
                               std::nullopt, 0}};
    seeds.push_back(Mp3Builder().Id3v2(utf16).Frame().Build());
    Id3v2Tag unsync;
    unsync.unsynchronise = true;
    unsync.extendedHeader = ExtendedHeader(3);
    unsync.frames = {TextFrame("TIT2", "\xFF\xE0\xFF")};
    seeds.push_back(Mp3Builder().Id3v2(unsync).Frame().Build());
    Id3v1Tag v1;
    v1.title = "Five ";
    v1.padByte = ' ';
    seeds.push_back(Mp3Builder().Frame().FillToBeforeId3v1(1000).Id3v1(v1).Build());
    Id3v2Tag plain;  // a big frame with a plain 2.3 size before the title
    plain.frames = {TextFrame("TXXX", std::string(300, 'x')), TextFrame("TIT2", "After")};
    seeds.push_back(Mp3Builder().Id3v2(plain).Frame().Build());
    return seeds;
}

}  // namespace

SORRELBOX_FUZZ_TARGET_REGISTER("display_title", FuzzDisplayTitle, DisplayTitleSeeds);

}  // namespace sorrelbox::fuzz
