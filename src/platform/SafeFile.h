#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/FileOps.h"
#include "platform/ReplacementFile.h"

namespace sorrelbox {

// A new version of an existing file, written beside it and swapped in whole: a temporary file
// in the same folder takes the bytes, is flushed to disk and renamed over the file, keeping
// its permissions (and owner, where allowed). Until Commit succeeds the file is untouched;
// a SafeFile destroyed without Commit removes its temporary file.
class SafeFile {
  public:
    // nullopt when the file cannot be looked at or no temporary file can be made beside it.
    // A symbolic link is followed, so the file it names is replaced and the link stays.
    static std::optional<SafeFile> Begin(std::string_view path);

    SafeFile(SafeFile&& other) noexcept;
    SafeFile& operator=(SafeFile&&) = delete;
    SafeFile(const SafeFile&) = delete;
    SafeFile& operator=(const SafeFile&) = delete;
    ~SafeFile();

    bool Write(std::span<const std::uint8_t> bytes);
    // Appends count bytes of source from offset, in chunks; false when fewer could be copied.
    bool CopyFrom(const ReadFile& source, std::uint64_t offset, std::uint64_t count);
    // Flushes the new contents to disk and renames them over the file. False leaves the file as it
    // was.
    bool Commit();

    // The temporary file's native path (for tests).
    const std::string& tempPath() const { return core_.tempPath(); }

  private:
    explicit SafeFile(ReplacementFile core) : core_(std::move(core)) {}

    ReplacementFile core_;
};

enum class RenameResult { Renamed, TargetExists, Failed };

// Renames from to to, never replacing an existing to (no window in which it could).
RenameResult RenameNoReplace(std::string_view from, std::string_view to);

// Copies a regular file to to, replacing to whole (written beside it, then renamed).
bool CopyFileReplacing(std::string_view from, std::string_view to);

}  // namespace sorrelbox
