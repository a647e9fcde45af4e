#include "FuzzTarget.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

namespace sorrelbox::fuzz {

namespace {

std::vector<FuzzTarget>& Registry() {
    static std::vector<FuzzTarget> targets;
    return targets;
}

}  // namespace

FuzzRegistration::FuzzRegistration(const FuzzTarget& target) {
    auto& targets = Registry();
    auto at = std::find_if(targets.begin(), targets.end(),
                           [&](const FuzzTarget& t) { return t.name > target.name; });
    targets.insert(at, target);
}

const std::vector<FuzzTarget>& AllTargets() {
    return Registry();
}

const FuzzTarget* FindTarget(std::string_view name) {
    for (const FuzzTarget& target : AllTargets()) {
        if (target.name == name) return &target;
    }
    return nullptr;
}

void FailCheck(const char* condition, const char* file, int line) {
    std::fprintf(stderr, "fuzz check failed: %s (%s:%d)\n", condition, file, line);
    std::fflush(stderr);
    std::abort();
}

const ScratchFolder& ScratchFolder::Get() {
    static const ScratchFolder folder;
    return folder;
}

ScratchFolder::ScratchFolder() {
    // Memory-backed when the system has it: a file rewritten a million times should not
    // go to disk.
    std::error_code ec;
    const std::filesystem::path base = ::access("/dev/shm", W_OK) == 0
                                           ? std::filesystem::path("/dev/shm")
                                           : std::filesystem::temp_directory_path(ec);
    std::string pattern = (base / "sorrelbox-fuzz-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
    // Static destructors run at a normal exit; libFuzzer's own exits leave the folder in the
    // temporary folder, which is what it is for.
    static const struct Remover {
        std::string path;
        ~Remover() {
            std::error_code ec;
            std::filesystem::remove_all(path, ec);
        }
    } remover{path_};
}

std::string ScratchFolder::File(std::string_view name) const {
    return path_ + "/" + std::string(name);
}

std::string ScratchFolder::Write(std::string_view name, const std::uint8_t* data,
                                 std::size_t size) const {
    const std::string file = File(name);
    // A new file rather than a truncated one: ext4 flushes a truncated file on close.
    ::unlink(file.c_str());
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) throw std::runtime_error("cannot create " + file);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, data + done, size - done);
        if (n <= 0) {
            ::close(fd);
            throw std::runtime_error("cannot write " + file);
        }
        done += static_cast<std::size_t>(n);
    }
    ::close(fd);
    return file;
}

std::string ScratchFolder::Write(std::string_view name, std::string_view bytes) const {
    return Write(name, reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

}  // namespace sorrelbox::fuzz
