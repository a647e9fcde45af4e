#include "loading/SongLoader.h"

#include <unordered_set>

#include "loading/FolderEntries.h"
#include "loading/PlaylistLine.h"
#include "platform/CodePage.h"
#include "platform/FileOps.h"

namespace sorrelbox {
namespace {

constexpr std::string_view kErrorCaption = "エラー";
constexpr std::string_view kConfirmCaption = "確認";

void Tell(Prompts& prompts, std::string_view text, std::string_view caption, MessageIcon icon) {
    prompts.ShowMessage(text, CpText(caption), icon, MessageButtons::Ok);
}

void TellTableFull(Prompts& prompts) {
    Tell(prompts, CpText("999曲までしか読み込めません"), kErrorCaption, MessageIcon::Information);
}

void TellLimitReached(Prompts& prompts) {
    Tell(prompts, CpText("総曲数が999曲に達しました、読み込みを終了します"), kConfirmCaption,
         MessageIcon::Information);
}

void TellFailures(Prompts& prompts, const std::string& failures) {
    if (failures.empty()) return;
    Tell(prompts, CpText("読み込めなかったファイルがあります") + failures, kErrorCaption,
         MessageIcon::Warning);
}

bool EndsWith(std::string_view s, std::string_view tail) {
    return s.size() >= tail.size() && s.substr(s.size() - tail.size()) == tail;
}

std::string LowerAsciiTail(std::string_view s, std::size_t count) {
    std::string tail(s.substr(s.size() >= count ? s.size() - count : 0));
    for (char& c : tail) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return tail;
}

// One loading command. Duplicate checks go through a hash set of the table's paths, built
// once per command and kept in step with every append, so a load of n files stays linear.
class LoadRun {
  public:
    explicit LoadRun(LoadContext& context) : context_(context) {}

    SongTable& table() { return context_.table; }
    Prompts& prompts() { return context_.prompts; }
    bool Full() const { return context_.table.songCount() >= kMaxSongs; }

    bool IsRefusedDuplicate(const std::string& path) {
        if (context_.settings.zyuuhuku != 1) return false;
        if (!paths_) {
            paths_.emplace(context_.table.songPaths().begin(), context_.table.songPaths().end());
        }
        return paths_->contains(path);
    }

    ScanResult Add(const std::string& path) {
        const ScanResult result = AddSongFile(context_.table, path);
        if (result == ScanResult::ScanOk) Remember(path);
        return result;
    }

    // Scans scanPath but stores tablePath (the playlist's raw-line retry).
    bool AddAs(const std::string& scanPath, const std::string& tablePath) {
        SongTable& t = context_.table;
        if (t.ScanMpegFile(scanPath, ScanMode::Add) != ScanResult::ScanOk) return false;
        t.AppendEntry(tablePath, t.listPrefix() + std::string(FileNameOf(tablePath, t.style())));
        Remember(tablePath);
        return true;
    }

    void LoadPlaylist(std::string_view playlistPath);

  private:
    void Remember(const std::string& path) {
        if (paths_) paths_->insert(path);
    }

    LoadContext& context_;
    std::optional<std::unordered_set<std::string>> paths_;
};

void LoadRun::LoadPlaylist(std::string_view playlistPath) {
    auto text = ReadWholeFile(playlistPath);
    if (!text) {
        Tell(prompts(), CpText("m3uファイルを読み込めませんでした"), kErrorCaption,
             MessageIcon::Warning);
        return;
    }
    std::string failures;
    for (const std::string& line : SplitPlaylistLines(*text)) {
        // Tested before every line, comments included, so the message means more was left.
        if (Full()) {
            TellLimitReached(prompts());
            break;
        }
        const PlaylistLinePlan plan = PlanPlaylistLine(line, playlistPath, table().style());
        if (plan.comment) continue;
        if (IsRefusedDuplicate(plan.candidate)) continue;
        if (Add(plan.candidate) == ScanResult::ScanOk) continue;
        if (plan.retryScanPath) {
            if (IsRefusedDuplicate(plan.retryTablePath)) continue;
            if (AddAs(*plan.retryScanPath, plan.retryTablePath)) continue;
        }
        failures += "\n" + plan.failureName;
    }
    TellFailures(prompts(), failures);
}

}  // namespace

ScanResult AddSongFile(SongTable& table, std::string path) {
    const ScanResult result = table.ScanMpegFile(path, ScanMode::Add);
    if (result == ScanResult::ScanOk) table.Append(std::move(path));
    return result;
}

void OpenFiles(LoadContext& context) {
    LoadRun run(context);
    if (run.Full()) {
        TellTableFull(context.prompts);
        return;
    }
    FileDialogOptions options;
    options.filter = CpText("MP3ファイル(*.mp3),M3Uファイル(*.m3u)|*.mp3; *.m3u||");
    options.multiSelect = true;
    auto paths = context.prompts.ChooseOpenFiles(options);
    if (!paths) return;
    const PathStyle style = context.table.style();
    for (const std::string& path : *paths) {
        if (run.IsRefusedDuplicate(path)) continue;
        // Exactly ".m3u": a.M3U is taken for an MP3 file here.
        if (EndsWith(path, ".m3u")) {
            run.LoadPlaylist(path);
            if (run.Full()) break;
            continue;
        }
        const ScanResult result = run.Add(path);
        const std::string name(FileNameOf(path, style));
        if (result == ScanResult::ScanOpenFailed) {
            Tell(context.prompts, name + CpText("\nファイルを読み込めませんでした"), kErrorCaption,
                 MessageIcon::Warning);
        } else if (result == ScanResult::ScanNoHeader) {
            Tell(context.prompts, name + CpText("\nファイル情報を取得できませんでした"),
                 kErrorCaption, MessageIcon::Warning);
        }
        if (run.Full()) {
            TellLimitReached(context.prompts);
            break;
        }
    }
}

void OpenFolder(LoadContext& context) {
    LoadRun run(context);
    if (run.Full()) {
        TellTableFull(context.prompts);
        return;
    }
    const FolderChoice choice = context.prompts.ChooseFolder(
        CpText("mp3ファイルを取得するフォルダを選択してください\n(m3uは読み込みません)"));
    if (choice.cancelled) return;
    if (!choice.path) {
        Tell(context.prompts, CpText("フォルダが取得できませんでした"), kErrorCaption,
             MessageIcon::Warning);
        return;
    }
    const std::string& folder = *choice.path;
    // A folder that cannot be listed shows no entries, as an empty one does.
    const std::vector<std::string> names =
        SelectMp3Entries(ListDirectory(folder).value_or(std::vector<std::string>()));
    if (names.empty()) {
        Tell(context.prompts, CpText("このフォルダにはmp3ファイルがありません"), kErrorCaption,
             MessageIcon::Information);
        return;
    }
    std::string failures;
    for (const std::string& name : names) {
        const std::string path = JoinFolderEntry(folder, name, context.table.style());
        if (run.IsRefusedDuplicate(path)) continue;
        if (run.Full()) {
            TellLimitReached(context.prompts);
            break;
        }
        if (run.Add(path) != ScanResult::ScanOk) failures += "\n" + name;
    }
    TellFailures(context.prompts, failures);
}

void DropFiles(LoadContext& context, const std::vector<std::string>& paths) {
    LoadRun run(context);
    if (run.Full()) {
        TellTableFull(context.prompts);
        return;
    }
    for (const std::string& path : paths) {
        const std::string extension = LowerAsciiTail(path, 4);
        if (extension == ".mp3") {
            if (run.IsRefusedDuplicate(path)) continue;
            const ScanResult result = run.Add(path);
            if (result == ScanResult::ScanOpenFailed) {
                Tell(context.prompts, CpText("ファイルを読み込めませんでした"), kErrorCaption,
                     MessageIcon::Warning);
            } else if (result == ScanResult::ScanNoHeader) {
                Tell(context.prompts, CpText("ファイル情報を取得できませんでした"), kErrorCaption,
                     MessageIcon::Warning);
            }
            if (run.Full()) {
                TellLimitReached(context.prompts);
                break;
            }
        } else if (extension == ".m3u") {
            run.LoadPlaylist(path);
            if (run.Full()) break;
        }
    }
}

void LoadPlaylist(LoadContext& context, std::string_view playlistPath) {
    LoadRun run(context);
    run.LoadPlaylist(playlistPath);
}

}  // namespace sorrelbox
