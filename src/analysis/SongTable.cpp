#include "analysis/SongTable.h"

#include <utility>

#include "analysis/DisplayFormat.h"
#include "analysis/MpegScan.h"

namespace sorrelbox {
namespace {

std::uint32_t KiloBytes(std::uint64_t fileSize) {
    return static_cast<std::uint32_t>(fileSize) / 1024u;
}

// A file that grew between its add and its remove must not wrap the total past zero.
std::uint32_t Subtract(std::uint32_t total, std::uint32_t part) {
    return part > total ? 0 : total - part;
}

}  // namespace

SongTable::SongTable(PathStyle style) : style_(style) {
    Clear();
}

ScanResult SongTable::ScanMpegFile(std::string_view path, ScanMode mode) {
    const ScanResult result = sorrelbox::ScanMpegFile(path, info_);
    if (result == ScanResult::ScanOk && mode != ScanMode::Quiet) ApplyScanMode(mode);
    return result;
}

ScanResult SongTable::UseScan(const SongInfo& info, ScanResult result, ScanMode mode) {
    info_ = info;
    if (result == ScanResult::ScanOk && mode != ScanMode::Quiet) ApplyScanMode(mode);
    return result;
}

void SongTable::ApplyScanMode(ScanMode mode) {
    switch (mode) {
        case ScanMode::Add:
            totalSeconds_ += info_.seconds;
            ++songCount_;
            totalKB_ += KiloBytes(info_.fileSize);
            listPrefix_ = ListPrefix(info_.seconds);
            break;
        case ScanMode::Remove:
            if (songCount_ > 0) --songCount_;
            totalKB_ = Subtract(totalKB_, KiloBytes(info_.fileSize));
            totalSeconds_ = Subtract(totalSeconds_, info_.seconds);
            break;
        case ScanMode::Show:
            timeText_ = SongTimeText(info_.seconds);
            bitRateText_ = BitRateText(info_.bitRate);
            sizeText_ = SongSizeText(info_.fileSize);
            return;
        case ScanMode::Quiet:
            return;
    }
    totalSizeText_ = TotalSizeText(totalKB_);
    totalTimeText_ = TotalTimeText(totalSeconds_);
}

bool SongTable::IsDuplicatePath(std::string_view path) const {
    for (const std::string& p : songPaths_) {
        if (p == path) return true;
    }
    return false;
}

void SongTable::Append(std::string path) {
    std::string entry = listPrefix_ + std::string(FileNameOf(path, style_));
    AppendEntry(std::move(path), std::move(entry));
}

void SongTable::AppendEntry(std::string path, std::string entry) {
    songPaths_.push_back(std::move(path));
    entries_.push_back(std::move(entry));
}

void SongTable::Insert(std::size_t index, std::string path, std::string entry) {
    if (index > songPaths_.size()) index = songPaths_.size();
    songPaths_.insert(songPaths_.begin() + static_cast<std::ptrdiff_t>(index), std::move(path));
    entries_.insert(entries_.begin() + static_cast<std::ptrdiff_t>(index), std::move(entry));
}

void SongTable::RemoveAt(std::size_t index) {
    if (index >= songPaths_.size()) return;
    songPaths_.erase(songPaths_.begin() + static_cast<std::ptrdiff_t>(index));
    entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(index));
}

void SongTable::Move(std::size_t from, std::size_t to) {
    if (from >= songPaths_.size()) return;
    std::string path = std::move(songPaths_[from]);
    std::string entry = std::move(entries_[from]);
    RemoveAt(from);
    Insert(to, std::move(path), std::move(entry));
}

void SongTable::Clear() {
    songPaths_.clear();
    entries_.clear();
    songCount_ = 0;
    totalSeconds_ = 0;
    totalKB_ = 0;
    listPrefix_.clear();
    totalTimeText_ = EmptyTotalTimeText();
    totalSizeText_ = EmptyTotalSizeText();
    ClearSelectionTexts();
}

void SongTable::ClearSelectionTexts() {
    timeText_.clear();
    sizeText_.clear();
    bitRateText_.clear();
    titleText_.clear();
}

}  // namespace sorrelbox
