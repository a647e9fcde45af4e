#include "loading/PlaylistLine.h"

#include "platform/CodePage.h"

namespace sorrelbox {
namespace {

std::string WithoutLineBreaks(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (char c : s) {
        if (c != '\r' && c != '\n') out += c;
    }
    return out;
}

}  // namespace

PlaylistLinePlan PlanPlaylistLine(std::string_view rawLine, std::string_view playlistPath,
                                  PathStyle style) {
    PlaylistLinePlan plan;
    if (!rawLine.empty() && rawLine.front() == '#') {
        plan.comment = true;
        return plan;
    }
    const CodePage& cp = ActiveCodePage();
    if (style == PathStyle::Windows) {
        // A drive letter (C:) makes the line a full path; anything else hangs below the
        // playlist's folder, even a line that starts with a backslash.
        if (!rawLine.empty() && cp.FindChar(rawLine, ':') == 1) {
            plan.candidate = WithoutLineBreaks(rawLine);
        } else {
            plan.candidate = WithoutLineBreaks(std::string(FolderOf(playlistPath, style, cp)) +
                                               "\\" + std::string(rawLine));
        }
        plan.retryScanPath = std::string(rawLine);
        plan.retryTablePath = std::string(DriveOf(playlistPath, style)) + std::string(rawLine);
    } else {
        // POSIX: "/" starts a full path; anything else is relative to the playlist's folder
        // ("" for a playlist named without one, which leaves the line relative to the
        // current folder, where that playlist is).
        if (!rawLine.empty() && rawLine.front() == '/') {
            plan.candidate = WithoutLineBreaks(rawLine);
        } else {
            plan.candidate = WithoutLineBreaks(
                std::string(FolderWithSeparator(playlistPath, style, cp)) + std::string(rawLine));
        }
    }
    plan.failureName = std::string(FileNameOf(rawLine, style, cp));
    return plan;
}

std::vector<std::string> SplitPlaylistLines(std::string_view text) {
    constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
    if (ActiveCodePage().kind() == CodePage::Kind::Utf8 &&
        text.substr(0, kUtf8Bom.size()) == kUtf8Bom) {
        text.remove_prefix(kUtf8Bom.size());
    }
    std::vector<std::string> lines;
    while (!text.empty()) {
        const std::size_t lf = text.find('\n');
        std::string_view line = text.substr(0, lf);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.emplace_back(line);
        if (lf == std::string_view::npos) break;
        text.remove_prefix(lf + 1);
    }
    return lines;
}

}  // namespace sorrelbox
