#include "SourceLoading.h"

#include <sys/stat.h>

#include <ostream>

#include "loading/SongLoader.h"
#include "platform/FileOps.h"
#include "platform/ScriptedPrompts.h"
#include "settings/Settings.h"

namespace sorrelbox::cli {
namespace {

// An argument as the dialogs would give it: in the code page, and a full path, so that relative
// M3U lines and playlist folders work out as in the program.
std::optional<std::string> ArgumentPath(const std::string& argument, const std::string& cwd) {
    auto path = FromNativePath(argument);
    if (!path || path->empty()) return std::nullopt;
    if (path->front() == '/') return path;
    std::string_view rest = *path;
    while (rest.substr(0, 2) == "./") {
        rest.remove_prefix(2);
        while (!rest.empty() && rest.front() == '/') rest.remove_prefix(1);
    }
    if (rest == ".") rest = {};
    std::string full = cwd;
    if (full.empty() || full.back() != '/') full += '/';
    full += rest;
    if (rest.empty() && full.size() > 1) full.pop_back();
    return full;
}

std::optional<std::pair<dev_t, ino_t>> FileIdentity(const std::string& path) {
    auto native = ToNativePath(path);
    struct stat st {};
    if (!native || ::stat(native->c_str(), &st) != 0) return std::nullopt;
    return std::make_pair(st.st_dev, st.st_ino);
}

bool EndsWithM3u(const std::string& path) {
    return path.size() >= 4 && path.compare(path.size() - 4, 4, ".m3u") == 0;
}

}  // namespace

std::string MessageLine(std::string_view caption, std::string_view text) {
    const CodePage& cp = ActiveCodePage();
    std::string line = cp.ToUtf8(caption) + ": ";
    for (char c : cp.ToUtf8(text)) {
        if (c == '\n') {
            line += "\\n";
        } else {
            line += c;
        }
    }
    return line;
}

int RunOutputCommand(OutputKind kind, std::optional<M3uMode> mode,
                     const std::vector<std::string>& operands, std::ostream& err) {
    auto cwd = CurrentDirectory();
    if (!cwd) {
        err << "sorrelbox-cli: cannot read the current folder\n";
        return 1;
    }
    std::vector<std::string> paths;
    for (const std::string& operand : operands) {
        auto path = ArgumentPath(operand, *cwd);
        if (!path) {
            err << "sorrelbox-cli: cannot use this path in the code page "
                << ActiveCodePage().name() << ": " << operand << "\n";
            return 1;
        }
        paths.push_back(std::move(*path));
    }
    const std::string output = paths.front();

    const StartupInfo startup = MakeStartupInfo(*cwd);
    Settings settings = LoadSettings(startup.iniPath);
    if (mode) settings.soutai = *mode == M3uMode::Relative ? 1 : 0;

    SongTable table;
    ScriptedPrompts prompts;
    prompts.onMessage = [&err](const ScriptedPrompts::Message& message) {
        err << MessageLine(message.caption, message.text) << "\n";
    };
    LoadContext load{table, settings, prompts};
    std::vector<std::string> protectedPaths;
    for (std::size_t i = 1; i < paths.size(); ++i) {
        const std::string& source = paths[i];
        if (IsDirectory(source)) {
            prompts.folders.push_back(FolderChoice{false, source});
            OpenFolder(load);
        } else {
            if (EndsWithM3u(source)) protectedPaths.push_back(source);
            prompts.openFiles.push_back(std::vector<std::string>{source});
            OpenFiles(load);
        }
    }

    // Never write the list over what it was made from.
    if (auto target = FileIdentity(output)) {
        protectedPaths.insert(protectedPaths.end(), table.songPaths().begin(),
                              table.songPaths().end());
        for (const std::string& path : protectedPaths) {
            if (FileIdentity(path) == target) {
                err << "sorrelbox-cli: not writing over a loaded song or source playlist: "
                    << operands.front() << "\n";
                return 1;
            }
        }
    }

    prompts.saveFiles.push_back(output);
    OutputContext context{table, settings, prompts};
    const OutputResult result =
        kind == OutputKind::TextList ? MakeTextList(context) : MakeM3u(context);
    return result == OutputResult::Written ? 0 : 1;
}

}  // namespace sorrelbox::cli
