#include "platform/SafeFile.h"

#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
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
    if (slash == 0) return "/";
    return native.substr(0, slash);
}

void SyncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
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

// A temporary file in folder, created exclusively with mode bits copied from like.
std::optional<std::pair<int, std::string>> MakeTemp(const std::string& folder,
                                                    const struct stat* like) {
    std::string pattern = folder + (folder.ends_with('/') ? "" : "/") + ".sorrelbox-XXXXXX";
    const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    if (like) {
        // Owner first: changing it may clear set-id bits, which the mode then restores.
        if (::fchown(fd, like->st_uid, like->st_gid) != 0) {
            // Not allowed for other users' files; the file then belongs to us.
        }
        ::fchmod(fd, like->st_mode & 07777);
    }
    return std::make_pair(fd, pattern);
}

}  // namespace

std::optional<SafeFile> SafeFile::Begin(std::string_view path) {
    auto native = ToNativePath(path);
    if (!native || native->empty()) return std::nullopt;
    auto target = ResolveTarget(*native);
    if (!target) return std::nullopt;
    struct stat st {};
    if (::stat(target->c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    auto temp = MakeTemp(NativeFolderOf(*target), &st);
    if (!temp) return std::nullopt;
    return SafeFile(temp->first, std::move(*target), std::move(temp->second));
}

SafeFile::SafeFile(SafeFile&& other) noexcept
    : fd_(other.fd_),
      failed_(other.failed_),
      target_(std::move(other.target_)),
      tempPath_(std::move(other.tempPath_)) {
    other.fd_ = -1;
    other.tempPath_.clear();
}

SafeFile::~SafeFile() {
    Abandon();
}

void SafeFile::Abandon() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (!tempPath_.empty()) ::unlink(tempPath_.c_str());
    tempPath_.clear();
}

bool SafeFile::Write(std::span<const std::uint8_t> bytes) {
    if (fd_ < 0 || failed_) return false;
    if (!WriteAll(fd_, bytes.data(), bytes.size())) failed_ = true;
    return !failed_;
}

bool SafeFile::CopyFrom(const ReadFile& source, std::uint64_t offset, std::uint64_t count) {
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
    if (count == 0) return true;
    std::vector<std::uint8_t> buffer(
        static_cast<std::size_t>(count < kCopyChunk ? count : kCopyChunk));
    std::uint64_t at = static_cast<std::uint64_t>(in);
    while (count > 0) {
        const std::size_t want =
            count < buffer.size() ? static_cast<std::size_t>(count) : buffer.size();
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

bool SafeFile::Commit() {
    if (fd_ < 0 || failed_) {
        Abandon();
        return false;
    }
    const bool flushed = ::fsync(fd_) == 0;
    const bool closed = ::close(fd_) == 0;
    fd_ = -1;
    if (!flushed || !closed || ::rename(tempPath_.c_str(), target_.c_str()) != 0) {
        Abandon();
        return false;
    }
    // The folder is not flushed: the rename is atomic in the file system's journal, so a
    // crash leaves the old or the new file whole, and flushing the folder would double the
    // cost of a tag edit.
    tempPath_.clear();
    return true;
}

RenameResult RenameNoReplace(std::string_view from, std::string_view to) {
    auto nativeFrom = ToNativePath(from);
    auto nativeTo = ToNativePath(to);
    if (!nativeFrom || !nativeTo || nativeFrom->empty() || nativeTo->empty()) {
        return RenameResult::Failed;
    }
    if (::renameat2(AT_FDCWD, nativeFrom->c_str(), AT_FDCWD, nativeTo->c_str(), RENAME_NOREPLACE) ==
        0) {
        SyncFolder(NativeFolderOf(*nativeTo));
        return RenameResult::Renamed;
    }
    if (errno == EEXIST) return RenameResult::TargetExists;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return RenameResult::Failed;
    // File systems without the flag: a hard link cannot replace either.
    if (::link(nativeFrom->c_str(), nativeTo->c_str()) != 0) {
        return errno == EEXIST ? RenameResult::TargetExists : RenameResult::Failed;
    }
    if (::unlink(nativeFrom->c_str()) != 0) {
        ::unlink(nativeTo->c_str());
        return RenameResult::Failed;
    }
    SyncFolder(NativeFolderOf(*nativeTo));
    return RenameResult::Renamed;
}

bool CopyFileReplacing(std::string_view from, std::string_view to) {
    auto source = ReadFile::Open(from);
    auto nativeTo = ToNativePath(to);
    if (!source || !nativeTo || nativeTo->empty()) return false;
    struct stat st {};
    if (::fstat(source->fd(), &st) != 0) return false;
    auto temp = MakeTemp(NativeFolderOf(*nativeTo), nullptr);
    if (!temp) return false;
    ::fchmod(temp->first, st.st_mode & 0777);
    SafeFile copy(temp->first, *nativeTo, temp->second);
    return copy.CopyFrom(*source, 0, source->size()) && copy.Commit();
}

}  // namespace sorrelbox
