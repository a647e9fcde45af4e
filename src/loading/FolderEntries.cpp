#include "loading/FolderEntries.h"

#include <algorithm>

namespace sorrelbox {
namespace {

// Upper case, as the file system the program was made for orders its names ('_' after 'Z').
unsigned char FoldAscii(char c) {
    const auto b = static_cast<unsigned char>(c);
    return (b >= 'a' && b <= 'z') ? static_cast<unsigned char>(b - 'a' + 'A') : b;
}

bool ListedBefore(const std::string& a, const std::string& b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned char x = FoldAscii(a[i]);
        const unsigned char y = FoldAscii(b[i]);
        if (x != y) return x < y;
    }
    if (a.size() != b.size()) return a.size() < b.size();
    return a < b;  // std::string compares bytes as unsigned char
}

}  // namespace

bool MatchesMp3Pattern(std::string_view name) {
    constexpr std::string_view kExtension = ".mp3";
    if (name.size() < kExtension.size()) return false;
    const std::string_view tail = name.substr(name.size() - kExtension.size());
    for (std::size_t i = 0; i < kExtension.size(); ++i) {
        if (FoldAscii(tail[i]) != FoldAscii(kExtension[i])) return false;
    }
    return true;
}

std::vector<std::string> SelectMp3Entries(std::vector<std::string> names) {
    std::erase_if(names, [](const std::string& name) { return !MatchesMp3Pattern(name); });
    std::sort(names.begin(), names.end(), ListedBefore);
    return names;
}

std::vector<FolderEntry> SelectMp3Entries(std::vector<std::string> names,
                                          std::vector<std::string> unreadable) {
    std::vector<FolderEntry> entries;
    for (std::string& name : SelectMp3Entries(std::move(names))) {
        entries.push_back({std::move(name), true});
    }
    for (std::string& name : SelectMp3Entries(std::move(unreadable))) {
        entries.push_back({std::move(name), false});
    }
    std::stable_sort(entries.begin(), entries.end(),
                     [](const auto& a, const auto& b) { return ListedBefore(a.name, b.name); });
    return entries;
}

std::string JoinFolderEntry(std::string_view folder, std::string_view name, PathStyle style) {
    std::string path(folder);
    if (style == PathStyle::Windows || (!path.empty() && path.back() != '/')) {
        path += Separator(style);
    }
    path += name;
    return path;
}

}  // namespace sorrelbox
