#include "output/ListOutputs.h"

#include <ostream>

#include "platform/CodePage.h"
#include "platform/FileReplacer.h"

namespace sorrelbox {
namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kProgramName = "sorrelbox";

bool StartsWith(std::string_view s, std::string_view head) {
    return s.size() >= head.size() && s.substr(0, head.size()) == head;
}

void TellNothingLoaded(Prompts& prompts) {
    prompts.ShowMessage(CpText("１曲も読み込まれていません"), CpText("エラー"),
                        MessageIcon::Information, MessageButtons::Ok);
}

// Writes the lines line(0), line(1), ... while index < count() (read again before each line,
// as the list may only be read, never changed, meanwhile) and reports like the commands do.
template <typename Count, typename Line>
OutputResult WriteLinesTo(Prompts& prompts, const std::string& path,
                          std::string_view createFailedText, Count count, Line line) {
    auto file = FileReplacer::Create(path);
    if (!file) {
        prompts.ShowMessage(CpText(createFailedText), CpText("エラー"), MessageIcon::Warning,
                            MessageButtons::Ok);
        return OutputResult::CreateFailed;
    }
    bool ok = true;
    for (std::size_t i = 0; ok && i < count(); ++i) {
        ok = file->Write(line(i) + std::string(kLineEnd));
    }
    if (ok) ok = file->Commit();
    if (!ok) {
        prompts.ShowMessage("Disk full while accessing " + path + ".", kProgramName,
                            MessageIcon::Error, MessageButtons::Ok);
        return OutputResult::WriteFailed;
    }
    return OutputResult::Written;
}

}  // namespace

void WriteTextList(std::ostream& out, const std::vector<std::string>& entries) {
    for (const std::string& entry : entries) out << entry << kLineEnd;
}

std::string M3uLine(std::string_view songPath, std::string_view playlistPath, M3uMode mode,
                    PathStyle style) {
    if (mode == M3uMode::Full) return std::string(songPath);
    // Found by characters: the 0x5C second byte of a Shift-JIS character is no backslash.
    const std::string_view folder = FolderWithSeparator(playlistPath, style);
    if (StartsWith(songPath, folder)) return std::string(songPath.substr(folder.size()));
    if (style == PathStyle::Windows) {
        // Same drive: a path from the drive's root, with its leading backslash.
        const std::string_view drive = DriveOf(playlistPath, style);
        if (songPath.size() >= 2 && songPath.substr(0, 2) == drive) {
            return std::string(songPath.substr(2));
        }
    }
    return std::string(songPath);
}

void WriteM3u(std::ostream& out, const std::vector<std::string>& songPaths,
              std::string_view playlistPath, M3uMode mode, PathStyle style) {
    for (const std::string& path : songPaths) {
        out << M3uLine(path, playlistPath, mode, style) << kLineEnd;
    }
}

M3uMode ChooseM3uMode(const Settings& settings, bool shiftDown) {
    const bool relative = shiftDown ? settings.soutai == 0 : settings.soutai == 1;
    return relative ? M3uMode::Relative : M3uMode::Full;
}

OutputResult MakeTextList(OutputContext& context) {
    const SongTable& table = context.table;
    if (table.entries().empty()) {
        TellNothingLoaded(context.prompts);
        return OutputResult::NothingLoaded;
    }
    FileDialogOptions options;
    options.filter = CpText("テキスト文書(*.txt)|*.txt||");
    options.initialName = "*.txt";
    options.defaultExtension = "txt";
    auto path = context.prompts.ChooseSaveFile(options);
    if (!path) return OutputResult::Cancelled;
    const OutputResult result = WriteLinesTo(
        context.prompts, *path, "リストの作成に失敗しました",
        [&] { return table.entries().size(); }, [&](std::size_t i) { return table.entries()[i]; });
    if (result == OutputResult::Written && context.settings.kanryoumes == 0) {
        context.prompts.ShowMessage(CpText("リストを作成しました"), CpText("完了"),
                                    MessageIcon::Information, MessageButtons::Ok);
    }
    return result;
}

OutputResult MakeM3u(OutputContext& context) {
    const SongTable& table = context.table;
    if (table.entries().empty()) {
        TellNothingLoaded(context.prompts);
        return OutputResult::NothingLoaded;
    }
    // Shift is read when the command starts, before the dialog.
    const M3uMode mode = ChooseM3uMode(context.settings, context.prompts.IsShiftDown());
    FileDialogOptions options;
    options.filter = CpText("m3uファイル(*.m3u)|*.m3u||");
    options.initialName = "*.m3u";
    options.defaultExtension = "m3u";
    auto path = context.prompts.ChooseSaveFile(options);
    if (!path) return OutputResult::Cancelled;
    const PathStyle style = table.style();
    const OutputResult result = WriteLinesTo(
        context.prompts, *path, "m3uファイルを作成できませんでした",
        [&] { return table.songPaths().size(); },
        [&](std::size_t i) { return M3uLine(table.songPaths()[i], *path, mode, style); });
    if (result == OutputResult::Written && context.settings.kanryoumes == 0) {
        context.prompts.ShowMessage(CpText("m3uファイルを作成しました"), CpText("完了"),
                                    MessageIcon::Information, MessageButtons::Ok);
    }
    return result;
}

}  // namespace sorrelbox
