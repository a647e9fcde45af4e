#pragma once

// The fuzz targets, shared by the libFuzzer programs (clang) and the replay program that CI
// runs under the sanitizers (any compiler). A target takes any bytes, must never crash, hang
// or leak, and checks what must hold whatever the bytes are.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace sorrelbox::fuzz {

struct FuzzTarget {
    std::string_view name;
    int (*run)(const std::uint8_t* data, std::size_t size);
    // Small well-formed and nearly well-formed inputs made by the fixture builder.
    std::vector<std::string> (*seeds)();
};

// Every target of fuzz/targets, in name order. Each registers itself at start-up (the target
// files are linked as objects, so none is dropped).
const std::vector<FuzzTarget>& AllTargets();
const FuzzTarget* FindTarget(std::string_view name);

struct FuzzRegistration {
    explicit FuzzRegistration(const FuzzTarget& target);
};

// Stops the process with a message when an invariant fails, so that libFuzzer keeps the input
// and the replay test fails.
[[noreturn]] void FailCheck(const char* condition, const char* file, int line);

// One file rewritten for every input (the scanners read files, not memory). Made once per
// process in a private temporary folder, removed at exit.
class ScratchFolder {
  public:
    static const ScratchFolder& Get();
    const std::string& path() const { return path_; }
    // Path of name inside the folder.
    std::string File(std::string_view name) const;
    // Writes bytes to name (created or truncated) and returns its path.
    std::string Write(std::string_view name, const std::uint8_t* data, std::size_t size) const;
    std::string Write(std::string_view name, std::string_view bytes) const;

  private:
    ScratchFolder();
    std::string path_;
};

}  // namespace sorrelbox::fuzz

// The name is the target file's name without ".cpp"; CMake derives the program names from it.
#define SORRELBOX_FUZZ_TARGET_REGISTER(name, run, seeds)                 \
    static const ::sorrelbox::fuzz::FuzzRegistration fuzzRegistration_ { \
        { name, run, seeds }                                             \
    }

#define FUZZ_CHECK(condition) \
    ((condition) ? (void)0 : ::sorrelbox::fuzz::FailCheck(#condition, __FILE__, __LINE__))
