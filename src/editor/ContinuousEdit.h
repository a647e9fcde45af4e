#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "analysis/SongTable.h"
#include "platform/PathStyle.h"
#include "platform/Prompts.h"
#include "editor/TagEditor.h"

namespace sorrelbox {

// What the editor's song moves need from the main window and the view.
struct SongWalk {
    SongTable& table;  // its SongInfo is the selected song's after selectSong
    Prompts& prompts;
    // Selects index in the main window's song list and runs its selection change.
    std::function<void(std::size_t index)> selectSong;
    // Reads the view's fields into the editor's values, so what is typed in held fields
    // survives a load.
    std::function<void()> readFields;
    PathStyle style = NativePathStyle();
};

enum class WalkResult {
    Loaded,     // a song is shown (after a failed load going back: the song that failed)
    Unchanged,  // nothing to move to
    Closed,     // past the last song, or the first song failed in single mode
    Damaged,    // the song just left no longer reads as MP3 audio (message shown)
};

// "ID3タグ連続編集　%d/%d" of songNumber and songTotal.
std::string ContinuousCaption(std::uint16_t songNumber, std::uint16_t songTotal);

// The first load after the window opened: in list mode the counter starts at 1 and the main
// window selects the starting song. A failed load closes single mode and moves list mode on.
WalkResult StartEditing(TagEditor& editor, SongWalk& walk);

// Update, cancel and ">>" in list mode: checks the song left, then loads the next one that
// loads. Songs with automatic tracks get the counter in both track fields.
WalkResult NextSong(TagEditor& editor, SongWalk& walk);

// ">>": only in list mode and before the last song.
WalkResult ForwardButton(TagEditor& editor, SongWalk& walk);

// "<<": back without writing or checking; automatic tracks end.
WalkResult PreviousSong(TagEditor& editor, SongWalk& walk);

}  // namespace sorrelbox
