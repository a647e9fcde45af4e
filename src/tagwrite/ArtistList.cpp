#include "tagwrite/ArtistList.h"

#include <algorithm>

#include "platform/CodePage.h"
#include "platform/FileOps.h"
#include "platform/SafeFile.h"
#include "tagwrite/ListOrder.h"

namespace sorrelbox {
namespace {

constexpr std::size_t kMaxListBytes = 16 * 1024 * 1024;

// The whole list replaces the file at once, so a failure keeps the old list.
bool WriteList(std::string_view path, std::string_view bytes) {
    const std::span<const std::uint8_t> data(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                             bytes.size());
    if (PathExists(path)) {
        auto file = SafeFile::Begin(path);
        if (!file) return false;
        return file->Write(data) && file->Commit();
    }
    auto file = WriteFile::Create(path);
    if (!file) return false;
    return file->Write(bytes) && file->Close();
}

}  // namespace

ArtistList ArtistList::Load(std::string_view path) {
    const auto bytes = ReadWholeFile(path, kMaxListBytes);
    if (bytes) return FromBytes(*bytes);
    ArtistList list;
    list.unreadable_ = PathExists(path);
    return list;
}

ArtistList ArtistList::FromBytes(std::string_view bytes) {
    ArtistList list;
    for (std::string& line : SplitListLines(bytes)) {
        std::erase(line, '\n');
        list.entries_.insert(list.entries_.begin() + static_cast<std::ptrdiff_t>(
                                                         ListInsertPosition(list.entries_, line)),
                             std::move(line));
    }
    return list;
}

ArtistList::AddResult ArtistList::Add(std::string_view text, std::string_view path,
                                      std::uint8_t kanryoumes, Prompts& prompts,
                                      std::size_t* position) {
    if (text.empty()) return AddResult::Empty;
    if (unreadable_) {
        prompts.ShowMessage(CpText("リストを更新できませんでした"), CpText("エラー"),
                            MessageIcon::Information);
        return AddResult::Unreadable;
    }
    for (const std::string& entry : entries_) {
        if (ListTextEqualIgnoringCase(entry, text)) {
            prompts.ShowMessage(CpText("すでにリストにあります"), CpText("エラー"),
                                MessageIcon::Information);
            return AddResult::AlreadyListed;
        }
    }
    const std::size_t at = ListInsertPosition(entries_, text);
    entries_.insert(entries_.begin() + static_cast<std::ptrdiff_t>(at), std::string(text));
    if (position) *position = at;

    std::string bytes;
    for (const std::string& entry : entries_) {
        bytes += entry;
        bytes += "\r\n";
    }
    if (!WriteList(path, bytes)) {
        prompts.ShowMessage(CpText("リストを更新できませんでした"), CpText("エラー"),
                            MessageIcon::Information);
        return AddResult::WriteFailed;
    }
    if (kanryoumes == 0) {
        prompts.ShowMessage(CpText("リストに追加しました"), CpText("完了"),
                            MessageIcon::Information);
    }
    return AddResult::Added;
}

}  // namespace sorrelbox
