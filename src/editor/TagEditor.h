#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "analysis/SongInfo.h"

#include "platform/PathStyle.h"
#include "platform/Prompts.h"
#include "tagwrite/ArtistList.h"
#include "tagwrite/GenreList.h"
#include "editor/Id3v1Page.h"
#include "editor/Id3v2Page.h"

namespace sorrelbox {

enum class EditorMode : std::uint8_t { Single = 0, List = 1 };

// The tag editor's state without its window: both pages, the lists, the path and file-name
// fields and the flags the update needs. The window shows these members and calls the
// operations; it keeps no state of its own.
class TagEditor {
  public:
    TagEditor(EditorMode mode, std::string songPath);

    EditorMode mode;
    std::uint16_t songTotal = 0;
    std::uint16_t songNumber = 0;  // list mode: 1-based
    std::uint16_t trackCounter = 1;
    std::uint8_t firstPage = 0;    // 0 the ID3v1 page, 1 the ID3v2 page
    std::uint8_t currentPage = 1;  // 1 the ID3v1 page, 2 the ID3v2 page

    std::string songPath;
    std::string pathText;
    std::string fileNameText;
    bool keepName = false;   // check box 1072
    bool autoTrack = false;  // check box 1046

    bool hasId3v1 = false;
    bool hasId3v2 = false;
    bool isId3v22 = false;
    std::uint8_t focusCode = 0;
    bool returnPressed = false;

    GenreList genres;
    ArtistList artists;
    Id3v1Page v1;
    Id3v2Page v2;

    // Both lists by their full paths in the start-up folder.
    void LoadLists(const std::string& genrePath, const std::string& artistPath,
                   std::uint8_t kuuran);

    // Resets the pages (holds kept) and reads songPath's tags into them. id3v2Size is the
    // latest scan's. False when the file cannot be opened (the caller reports it).
    bool ReadSongTags(std::uint32_t id3v2Size, Prompts& prompts);

    // Shows a song: the path field, the tags (failure: "ID3タグを読み込めませんでした"), the
    // file-name field unless keepName, and the first page.
    bool LoadSong(std::uint32_t id3v2Size, Prompts& prompts, PathStyle style = NativePathStyle());

    // "元に戻す": the tags read again; a failure is not reported.
    void Revert(std::uint32_t id3v2Size, Prompts& prompts);

    // "クリア": empties the file-name field.
    void ClearFileName();

    // "保持全解除": every hold box of both pages unchecked.
    void ReleaseAllHolds();

    // tab 0 shows the ID3v1 page, tab 1 the ID3v2 page, anything else neither.
    void ShowPage(int tab);

    // "アーティスト追加": the shown page's artist joins the list and artist.txt (at
    // artistPath). Nothing happens when it is empty or no page is shown.
    ArtistList::AddResult AddArtist(const std::string& artistPath, std::uint8_t kanryoumes,
                                    Prompts& prompts);

    // "追加": the focused field's value (the ID3v1 track as a number) is appended to the
    // file-name field when the field's page is shown. False when no field had the focus;
    // otherwise the window moves the focus and caret to the end of the file-name field.
    bool AppendFocusedFieldToFileName();

    // "ファイル名入力": the file-name field is appended to the focused text field (not the year
    // or track) when its page is shown. True when it was; the window then focuses that field.
    bool AppendFileNameToFocusedField();

    // What the window enables. A page's fields follow its has box; a genre box also needs the
    // genre list, and the ID3v2 genre, comment and URL stay locked for a frame not taken over.
    bool V1FieldEnabled() const { return v1.hasBox; }
    bool V1GenreEnabled() const { return v1.hasBox && !genres.genreListMissing(); }
    bool V2FieldEnabled(V2Field f) const;

  private:
    // The text field behind a focus code on the page shown, or nullptr.
    std::string* FocusedText();
};

// The six file-information lines of the ID3v1 page: file size, ID3v2 tag size, playing
// time, stream, copyright and original.
std::array<std::string, 6> FileInfoLines(const SongInfo& info);

}  // namespace sorrelbox
