#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/CodePage.h"
#include "tagwrite/GenreList.h"
#include "tagwrite/Id3v2Writer.h"

namespace sorrelbox {

// The ID3v2 page's fields in fieldMask order (field i has the bit 1 << i).
enum class V2Field : std::uint8_t {
    Title,
    Artist,
    Album,
    Year,
    Genre,
    Comment,
    Track,
    Composer,
    OrigArtist,
    Copyright,
    Url,
    EncodedBy,
};

constexpr std::uint16_t FieldBit(V2Field f) {
    return static_cast<std::uint16_t>(1u << static_cast<unsigned>(f));
}
constexpr std::size_t FieldIndex(V2Field f) {
    return static_cast<std::size_t>(f);
}

// What the ID3v2 page's fields hold: a text per field (the genre's slot is unused) and the
// genre box's line, -1 for none.
struct Id3v2Values {
    std::array<std::string, kId3v2FieldCount> texts;
    int genreLine = -1;

    std::string& operator[](V2Field f) { return texts[FieldIndex(f)]; }
    const std::string& operator[](V2Field f) const { return texts[FieldIndex(f)]; }
    bool operator==(const Id3v2Values&) const = default;
};

// Hold boxes by field; the genre has one, the track is held by the automatic-track box.
struct Id3v2Holds {
    std::array<bool, kId3v2FieldCount> fields{};
    bool& operator[](V2Field f) { return fields[FieldIndex(f)]; }
    bool operator[](V2Field f) const { return fields[FieldIndex(f)]; }
};

// What the page records of the tag it read (reset before every read).
struct Id3v2Record {
    std::uint8_t tagVersion = 0;  // 2, 3 or 4; 0 when none was read
    std::uint16_t presentFlags = 0;
    std::uint16_t utf16Flags = 0;   // the field's frame had a non-zero encoding byte
    std::uint16_t lockedFlags = 0;  // genre, comment or URL frames kept as stored
    std::array<std::string, kId3v2FieldCount> oldValue;
    std::array<std::int32_t, kId3v2FieldCount> oldLength{};
    std::uint16_t commentDescLength = 0;
    std::uint16_t urlDescLength = 0;
    std::uint8_t oldGenreCode = kEmptyGenreCode;
    bool genreCodeRead = false;  // the TCON text held both parentheses
    std::string genreText;       // made by CollectId3v2
    std::uint32_t tagTotalSize = 0;
};

// One supported frame as the reading walk hands it over.
struct Id3v2FrameRead {
    V2Field field = V2Field::Title;
    std::uint8_t encoding = 0;
    std::uint32_t frameSize = 0;  // bytes after the frame header
    // The decoded text in the code page: the value for text frames, the TCON text, the
    // comment text after its description, the URL after its description.
    std::string value;
    std::uint16_t descLength = 0;  // COMM and WXXX
    // A genre, comment or URL the code page cannot hold: no value, the frame is kept.
    bool locked = false;
};

// The ID3v2 page without its widgets.
class Id3v2Page {
  public:
    Id3v2Values values;
    Id3v2Holds holds;
    bool hasBox = false;
    Id3v2Record record;

    void Reset(bool autoTrack);
    // Records one frame matched by the reading walk and takes its value unless held.
    void RecordFrame(const Id3v2FrameRead& frame, const GenreList& genres, bool autoTrack);
    // The changed fields as a fieldMask, growing record.tagTotalSize (set by the caller: the
    // old tag's whole length, 0 when the file has none). Also makes record.genreText.
    std::uint16_t CollectId3v2(const GenreList& genres, const CodePage& cp = ActiveCodePage());
    // The writer's input for the current values.
    Id3v2Edit MakeEdit(std::string songPath, std::uint32_t oldTagLength) const;
    void ReleaseHolds() { holds = Id3v2Holds{}; }

    // Whether the window may let the user edit a field while the page is enabled: a genre,
    // comment or URL frame that was not taken over (its text does not fit the code page)
    // stays locked.
    bool FieldLocked(V2Field f) const;
};

}  // namespace sorrelbox
