#include "platform/ProfileFile.h"

#include "platform/FileOps.h"
#include "platform/FileReplacer.h"

namespace sorrelbox {
namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    }
    return true;
}

// The name of a section header line, or nullopt for any other line.
std::optional<std::string_view> SectionName(std::string_view line) {
    line = Trim(line);
    if (line.empty() || line.front() != '[') return std::nullopt;
    const std::size_t close = line.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    return Trim(line.substr(1, close - 1));
}

// The key of a key line (the text before '=', or the whole line when it has none).
std::string_view KeyName(std::string_view line) {
    const std::size_t eq = line.find('=');
    return Trim(line.substr(0, eq));
}

std::string_view ValueOf(std::string_view line) {
    const std::size_t eq = line.find('=');
    if (eq == std::string_view::npos) return {};
    std::string_view value = Trim(line.substr(eq + 1));
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        value = value.substr(1, value.size() - 2);
    }
    return value;
}

}  // namespace

ProfileFile ProfileFile::FromText(std::string_view text) {
    ProfileFile profile;
    if (text.substr(0, kUtf8Bom.size()) == kUtf8Bom) {
        profile.byteOrderMark_ = true;
        text.remove_prefix(kUtf8Bom.size());
    }
    while (!text.empty()) {
        const std::size_t lf = text.find('\n');
        std::string_view line = text.substr(0, lf);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        profile.lines_.emplace_back(line);
        if (lf == std::string_view::npos) break;
        text.remove_prefix(lf + 1);
    }
    return profile;
}

std::optional<ProfileFile> ProfileFile::Load(std::string_view path) {
    if (auto text = ReadWholeFile(path)) return FromText(*text);
    if (PathExists(path)) return std::nullopt;
    return ProfileFile();
}

std::optional<ProfileFile::Range> ProfileFile::FindSection(std::string_view section) const {
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        auto name = SectionName(lines_[i]);
        if (!name || !EqualsIgnoringCase(*name, Trim(section))) continue;
        std::size_t end = i + 1;
        while (end < lines_.size() && !SectionName(lines_[end])) ++end;
        return Range{i, end};
    }
    return std::nullopt;
}

std::optional<std::size_t> ProfileFile::FindKey(const Range& range, std::string_view key) const {
    for (std::size_t i = range.header + 1; i < range.end; ++i) {
        const std::string_view name = KeyName(lines_[i]);
        if (!name.empty() && EqualsIgnoringCase(name, Trim(key))) return i;
    }
    return std::nullopt;
}

std::optional<std::string> ProfileFile::GetString(std::string_view section,
                                                  std::string_view key) const {
    auto range = FindSection(section);
    if (!range) return std::nullopt;
    auto line = FindKey(*range, key);
    if (!line) return std::nullopt;
    return std::string(ValueOf(lines_[*line]));
}

std::uint32_t ProfileFile::GetInt(std::string_view section, std::string_view key,
                                  std::uint32_t defaultValue) const {
    auto value = GetString(section, key);
    if (!value) return defaultValue;
    std::string_view digits = *value;
    if (!digits.empty() && digits.front() == '-') return 0;
    if (!digits.empty() && digits.front() == '+') digits.remove_prefix(1);
    std::uint32_t result = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') break;
        result = result * 10u + static_cast<std::uint32_t>(c - '0');
    }
    return result;
}

void ProfileFile::SetString(std::string_view section, std::string_view key,
                            std::string_view value) {
    std::string line = std::string(Trim(key)) + "=" + std::string(value);
    auto range = FindSection(section);
    if (!range) {
        lines_.push_back("[" + std::string(Trim(section)) + "]");
        lines_.push_back(std::move(line));
        return;
    }
    if (auto found = FindKey(*range, key)) {
        // Keep the key as the file spells it.
        lines_[*found] = std::string(KeyName(lines_[*found])) + "=" + std::string(value);
        return;
    }
    // After the section's last non-blank line, so a blank line before the next section stays.
    std::size_t at = range->end;
    while (at > range->header + 1 && Trim(lines_[at - 1]).empty()) --at;
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), std::move(line));
}

std::string ProfileFile::ToText() const {
    std::string text = byteOrderMark_ ? std::string(kUtf8Bom) : std::string();
    for (const std::string& line : lines_) {
        text += line;
        text += "\r\n";
    }
    return text;
}

bool ProfileFile::Save(std::string_view path) const {
    auto file = FileReplacer::Create(path);
    if (!file) return false;
    if (!file->Write(ToText())) return false;
    return file->Commit();
}

std::uint32_t GetProfileInt(std::string_view path, std::string_view section, std::string_view key,
                            std::uint32_t defaultValue) {
    auto profile = ProfileFile::Load(path);
    if (!profile) return defaultValue;
    return profile->GetInt(section, key, defaultValue);
}

bool WriteProfileString(std::string_view path, std::string_view section, std::string_view key,
                        std::string_view value) {
    // An existing file that cannot be read is never overwritten: that would lose its content.
    auto profile = ProfileFile::Load(path);
    if (!profile) return false;
    profile->SetString(section, key, value);
    return profile->Save(path);
}

}  // namespace sorrelbox
