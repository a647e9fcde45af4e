#include "support/Mp3Builder.h"

#include <algorithm>
#include <stdexcept>

#include "platform/CodePage.h"
#include "support/TempDir.h"

namespace sorrelbox::test {
namespace {

char Byte(unsigned value) {
    return static_cast<char>(value & 0xFF);
}

Bytes SizeBytes(SizeForm form, std::uint8_t major, std::uint32_t value) {
    if (form == SizeForm::Native) {
        if (major == 2) return BigEndian32(value).substr(1);
        form = major >= 4 ? SizeForm::Syncsafe : SizeForm::Plain;
    }
    return form == SizeForm::Syncsafe ? SyncsafeBytes(value) : BigEndian32(value);
}

Bytes Utf16(std::string_view utf8, bool bom, bool bigEndian) {
    const std::u16string units = CodePage(CodePage::Kind::Utf8).ToUtf16(utf8);
    Bytes out;
    if (bom) out += bigEndian ? Bytes("\xFE\xFF", 2) : Bytes("\xFF\xFE", 2);
    for (char16_t u : units) {
        out += bigEndian ? Bytes{Byte(u >> 8), Byte(u)} : Bytes{Byte(u), Byte(u >> 8)};
    }
    return out;
}

Bytes Field(std::string_view text, std::size_t width, char pad) {
    Bytes out(text.substr(0, width));
    out.resize(width, pad);
    return out;
}

}  // namespace

Bytes SyncsafeBytes(std::uint32_t value) {
    if (value >= (1u << 28)) throw std::invalid_argument("syncsafe value too large");
    return {Byte(value >> 21 & 0x7F), Byte(value >> 14 & 0x7F), Byte(value >> 7 & 0x7F),
            Byte(value & 0x7F)};
}

Bytes BigEndian32(std::uint32_t value) {
    return {Byte(value >> 24), Byte(value >> 16), Byte(value >> 8), Byte(value)};
}

Bytes Unsynchronise(std::string_view data) {
    Bytes out;
    for (std::size_t i = 0; i < data.size(); ++i) {
        out += data[i];
        if (static_cast<unsigned char>(data[i]) != 0xFF) continue;
        if (i + 1 == data.size() || static_cast<unsigned char>(data[i + 1]) >= 0xE0 ||
            data[i + 1] == '\0') {
            out += '\0';
        }
    }
    return out;
}

Bytes Id3v2Tag::Build() const {
    const bool perFrameUnsync = unsynchronise && major >= 4;
    Bytes body;
    if (extendedHeader) body += *extendedHeader;
    for (const Id3v2Frame& frame : frames) {
        std::uint16_t frameFlags = frame.flags;
        Bytes data = frame.body;
        if (perFrameUnsync) {
            data = Unsynchronise(data);
            frameFlags |= 0x0002;
        }
        body += frame.id;
        const std::uint32_t declared =
            frame.sizeValue.value_or(static_cast<std::uint32_t>(data.size()));
        body += frame.rawSize ? *frame.rawSize : SizeBytes(frame.sizeForm, major, declared);
        if (major != 2) body += {Byte(frameFlags >> 8), Byte(frameFlags)};
        body += data;
    }
    body.append(padding, '\0');
    if (unsynchronise && major < 4) body = Unsynchronise(body);

    std::uint8_t headerFlags = flags;
    if (unsynchronise) headerFlags |= 0x80;
    if (extendedHeader) headerFlags |= 0x40;
    Bytes out = "ID3";
    out += {Byte(major), Byte(revision), Byte(headerFlags)};
    if (rawSizeBytes) {
        out += *rawSizeBytes;
    } else {
        out += SyncsafeBytes(sizeOverride.value_or(static_cast<std::uint32_t>(body.size())));
    }
    return out + body;
}

Bytes ExtendedHeader(std::uint8_t major) {
    if (major >= 4) return SyncsafeBytes(6) + Bytes("\x01\x00", 2);
    return BigEndian32(6) + Bytes(6, '\0');
}

Bytes TextBody(std::uint8_t encoding, std::string_view text) {
    return Byte(encoding) + Bytes(text);
}

// The description's terminator: two zero bytes in UTF-16.
Bytes Terminator(std::uint8_t encoding) {
    return Bytes(encoding == 1 || encoding == 2 ? 2 : 1, '\0');
}

Bytes CommBody(std::uint8_t encoding, std::string_view language, std::string_view description,
               std::string_view text) {
    return Byte(encoding) + Field(language, 3, ' ') + Bytes(description) + Terminator(encoding) +
           Bytes(text);
}

Bytes WxxxBody(std::uint8_t encoding, std::string_view description, std::string_view url) {
    return Byte(encoding) + Bytes(description) + Terminator(encoding) + Bytes(url);
}

Bytes Utf16Le(std::string_view utf8, bool bom) {
    return Utf16(utf8, bom, false);
}
Bytes Utf16Be(std::string_view utf8, bool bom) {
    return Utf16(utf8, bom, true);
}

Id3v2Frame TextFrame(std::string_view id, std::string_view text, std::uint8_t encoding) {
    Id3v2Frame frame;
    frame.id = id;
    frame.body = TextBody(encoding, text);
    return frame;
}

Bytes MpegHeader::Build() const {
    const unsigned b1 = (syncBits & 0x7) << 5 | (versionBits & 3) << 3 | (layerBits & 3) << 1 |
                        (protectionBit ? 1 : 0);
    const unsigned b2 = (bitRateIndex & 0xF) << 4 | (sampleRateIndex & 3) << 2 |
                        (paddingBit ? 2 : 0) | (privateBit ? 1 : 0);
    const unsigned b3 = (channelMode & 3) << 6 | (modeExtension & 3) << 4 | (copyright ? 8 : 0) |
                        (original ? 4 : 0) | (emphasis & 3);
    return {Byte(syncBits >> 3), Byte(b1), Byte(b2), Byte(b3)};
}

std::size_t MpegHeader::XingOffset() const {
    return 4 + (protectionBit ? 0 : 2) + (channelMode == 3 ? 17 : 32);
}

Bytes XingHeader::Build() const {
    Bytes out = marker + BigEndian32(flags);
    if (flags & 1) out += BigEndian32(frames);
    if (flags & 2) out += BigEndian32(bytes);
    if (flags & 4) {
        for (int i = 0; i < 100; ++i) out += Byte(static_cast<unsigned>(i * 255 / 99));
    }
    if (flags & 8) out += BigEndian32(78);
    return out;
}

Bytes BandV1Tag(std::string title, std::uint8_t genre) {
    Id3v1Tag tag;
    tag.title = std::move(title);
    tag.artist = "Band";
    tag.track = 5;
    tag.genre = genre;
    tag.padByte = ' ';
    return tag.Build();
}

Bytes Id3v1Tag::Build() const {
    Bytes out = "TAG";
    out += Field(title, 30, padByte);
    out += Field(artist, 30, padByte);
    out += Field(album, 30, padByte);
    out += Field(year, 4, padByte);
    if (track) {
        out += Field(comment, 28, padByte);
        out += '\0';
        out += Byte(*track);
    } else {
        out += Field(comment, 30, padByte);
    }
    out += Byte(genre);
    return out;
}

Mp3Builder& Mp3Builder::Id3v2(const Id3v2Tag& tag) {
    bytes_ += tag.Build();
    return *this;
}

Mp3Builder& Mp3Builder::Raw(std::string_view bytes) {
    bytes_ += bytes;
    return *this;
}

Mp3Builder& Mp3Builder::Junk(std::size_t count, char byte) {
    bytes_.append(count, byte);
    return *this;
}

Mp3Builder& Mp3Builder::Frame(const MpegHeader& header, const std::optional<XingHeader>& xing,
                              std::size_t frameBytes) {
    Bytes frame = header.Build();
    frame.resize(header.XingOffset(), '\0');
    if (xing) frame += xing->Build();
    frame.resize(std::max(frame.size(), frameBytes == 0 ? std::size_t{417} : frameBytes), '\0');
    bytes_ += frame;
    return *this;
}

Mp3Builder& Mp3Builder::FillTo(std::size_t totalSize, char byte) {
    if (bytes_.size() < totalSize) bytes_.append(totalSize - bytes_.size(), byte);
    return *this;
}

Mp3Builder& Mp3Builder::FillToBeforeId3v1(std::size_t totalSize, char byte) {
    return FillTo(totalSize >= 128 ? totalSize - 128 : 0, byte);
}

Mp3Builder& Mp3Builder::Id3v1(const Id3v1Tag& tag) {
    bytes_ += tag.Build();
    return *this;
}

std::string Mp3Builder::WriteTo(const TempDir& dir, std::string_view name) const {
    return dir.Write(name, bytes_);
}

Bytes CbrFile(std::size_t totalSize, const MpegHeader& header) {
    return Mp3Builder().Frame(header).FillTo(totalSize).Build();
}

Bytes FramesFile(std::size_t count, const MpegHeader& header) {
    Mp3Builder builder;
    for (std::size_t i = 0; i < count; ++i) builder.Frame(header);
    return builder.Build();
}

Bytes VbrFile(std::uint32_t frames, const MpegHeader& header) {
    XingHeader xing;
    xing.frames = frames;
    xing.bytes = 4 * 417;
    return Mp3Builder().Frame(header, xing).Frame(header).Frame(header).Frame(header).Build();
}

std::string WriteCbrSong(const TempDir& dir, std::string_view name, std::size_t seconds) {
    return dir.Write(name, CbrFile(16000 * seconds));
}

std::vector<std::string> WriteLetterSongs(const TempDir& dir, int count) {
    std::vector<std::string> paths;
    for (int i = 0; i < count; ++i) {
        paths.push_back(WriteCbrSong(dir, std::string(1, static_cast<char>('a' + i)) + ".mp3",
                                     10 * static_cast<std::size_t>(i + 1)));
    }
    return paths;
}

}  // namespace sorrelbox::test
