#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "analysis/SongTable.h"
#include "loading/SongLoader.h"
#include "platform/Prompts.h"
#include "settings/Settings.h"

namespace sorrelbox {

enum class TagEditorMode { Single = 0, List = 1 };
enum class PlayerMode { Single, Sequence };

// What the tag editor is opened with.
struct TagEditorRequest {
    int firstPage = 0;  // 0 the ID3v1 page, 1 the ID3v2 page
    TagEditorMode mode = TagEditorMode::Single;
    std::string path;   // the song to start with
    int songCount = 0;  // list mode only
    int number = 0;     // list mode: 1-based number of the starting song
};

// What the player is opened with.
struct PlayerRequest {
    PlayerMode mode = PlayerMode::Single;
    std::string path;
    int songCount = 0;  // sequence mode only
    int number = 0;     // sequence mode: 1-based number of the starting song
};

// The main window's commands and its state beyond the song table: the selection, the selected
// path, the pending move and the list top. No widgets here, so every flow runs headless; the
// window mirrors the selection and the list lines after each command.
class ListCommands {
  public:
    ListCommands(SongTable& table, Settings& settings, const StartupInfo& startup,
                 Prompts& prompts);

    // The selected index, -1 for none.
    int selection() const { return selection_; }
    const std::string& selectedPath() const { return selectedPath_; }
    bool movePending() const { return movePending_; }
    std::uint16_t moveSource() const { return moveSource_; }
    int listTop() const { return listTop_; }

    static constexpr std::size_t kNoChange = static_cast<std::size_t>(-1);

    // First list line whose text may have changed since the last call (kNoChange: none). The
    // window rebuilds its lines from there on.
    std::size_t TakeListChange();

    // The user (or another window) selected index, -1 for none.
    void SelectionChanged(int index);

    // Who follows the loading commands (null: nobody), and how they read their files (by
    // default ahead of the flow on worker threads).
    void setLoadObserver(LoadObserver* observer) { loadObserver_ = observer; }
    void setLoadReading(unsigned workers, std::function<ScannedFile(const std::string&)> scan) {
        loadWorkers_ = workers;
        loadScan_ = std::move(scan);
    }

    void OpenFiles();
    void OpenFolder();
    void DropFiles(const std::vector<std::string>& paths);
    void NewList();
    void MakeList();
    void MakeM3u();
    void Reorder();
    void Delete();

    // The refusals of the tag editor and player commands; the request when the window may open.
    std::optional<TagEditorRequest> EditTag();
    std::optional<TagEditorRequest> EditThroughList();
    std::optional<PlayerRequest> PlayOne();
    std::optional<PlayerRequest> PlayInSequence();
    // What follows when those windows close.
    void TagEditorClosed(TagEditorMode mode);
    void PlayerClosed(PlayerMode mode);

    // A context-menu request at vertical window coordinate y: true when the menu is to be shown.
    // measureListTop is asked once, at the first request.
    bool WantsContextMenu(int y, const std::function<int()>& measureListTop);

    // start-up folder + manual.htm
    std::string ManualPath() const;

  private:
    void EndPendingMove();
    void MarkChanged(std::size_t from);
    bool RefuseWhenEmpty();
    bool RefuseWhenNoSelection();
    void ClearSelection();
    LoadContext MakeLoadContext();

    SongTable& table_;
    Settings& settings_;
    const StartupInfo& startup_;
    Prompts& prompts_;

    int selection_ = -1;
    std::string selectedPath_;
    bool movePending_ = false;
    std::uint16_t moveSource_ = 0;
    int listTop_ = 0;
    std::size_t changedFrom_ = kNoChange;
    LoadObserver* loadObserver_ = nullptr;
    unsigned loadWorkers_ = kReadAheadWorkers;
    std::function<ScannedFile(const std::string&)> loadScan_ = ScanSongFile;
};

}  // namespace sorrelbox
