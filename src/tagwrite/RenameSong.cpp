#include "tagwrite/RenameSong.h"

#include <cstdio>

#include "platform/SafeFile.h"

namespace sorrelbox {

std::size_t FindForbiddenNameChar(std::string_view name, const CodePage& cp) {
    for (std::size_t pos = 0; pos < name.size();) {
        const std::size_t length = cp.CharLength(name, pos);
        if (length == 1 &&
            std::string_view("\\/:*?\"<>|").find(name[pos]) != std::string_view::npos) {
            return pos;
        }
        pos += length;
    }
    return std::string_view::npos;
}

std::string SongListEntry(std::uint16_t seconds, std::string_view fileName) {
    char minutes[16];
    char rest[16];
    std::snprintf(minutes, sizeof minutes, "%3d", seconds / 60);
    std::snprintf(rest, sizeof rest, "%02d  ", seconds % 60);
    return std::string(minutes) + CpText("：") + rest + std::string(fileName);
}

RenameOutcome RenameSongFile(std::string& songPath, std::string_view newName,
                             std::string_view newPath, SongTable& table, std::size_t index,
                             std::uint8_t kanryoumes, Prompts& prompts, const CodePage& cp) {
    if (FindForbiddenNameChar(newName, cp) != std::string_view::npos) {
        prompts.ShowMessage(CpText("ファイル名に以下の文字は使えません\n \\ / : * ? \" < > |"),
                            CpText("エラー"), MessageIcon::Warning);
        return RenameOutcome::ForbiddenCharacter;
    }
    if (RenameNoReplace(songPath, newPath) != RenameResult::Renamed) {
        prompts.ShowMessage(CpText("ファイル名を編集できませんでした"), CpText("エラー"),
                            MessageIcon::Warning);
        return RenameOutcome::Refused;
    }
    if (index < table.songPaths().size()) {
        const std::string entry =
            SongListEntry(table.info().seconds, std::string(newName) + ".mp3");
        table.RemoveAt(index);
        table.Insert(index, std::string(newPath), entry);
    }
    songPath = std::string(newPath);
    if (kanryoumes == 0) {
        prompts.ShowMessage(CpText("ファイル名を編集しました"), CpText("完了"),
                            MessageIcon::Information);
    }
    return RenameOutcome::Renamed;
}

}  // namespace sorrelbox
