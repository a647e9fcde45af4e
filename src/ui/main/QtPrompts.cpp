#include "ui/main/QtPrompts.h"

#include <QApplication>
#include <QCursor>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMessageBox>

#include "platform/FileOps.h"
#include "ui/main/QtText.h"

namespace sorrelbox {
namespace {

// A question must not wear the busy cursor of the load that asks it.
class NormalCursor {
  public:
    NormalCursor() : busy_(QApplication::overrideCursor() != nullptr) {
        if (busy_) QApplication::setOverrideCursor(Qt::ArrowCursor);
    }
    ~NormalCursor() {
        if (busy_) QApplication::restoreOverrideCursor();
    }
    NormalCursor(const NormalCursor&) = delete;
    NormalCursor& operator=(const NormalCursor&) = delete;

  private:
    bool busy_;
};

QString CaseInsensitivePattern(const QString& pattern) {
    QString out;
    for (const QChar c : pattern) {
        if (c.isLetter() && c.toLower() != c.toUpper()) {
            out += QLatin1Char('[') + c.toLower() + c.toUpper() + QLatin1Char(']');
        } else {
            out += c;
        }
    }
    return out;
}

QMessageBox::Icon QtIcon(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::Information:
            return QMessageBox::Information;
        case MessageIcon::Warning:
            return QMessageBox::Warning;
        case MessageIcon::Question:
            return QMessageBox::Question;
        case MessageIcon::Error:
            return QMessageBox::Critical;
    }
    return QMessageBox::NoIcon;
}

}  // namespace

QStringList QtNameFilters(std::string_view filter) {
    const QStringList parts = ToQString(filter).split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].isEmpty()) break;
        QStringList patterns;
        for (const QString& pattern : parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            const QString trimmed = pattern.trimmed();
            if (!trimmed.isEmpty()) patterns << CaseInsensitivePattern(trimmed);
        }
        filters << parts[i] + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) +
                       QLatin1Char(')');
    }
    return filters;
}

MessageAnswer QtPrompts::ShowMessage(std::string_view text, std::string_view caption,
                                     MessageIcon icon, MessageButtons buttons) {
    NormalCursor cursor;
    const bool question = buttons == MessageButtons::OkCancel;
    QMessageBox box(QtIcon(icon), ToQString(caption), ToQString(text),
                    question ? QMessageBox::Ok | QMessageBox::Cancel : QMessageBox::Ok, parent_);
    box.setDefaultButton(QMessageBox::Ok);
    box.setEscapeButton(question ? QMessageBox::Cancel : QMessageBox::Ok);
    return box.exec() == QMessageBox::Ok ? MessageAnswer::Ok : MessageAnswer::Cancel;
}

std::optional<std::vector<std::string>> QtPrompts::ChooseOpenFiles(
    const FileDialogOptions& options) {
    NormalCursor cursor;
    QFileDialog dialog(parent_);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(options.multiSelect ? QFileDialog::ExistingFiles
                                           : QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setNameFilters(QtNameFilters(options.filter));
    if (!folder_.isEmpty()) dialog.setDirectory(folder_);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    folder_ = dialog.directory().absolutePath();
    std::vector<std::string> paths;
    for (const QString& file : dialog.selectedFiles()) paths.push_back(PathFromQString(file));
    if (paths.empty()) return std::nullopt;
    return paths;
}

std::optional<std::string> QtPrompts::ChooseSaveFile(const FileDialogOptions& options) {
    NormalCursor cursor;
    QFileDialog dialog(parent_);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setNameFilters(QtNameFilters(options.filter));
    dialog.setDefaultSuffix(ToQString(options.defaultExtension));
    // A wildcard as the initial name only repeats the filter; a real name is offered.
    const QString initial = ToQString(options.initialName);
    if (!folder_.isEmpty()) dialog.setDirectory(folder_);
    if (!initial.isEmpty() && !initial.contains(QLatin1Char('*'))) dialog.selectFile(initial);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    folder_ = dialog.directory().absolutePath();
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty()) return std::nullopt;
    return PathFromQString(files.front());
}

FolderChoice QtPrompts::ChooseFolder(std::string_view title) {
    NormalCursor cursor;
    QString caption = ToQString(title);
    caption.replace(QLatin1Char('\n'), QLatin1Char(' '));
    const QString folder =
        QFileDialog::getExistingDirectory(parent_, caption, folder_, QFileDialog::ShowDirsOnly);
    FolderChoice choice;
    if (folder.isEmpty()) return choice;
    folder_ = folder;
    choice.cancelled = false;
    const QByteArray native = QFile::encodeName(folder);
    choice.path = FromNativePath(
        std::string_view(native.constData(), static_cast<std::size_t>(native.size())));
    return choice;
}

bool QtPrompts::IsShiftDown() {
    return QGuiApplication::queryKeyboardModifiers().testFlag(Qt::ShiftModifier);
}

}  // namespace sorrelbox
