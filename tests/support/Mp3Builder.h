#pragma once

// MP3 bytes made in code, so tests state exactly what a fixture holds. Every function returns
// a byte string (std::string holding raw bytes); nothing here reads a file.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sorrelbox::test {

class TempDir;

using Bytes = std::string;

// --- Numbers -------------------------------------------------------------------------------

// 4 bytes, 7 bits per byte, most significant first (value must be below 2^28).
Bytes SyncsafeBytes(std::uint32_t value);
// 4 bytes, plain big-endian.
Bytes BigEndian32(std::uint32_t value);
// The ID3v2 unsynchronisation scheme: a 0x00 after every 0xFF that is followed by a byte
// >= 0xE0 or by 0x00, and after a final 0xFF.
Bytes Unsynchronise(std::string_view data);

// --- ID3v2 ---------------------------------------------------------------------------------

enum class SizeForm {
    Native,    // the tag version's own form: 2.3 plain, 2.4 syncsafe, 2.2 three plain bytes
    Plain,     // 4-byte plain big-endian
    Syncsafe,  // 4-byte 7-bit-per-byte
};

// One frame: ID, size field, two flag bytes (none for 2.2), body.
struct Id3v2Frame {
    std::string id;  // "TIT2" (3 letters for 2.2)
    Bytes body;      // everything after the frame header
    SizeForm sizeForm = SizeForm::Native;
    std::optional<Bytes> rawSize;  // the size bytes exactly, overriding sizeForm and body size
    std::optional<std::uint32_t> sizeValue;  // a declared size other than body.size()
    std::uint16_t flags = 0;
};

// A whole tag: "ID3", major, revision, flags, size, then [extended header] frames padding.
struct Id3v2Tag {
    std::uint8_t major = 3;
    std::uint8_t revision = 0;
    std::uint8_t flags = 0;  // 0x80 and 0x40 are added by the fields below
    std::vector<Id3v2Frame> frames;
    std::optional<Bytes> extendedHeader;        // raw bytes placed after the header; sets 0x40
    std::size_t padding = 0;                    // zero bytes after the frames
    bool unsynchronise = false;                 // sets 0x80; 2.3: whole tag body, 2.4: each frame
                                                // body (and frame flag 0x0002)
    std::optional<std::uint32_t> sizeOverride;  // header size field value instead of the real one
    std::optional<Bytes> rawSizeBytes;          // the header's 4 size bytes exactly

    Bytes Build() const;
};

// A standard extended header: 2.3 form (size 6, flags 0, padding size 0) or 2.4 form (size 6
// syncsafe, 1 flag byte, flags 0).
Bytes ExtendedHeader(std::uint8_t major);

// Frame bodies. Text is taken as bytes exactly as given.
// encoding byte + text
Bytes TextBody(std::uint8_t encoding, std::string_view text);
// encoding byte + language + description + terminator (two NULs in UTF-16) + text
Bytes CommBody(std::uint8_t encoding, std::string_view language, std::string_view description,
               std::string_view text);
// encoding byte + description + terminator + url
Bytes WxxxBody(std::uint8_t encoding, std::string_view description, std::string_view url);
// UTF-8 source text as UTF-16 code units, little- or big-endian, with an optional BOM.
Bytes Utf16Le(std::string_view utf8, bool bom = true);
Bytes Utf16Be(std::string_view utf8, bool bom = true);

// Shorthands: an Id3v2Frame with a TextBody.
Id3v2Frame TextFrame(std::string_view id, std::string_view text, std::uint8_t encoding = 0);

// --- MPEG audio ----------------------------------------------------------------------------

// Every field of the 4-byte frame header, as bits. Defaults: MPEG-1 Layer III, no CRC,
// 128 kbit/s, 44100 Hz, stereo, not copyrighted, original.
struct MpegHeader {
    std::uint16_t syncBits = 0x7FF;    // 11 bits of frame sync (0x7FF)
    std::uint8_t versionBits = 3;      // 2 bits: 3 MPEG-1, 2 MPEG-2, 0 MPEG-2.5, 1 reserved
    std::uint8_t layerBits = 1;        // 2 bits: 1 Layer III, 2 Layer II, 3 Layer I
    bool protectionBit = true;         // false: a 16-bit CRC follows the header
    std::uint8_t bitRateIndex = 9;     // 4 bits
    std::uint8_t sampleRateIndex = 0;  // 2 bits
    bool paddingBit = false;
    bool privateBit = false;
    std::uint8_t channelMode = 0;    // 2 bits
    std::uint8_t modeExtension = 0;  // 2 bits
    bool copyright = false;
    bool original = true;
    std::uint8_t emphasis = 0;  // 2 bits

    Bytes Build() const;  // the 4 header bytes
    // Offset of the Xing header from the frame start: 4 + CRC + side information.
    std::size_t XingOffset() const;
};

// A Xing header: "Xing", flags, then the fields its flags announce (frames, bytes, 100-byte
// TOC, quality), as an encoder writes them.
struct XingHeader {
    std::string marker = "Xing";
    std::uint32_t flags = 0x3;
    std::uint32_t frames = 0;
    std::uint32_t bytes = 0;

    Bytes Build() const;
};

// --- ID3v1 ---------------------------------------------------------------------------------

// The 128-byte tag. Texts are cut to their field and padded with padByte; when track is set,
// comment byte 28 is 0 and byte 29 the track (the comment is cut to 28 bytes).
struct Id3v1Tag {
    std::string title, artist, album, year, comment;
    std::optional<std::uint8_t> track;
    std::uint8_t genre = 255;
    char padByte = '\0';

    Bytes Build() const;
};

// The ID3v1 tag the editor and CLI tests give their songs: the title, artist "Band", track 5.
Bytes BandV1Tag(std::string title, std::uint8_t genre = 17);

// --- Whole files ---------------------------------------------------------------------------

// Parts appended in the order of the calls.
class Mp3Builder {
  public:
    Mp3Builder& Id3v2(const Id3v2Tag& tag);
    Mp3Builder& Raw(std::string_view bytes);             // junk, or anything else
    Mp3Builder& Junk(std::size_t count, char byte = 0);  // count bytes of byte
    // header, CRC (two zero bytes when protectionBit is false), zero side information, the Xing
    // header when given, zero filler up to frameBytes (0: 417 bytes, a 128 kbit/s 44100 Hz frame)
    Mp3Builder& Frame(const MpegHeader& header = {},
                      const std::optional<XingHeader>& xing = std::nullopt,
                      std::size_t frameBytes = 0);
    // Audio filler (0x55, never a frame sync) until the bytes so far number totalSize;
    // nothing when they already do.
    Mp3Builder& FillTo(std::size_t totalSize, char byte = 0x55);
    // Filler so that the file, once an ID3v1 tag is appended by Id3v1(), is totalSize long.
    Mp3Builder& FillToBeforeId3v1(std::size_t totalSize, char byte = 0x55);
    Mp3Builder& Id3v1(const Id3v1Tag& tag);

    std::size_t size() const { return bytes_.size(); }
    const Bytes& Build() const { return bytes_; }
    // Writes the bytes to name in dir and returns the path.
    std::string WriteTo(const TempDir& dir, std::string_view name) const;

  private:
    Bytes bytes_;
};

// Common fixtures.
// A CBR file: first frame with defaults, filled to totalSize.
Bytes CbrFile(std::size_t totalSize, const MpegHeader& header = {});
// count frames one after another, as players and ffprobe need them to take the file.
Bytes FramesFile(std::size_t count, const MpegHeader& header = {});
// A VBR file: one Xing frame counting frames, then a few plain frames.
Bytes VbrFile(std::uint32_t frames, const MpegHeader& header = {});
// A 128 kbit/s CBR song of whole seconds (16000 bytes each) written to name in dir; its path.
std::string WriteCbrSong(const TempDir& dir, std::string_view name, std::size_t seconds);
// a.mp3, b.mp3, ... of 10, 20, ... seconds written to dir; their paths in that order.
std::vector<std::string> WriteLetterSongs(const TempDir& dir, int count);

}  // namespace sorrelbox::test
