#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/Prompts.h"

namespace sorrelbox {

// Bits of fieldMask and utf16Flags, in the order frames are matched and created.
enum Id3v2FieldBit : std::uint16_t {
    kFieldTitle = 0x0001,       // TIT2
    kFieldArtist = 0x0002,      // TPE1
    kFieldAlbum = 0x0004,       // TALB
    kFieldYear = 0x0008,        // TYER (v2.3) / TDRC (v2.4)
    kFieldGenre = 0x0010,       // TCON
    kFieldComment = 0x0020,     // COMM
    kFieldTrack = 0x0040,       // TRCK
    kFieldComposer = 0x0080,    // TCOM
    kFieldOrigArtist = 0x0100,  // TOPE
    kFieldCopyright = 0x0200,   // TCOP
    kFieldUrl = 0x0400,         // WXXX
    kFieldEncodedBy = 0x0800,   // TENC
};
constexpr std::size_t kId3v2FieldCount = 12;
constexpr std::uint16_t kId3v2AllFields = 0x0FFF;
// In place of a mask: remove the whole ID3v2 tag.
constexpr std::uint16_t kRemoveId3v2Tag = 10000;

// Index into Id3v2Edit::values for a field bit (bit 1 << i is index i).
constexpr std::size_t Id3v2FieldIndex(std::uint16_t bit) {
    std::size_t i = 0;
    while (i < kId3v2FieldCount && bit != (1u << i)) ++i;
    return i;
}

// What the ID3v2 page hands the writer. The writer takes everything about the old frames
// (their sizes, encodings, descriptions, languages) from the file itself, so the page's
// running tag length and old text lengths are not needed here.
struct Id3v2Edit {
    std::string songPath;
    // The old tag's whole length: the scanned id3v2Size + 10, or 0 when the file has none.
    // Checked against the file; a file whose tag changed since it was read is not written.
    std::uint32_t oldTagLength = 0;
    // 3 or 4 as the page read it (a 2.3 header with a non-zero revision counts as 4). The
    // writer takes the version from the tag itself, which gives the same answer for the tag
    // that was read (TDRC for a new year frame in version 4, TYER otherwise).
    std::uint8_t tagVersion = 3;
    // Page contents in the code page, indexed like the field bits: title, artist, album,
    // year, genre text ("(17)" or empty), comment, track, composer, original artist,
    // copyright, URL, encoded by.
    std::array<std::string, kId3v2FieldCount> values;
    // Fields whose old frame had a non-zero encoding byte (the page's record). The writer
    // encodes each rewritten frame by its own encoding byte; this is kept for the callers.
    std::uint16_t utf16Flags = 0;
};

struct WriterEnv {
    std::uint8_t backup = 1;      // 1: copy the song to backupPath before writing
    std::uint8_t kanryoumes = 0;  // non-zero: no completion message
    std::string backupPath;       // "backup.mp3" in the start-up folder
    Prompts& prompts;
};

// Rewrites (or, with fieldMask == kRemoveId3v2Tag, removes) the song's ID3v2 tag. Every
// outcome is told through env.prompts. Returns false on success, true on failure; on success
// every field of fieldMask was written and its bit cleared. A field that cannot be written (a
// TCON, COMM or WXXX frame in an encoding the standard lacks) refuses the whole edit. Each
// frame written declares the encoding Id3EncodingToWrite gives. The song is replaced whole
// through a temporary file beside it, so any failure leaves it as it was; only where no
// temporary file can be made is it rewritten in place, and a failure part-way then leaves
// its audio and ID3v1 tag without an ID3v2 tag.
bool WriteId3v2Tag(const Id3v2Edit& edit, std::uint16_t& fieldMask, const WriterEnv& env);

// The pure part: the new tag built from the old one (header included, footer excluded).
// oldTag is empty when the file has no tag (the 147-byte template is used). fieldMask is
// updated as by WriteId3v2Tag. ok is false for a tag this writer leaves alone (version other
// than 3 and 4, unsynchronised 2.4, an extended header it cannot read, a size too large) and
// when a field of fieldMask could not be written.
struct Id3v2Build {
    bool ok = false;
    std::vector<std::uint8_t> tag;  // the bytes to put in front of the audio
    bool footer = false;            // a v2.4 footer is to follow the tag
};
Id3v2Build BuildId3v2Tag(std::span<const std::uint8_t> oldTag, const Id3v2Edit& edit,
                         std::uint16_t& fieldMask);

}  // namespace sorrelbox
