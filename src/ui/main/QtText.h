#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace sorrelbox {

// The one place where code-page byte strings meet Qt's UTF-16.
QString ToQString(std::string_view text);
std::string FromQString(const QString& text);

// Paths from Qt (dialogs, drops) arrive in the file-system encoding. A name that the code page
// cannot hold is converted lossily, so it fails later like a missing file instead of vanishing.
std::string PathFromQString(const QString& path);
QString PathToQString(std::string_view path);

}  // namespace sorrelbox
