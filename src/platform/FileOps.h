#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace sorrelbox {

// Paths are code-page strings. On POSIX they are converted to the file system's encoding
// (UTF-8) at this edge; a path that cannot be converted fails like a missing file.
std::optional<std::string> ToNativePath(std::string_view path);
std::optional<std::string> FromNativePath(std::string_view native);

// A regular file opened for reading. Opening never blocks: a FIFO, device or folder fails.
class ReadFile {
  public:
    static std::optional<ReadFile> Open(std::string_view path);

    ReadFile(ReadFile&& other) noexcept;
    ReadFile& operator=(ReadFile&& other) noexcept;
    ReadFile(const ReadFile&) = delete;
    ReadFile& operator=(const ReadFile&) = delete;
    ~ReadFile();

    std::uint64_t size() const { return size_; }
    // Reads up to buffer.size() bytes at offset; fewer at the end of the file or on an error.
    std::size_t ReadAt(std::uint64_t offset, std::span<std::uint8_t> buffer) const;
    // Reads [offset, offset + count) clipped to the file.
    std::vector<std::uint8_t> ReadRange(std::uint64_t offset, std::size_t count) const;
    int fd() const { return fd_; }

  private:
    ReadFile(int fd, std::uint64_t size) : fd_(fd), size_(size) {}
    int fd_ = -1;
    std::uint64_t size_ = 0;
};

// A file created (or truncated) for writing, as the text outputs need it.
class WriteFile {
  public:
    static std::optional<WriteFile> Create(std::string_view path);

    WriteFile(WriteFile&& other) noexcept;
    WriteFile& operator=(WriteFile&& other) noexcept;
    WriteFile(const WriteFile&) = delete;
    WriteFile& operator=(const WriteFile&) = delete;
    ~WriteFile();

    bool Write(std::string_view bytes);
    bool Close();

  private:
    explicit WriteFile(int fd) : fd_(fd) {}
    int fd_ = -1;
};

bool IsRegularFile(std::string_view path);
bool IsDirectory(std::string_view path);
bool PathExists(std::string_view path);

// Names of a folder's entries in the code page, in the order the system lists them; nullopt
// when the folder cannot be read. Names that do not convert are left out, or, when
// unconvertible is given, put there with '?' for each character the code page cannot hold.
std::optional<std::vector<std::string>> ListDirectory(
    std::string_view folder, std::vector<std::string>* unconvertible = nullptr);

// A whole regular file of at most maxBytes bytes; nullopt when it cannot be read whole.
std::optional<std::string> ReadWholeFile(std::string_view path,
                                         std::size_t maxBytes = 64 * 1024 * 1024);

// The process's current folder in the code page.
std::optional<std::string> CurrentDirectory();

}  // namespace sorrelbox
