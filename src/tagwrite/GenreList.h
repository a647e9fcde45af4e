#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sorrelbox {

constexpr std::size_t kGenreCount = 88;

// The ID3v1 genre code of each position of the genre boxes; codes 0-79 are the ID3v1 genre
// numbers, the others the program's own.
constexpr std::array<std::uint8_t, kGenreCount> kGenreCodeTable = {
    247, 146, 250, 14, 34, 74, 73, 145, 255, 40,  26,  //
    33,  46,  47,  19, 28, 48, 52, 11,  20,  65,  58,  //
    59,  2,   32,  1,  6,  61, 36, 49,  38,  57,  67,  //
    37,  24,  56,  8,  29, 63, 69, 21,  44,  42,  12,  //
    50,  3,   4,   18, 51, 22, 60, 72,  31,  55,  27,  //
    70,  66,  10,  64, 39, 79, 35, 43,  7,   5,   30,  //
    23,  0,   41,  62, 53, 13, 75, 77,  9,   45,  54,  //
    25,  68,  15,  16, 76, 71, 17, 78,  251, 254, 253,
};
constexpr std::uint8_t kEmptyGenreCode = 247;
constexpr std::uint8_t kEmptyGenreCodeKuuran = 255;

// The genre boxes' lines ("genre.txt", sorted as the boxes sort) and their codes.
class GenreList {
  public:
    // A missing list: no lines, genreListMissing() set, codes still by the table.
    GenreList() : GenreList(0) {}
    explicit GenreList(std::uint8_t kuuran);

    // Reads "genre.txt" by its full path. Only the first kGenreCount lines have codes; the
    // rest are left out of the boxes.
    static GenreList Load(std::string_view path, std::uint8_t kuuran);
    // The same from the file's bytes (for tests and callers that hold them).
    static GenreList FromBytes(std::string_view bytes, std::uint8_t kuuran);

    bool genreListMissing() const { return missing_; }
    // The lines in box order; line i has code genreCodes()[i].
    const std::vector<std::string>& names() const { return names_; }
    const std::array<std::uint8_t, kGenreCount>& genreCodes() const { return codes_; }

    // The code of a line; no selection (a negative line) counts as line 0.
    std::uint8_t CodeAt(int line) const;
    // The first line of the box whose code is code, or nullopt.
    std::optional<int> FirstLineWithCode(std::uint8_t code) const;

  private:
    std::vector<std::string> names_;
    std::array<std::uint8_t, kGenreCount> codes_ = kGenreCodeTable;
    bool missing_ = true;
};

}  // namespace sorrelbox
