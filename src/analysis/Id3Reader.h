#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/ByteSource.h"
#include "platform/PathStyle.h"

namespace sorrelbox {

// --- Layouts -------------------------------------------------------------------------------

constexpr std::size_t kId3v2HeaderSize = 10;
constexpr std::size_t kId3v1Size = 128;

// The supported frames in matching order. type is 1..12, the field's bit is 1 << (type - 1);
// TYER and TDRC share the year's type.
struct SupportedFrame {
    const char* id;
    int type;
};
constexpr std::array<SupportedFrame, 13> kSupportedFrames = {{
    {"TIT2", 1},
    {"TPE1", 2},
    {"TALB", 3},
    {"TYER", 4},
    {"TDRC", 4},
    {"TCON", 5},
    {"COMM", 6},
    {"TRCK", 7},
    {"TCOM", 8},
    {"TOPE", 9},
    {"TCOP", 10},
    {"WXXX", 11},
    {"TENC", 12},
}};
constexpr int kFieldTypes = 12;
enum FieldType : int {
    kTitle = 1,
    kArtist,
    kAlbum,
    kYear,
    kGenre,
    kComment,
    kTrack,
    kComposer,
    kOriginalArtist,
    kCopyright,
    kUrl,
    kEncodedBy,
};
constexpr std::uint16_t FieldBit(int type) {
    return static_cast<std::uint16_t>(1u << (type - 1));
}
constexpr std::uint8_t kNoGenreCode = 247;

// The 10-byte tag header. size counts the bytes after the header (7 bits per byte).
struct Id3v2Header {
    std::uint8_t major = 0;
    std::uint8_t revision = 0;
    std::uint8_t flags = 0;
    std::uint32_t size = 0;
};
std::optional<Id3v2Header> ParseId3v2Header(std::span<const std::uint8_t> bytes);
// 2 for major 2; 3 for major 3, 4 when its revision byte is not 0; 4 for major 4; else 0.
std::uint8_t TagVersion(std::uint8_t major, std::uint8_t revision);

// The frames of a tag as stored after the header: unsynchronisation of a 2.3 tag undone, the
// extended header skipped. offset is where frames[0] lies in the tag bytes as read (counted
// from the start of the file); it is exact only when wholeTagUnsynchronised is false.
struct Id3v2FrameArea {
    std::vector<std::uint8_t> frames;
    std::size_t offset = kId3v2HeaderSize;
    bool wholeTagUnsynchronised = false;
};
// tag: the whole tag from "ID3" on (possibly cut short by the end of the file).
Id3v2FrameArea FrameAreaOf(const Id3v2Header& header, std::span<const std::uint8_t> tag);

// One frame found by the walk.
struct Id3v2FrameView {
    std::string id;
    std::size_t offset = 0;  // header start in the frame area
    std::uint32_t size = 0;  // body size as stored (NextFrameSize)
    std::uint16_t flags = 0;
    std::span<const std::uint8_t> body;  // the stored body
};
// The unsynchronisation scheme undone: every FF 00 becomes FF.
std::vector<std::uint8_t> UndoUnsynchronisation(std::span<const std::uint8_t> data);
// Frames in order, stopping at padding and before a header or frame that runs past the area
// (*cutShort is then set). A frame whose ID is not four of A-Z and 0-9 is in the list too, so
// that every reader and the writer step over it alike.
std::vector<Id3v2FrameView> WalkFrames(std::span<const std::uint8_t> frames, std::uint8_t major,
                                       bool* cutShort = nullptr);
// The frame's data with its format flags applied: per-frame unsynchronisation undone, group
// byte and data-length indicator skipped. nullopt for compressed or encrypted frames.
std::optional<std::vector<std::uint8_t>> FrameData(const Id3v2FrameView& frame,
                                                   const Id3v2Header& header);

// --- The tag editor's reading --------------------------------------------------------------

// What one matched frame held, as the ID3v2 page records it.
struct FrameRecord {
    bool present = false;
    std::string id;             // "TYER" or "TDRC" for the year
    std::uint8_t encoding = 0;  // the encoding byte (0 when the frame was empty)
    // Encoding not 0: the bit the page keeps in utf16Flags.
    bool utf16 = false;
    // The value could be decoded.
    bool hasValue = false;
    // A genre, comment or URL whose text the code page cannot hold (or in an encoding the
    // standard lacks): no value, and the frame is kept as stored.
    bool locked = false;
    std::string value;  // in the code page, up to its first NUL
    // Text bytes after the encoding byte and after a byte-order mark; -1 for a frame of a text
    // field that holds a non-zero encoding byte and nothing else; for COMM the comment's
    // length, for WXXX the bytes after the description's NUL.
    std::int32_t oldLength = 0;
    std::uint16_t descLength = 0;  // COMM and WXXX: the description's length
    std::string language;          // COMM: its 3 bytes
    std::string description;       // COMM and WXXX, bytes as stored
    // Where the frame is (header start, counted from the start of the file; see
    // Id3v2FrameArea) and its stored body size, so a writer can step over it exactly.
    std::size_t frameOffset = 0;
    std::uint32_t frameSize = 0;
    std::uint16_t frameFlags = 0;
    bool undecodable = false;  // compressed or encrypted: present, but nothing was read
};

struct Id3v2Read {
    bool tagFound = false;  // the file begins with an ID3v2 header and id3v2Size is not 0
    std::uint8_t tagVersion = 0;
    bool present = false;      // the walk was made (version 3 or 4): hasId3v2
    bool unsupported = false;  // version below 3 or unknown: isId3v22
    Id3v2Header header;
    bool wholeTagUnsynchronised = false;
    bool cutShort = false;  // a frame ran past the tag or the file
    std::uint16_t presentFlags = 0;
    std::uint16_t utf16Flags = 0;
    std::uint16_t lockedFlags = 0;
    std::uint8_t oldGenreCode = kNoGenreCode;
    std::array<FrameRecord, kFieldTypes + 1> fields;  // by type, [0] unused

    FrameRecord& field(int type) { return fields[static_cast<std::size_t>(type)]; }
    const FrameRecord& field(int type) const { return fields[static_cast<std::size_t>(type)]; }
};

// The ID3v1 tag as stored: each text with a NUL after it, the genre and the comment's track.
struct Id3v1Read {
    bool present = false;
    std::array<char, 31> title{};
    std::array<char, 31> artist{};
    std::array<char, 31> album{};
    std::array<char, 5> year{};
    std::array<char, 31> comment{};
    std::uint8_t genre = 0;
    // Comment byte 28 is 0: byte 29 is a track number (0-255).
    bool hasTrack = false;
    std::uint8_t track = 0;
};

struct SongTags {
    Id3v2Read v2;
    Id3v1Read v1;
};

// Decodes one matched frame's data (after its format flags) into a record; type is the
// field's type.
FrameRecord ReadFrameBody(int type, std::span<const std::uint8_t> data);
// The genre code of a TCON text: the number between the first "(" and the first ")", low 8
// bits (0 when no digits); else the whole text as a number 0-255 or a genre's English name.
std::optional<std::uint8_t> GenreCodeOf(std::string_view text);

// Parsers over bytes. tag: the tag from "ID3" on, as much as the file holds (empty: none).
Id3v2Read ParseId3v2Tags(std::span<const std::uint8_t> tag);
// last: the last 128 bytes of the file (anything shorter: no tag).
Id3v1Read ParseId3v1(std::span<const std::uint8_t> last);

// Reads path's tags. id3v2Size comes from the latest scan of the file; 0 means no ID3v2 tag
// is looked at. nullopt when the file cannot be opened or its tag cannot be held in memory.
// At most two reads: the tag (bounded by the file size) and the last 128 bytes.
std::optional<SongTags> ReadSongTags(std::string_view path, std::uint32_t id3v2Size);
SongTags ReadSongTagsFrom(const ByteSource& source, std::uint32_t id3v2Size);

// --- The display title ---------------------------------------------------------------------

// The title for the main window and the player: the first TIT2 of the ID3v2 tag when it ends
// within the tag (even when empty), else the ID3v1 title without trailing spaces when not
// empty, else the file name. "ファイル情報を取得できませんでした" when the file cannot be
// opened.
std::string ReadDisplayTitle(std::string_view path, std::uint32_t id3v2Size,
                             PathStyle style = NativePathStyle());
std::optional<std::string> ParseTagTitle(std::span<const std::uint8_t> tag,
                                         std::span<const std::uint8_t> last);

}  // namespace sorrelbox
