#include "analysis/ByteSource.h"

#include <algorithm>
#include <cstring>

#include "platform/FileOps.h"

namespace sorrelbox {

std::vector<std::uint8_t> ByteSource::ReadRange(std::uint64_t offset, std::uint64_t count) const {
    const std::uint64_t total = size();
    if (offset >= total) return {};
    count = std::min(count, total - offset);
    std::vector<std::uint8_t> data(static_cast<std::size_t>(count));
    data.resize(ReadAt(offset, data));
    return data;
}

std::uint64_t FileByteSource::size() const {
    return file_.size();
}

std::size_t FileByteSource::ReadAt(std::uint64_t offset, std::span<std::uint8_t> buffer) const {
    return file_.ReadAt(offset, buffer);
}

std::size_t MemoryByteSource::ReadAt(std::uint64_t offset, std::span<std::uint8_t> buffer) const {
    ++reads_;
    bytesRequested_ += buffer.size();
    if (offset >= bytes_.size()) return 0;
    const std::size_t n = std::min<std::uint64_t>(buffer.size(), bytes_.size() - offset);
    std::memcpy(buffer.data(), bytes_.data() + offset, n);
    return n;
}

}  // namespace sorrelbox
