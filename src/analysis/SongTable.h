#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/SongInfo.h"
#include "platform/PathStyle.h"

namespace sorrelbox {

// The song table (paths and list entries in step), the one SongInfo record, the running
// totals and the texts the main window shows. Totals change only step by step, by the scans
// in Add and Remove mode; they are never recomputed from the table.
class SongTable {
  public:
    explicit SongTable(PathStyle style = NativePathStyle());

    // Scans path into info() and, on ScanOk and a mode other than Quiet, applies the mode.
    ScanResult ScanMpegFile(std::string_view path, ScanMode mode);
    // Takes a scan made elsewhere (read ahead on another thread) as ScanMpegFile would.
    ScanResult UseScan(const SongInfo& info, ScanResult result, ScanMode mode);
    void ApplyScanMode(ScanMode mode);
    bool IsDuplicatePath(std::string_view path) const;

    // Appends path with the entry listPrefix() + its file name (after an Add scan of it).
    void Append(std::string path);
    // Appends with an explicit entry text.
    void AppendEntry(std::string path, std::string entry);
    void Insert(std::size_t index, std::string path, std::string entry);
    void RemoveAt(std::size_t index);
    // Moves the song at from to index to (removed first, then inserted).
    void Move(std::size_t from, std::size_t to);
    // Back to the start state: no songs, zero totals, "0：00", "0.0MB", empty selection texts.
    void Clear();
    // Empties the four selection texts.
    void ClearSelectionTexts();

    PathStyle style() const { return style_; }
    const std::vector<std::string>& songPaths() const { return songPaths_; }
    const std::vector<std::string>& entries() const { return entries_; }
    std::vector<std::string>& entries() { return entries_; }

    SongInfo& info() { return info_; }
    const SongInfo& info() const { return info_; }

    std::int16_t songCount() const { return songCount_; }
    std::uint32_t totalSeconds() const { return totalSeconds_; }
    std::uint32_t totalKB() const { return totalKB_; }
    const std::string& listPrefix() const { return listPrefix_; }
    const std::string& totalTimeText() const { return totalTimeText_; }
    const std::string& totalSizeText() const { return totalSizeText_; }
    const std::string& timeText() const { return timeText_; }
    const std::string& sizeText() const { return sizeText_; }
    const std::string& bitRateText() const { return bitRateText_; }
    const std::string& titleText() const { return titleText_; }
    void setTitleText(std::string text) { titleText_ = std::move(text); }
    void setTimeText(std::string text) { timeText_ = std::move(text); }
    void setSizeText(std::string text) { sizeText_ = std::move(text); }
    void setBitRateText(std::string text) { bitRateText_ = std::move(text); }

  private:
    PathStyle style_;
    std::vector<std::string> songPaths_;
    std::vector<std::string> entries_;
    SongInfo info_;
    std::int16_t songCount_ = 0;
    std::uint32_t totalSeconds_ = 0;
    std::uint32_t totalKB_ = 0;
    std::string listPrefix_;
    std::string totalTimeText_;
    std::string totalSizeText_;
    std::string timeText_;
    std::string sizeText_;
    std::string bitRateText_;
    std::string titleText_;
};

}  // namespace sorrelbox
