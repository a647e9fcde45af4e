#pragma once

#include <cstdint>
#include <string>

#include "analysis/SongInfo.h"

namespace sorrelbox {

// The texts the windows show, in the active code page. Integer arithmetic only: every
// division drops its remainder.

// "%3d：0%d  " / "%3d：%d  ": the start of a list entry.
std::string ListPrefix(std::uint16_t seconds);
// "%d：0%d" / "%d：%d"
std::string SongTimeText(std::uint16_t seconds);
// "%d.%dMB" of the low 32 bits of the size.
std::string SongSizeText(std::uint64_t fileSize);
// "VBR" for 999, else "%dkbps".
std::string BitRateText(std::uint16_t bitRate);
// All the minutes, never wrapped (999 long songs pass 65535 minutes).
std::string TotalTimeText(std::uint32_t totalSeconds);
// "%d.%dMB" below 1000000 KB, else "%d.%dGB".
std::string TotalSizeText(std::uint32_t totalKB);

// File-information lines of the tag editor's ID3v1 page.
std::string FileSizeInfoText(std::uint64_t fileSize);     // "%d.%dMB (%ldBytes)"
std::string TagSizeInfoText(std::uint32_t id3v2Size);     // "%ldbytes"
std::string PlayingTimeInfoText(std::uint16_t seconds);   // "%d分%d秒 (%d秒)"
std::string StreamInfoText(const SongInfo& info);         // "%dkbps  %dHz  ステレオ" ...
std::string RightsInfoText(std::uint8_t rightsFlag);      // "あり" / "なし"
std::string OriginalInfoText(std::uint8_t originalFlag);  // "オリジナル" / "コピー"

// Texts before any song.
std::string EmptyTotalTimeText();        // "0：00"
std::string EmptyTotalSizeText();        // "0.0MB"
std::string EmptyFileSizeInfoText();     // "0.0MB (0byte)"
std::string EmptyTagSizeInfoText();      // "0byte"
std::string EmptyPlayingTimeInfoText();  // "0分0秒 (0秒)"
std::string EmptyStreamInfoText();       // "0kbps  0Hz"
std::string EmptyRightsInfoText();       // "なし"
std::string EmptyOriginalInfoText();     // "オリジナル"

}  // namespace sorrelbox
