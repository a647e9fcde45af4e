#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/FileOps.h"

namespace sorrelbox {

// How a file is replaced through a temporary file beside it.
enum class ReplacePolicy : std::uint8_t {
    // Outputs and INI files: the file may be new; a target that is not a plain file (device,
    // symbolic link, several names) or a folder that refuses a temporary file is written in place.
    CreateOrInPlace,
    // Tag writes: an existing regular file (links followed), never written in place.
    ExistingOnly,
};

// The one core of FileReplacer and SafeFile: bytes go to a temporary file in the target's
// folder, with the target's owner and mode, which is flushed and renamed over the target on
// Commit. Until then the target is untouched; destroyed without Commit, the temporary goes.
class ReplacementFile {
  public:
    static std::optional<ReplacementFile> Open(std::string_view path, ReplacePolicy policy);
    // A temporary file beside nativeTarget with the given mode; the target may not exist.
    static std::optional<ReplacementFile> Beside(std::string nativeTarget, mode_t mode);

    ReplacementFile(ReplacementFile&& other) noexcept;
    ReplacementFile& operator=(ReplacementFile&& other) noexcept;
    ~ReplacementFile() { Discard(); }

    bool Write(const void* data, std::size_t size);
    // Appends count bytes of source from offset; false when fewer could be copied.
    bool CopyFrom(const ReadFile& source, std::uint64_t offset, std::uint64_t count);
    // Flushes, closes and puts the file in place. False when any step failed.
    bool Commit();
    // Closes and removes the temporary file unless Commit succeeded.
    void Discard();

    bool inPlace() const { return temp_.empty(); }
    const std::string& tempPath() const { return temp_; }

  private:
    ReplacementFile(int fd, std::string target, std::string temp)
        : fd_(fd), target_(std::move(target)), temp_(std::move(temp)) {}
    static std::optional<ReplacementFile> Beside(std::string nativeTarget, mode_t mode,
                                                 const struct stat* owner);

    int fd_ = -1;
    std::string target_;  // native path of the file replaced
    std::string temp_;    // native path of the temporary file; empty when writing in place
    bool failed_ = false;
    bool done_ = false;
};

}  // namespace sorrelbox
