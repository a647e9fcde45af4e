#include "platform/SafeFile.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace sorrelbox {
namespace {

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

}  // namespace

std::optional<SafeFile> SafeFile::Begin(std::string_view path) {
    auto core = ReplacementFile::Open(path, ReplacePolicy::ExistingOnly);
    if (!core) return std::nullopt;
    return SafeFile(std::move(*core));
}

SafeFile::SafeFile(SafeFile&& other) noexcept = default;
SafeFile::~SafeFile() = default;

bool SafeFile::Write(std::span<const std::uint8_t> bytes) {
    return core_.Write(bytes.data(), bytes.size());
}

bool SafeFile::CopyFrom(const ReadFile& source, std::uint64_t offset, std::uint64_t count) {
    return core_.CopyFrom(source, offset, count);
}

bool SafeFile::Commit() {
    return core_.Commit();
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
    auto copy = ReplacementFile::Beside(*nativeTo, st.st_mode & 0777);
    return copy && copy->CopyFrom(*source, 0, source->size()) && copy->Commit();
}

}  // namespace sorrelbox
