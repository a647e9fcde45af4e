#include "platform/ReplacementFile.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>
#include <vector>

namespace sorrelbox {
namespace {

constexpr std::size_t kCopyChunk = 1 << 20;

bool WriteAll(int fd, const std::uint8_t* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

std::string NativeFolderOf(const std::string& native) {
    const auto slash = native.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : native.substr(0, slash);
}

// The file a path names, with symbolic links resolved; the path itself otherwise.
std::optional<std::string> ResolveTarget(const std::string& native) {
    struct stat st {};
    if (::lstat(native.c_str(), &st) != 0) return std::nullopt;
    if (!S_ISLNK(st.st_mode)) return native;
    char* real = ::realpath(native.c_str(), nullptr);
    if (!real) return std::nullopt;
    std::string resolved = real;
    ::free(real);
    return resolved;
}

mode_t CreationMode() {
    // umask can only be read by setting it; put it back at once.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

}  // namespace

std::optional<ReplacementFile> ReplacementFile::Beside(std::string nativeTarget, mode_t mode,
                                                       const struct stat* owner) {
    std::string temp = NativeFolderOf(nativeTarget) + "/.sorrelbox-XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    // Owner first: changing it may clear set-id bits, which the mode then restores. Other
    // users' files cannot be given away; the new file then belongs to us.
    if (owner && ::fchown(fd, owner->st_uid, owner->st_gid) != 0) {
    }
    ::fchmod(fd, mode);
    return ReplacementFile(fd, std::move(nativeTarget), std::move(temp));
}

std::optional<ReplacementFile> ReplacementFile::Beside(std::string nativeTarget, mode_t mode) {
    return Beside(std::move(nativeTarget), mode, nullptr);
}

std::optional<ReplacementFile> ReplacementFile::Open(std::string_view path, ReplacePolicy policy) {
    auto native = ToNativePath(path);
    if (!native || native->empty()) return std::nullopt;
    struct stat st {};
    if (policy == ReplacePolicy::ExistingOnly) {
        auto target = ResolveTarget(*native);
        if (!target || ::stat(target->c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
            return std::nullopt;
        }
        return Beside(std::move(*target), st.st_mode & 07777, &st);
    }
    const bool exists = ::lstat(native->c_str(), &st) == 0;
    if (exists && (S_ISDIR(st.st_mode) || ::access(native->c_str(), W_OK) != 0)) {
        return std::nullopt;
    }
    if (!exists || (S_ISREG(st.st_mode) && st.st_nlink == 1)) {
        auto file = exists ? Beside(*native, st.st_mode & 07777, &st)
                           : Beside(*native, CreationMode(), nullptr);
        if (file) return file;
    }
    // Devices, links and files with several names keep their identity; a folder that only
    // refuses hidden names still takes the file itself.
    const int fd =
        ::open(native->c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd < 0) return std::nullopt;
    return ReplacementFile(fd, std::move(*native), {});
}

ReplacementFile::ReplacementFile(ReplacementFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)),
      target_(std::move(other.target_)),
      temp_(std::move(other.temp_)),
      failed_(other.failed_),
      done_(std::exchange(other.done_, true)) {}

ReplacementFile& ReplacementFile::operator=(ReplacementFile&& other) noexcept {
    if (this != &other) {
        Discard();
        fd_ = std::exchange(other.fd_, -1);
        target_ = std::move(other.target_);
        temp_ = std::move(other.temp_);
        failed_ = other.failed_;
        done_ = std::exchange(other.done_, true);
    }
    return *this;
}

void ReplacementFile::Discard() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (!done_ && !temp_.empty()) ::unlink(temp_.c_str());
    done_ = true;
}

bool ReplacementFile::Write(const void* data, std::size_t size) {
    if (fd_ < 0 || failed_) return false;
    if (!WriteAll(fd_, static_cast<const std::uint8_t*>(data), size)) failed_ = true;
    return !failed_;
}

bool ReplacementFile::CopyFrom(const ReadFile& source, std::uint64_t offset, std::uint64_t count) {
    if (fd_ < 0 || failed_) return false;
    // The kernel copies without passing the bytes through us where it can.
    off_t in = static_cast<off_t>(offset);
    while (count > 0) {
        const std::size_t step = count < (1u << 30) ? static_cast<std::size_t>(count) : (1u << 30);
        const ssize_t n = ::copy_file_range(source.fd(), &in, fd_, nullptr, step, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) break;  // not supported here: copy through a buffer
        if (n == 0) {
            failed_ = true;  // the source ended early
            return false;
        }
        count -= static_cast<std::uint64_t>(n);
    }
    std::vector<std::uint8_t> buffer(
        static_cast<std::size_t>(std::min<std::uint64_t>(count, kCopyChunk)));
    std::uint64_t at = static_cast<std::uint64_t>(in);
    while (count > 0) {
        const std::size_t want =
            static_cast<std::size_t>(std::min<std::uint64_t>(count, buffer.size()));
        const std::size_t got = source.ReadAt(at, {buffer.data(), want});
        if (got != want || !WriteAll(fd_, buffer.data(), got)) {
            failed_ = true;
            return false;
        }
        at += got;
        count -= got;
    }
    return true;
}

bool ReplacementFile::Commit() {
    if (fd_ < 0 || done_) return false;
    bool ok = !failed_;
    if (ok && !inPlace() && ::fsync(fd_) != 0) ok = false;
    if (::close(fd_) != 0) ok = false;
    fd_ = -1;
    // The folder is not flushed: the rename is atomic in the file system's journal, so a crash
    // leaves the old or the new file whole, and flushing the folder would double a tag edit's cost.
    if (ok && !inPlace() && ::rename(temp_.c_str(), target_.c_str()) != 0) ok = false;
    if (!ok && !inPlace()) ::unlink(temp_.c_str());
    done_ = true;
    return ok;
}

}  // namespace sorrelbox
