#pragma once

#include <string>
#include <string_view>

#include "platform/CodePage.h"

namespace sorrelbox {

// How paths are split: Windows (backslash, the drive is the first two bytes) or POSIX
// ('/', no drive). Separators are found character by character in the code page, so the
// second byte of a double-byte character is never a separator.
enum class PathStyle { Windows, Posix };

PathStyle NativePathStyle();
char Separator(PathStyle style);

// Position of the last separator, or npos.
std::size_t LastSeparator(std::string_view path, PathStyle style,
                          const CodePage& cp = ActiveCodePage());
// The text after the last separator (the whole path when there is none).
std::string_view FileNameOf(std::string_view path, PathStyle style,
                            const CodePage& cp = ActiveCodePage());
// The text before the last separator (empty when there is none).
std::string_view FolderOf(std::string_view path, PathStyle style,
                          const CodePage& cp = ActiveCodePage());
// The text up to and including the last separator (empty when there is none).
std::string_view FolderWithSeparator(std::string_view path, PathStyle style,
                                     const CodePage& cp = ActiveCodePage());
// Windows: the first two bytes (such as "C:"); POSIX: empty.
std::string_view DriveOf(std::string_view path, PathStyle style);
// POSIX: begins with '/'. Windows: a drive letter and colon, or a leading backslash.
bool IsAbsolutePath(std::string_view path, PathStyle style);

}  // namespace sorrelbox
