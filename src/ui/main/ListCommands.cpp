#include "ui/main/ListCommands.h"

#include <algorithm>
#include <string_view>

#include "analysis/Id3Reader.h"
#include "loading/SongLoader.h"
#include "output/ListOutputs.h"
#include "platform/CodePage.h"

namespace sorrelbox {
namespace {

std::string Numbered(int number, std::string_view rest) {
    return std::to_string(number) + CpText(rest);
}

}  // namespace

ListCommands::ListCommands(SongTable& table, Settings& settings, const StartupInfo& startup,
                           Prompts& prompts)
    : table_(table), settings_(settings), startup_(startup), prompts_(prompts) {}

std::size_t ListCommands::TakeListChange() {
    const std::size_t from = changedFrom_;
    changedFrom_ = kNoChange;
    return from;
}

void ListCommands::MarkChanged(std::size_t from) {
    if (changedFrom_ == kNoChange || from < changedFrom_) changedFrom_ = from;
}

void ListCommands::EndPendingMove() {
    movePending_ = false;
    moveSource_ = 0;
}

void ListCommands::ClearSelection() {
    selection_ = -1;
}

bool ListCommands::RefuseWhenEmpty() {
    if (table_.songCount() >= 1) return false;
    prompts_.ShowMessage(CpText("１曲も読み込まれていません"), CpText("エラー"),
                         MessageIcon::Information);
    return true;
}

bool ListCommands::RefuseWhenNoSelection() {
    if (selection_ >= 0) return false;
    prompts_.ShowMessage(CpText("ファイルが選択されていません"), CpText("エラー"),
                         MessageIcon::Information);
    return true;
}

void ListCommands::SelectionChanged(int index) {
    const auto count = static_cast<int>(table_.songPaths().size());
    selection_ = index < count ? index : -1;

    if (movePending_) {
        const int source = moveSource_;
        const int target = selection_;
        // Ended before the question: its box runs an event loop, where a second report of
        // the same click must find nothing pending.
        EndPendingMove();
        // A move needs both ends in the list; otherwise it just ends.
        if (target >= 0 && source < count) {
            const std::string question =
                Numbered(source + 1, "番目を") + Numbered(target + 1, "番目に移動しますか？");
            if (prompts_.ShowMessage(question, CpText("確認"), MessageIcon::Question,
                                     MessageButtons::OkCancel) == MessageAnswer::Ok) {
                table_.Move(static_cast<std::size_t>(source), static_cast<std::size_t>(target));
                MarkChanged(static_cast<std::size_t>(std::min(source, target)));
                selection_ = target;
            }
        }
    }

    if (selection_ < 0) return;
    selectedPath_ = table_.songPaths()[static_cast<std::size_t>(selection_)];
    if (table_.ScanMpegFile(selectedPath_, ScanMode::Show) != ScanResult::ScanOk) {
        table_.setTimeText({});
        table_.setSizeText({});
        table_.setBitRateText({});
        table_.setTitleText(CpText("ファイル情報を取得できませんでした"));
        return;
    }
    table_.setTitleText(ReadDisplayTitle(selectedPath_, table_.info().id3v2Size, table_.style()));
}

LoadContext ListCommands::MakeLoadContext() {
    return LoadContext{table_, settings_, prompts_, loadObserver_, loadWorkers_, loadScan_};
}

void ListCommands::OpenFiles() {
    EndPendingMove();
    const std::size_t before = table_.entries().size();
    LoadContext context = MakeLoadContext();
    ::sorrelbox::OpenFiles(context);
    if (table_.entries().size() != before) MarkChanged(before);
}

void ListCommands::OpenFolder() {
    EndPendingMove();
    const std::size_t before = table_.entries().size();
    LoadContext context = MakeLoadContext();
    ::sorrelbox::OpenFolder(context);
    if (table_.entries().size() != before) MarkChanged(before);
}

void ListCommands::DropFiles(const std::vector<std::string>& paths) {
    const std::size_t before = table_.entries().size();
    LoadContext context = MakeLoadContext();
    ::sorrelbox::DropFiles(context, paths);
    if (table_.entries().size() != before) MarkChanged(before);
}

void ListCommands::NewList() {
    EndPendingMove();
    table_.Clear();
    ClearSelection();
    MarkChanged(0);
}

void ListCommands::MakeList() {
    EndPendingMove();
    OutputContext context{table_, settings_, prompts_};
    MakeTextList(context);
}

void ListCommands::MakeM3u() {
    EndPendingMove();
    OutputContext context{table_, settings_, prompts_};
    ::sorrelbox::MakeM3u(context);
}

void ListCommands::Reorder() {
    if (table_.songCount() < 2) {
        prompts_.ShowMessage(CpText("１曲以下しか読み込まれていません"), CpText("エラー"),
                             MessageIcon::Information);
        return;
    }
    if (RefuseWhenNoSelection()) return;
    movePending_ = true;
    moveSource_ = static_cast<std::uint16_t>(selection_);
    prompts_.ShowMessage(CpText("移動先を選択してください"), CpText("選択"),
                         MessageIcon::Information);
}

void ListCommands::Delete() {
    if (RefuseWhenEmpty() || RefuseWhenNoSelection()) return;
    const int index = selection_;
    if (prompts_.ShowMessage(Numbered(index + 1, "番目を削除しますか？"), CpText("確認"),
                             MessageIcon::Question,
                             MessageButtons::OkCancel) != MessageAnswer::Ok) {
        return;
    }
    // The totals lose what the file measures now; a file that cannot be measured stays listed.
    if (table_.ScanMpegFile(selectedPath_, ScanMode::Remove) != ScanResult::ScanOk) {
        prompts_.ShowMessage(
            CpText("mp3情報を取得できなかったので\nリストから削除できませんでした"),
            CpText("エラー"), MessageIcon::Warning);
        return;
    }
    table_.RemoveAt(static_cast<std::size_t>(index));
    table_.ClearSelectionTexts();
    ClearSelection();
    MarkChanged(static_cast<std::size_t>(index));
}

std::optional<TagEditorRequest> ListCommands::EditTag() {
    if (RefuseWhenEmpty() || RefuseWhenNoSelection()) return std::nullopt;
    TagEditorRequest request;
    request.firstPage = prompts_.IsShiftDown() ? 1 - settings_.hyouzi : settings_.hyouzi;
    request.mode = TagEditorMode::Single;
    request.path = selectedPath_;
    return request;
}

std::optional<TagEditorRequest> ListCommands::EditThroughList() {
    if (RefuseWhenEmpty()) return std::nullopt;
    TagEditorRequest request;
    request.firstPage = prompts_.IsShiftDown() ? 1 - settings_.hyouzi : settings_.hyouzi;
    request.mode = TagEditorMode::List;
    request.songCount = table_.songCount();
    const int start = selection_ >= 0 ? selection_ : 0;
    request.path = table_.songPaths()[static_cast<std::size_t>(start)];
    request.number = start + 1;
    return request;
}

std::optional<PlayerRequest> ListCommands::PlayOne() {
    if (RefuseWhenEmpty() || RefuseWhenNoSelection()) return std::nullopt;
    PlayerRequest request;
    request.mode = PlayerMode::Single;
    request.path = selectedPath_;
    return request;
}

std::optional<PlayerRequest> ListCommands::PlayInSequence() {
    if (RefuseWhenEmpty()) return std::nullopt;
    PlayerRequest request;
    request.mode = PlayerMode::Sequence;
    request.songCount = table_.songCount();
    const int start = selection_ >= 0 ? selection_ : 0;
    request.path = table_.songPaths()[static_cast<std::size_t>(start)];
    request.number = start + 1;
    return request;
}

void ListCommands::TagEditorClosed(TagEditorMode mode) {
    if (mode == TagEditorMode::Single) {
        SelectionChanged(selection_);
        return;
    }
    table_.ClearSelectionTexts();
    ClearSelection();
}

void ListCommands::PlayerClosed(PlayerMode mode) {
    if (mode == PlayerMode::Single) return;
    table_.ClearSelectionTexts();
    ClearSelection();
}

bool ListCommands::WantsContextMenu(int y, const std::function<int()>& measureListTop) {
    if (listTop_ == 0) listTop_ = measureListTop();
    if (y < listTop_) return false;
    return !movePending_;
}

std::string ListCommands::ManualPath() const {
    return StartupFile(startup_, "manual.htm");
}

}  // namespace sorrelbox
