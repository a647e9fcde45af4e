#include "tagwrite/TagConversion.h"

#include <string>

namespace sorrelbox {
namespace {

// At most width bytes of text; a character cut in two is dropped.
std::string Cut(std::string_view text, std::size_t width, const CodePage& cp) {
    return std::string(text.substr(0, cp.CutAtCharBoundary(text, width)));
}

}  // namespace

int LeadingTrackNumber(std::string_view text) {
    text = text.substr(0, 3);
    int number = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') break;
        number = number * 10 + (c - '0');
    }
    return number;
}

void CopyId3v2ToId3v1(TagEditor& editor, const CodePage& cp) {
    editor.focusCode = 0;
    Id3v1Page& v1 = editor.v1;
    const Id3v2Values& v2 = editor.v2.values;
    v1.hasBox = true;
    if (!v1.holds.title) v1.values.title = Cut(v2[V2Field::Title], 30, cp);
    if (!v1.holds.artist) v1.values.artist = Cut(v2[V2Field::Artist], 30, cp);
    if (!v1.holds.album) v1.values.album = Cut(v2[V2Field::Album], 30, cp);
    if (!v1.holds.year) v1.values.year = Cut(v2[V2Field::Year], 4, cp);
    if (!v1.holds.genre) v1.values.genreLine = v2.genreLine;
    v1.values.track = editor.autoTrack
                          ? static_cast<std::int16_t>(editor.trackCounter & 0xFF)
                          : static_cast<std::int16_t>(LeadingTrackNumber(v2[V2Field::Track]) % 256);
    if (!v1.holds.comment) {
        v1.values.comment = Cut(v2[V2Field::Comment], v1.values.track == 0 ? 30 : 28, cp);
    }
    editor.ShowPage(0);
}

void CopyId3v1ToId3v2(TagEditor& editor) {
    editor.focusCode = 0;
    Id3v2Page& v2 = editor.v2;
    const Id3v1Values& v1 = editor.v1.values;
    v2.hasBox = true;
    const auto copy = [&v2](V2Field f, const std::string& text) {
        if (!v2.holds[f] && !v2.FieldLocked(f)) v2.values[f] = text;
    };
    copy(V2Field::Title, v1.title);
    copy(V2Field::Artist, v1.artist);
    copy(V2Field::Album, v1.album);
    copy(V2Field::Year, v1.year);
    copy(V2Field::Comment, v1.comment);
    if (!v2.holds[V2Field::Genre] && !v2.FieldLocked(V2Field::Genre)) {
        v2.values.genreLine = v1.genreLine;
    }
    const int track = editor.autoTrack ? int{editor.trackCounter} : int{v1.track};
    v2.values[V2Field::Track] = track == 0 ? std::string() : std::to_string(track);
    editor.ShowPage(1);
}

void SetAutoTrack(TagEditor& editor, bool checked) {
    editor.focusCode = 0;
    editor.autoTrack = checked;
    if (!checked) {
        editor.v1.values.track = static_cast<std::int16_t>(editor.v1.stored().track);
        editor.v2.values[V2Field::Track] = editor.v2.record.oldValue[FieldIndex(V2Field::Track)];
        return;
    }
    int start = 0;
    if (editor.currentPage == 1) start = editor.v1.values.track;
    if (editor.currentPage == 2) start = LeadingTrackNumber(editor.v2.values[V2Field::Track]);
    // A negative track typed on the ID3v1 page would wrap to a huge counter: it starts at 1
    // like an empty one.
    editor.trackCounter = static_cast<std::uint16_t>(start < 1 ? 1 : start);
    editor.v1.values.track = static_cast<std::int16_t>(editor.trackCounter);
    editor.v2.values[V2Field::Track] = std::to_string(editor.trackCounter);
}

}  // namespace sorrelbox
