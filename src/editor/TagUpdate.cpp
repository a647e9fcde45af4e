#include "editor/TagUpdate.h"

#include "platform/CodePage.h"
#include "tagwrite/FileNameTemplate.h"
#include "tagwrite/Id3v1Writer.h"
#include "tagwrite/Id3v2Writer.h"
#include "tagwrite/RenameSong.h"

namespace sorrelbox {
namespace {

bool AskOk(Prompts& prompts, const char* question) {
    return prompts.ShowMessage(CpText(question), CpText("確認"), MessageIcon::Question,
                               MessageButtons::OkCancel) == MessageAnswer::Ok;
}

StepOutcome Id3v2Step(TagEditor& editor, UpdateEnv& env) {
    if (editor.isId3v22) {
        env.prompts.ShowMessage(CpText("ID3v2.2は編集できません"), CpText("エラー"),
                                MessageIcon::Information);
        return StepOutcome::Refused;
    }
    const std::uint32_t id3v2Size = env.table.info().id3v2Size;
    const std::uint32_t oldTagLength = id3v2Size > 0 ? id3v2Size + 10 : 0;
    editor.v2.record.tagTotalSize = oldTagLength;
    const WriterEnv writerEnv{env.settings.backup, env.settings.kanryoumes, env.backupPath,
                              env.prompts};

    if (editor.hasId3v2 && !editor.v2.hasBox) {
        if (!AskOk(env.prompts, "ID3v2タグを削除しますか？")) return StepOutcome::Cancelled;
        std::uint16_t mask = kRemoveId3v2Tag;
        const bool failed =
            WriteId3v2Tag(editor.v2.MakeEdit(editor.songPath, oldTagLength), mask, writerEnv);
        return failed ? StepOutcome::Failed : StepOutcome::Done;
    }
    if (!editor.v2.hasBox) return StepOutcome::None;
    std::uint16_t mask = editor.v2.CollectId3v2(editor.genres);
    if (mask == 0) return StepOutcome::None;
    const bool failed =
        WriteId3v2Tag(editor.v2.MakeEdit(editor.songPath, oldTagLength), mask, writerEnv);
    return failed ? StepOutcome::Failed : StepOutcome::Done;
}

StepOutcome Id3v1Step(TagEditor& editor, UpdateEnv& env) {
    if (editor.hasId3v1 && !editor.v1.hasBox) {
        if (!AskOk(env.prompts, "ID3v1タグを削除しますか？")) return StepOutcome::Cancelled;
        const auto result = WriteId3v1Tag(editor.songPath, editor.v1.image(), true,
                                          env.settings.kanryoumes, env.prompts);
        return result == Id3v1WriteResult::Failed ? StepOutcome::Failed : StepOutcome::Done;
    }
    if (!editor.v1.hasBox || !editor.v1.CollectId3v1(editor.genres)) {
        return StepOutcome::None;
    }
    const auto result = WriteId3v1Tag(editor.songPath, editor.v1.image(), false,
                                      env.settings.kanryoumes, env.prompts);
    return result == Id3v1WriteResult::Failed ? StepOutcome::Failed : StepOutcome::Done;
}

}  // namespace

StepOutcome RenameStep(TagEditor& editor, UpdateEnv& env) {
    if (editor.fileNameText.empty()) return StepOutcome::None;
    const std::string kept = editor.fileNameText;
    const std::string name = ExpandFileNameTemplate(kept, editor.v1.values, editor.v2.values);
    StepOutcome outcome = StepOutcome::None;
    // A template that expands to nothing would name the file ".mp3": nothing is renamed.
    if (!name.empty()) {
        const std::string newPath =
            std::string(FolderWithSeparator(editor.songPath, env.style)) + name + ".mp3";
        if (newPath != editor.songPath) {
            if (!AskOk(env.prompts, "ファイル名を変更しますか？")) {
                outcome = StepOutcome::Cancelled;
            } else {
                const std::size_t index = editor.mode == EditorMode::List
                                              ? static_cast<std::size_t>(editor.songNumber) - 1
                                              : env.selectedLine;
                switch (RenameSongFile(editor.songPath, name, newPath, env.table, index,
                                       env.settings.kanryoumes, env.prompts)) {
                    case RenameOutcome::Renamed:
                        outcome = StepOutcome::Done;
                        break;
                    case RenameOutcome::ForbiddenCharacter:
                        outcome = StepOutcome::Refused;
                        break;
                    case RenameOutcome::Refused:
                        outcome = StepOutcome::Failed;
                        break;
                }
            }
        }
    }
    editor.fileNameText = kept;
    return outcome;
}

UpdateOutcome RunTagUpdate(TagEditor& editor, UpdateEnv& env) {
    UpdateOutcome outcome;
    if (editor.returnPressed) {
        editor.returnPressed = false;
        outcome.returnKeyOnly = true;
        return outcome;
    }
    editor.focusCode = 0;
    outcome.id3v2 = Id3v2Step(editor, env);
    outcome.id3v1 = Id3v1Step(editor, env);
    outcome.rename = RenameStep(editor, env);
    if (editor.mode == EditorMode::List && editor.autoTrack && editor.trackCounter < 255) {
        ++editor.trackCounter;
    }
    return outcome;
}

}  // namespace sorrelbox
