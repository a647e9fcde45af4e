#include "editor/Id3v1Page.h"

#include <algorithm>
#include <charconv>

#include "platform/CodePage.h"

namespace sorrelbox {
namespace {

// A stored text field: trailing spaces cut from last back, then the text up to its first
// zero byte.
std::string StoredText(std::span<const std::uint8_t> field, std::size_t last) {
    std::size_t end = last + 1;
    while (end > 0 && field[end - 1] == 0x20) --end;
    std::string text(reinterpret_cast<const char*>(field.data()), end);
    const std::size_t zero = text.find('\0');
    if (zero != std::string::npos) text.resize(zero);
    return text;
}

std::string UpToZero(std::string_view s) {
    return std::string(s.substr(0, s.find('\0')));
}

// A text for the image: cut to limit bytes, never inside a character of the code page.
std::string ImageText(std::string_view value, std::size_t limit) {
    const std::string text = UpToZero(value);
    if (text.size() <= limit) return text;
    return text.substr(0, ActiveCodePage().CutAtCharBoundary(text, limit));
}

template <std::size_t N>
void PutText(std::array<std::uint8_t, N>& out, std::string_view text, std::size_t width) {
    std::fill_n(out.begin(), width, std::uint8_t{0x20});
    std::copy_n(text.begin(), std::min(text.size(), width), out.begin());
}

}  // namespace

void Id3v1Page::Reset(bool autoTrack) {
    if (!holds.title) values.title.clear();
    if (!holds.artist) values.artist.clear();
    if (!holds.album) values.album.clear();
    if (!holds.year) values.year.clear();
    if (!holds.genre) values.genreLine = -1;
    if (!holds.comment) values.comment.clear();
    if (!autoTrack) values.track = 0;
    stored_ = Id3v1Stored{};
    hasStored_ = false;
    genreUnlisted_ = false;
    hasBox = false;
}

void Id3v1Page::Fill(std::span<const std::uint8_t, kId3v1Size> tag, const GenreList& genres,
                     bool autoTrack) {
    const auto field = [&tag](std::size_t offset, std::size_t size) {
        return std::span<const std::uint8_t>(tag.data() + offset, size);
    };
    stored_.title = StoredText(field(3, 30), 29);
    stored_.artist = StoredText(field(33, 30), 29);
    stored_.album = StoredText(field(63, 30), 29);
    stored_.year = StoredText(field(93, 4), 3);
    const auto comment = field(97, 30);
    if (comment[28] == 0) {
        stored_.track = comment[29];
        if (!autoTrack) values.track = stored_.track;
        stored_.comment = StoredText(comment, 27);
    } else {
        stored_.comment = StoredText(comment, 29);
    }
    stored_.genre = tag[127];
    hasStored_ = true;

    const auto take = [](std::string& value, const std::string& text, bool held) {
        if (!text.empty() && !held) value = text;
    };
    take(values.title, stored_.title, holds.title);
    take(values.artist, stored_.artist, holds.artist);
    take(values.album, stored_.album, holds.album);
    take(values.year, stored_.year, holds.year);
    take(values.comment, stored_.comment, holds.comment);

    if (!holds.genre) {
        const auto line = genres.FirstLineWithCode(stored_.genre);
        // A code the box cannot show is not replaced by the empty choice behind the user's
        // back: no line is selected and the byte is written back as it was.
        values.genreLine = line ? *line : -1;
        genreUnlisted_ = !line;
    }
    hasBox = true;
}

bool Id3v1Page::CollectId3v1(const GenreList& genres) {
    const std::string title = ImageText(values.title, 30);
    const std::string artist = ImageText(values.artist, 30);
    const std::string album = ImageText(values.album, 30);
    const std::string year = ImageText(values.year, 4);
    const std::string comment = ImageText(values.comment, 30);
    const std::uint8_t genre =
        values.genreLine < 0 && genreUnlisted_ ? stored_.genre : genres.CodeAt(values.genreLine);
    const auto track = static_cast<std::uint8_t>(values.track & 0xFF);

    // Without a tag of the file there is nothing to compare with: a checked has box writes.
    if (hasStored_ && title == stored_.title && artist == stored_.artist &&
        album == stored_.album && year == stored_.year && comment == stored_.comment &&
        genre == stored_.genre && track == stored_.track) {
        return false;
    }
    PutText(image_.title, title, 30);
    PutText(image_.artist, artist, 30);
    PutText(image_.album, album, 30);
    PutText(image_.year, year, 4);
    PutText(image_.commentBlock, comment, 30);
    // The whole length decides: counted in 8 bits, a comment of 256 to 284 bytes would be cut
    // to 28 for a track number.
    if (UpToZero(values.comment).size() <= 28) {
        image_.commentBlock[28] = 0;
        image_.commentBlock[29] = track;
    }
    image_.commentBlock[30] = genre;
    return true;
}

bool Id3v1Page::ReadFields(const Id3v1Values& texts, std::string_view trackText, Prompts& prompts) {
    const auto track = ParseTrack(trackText);
    if (!track) {
        prompts.ShowMessage(CpText("Please enter an integer."), CpText("エラー"),
                            MessageIcon::Warning);
        return false;
    }
    values = texts;
    values.track = *track;
    return true;
}

std::optional<std::int16_t> Id3v1Page::ParseTrack(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    std::int16_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

}  // namespace sorrelbox
