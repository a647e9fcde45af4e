#include "settings/Settings.h"

#include <string>

#include "platform/FileOps.h"
#include "platform/ProfileFile.h"

namespace sorrelbox {
namespace {

constexpr std::string_view kIniName = "sorrelbox.ini";

struct Key {
    std::string_view section;
    std::string_view name;
    std::uint8_t Settings::*member;
    std::uint8_t defaultValue;
};

// In the order they are written, after iniver.
constexpr Key kKeys[] = {
    {"main", "kanryoumes", &Settings::kanryoumes, 0}, {"main", "soutai", &Settings::soutai, 0},
    {"main", "zyuuhuku", &Settings::zyuuhuku, 0},     {"tag", "hyouzi", &Settings::hyouzi, 0},
    {"tag", "kuuran", &Settings::kuuran, 0},          {"tag", "backup", &Settings::backup, 1},
};

}  // namespace

Settings LoadSettings(std::string_view iniPath) {
    Settings settings;
    // A file that cannot be read gives the defaults, like a missing one.
    const ProfileFile profile = ProfileFile::Load(iniPath).value_or(ProfileFile());
    for (const Key& key : kKeys) {
        settings.*key.member =
            static_cast<std::uint8_t>(profile.GetInt(key.section, key.name, key.defaultValue));
    }
    return settings;
}

bool SaveSettings(std::string_view iniPath, const Settings& settings) {
    auto profile = ProfileFile::Load(iniPath);
    if (!profile) return false;
    profile->SetString("main", "iniver", "1.1");
    for (const Key& key : kKeys) {
        profile->SetString(key.section, key.name, std::to_string(settings.*key.member));
    }
    return profile->Save(iniPath);
}

StartupInfo MakeStartupInfo(std::string_view folder, PathStyle style) {
    StartupInfo info;
    info.startupFolder = std::string(folder);
    info.iniPath = StartupFile(info, kIniName, style);
    return info;
}

std::string StartupFile(const StartupInfo& info, std::string_view name, PathStyle style) {
    const std::string& folder = info.startupFolder;
    if (folder.empty()) return std::string(name);  // no folder known: the current one
    // A POSIX root ("/") already ends in its separator; the Windows form always adds one,
    // which gives "C:\\sorrelbox.ini" at a drive root, and the file system accepts that.
    if (style == PathStyle::Posix && !folder.empty() && folder.back() == '/') {
        return folder + std::string(name);
    }
    return folder + Separator(style) + std::string(name);
}

}  // namespace sorrelbox
