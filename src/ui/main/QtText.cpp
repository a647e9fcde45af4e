#include "ui/main/QtText.h"

#include <QFile>

#include "platform/CodePage.h"
#include "platform/FileOps.h"

namespace sorrelbox {

QString ToQString(std::string_view text) {
    const std::u16string utf16 = ActiveCodePage().ToUtf16(text);
    return QString::fromUtf16(utf16.data(), static_cast<qsizetype>(utf16.size()));
}

std::string FromQString(const QString& text) {
    return ActiveCodePage().FromUtf16(std::u16string_view(
        reinterpret_cast<const char16_t*>(text.utf16()), static_cast<std::size_t>(text.size())));
}

std::string PathFromQString(const QString& path) {
    const QByteArray native = QFile::encodeName(path);
    const std::string_view bytes(native.constData(), static_cast<std::size_t>(native.size()));
    if (auto converted = FromNativePath(bytes)) return *converted;
    return ActiveCodePage().FromUtf8(bytes);
}

QString PathToQString(std::string_view path) {
    if (auto native = ToNativePath(path)) {
        return QFile::decodeName(
            QByteArray(native->data(), static_cast<qsizetype>(native->size())));
    }
    return ToQString(path);
}

}  // namespace sorrelbox
