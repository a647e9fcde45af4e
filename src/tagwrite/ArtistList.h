#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Prompts.h"

namespace sorrelbox {

// The artist boxes' entries ("artist.txt"), kept in the boxes' sort order.
class ArtistList {
  public:
    // Reads "artist.txt" by its full path; a missing file gives an empty list. A file that
    // exists but cannot be read whole gives an empty list that refuses to add.
    static ArtistList Load(std::string_view path);
    static ArtistList FromBytes(std::string_view bytes);

    const std::vector<std::string>& entries() const { return entries_; }

    enum class AddResult { Empty, AlreadyListed, Unreadable, WriteFailed, Added };

    // The add-artist button: refuses an entry equal apart from letter case, inserts text in
    // sort order and rewrites the file at path with every entry, CR LF after each. A failed
    // write keeps the new entry in the list (until the editor closes) and the file as it was.
    // position receives the new entry's place when it was inserted. A list whose file could
    // not be read whole refuses, so the file is never replaced by the boxes' few entries.
    AddResult Add(std::string_view text, std::string_view path, std::uint8_t kanryoumes,
                  Prompts& prompts, std::size_t* position = nullptr);

  private:
    std::vector<std::string> entries_;
    bool unreadable_ = false;
};

}  // namespace sorrelbox
