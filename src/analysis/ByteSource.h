#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace sorrelbox {

class ReadFile;

// What the readers read from: an open file, or bytes held in memory. Every read goes through
// ReadAt, so a scan's reads can be counted.
class ByteSource {
  public:
    virtual ~ByteSource() = default;
    virtual std::uint64_t size() const = 0;
    // Up to buffer.size() bytes at offset; fewer at the end or on an error.
    virtual std::size_t ReadAt(std::uint64_t offset, std::span<std::uint8_t> buffer) const = 0;

    // [offset, offset + count) clipped to size(), so a size field that claims more than the
    // file holds never allocates more than the file.
    std::vector<std::uint8_t> ReadRange(std::uint64_t offset, std::uint64_t count) const;
};

class FileByteSource : public ByteSource {
  public:
    explicit FileByteSource(const ReadFile& file) : file_(file) {}
    std::uint64_t size() const override;
    std::size_t ReadAt(std::uint64_t offset, std::span<std::uint8_t> buffer) const override;

  private:
    const ReadFile& file_;
};

class MemoryByteSource : public ByteSource {
  public:
    explicit MemoryByteSource(std::string_view bytes) : bytes_(bytes) {}
    std::uint64_t size() const override { return bytes_.size(); }
    std::size_t ReadAt(std::uint64_t offset, std::span<std::uint8_t> buffer) const override;
    // ReadAt calls so far, and the bytes they asked for.
    int reads() const { return reads_; }
    std::uint64_t bytesRequested() const { return bytesRequested_; }

  private:
    std::string_view bytes_;
    mutable int reads_ = 0;
    mutable std::uint64_t bytesRequested_ = 0;
};

}  // namespace sorrelbox
