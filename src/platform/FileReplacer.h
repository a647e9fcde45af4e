#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/ReplacementFile.h"

namespace sorrelbox {

// Writes a file so that a failure part way leaves the old file (or no file) behind: the bytes
// go to a temporary file in the same folder, which replaces the target on Commit. Targets that
// are not plain files (devices, symbolic links, files with several names) and folders where no
// temporary file can be made are written in place, as a plain create-and-truncate would.
class FileReplacer {
  public:
    // nullopt when the target cannot be written (no folder, no permission, a folder).
    static std::optional<FileReplacer> Create(std::string_view path);

    FileReplacer(FileReplacer&& other) noexcept;
    FileReplacer& operator=(FileReplacer&& other) noexcept;
    FileReplacer(const FileReplacer&) = delete;
    FileReplacer& operator=(const FileReplacer&) = delete;
    // Removes the temporary file when Commit was not reached.
    ~FileReplacer();

    bool Write(std::string_view bytes);
    // Flushes, closes and puts the file in place. False when any step failed.
    bool Commit();
    bool inPlace() const { return core_.inPlace(); }

  private:
    explicit FileReplacer(ReplacementFile core) : core_(std::move(core)) {}

    ReplacementFile core_;
};

}  // namespace sorrelbox
