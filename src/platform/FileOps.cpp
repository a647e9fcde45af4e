#include "platform/FileOps.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

#include "platform/CodePage.h"

namespace sorrelbox {
namespace {

std::optional<struct stat> StatPath(std::string_view path) {
    auto native = ToNativePath(path);
    if (!native) return std::nullopt;
    struct stat st {};
    if (::stat(native->c_str(), &st) != 0) return std::nullopt;
    return st;
}

}  // namespace

std::optional<std::string> ToNativePath(std::string_view path) {
    if (path.find('\0') != std::string_view::npos) return std::nullopt;
    return ActiveCodePage().ToUtf8Strict(path);
}

std::optional<std::string> FromNativePath(std::string_view native) {
    return ActiveCodePage().FromUtf8Strict(native);
}

std::optional<ReadFile> ReadFile::Open(std::string_view path) {
    auto native = ToNativePath(path);
    if (!native || native->empty()) return std::nullopt;
    // O_NONBLOCK so that opening a FIFO without a writer returns at once.
    const int fd = ::open(native->c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return std::nullopt;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return std::nullopt;
    }
    return ReadFile(fd, static_cast<std::uint64_t>(st.st_size));
}

ReadFile::ReadFile(ReadFile&& other) noexcept : fd_(other.fd_), size_(other.size_) {
    other.fd_ = -1;
}

ReadFile& ReadFile::operator=(ReadFile&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = other.fd_;
        size_ = other.size_;
        other.fd_ = -1;
    }
    return *this;
}

ReadFile::~ReadFile() {
    if (fd_ >= 0) ::close(fd_);
}

std::size_t ReadFile::ReadAt(std::uint64_t offset, std::span<std::uint8_t> buffer) const {
    std::size_t done = 0;
    while (done < buffer.size()) {
        const ssize_t n = ::pread(fd_, buffer.data() + done, buffer.size() - done,
                                  static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    return done;
}

std::vector<std::uint8_t> ReadFile::ReadRange(std::uint64_t offset, std::size_t count) const {
    if (offset >= size_) return {};
    if (count > size_ - offset) count = static_cast<std::size_t>(size_ - offset);
    std::vector<std::uint8_t> data(count);
    data.resize(ReadAt(offset, data));
    return data;
}

std::optional<WriteFile> WriteFile::Create(std::string_view path) {
    auto native = ToNativePath(path);
    if (!native || native->empty()) return std::nullopt;
    const int fd =
        ::open(native->c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd < 0) return std::nullopt;
    return WriteFile(fd);
}

WriteFile::WriteFile(WriteFile&& other) noexcept : fd_(other.fd_) {
    other.fd_ = -1;
}

WriteFile& WriteFile::operator=(WriteFile&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = other.fd_;
        other.fd_ = -1;
    }
    return *this;
}

WriteFile::~WriteFile() {
    if (fd_ >= 0) ::close(fd_);
}

bool WriteFile::Write(std::string_view bytes) {
    if (fd_ < 0) return false;
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

bool WriteFile::Close() {
    if (fd_ < 0) return false;
    const int rc = ::close(fd_);
    fd_ = -1;
    return rc == 0;
}

bool IsRegularFile(std::string_view path) {
    auto st = StatPath(path);
    return st && S_ISREG(st->st_mode);
}

bool IsDirectory(std::string_view path) {
    auto st = StatPath(path);
    return st && S_ISDIR(st->st_mode);
}

bool PathExists(std::string_view path) {
    auto native = ToNativePath(path);
    struct stat st {};
    return native && ::lstat(native->c_str(), &st) == 0;
}

std::optional<std::vector<std::string>> ListDirectory(std::string_view folder,
                                                      std::vector<std::string>* unconvertible) {
    auto native = ToNativePath(folder);
    if (!native) return std::nullopt;
    DIR* dir = ::opendir(native->empty() ? "." : native->c_str());
    if (!dir) return std::nullopt;
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (name == "." || name == "..") continue;
        if (auto converted = FromNativePath(name)) {
            names.push_back(std::move(*converted));
        } else if (unconvertible) {
            unconvertible->push_back(ActiveCodePage().FromUtf8(name));
        }
    }
    ::closedir(dir);
    return names;
}

std::optional<std::string> ReadWholeFile(std::string_view path, std::size_t maxBytes) {
    auto file = ReadFile::Open(path);
    if (!file || file->size() > maxBytes) return std::nullopt;
    std::string data(static_cast<std::size_t>(file->size()), '\0');
    const std::size_t n =
        file->ReadAt(0, {reinterpret_cast<std::uint8_t*>(data.data()), data.size()});
    if (n != data.size()) return std::nullopt;  // not read whole
    return data;
}

std::optional<std::string> CurrentDirectory() {
    char buffer[PATH_MAX];
    if (!::getcwd(buffer, sizeof buffer)) return std::nullopt;
    return FromNativePath(buffer);
}

}  // namespace sorrelbox
