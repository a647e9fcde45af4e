#include "editor/ContinuousEdit.h"

#include <algorithm>
#include <cstdio>

#include "platform/CodePage.h"

namespace sorrelbox {
namespace {

bool LoadCurrent(TagEditor& editor, SongWalk& walk) {
    return editor.LoadSong(walk.table.info().id3v2Size, walk.prompts, walk.style);
}

void MoveTo(TagEditor& editor, SongWalk& walk, std::uint16_t number) {
    editor.songNumber = number;
    editor.songPath = walk.table.songPaths()[number - 1u];
    walk.selectSong(number - 1u);
}

// The table keeps its length while the editor is open; a shorter one ends the walk there.
std::uint16_t LastNumber(const TagEditor& editor, const SongWalk& walk) {
    const std::size_t count = walk.table.songPaths().size();
    return static_cast<std::uint16_t>(std::min<std::size_t>(editor.songTotal, count));
}

}  // namespace

std::string ContinuousCaption(std::uint16_t songNumber, std::uint16_t songTotal) {
    char numbers[16];
    std::snprintf(numbers, sizeof numbers, "%u/%u", unsigned{songNumber}, unsigned{songTotal});
    return CpText("ID3タグ連続編集　") + numbers;
}

WalkResult StartEditing(TagEditor& editor, SongWalk& walk) {
    if (editor.mode == EditorMode::List) {
        editor.trackCounter = 1;
        if (editor.songNumber < 1 || editor.songNumber > LastNumber(editor, walk)) {
            return WalkResult::Closed;
        }
        MoveTo(editor, walk, editor.songNumber);
    }
    if (LoadCurrent(editor, walk)) return WalkResult::Loaded;
    editor.focusCode = 0;
    if (editor.mode == EditorMode::Single) return WalkResult::Closed;
    return NextSong(editor, walk);
}

WalkResult NextSong(TagEditor& editor, SongWalk& walk) {
    // A song that fails to load is skipped: the loop goes on from it.
    for (;;) {
        if (editor.songNumber >= LastNumber(editor, walk)) return WalkResult::Closed;
        if (walk.table.ScanMpegFile(editor.songPath, ScanMode::Quiet) != ScanResult::ScanOk) {
            walk.prompts.ShowMessage(
                CpText(
                    "今回の編集でファイルが破損した可能性があります\nファイルを確認してください"),
                CpText("エラー"), MessageIcon::Information);
            return WalkResult::Damaged;
        }
        MoveTo(editor, walk, static_cast<std::uint16_t>(editor.songNumber + 1));
        if (walk.readFields) walk.readFields();
        if (!LoadCurrent(editor, walk)) {
            editor.focusCode = 0;
            continue;
        }
        if (editor.autoTrack) {
            editor.v1.values.track = static_cast<std::int16_t>(editor.trackCounter);
            editor.v2.values[V2Field::Track] = std::to_string(editor.trackCounter);
        }
        return WalkResult::Loaded;
    }
}

WalkResult ForwardButton(TagEditor& editor, SongWalk& walk) {
    editor.focusCode = 0;
    if (editor.mode != EditorMode::List || editor.songNumber >= LastNumber(editor, walk)) {
        return WalkResult::Unchanged;
    }
    return NextSong(editor, walk);
}

WalkResult PreviousSong(TagEditor& editor, SongWalk& walk) {
    editor.focusCode = 0;
    if (editor.mode != EditorMode::List || editor.songNumber <= 1) return WalkResult::Unchanged;
    // Songs that fail to load are skipped backwards; the first song ends the search.
    do {
        MoveTo(editor, walk, static_cast<std::uint16_t>(editor.songNumber - 1));
        if (walk.readFields) walk.readFields();
        editor.autoTrack = false;
    } while (!LoadCurrent(editor, walk) && editor.songNumber > 1);
    return WalkResult::Loaded;
}

}  // namespace sorrelbox
