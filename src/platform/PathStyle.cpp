#include "platform/PathStyle.h"

namespace sorrelbox {

PathStyle NativePathStyle() {
#ifdef _WIN32
    return PathStyle::Windows;
#else
    return PathStyle::Posix;
#endif
}

char Separator(PathStyle style) { return style == PathStyle::Windows ? '\\' : '/'; }

std::size_t LastSeparator(std::string_view path, PathStyle style, const CodePage& cp) {
    return cp.FindLastChar(path, Separator(style));
}

std::string_view FileNameOf(std::string_view path, PathStyle style, const CodePage& cp) {
    const std::size_t sep = LastSeparator(path, style, cp);
    return sep == std::string_view::npos ? path : path.substr(sep + 1);
}

std::string_view FolderOf(std::string_view path, PathStyle style, const CodePage& cp) {
    const std::size_t sep = LastSeparator(path, style, cp);
    return sep == std::string_view::npos ? std::string_view() : path.substr(0, sep);
}

std::string_view FolderWithSeparator(std::string_view path, PathStyle style,
                                     const CodePage& cp) {
    const std::size_t sep = LastSeparator(path, style, cp);
    return sep == std::string_view::npos ? std::string_view() : path.substr(0, sep + 1);
}

std::string_view DriveOf(std::string_view path, PathStyle style) {
    if (style == PathStyle::Posix) return {};
    return path.substr(0, 2);
}

bool IsAbsolutePath(std::string_view path, PathStyle style) {
    if (style == PathStyle::Posix) return !path.empty() && path[0] == '/';
    return (path.size() >= 2 && path[1] == ':') || (!path.empty() && path[0] == '\\');
}

}  // namespace sorrelbox
