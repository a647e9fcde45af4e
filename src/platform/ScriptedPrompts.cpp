#include "platform/ScriptedPrompts.h"

namespace sorrelbox {

MessageAnswer ScriptedPrompts::ShowMessage(std::string_view text, std::string_view caption,
                                           MessageIcon icon, MessageButtons buttons) {
    messages.push_back({std::string(text), std::string(caption), icon, buttons});
    if (onMessage) onMessage(messages.back());
    // Only questions take an answer from the script.
    if (buttons == MessageButtons::Ok || answers.empty()) return MessageAnswer::Ok;
    const MessageAnswer answer = answers.front();
    answers.pop_front();
    return answer;
}

std::optional<std::vector<std::string>> ScriptedPrompts::ChooseOpenFiles(
    const FileDialogOptions& options) {
    openDialogs.push_back(options);
    if (openFiles.empty()) return std::nullopt;
    auto result = openFiles.front();
    openFiles.pop_front();
    return result;
}

std::optional<std::string> ScriptedPrompts::ChooseSaveFile(const FileDialogOptions& options) {
    saveDialogs.push_back(options);
    if (saveFiles.empty()) return std::nullopt;
    auto result = saveFiles.front();
    saveFiles.pop_front();
    return result;
}

FolderChoice ScriptedPrompts::ChooseFolder(std::string_view title) {
    folderTitles.emplace_back(title);
    if (folders.empty()) return {};
    auto result = folders.front();
    folders.pop_front();
    return result;
}

}  // namespace sorrelbox
