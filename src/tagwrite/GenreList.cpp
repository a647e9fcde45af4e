#include "tagwrite/GenreList.h"

#include <algorithm>

#include "platform/FileOps.h"
#include "tagwrite/ListOrder.h"

namespace sorrelbox {
namespace {

constexpr std::size_t kMaxListBytes = 1024 * 1024;

}  // namespace

GenreList::GenreList(std::uint8_t kuuran) {
    if (kuuran == 1) codes_[0] = kEmptyGenreCodeKuuran;
}

GenreList GenreList::Load(std::string_view path, std::uint8_t kuuran) {
    const auto bytes = ReadWholeFile(path, kMaxListBytes);
    if (!bytes) return GenreList(kuuran);
    return FromBytes(*bytes, kuuran);
}

GenreList GenreList::FromBytes(std::string_view bytes, std::uint8_t kuuran) {
    GenreList list(kuuran);
    list.missing_ = false;
    list.names_ = SplitListLines(bytes);
    if (list.names_.size() > kGenreCount) list.names_.resize(kGenreCount);
    // The box sorts its lines; a code belongs to a position in the box, not to a line of
    // the file.
    const CodePage& cp = ActiveCodePage();
    std::stable_sort(
        list.names_.begin(), list.names_.end(),
        [&cp](const std::string& a, const std::string& b) { return ListOrderLess(a, b, cp); });
    return list;
}

std::uint8_t GenreList::CodeAt(int line) const {
    if (line < 0 || static_cast<std::size_t>(line) >= kGenreCount) return codes_[0];
    return codes_[static_cast<std::size_t>(line)];
}

std::optional<int> GenreList::FirstLineWithCode(std::uint8_t code) const {
    for (std::size_t i = 0; i < names_.size(); ++i) {
        if (codes_[i] == code) return static_cast<int>(i);
    }
    return std::nullopt;
}

}  // namespace sorrelbox
