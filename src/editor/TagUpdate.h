#pragma once

#include <cstddef>
#include <string>

#include "analysis/SongTable.h"
#include "platform/PathStyle.h"
#include "platform/Prompts.h"
#include "settings/Settings.h"
#include "editor/TagEditor.h"

namespace sorrelbox {

// What the update needs from outside the editor.
struct UpdateEnv {
    SongTable& table;          // its SongInfo describes the song being edited
    std::size_t selectedLine;  // single mode: the main window's selected song
    const Settings& settings;
    std::string backupPath;  // "backup.mp3" in the start-up folder
    Prompts& prompts;
    PathStyle style = NativePathStyle();
};

enum class StepOutcome {
    None,       // nothing to do
    Done,       // written, removed or renamed
    Failed,     // tried and failed (its message was shown)
    Cancelled,  // the user answered Cancel
    Refused,    // not attempted: an ID3v2.2 tag, a forbidden character
};

struct UpdateOutcome {
    bool returnKeyOnly = false;  // the press only cleared returnPressed
    StepOutcome id3v2 = StepOutcome::None;
    StepOutcome id3v1 = StepOutcome::None;
    StepOutcome rename = StepOutcome::None;
};

// "更新": the ID3v2 tag, then the ID3v1 tag, then the file name, each whatever became of the
// one before. Every question and message goes through env.prompts. In list mode the track
// counter moves on; moving to the next song or closing is the window's.
UpdateOutcome RunTagUpdate(TagEditor& editor, UpdateEnv& env);

// The file-name step alone: expands the template, asks, renames. fileNameText keeps the
// template.
StepOutcome RenameStep(TagEditor& editor, UpdateEnv& env);

}  // namespace sorrelbox
