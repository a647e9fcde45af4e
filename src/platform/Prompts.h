#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sorrelbox {

enum class MessageIcon { Information, Warning, Question, Error };
enum class MessageButtons { Ok, OkCancel };
enum class MessageAnswer { Ok, Cancel };

// What a file dialog offers. Texts are in the code page; filter is in the
// "description|pattern||" form.
struct FileDialogOptions {
    std::string filter;
    std::string initialName;
    std::string defaultExtension;
    bool multiSelect = false;
};

// Result of the folder browser: cancelled, or a folder with or without a file-system path.
struct FolderChoice {
    bool cancelled = true;
    std::optional<std::string> path;
};

// Everything that asks the user or reads the keyboard: message boxes, file dialogs, the
// folder browser and the Shift key. The GUI implements it with Qt; tests and the CLI script it.
class Prompts {
public:
    virtual ~Prompts() = default;

    virtual MessageAnswer ShowMessage(std::string_view text, std::string_view caption,
                                      MessageIcon icon,
                                      MessageButtons buttons = MessageButtons::Ok) = 0;
    // nullopt when the user cancels.
    virtual std::optional<std::vector<std::string>> ChooseOpenFiles(
        const FileDialogOptions& options) = 0;
    virtual std::optional<std::string> ChooseSaveFile(const FileDialogOptions& options) = 0;
    virtual FolderChoice ChooseFolder(std::string_view title) = 0;
    virtual bool IsShiftDown() = 0;
};

}  // namespace sorrelbox
