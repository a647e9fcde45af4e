#include "loading/SongLoader.h"

#include <unordered_set>

#include "analysis/MpegScan.h"
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

void ReportFailures(Prompts& prompts, const std::string& failures) {
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
// The paths a flow is about to add are read ahead on worker threads (ReadAheadScope); the flow
// still takes each result in its own order, so order, messages and the limit are unchanged.
class LoadRun {
  public:
    explicit LoadRun(LoadContext& context) : context_(context) {}

    SongTable& table() { return context_.table; }
    Prompts& prompts() { return context_.prompts; }
    bool Full() const { return context_.table.songCount() >= kMaxSongs; }

    // True once the user stopped the load; it then asks nothing more.
    bool Stopped() {
        if (!stopped_ && context_.observer) stopped_ = context_.observer->StopRequested();
        return stopped_;
    }
    void TellFailures(const std::string& failures) {
        if (!Stopped()) ReportFailures(prompts(), failures);
    }

    bool IsRefusedDuplicate(const std::string& path) {
        if (context_.settings.zyuuhuku != 1) return false;
        if (!paths_) {
            paths_.emplace(context_.table.songPaths().begin(), context_.table.songPaths().end());
        }
        return paths_->contains(path);
    }

    ScanResult Add(const std::string& path);

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
    friend class ReadAheadScope;

    void Remember(const std::string& path) {
        if (paths_) paths_->insert(path);
    }
    void Report() {
        if (context_.observer) context_.observer->Progress(done_, total_);
    }

    LoadContext& context_;
    std::optional<std::unordered_set<std::string>> paths_;
    class ReadAheadScope* ahead_ = nullptr;  // the innermost flow's
    std::size_t done_ = 0;
    std::size_t total_ = 0;
    bool stopped_ = false;
};

// The paths one flow (a file selection, a folder, a drop, a playlist) will add, in its order,
// read ahead while it runs. A playlist inside a selection gets its own scope for its lines.
class ReadAheadScope {
  public:
    ReadAheadScope(LoadRun& run, std::vector<std::string> paths)
        : run_(run),
          outer_(run.ahead_),
          paths_(std::move(paths)),
          ahead_(
              paths_.size(), [this](std::size_t i) { return run_.context_.scan(paths_[i]); },
              run.context_.workers) {
        run_.ahead_ = this;
        run_.total_ += paths_.size();
    }
    ~ReadAheadScope() {
        run_.ahead_ = outer_;
        run_.done_ += paths_.size() - next_;
    }
    ReadAheadScope(const ReadAheadScope&) = delete;
    ReadAheadScope& operator=(const ReadAheadScope&) = delete;

    // The flow only skips paths (duplicates) and never goes back, so the path it adds is the
    // next one that equals it.
    std::optional<ScannedFile> Take(const std::string& path) {
        std::size_t i = next_;
        while (i < paths_.size() && paths_[i] != path) ++i;
        if (i == paths_.size()) return std::nullopt;
        run_.done_ += i - next_;  // skipped
        next_ = i + 1;
        const auto report = [this] { run_.Report(); };
        ScannedFile scanned = run_.context_.observer ? ahead_.Take(i, report) : ahead_.Take(i);
        ++run_.done_;
        return scanned;
    }

  private:
    LoadRun& run_;
    ReadAheadScope* outer_;
    const std::vector<std::string> paths_;
    std::size_t next_ = 0;
    ReadAhead<ScannedFile> ahead_;  // last: its threads stop before paths_ goes away
};

ScanResult LoadRun::Add(const std::string& path) {
    std::optional<ScannedFile> scanned;
    if (ahead_) scanned = ahead_->Take(path);
    if (!scanned) scanned = context_.scan(path);
    const ScanResult result = context_.table.UseScan(scanned->info, scanned->result, ScanMode::Add);
    if (result == ScanResult::ScanOk) {
        context_.table.Append(path);
        Remember(path);
    }
    Report();
    return result;
}

void LoadRun::LoadPlaylist(std::string_view playlistPath) {
    auto text = ReadWholeFile(playlistPath);
    if (!text) {
        Tell(prompts(), CpText("m3uファイルを読み込めませんでした"), kErrorCaption,
             MessageIcon::Warning);
        return;
    }
    std::vector<PlaylistLinePlan> plans;
    std::vector<std::string> candidates;
    for (const std::string& line : SplitPlaylistLines(*text)) {
        plans.push_back(PlanPlaylistLine(line, playlistPath, table().style()));
        if (!plans.back().comment) candidates.push_back(plans.back().candidate);
    }
    ReadAheadScope ahead(*this, std::move(candidates));
    std::string failures;
    for (const PlaylistLinePlan& plan : plans) {
        if (Stopped()) return;
        // Tested before every line, comments included, so the message means more was left.
        if (Full()) {
            TellLimitReached(prompts());
            break;
        }
        if (plan.comment) continue;
        if (IsRefusedDuplicate(plan.candidate)) continue;
        if (Add(plan.candidate) == ScanResult::ScanOk) continue;
        if (plan.retryScanPath) {
            if (IsRefusedDuplicate(plan.retryTablePath)) continue;
            if (AddAs(*plan.retryScanPath, plan.retryTablePath)) continue;
        }
        failures += "\n" + plan.failureName;
    }
    TellFailures(failures);
}

}  // namespace

ScannedFile ScanSongFile(const std::string& path) {
    ScannedFile scanned;
    scanned.result = ScanMpegFile(path, scanned.info);
    return scanned;
}

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
    std::vector<std::string> songs;
    for (const std::string& path : *paths) {
        if (!EndsWith(path, ".m3u")) songs.push_back(path);
    }
    ReadAheadScope ahead(run, std::move(songs));
    for (const std::string& path : *paths) {
        if (run.Stopped()) return;
        if (run.IsRefusedDuplicate(path)) continue;
        // Exactly ".m3u": a.M3U is taken for an MP3 file here.
        if (EndsWith(path, ".m3u")) {
            run.LoadPlaylist(path);
            if (run.Full()) break;
            continue;
        }
        const ScanResult result = run.Add(path);
        if (run.Stopped()) return;
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
    std::vector<std::string> unconvertible;
    std::vector<std::string> names =
        ListDirectory(folder, &unconvertible).value_or(std::vector<std::string>());
    const std::vector<FolderEntry> entries =
        SelectMp3Entries(std::move(names), std::move(unconvertible));
    if (entries.empty()) {
        Tell(context.prompts, CpText("このフォルダにはmp3ファイルがありません"), kErrorCaption,
             MessageIcon::Information);
        return;
    }
    std::vector<std::string> paths;
    for (const FolderEntry& entry : entries) {
        paths.push_back(entry.readable ? JoinFolderEntry(folder, entry.name, context.table.style())
                                       : std::string());
    }
    ReadAheadScope ahead(run, paths);
    std::string failures;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (run.Stopped()) return;
        const std::string& path = paths[i];
        if (entries[i].readable && run.IsRefusedDuplicate(path)) continue;
        if (run.Full()) {
            TellLimitReached(context.prompts);
            break;
        }
        // A name the code page cannot hold names no file the program can open.
        if (!entries[i].readable || run.Add(path) != ScanResult::ScanOk) {
            failures += "\n" + entries[i].name;
        }
    }
    run.TellFailures(failures);
}

void DropFiles(LoadContext& context, const std::vector<std::string>& paths) {
    LoadRun run(context);
    if (run.Full()) {
        TellTableFull(context.prompts);
        return;
    }
    std::vector<std::string> songs;
    for (const std::string& path : paths) {
        if (LowerAsciiTail(path, 4) == ".mp3") songs.push_back(path);
    }
    ReadAheadScope ahead(run, std::move(songs));
    for (const std::string& path : paths) {
        if (run.Stopped()) return;
        const std::string extension = LowerAsciiTail(path, 4);
        if (extension == ".mp3") {
            if (run.IsRefusedDuplicate(path)) continue;
            const ScanResult result = run.Add(path);
            if (run.Stopped()) return;
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
