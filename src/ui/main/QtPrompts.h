#pragma once

#include <QString>
#include <QStringList>

#include "platform/Prompts.h"

class QWidget;

namespace sorrelbox {

// Message boxes, file dialogs, the folder browser and the Shift key through Qt. Texts arrive
// in the code page and are converted here.
class QtPrompts : public Prompts {
  public:
    explicit QtPrompts(QWidget* parent = nullptr) : parent_(parent) {}

    void setParent(QWidget* parent) { parent_ = parent; }
    // Where the file dialogs open; they then follow the folder the user chose last. Empty: the
    // current folder.
    void setFolder(const QString& folder) { folder_ = folder; }
    const QString& folder() const { return folder_; }

    MessageAnswer ShowMessage(std::string_view text, std::string_view caption, MessageIcon icon,
                              MessageButtons buttons = MessageButtons::Ok) override;
    std::optional<std::vector<std::string>> ChooseOpenFiles(
        const FileDialogOptions& options) override;
    std::optional<std::string> ChooseSaveFile(const FileDialogOptions& options) override;
    FolderChoice ChooseFolder(std::string_view title) override;
    bool IsShiftDown() override;

  private:
    QWidget* parent_;
    QString folder_;
};

// "desc|pattern||" as a Qt name filter list. Patterns match without regard to letter case, as
// the desktop the lists come from does.
QStringList QtNameFilters(std::string_view filter);

}  // namespace sorrelbox
