#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/Prompts.h"
#include "tagwrite/GenreList.h"
#include "tagwrite/Id3v1Writer.h"

namespace sorrelbox {

// What the ID3v1 page's fields hold. genreLine is a line of the genre box, -1 for none.
struct Id3v1Values {
    std::string title;
    std::string artist;
    std::string album;
    std::string year;
    std::string comment;
    std::int16_t track = 0;
    int genreLine = -1;
    bool operator==(const Id3v1Values&) const = default;
};

// The hold boxes; the track is held by the editor's automatic-track box instead.
struct Id3v1Holds {
    bool title = false;
    bool artist = false;
    bool album = false;
    bool year = false;
    bool genre = false;
    bool comment = false;
};

// The tag as read from the file: texts up to their first zero byte after the trailing
// spaces were cut, the genre byte and the track byte (0 when the tag holds none).
struct Id3v1Stored {
    std::string title;
    std::string artist;
    std::string album;
    std::string year;
    std::string comment;
    std::uint8_t genre = 0;
    std::uint8_t track = 0;
};

// The ID3v1 page without its widgets: the window shows values and holds and calls these.
class Id3v1Page {
  public:
    Id3v1Values values;
    Id3v1Holds holds;
    bool hasBox = false;  // "有/無、削除"

    // Before a song is read: unheld fields emptied, the track zeroed unless autoTrack holds
    // it, the stored track byte zeroed, the has box unchecked.
    void Reset(bool autoTrack);
    // The file's last 128 bytes, which begin with "TAG", into the stored tag and the fields.
    void Fill(std::span<const std::uint8_t, kId3v1Size> tag, const GenreList& genres,
              bool autoTrack);
    // Prepares image() and says whether it differs from the stored tag. Texts are cut to their
    // widths at a character boundary of the code page.
    bool CollectId3v1(const GenreList& genres);
    void ReleaseHolds() { holds = Id3v1Holds{}; }

    const Id3v1Stored& stored() const { return stored_; }
    const Id3v1Image& image() const { return image_; }
    // True when the stored genre byte has no line in the genre box: it is kept unless the
    // user picks a genre.
    bool genreUnlisted() const { return genreUnlisted_; }

    // The field exchange: the window's texts into values. A track that is not a whole number
    // is refused with "Please enter an integer." and leaves every value as it was.
    bool ReadFields(const Id3v1Values& texts, std::string_view trackText, Prompts& prompts);

    // The track field's text as a number: a whole number that fits 16 bits, or nullopt
    // ("Please enter an integer.").
    static std::optional<std::int16_t> ParseTrack(std::string_view text);

  private:
    Id3v1Stored stored_;
    Id3v1Image image_;
    bool hasStored_ = false;
    bool genreUnlisted_ = false;
};

}  // namespace sorrelbox
