#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sorrelbox {

// A settings file in the Windows profile form: "[section]" lines, then "key=value" lines.
// Names match without regard to ASCII letter case and to blanks around them; the first
// matching section and the first matching key in it count. Writing changes only the line of
// the key it sets (or adds the key, or the section at the end) and keeps every other line as
// it stood; lines end in CR LF when written.
class ProfileFile {
  public:
    ProfileFile() = default;
    // Parses text with CR LF or LF line ends; a UTF-8 byte-order mark is kept but not read.
    static ProfileFile FromText(std::string_view text);
    // A missing file gives an empty profile; nullopt when the file exists but cannot be read.
    static std::optional<ProfileFile> Load(std::string_view path);

    // The value with blanks around it removed and one pair of enclosing quotes taken off.
    std::optional<std::string> GetString(std::string_view section, std::string_view key) const;
    // The integer of the value's leading digits (after an optional '+'), wrapped to 32 bits;
    // a negative value or one without digits gives 0; a missing key gives defaultValue.
    std::uint32_t GetInt(std::string_view section, std::string_view key,
                         std::uint32_t defaultValue) const;

    void SetString(std::string_view section, std::string_view key, std::string_view value);

    std::string ToText() const;
    // Replaces the file whole; on failure the old file stays as it was.
    bool Save(std::string_view path) const;

  private:
    struct Range {
        std::size_t header;  // the section's header line
        std::size_t end;     // one past its last line
    };
    std::optional<Range> FindSection(std::string_view section) const;
    std::optional<std::size_t> FindKey(const Range& range, std::string_view key) const;

    bool byteOrderMark_ = false;
    std::vector<std::string> lines_;
};

// The two profile calls the program makes, each a whole read or read-modify-write of path.
std::uint32_t GetProfileInt(std::string_view path, std::string_view section, std::string_view key,
                            std::uint32_t defaultValue);
bool WriteProfileString(std::string_view path, std::string_view section, std::string_view key,
                        std::string_view value);

}  // namespace sorrelbox
