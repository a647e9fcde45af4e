#include "platform/FileReplacer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <utility>

#include "platform/FileOps.h"

namespace sorrelbox {
namespace {

mode_t CreationMode() {
    // umask can only be read by setting it; put it back at once.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

int OpenInPlace(const std::string& native) {
    return ::open(native.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOCTTY, 0666);
}

}  // namespace

std::optional<FileReplacer> FileReplacer::Create(std::string_view path) {
    auto native = ToNativePath(path);
    if (!native || native->empty()) return std::nullopt;

    struct stat st {};
    const bool exists = ::lstat(native->c_str(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode)) return std::nullopt;
    const bool plainFile = !exists || (S_ISREG(st.st_mode) && st.st_nlink == 1);
    if (exists && ::access(native->c_str(), W_OK) != 0) return std::nullopt;

    if (plainFile) {
        const std::size_t slash = native->rfind('/');
        const std::string folder = slash == std::string::npos ? "" : native->substr(0, slash + 1);
        const std::string name = slash == std::string::npos ? *native : native->substr(slash + 1);
        std::string temp = folder + "." + name + ".XXXXXX";
        const int fd = ::mkstemp(temp.data());
        if (fd >= 0) {
            ::fchmod(fd, exists ? (st.st_mode & 07777) : CreationMode());
            return FileReplacer(fd, *native, std::move(temp));
        }
        if (!exists) {
            // No temporary file where the target would go: creating the target will fail
            // the same way unless the folder only refuses hidden names.
            const int direct = OpenInPlace(*native);
            if (direct < 0) return std::nullopt;
            return FileReplacer(direct, *native, {});
        }
    }
    const int fd = OpenInPlace(*native);
    if (fd < 0) return std::nullopt;
    return FileReplacer(fd, *native, {});
}

FileReplacer::FileReplacer(FileReplacer&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)),
      targetNative_(std::move(other.targetNative_)),
      tempNative_(std::move(other.tempNative_)),
      failed_(other.failed_),
      done_(std::exchange(other.done_, true)) {}

FileReplacer& FileReplacer::operator=(FileReplacer&& other) noexcept {
    if (this != &other) {
        Discard();
        fd_ = std::exchange(other.fd_, -1);
        targetNative_ = std::move(other.targetNative_);
        tempNative_ = std::move(other.tempNative_);
        failed_ = other.failed_;
        done_ = std::exchange(other.done_, true);
    }
    return *this;
}

FileReplacer::~FileReplacer() {
    Discard();
}

void FileReplacer::Discard() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (!done_ && !tempNative_.empty()) ::unlink(tempNative_.c_str());
    done_ = true;
}

bool FileReplacer::Write(std::string_view bytes) {
    if (fd_ < 0 || failed_) return false;
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            failed_ = true;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

bool FileReplacer::Commit() {
    if (fd_ < 0 || done_) return false;
    bool ok = !failed_;
    if (ok && !tempNative_.empty() && ::fsync(fd_) != 0) ok = false;
    if (::close(fd_) != 0) ok = false;
    fd_ = -1;
    if (ok && !tempNative_.empty() && ::rename(tempNative_.c_str(), targetNative_.c_str()) != 0) {
        ok = false;
    }
    if (!ok && !tempNative_.empty()) ::unlink(tempNative_.c_str());
    done_ = true;
    return ok;
}

}  // namespace sorrelbox
