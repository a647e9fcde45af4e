#pragma once

#include <string_view>

#include "platform/CodePage.h"
#include "editor/TagEditor.h"

namespace sorrelbox {

// The decimal number at the start of the first 3 bytes of a track text ("7/12" gives 7,
// "" gives 0).
int LeadingTrackNumber(std::string_view text);

// "ID3v2→ID3v1": the ID3v2 page's fields into the unheld ID3v1 fields, cut to the ID3v1
// widths without splitting a character. Checks the ID3v1 has box and shows the ID3v1 page.
// Nothing is written to the file.
void CopyId3v2ToId3v1(TagEditor& editor, const CodePage& cp = ActiveCodePage());

// "ID3v1→ID3v2": the ID3v1 page's fields into the unheld ID3v2 fields. A genre or comment
// frame that was not taken over (UTF-16) stays as it is. Shows the ID3v2 page.
void CopyId3v1ToId3v2(TagEditor& editor);

// "自動Track" after the box changed to checked: the shown page's track starts the counter
// and both tracks show it. Unchecked: both tracks go back to what the file held.
void SetAutoTrack(TagEditor& editor, bool checked);

}  // namespace sorrelbox
