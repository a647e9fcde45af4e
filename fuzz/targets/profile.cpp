// The profile-file reader and writer over any text, and the settings store on top of them.

#include <array>
#include <string>

#include "FuzzTarget.h"
#include "platform/ProfileFile.h"
#include "settings/Settings.h"

namespace sorrelbox::fuzz {
namespace {

struct Key {
    std::string_view section;
    std::string_view key;
};
constexpr std::array<Key, 7> kKeys = {{{"main", "iniver"},
                                       {"main", "kanryoumes"},
                                       {"main", "soutai"},
                                       {"main", "zyuuhuku"},
                                       {"tag", "hyouzi"},
                                       {"tag", "kuuran"},
                                       {"tag", "backup"}}};

int FuzzProfile(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    ProfileFile profile = ProfileFile::FromText(text);
    for (const Key& k : kKeys) {
        (void)profile.GetString(k.section, k.key);
        (void)profile.GetInt(k.section, k.key, 7);
    }

    // Writing keeps a stable text: what was written reads back the same.
    const std::string written = profile.ToText();
    FUZZ_CHECK(ProfileFile::FromText(written).ToText() == written);

    // A value set is the value read, whatever else the file holds; other keys keep theirs.
    const std::uint32_t value = size == 0 ? 0 : data[size / 2];
    std::array<std::optional<std::string>, kKeys.size()> before;
    for (std::size_t i = 0; i < kKeys.size(); ++i)
        before[i] = profile.GetString(kKeys[i].section, kKeys[i].key);
    const Key& target = kKeys[value % kKeys.size()];
    profile.SetString(target.section, target.key, std::to_string(value));
    FUZZ_CHECK(profile.GetInt(target.section, target.key, 999) == value);
    const ProfileFile reread = ProfileFile::FromText(profile.ToText());
    FUZZ_CHECK(reread.GetInt(target.section, target.key, 999) == value);
    for (std::size_t i = 0; i < kKeys.size(); ++i) {
        if (&kKeys[i] == &target) continue;
        FUZZ_CHECK(reread.GetString(kKeys[i].section, kKeys[i].key) == before[i]);
    }

    // The settings store reads the file as the program does at start-up, and what it saves
    // reads back.
    const std::string path = ScratchFolder::Get().Write("sorrelbox.ini", data, size);
    const Settings loaded = LoadSettings(path);
    Settings changed = loaded;
    changed.soutai = loaded.soutai == 1 ? 0 : 1;
    changed.backup = static_cast<std::uint8_t>(value & 1);
    if (SaveSettings(path, changed)) FUZZ_CHECK(LoadSettings(path) == changed);
    return 0;
}

std::vector<std::string> ProfileSeeds() {
    using namespace std::string_literals;
    return {
        "[main]\r\niniver=1.1\r\nkanryoumes=1\r\nsoutai=0\r\nzyuuhuku=1\r\n[tag]\r\n"
        "hyouzi=1\r\nkuuran=0\r\nbackup=1\r\n",
        "; comment\n[Main]\n  SOUTAI = 2 \nother=x\n\n[tag]\nbackup=\"0\"\n[extra]\nk=v\n",
        "\xEF\xBB\xBF[main]\r\nkanryoumes=-5\r\nzyuuhuku=257\r\n[main]\r\nsoutai=1\r\n",
        "[tag\nbackup=0\n]main[\n=1\nkuuran\n[ tag ]\nkuuran=+1x\n",
        "[main]\0kanryoumes=1\n\r\r\n[tag]\rhyouzi=1"s,
    };
}

}  // namespace

SORRELBOX_FUZZ_TARGET_REGISTER("profile", FuzzProfile, ProfileSeeds);

}  // namespace sorrelbox::fuzz
