#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "platform/Prompts.h"

namespace sorrelbox {

// Prompts answered from a script, recording every message: the tests' and the CLI's stand-in
// for the user. An empty answer queue answers OK, cancels dialogs and reports Shift up.
class ScriptedPrompts : public Prompts {
public:
    struct Message {
        std::string text;
        std::string caption;
        MessageIcon icon;
        MessageButtons buttons;
        bool operator==(const Message&) const = default;
    };

    MessageAnswer ShowMessage(std::string_view text, std::string_view caption, MessageIcon icon,
                              MessageButtons buttons) override;
    std::optional<std::vector<std::string>> ChooseOpenFiles(
        const FileDialogOptions& options) override;
    std::optional<std::string> ChooseSaveFile(const FileDialogOptions& options) override;
    FolderChoice ChooseFolder(std::string_view title) override;
    bool IsShiftDown() override { return shiftDown; }

    // Scripted answers, taken front first; answers are consumed by OK/Cancel questions only.
    std::deque<MessageAnswer> answers;
    std::deque<std::optional<std::vector<std::string>>> openFiles;
    std::deque<std::optional<std::string>> saveFiles;
    std::deque<FolderChoice> folders;
    bool shiftDown = false;

    // Called for every message after it is recorded (the CLI prints it).
    std::function<void(const Message&)> onMessage;

    // What was asked.
    std::vector<Message> messages;
    std::vector<FileDialogOptions> openDialogs;
    std::vector<FileDialogOptions> saveDialogs;
    std::vector<std::string> folderTitles;
};

}  // namespace sorrelbox
