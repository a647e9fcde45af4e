#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace sorrelbox::test {

// A fresh folder per test, removed at the end, so tests run in parallel.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // The path of name inside the folder, as a UTF-8 string.
    std::string File(std::string_view name) const;
    // Writes bytes to name inside the folder and returns its path.
    std::string Write(std::string_view name, std::string_view bytes) const;

private:
    std::filesystem::path path_;
};

std::string ReadAll(const std::string& path);

}  // namespace sorrelbox::test
