#include "editor/TagEditor.h"

#include <algorithm>

#include "analysis/DisplayFormat.h"
#include "analysis/Id3Reader.h"
#include "platform/CodePage.h"

namespace sorrelbox {
namespace {

// The stored ID3v1 fields back into the 128 bytes of the tag.
std::array<std::uint8_t, kId3v1Size> Id3v1Bytes(const Id3v1Read& read) {
    std::array<std::uint8_t, kId3v1Size> out{};
    auto it = std::copy_n("TAG", 3, out.begin());
    it = std::copy_n(read.title.begin(), 30, it);
    it = std::copy_n(read.artist.begin(), 30, it);
    it = std::copy_n(read.album.begin(), 30, it);
    it = std::copy_n(read.year.begin(), 4, it);
    it = std::copy_n(read.comment.begin(), 30, it);
    *it = read.genre;
    return out;
}

}  // namespace

TagEditor::TagEditor(EditorMode mode, std::string songPath)
    : mode(mode), songPath(std::move(songPath)) {}

void TagEditor::LoadLists(const std::string& genrePath, const std::string& artistPath,
                          std::uint8_t kuuran) {
    genres = GenreList::Load(genrePath, kuuran);
    artists = ArtistList::Load(artistPath);
}

bool TagEditor::ReadSongTags(std::uint32_t id3v2Size, Prompts& prompts) {
    hasId3v1 = hasId3v2 = isId3v22 = false;
    v1.Reset(autoTrack);
    v2.Reset(autoTrack);

    const auto tags = sorrelbox::ReadSongTags(songPath, id3v2Size);
    if (!tags) return false;

    v2.record.tagVersion = tags->v2.tagVersion;
    if (tags->v2.unsupported) {
        prompts.ShowMessage(CpText("ID3v2.2には対応していません"), CpText("エラー"),
                            MessageIcon::Information);
        isId3v22 = true;
    } else if (tags->v2.present) {
        for (int type = 1; type <= kFieldTypes; ++type) {
            const FrameRecord& record = tags->v2.field(type);
            if (!record.present) continue;
            Id3v2FrameRead frame;
            frame.field = static_cast<V2Field>(type - 1);
            frame.encoding = record.encoding;
            frame.frameSize = record.frameSize;
            if (record.hasValue) frame.value = record.value;
            frame.descLength = record.descLength;
            frame.locked = record.locked;
            v2.RecordFrame(frame, genres, autoTrack);
        }
        v2.hasBox = true;
        hasId3v2 = true;
    }
    if (tags->v1.present) {
        v1.Fill(Id3v1Bytes(tags->v1), genres, autoTrack);
        hasId3v1 = true;
    }
    return true;
}

bool TagEditor::LoadSong(std::uint32_t id3v2Size, Prompts& prompts, PathStyle style) {
    pathText = songPath;
    if (!ReadSongTags(id3v2Size, prompts)) {
        prompts.ShowMessage(CpText("ID3タグを読み込めませんでした"), CpText("エラー"),
                            MessageIcon::Warning);
        return false;
    }
    if (!keepName) {
        const std::string_view name = FileNameOf(songPath, style);
        fileNameText = std::string(name.substr(0, name.size() >= 4 ? name.size() - 4 : 0));
    }
    ShowPage(firstPage);
    return true;
}

void TagEditor::Revert(std::uint32_t id3v2Size, Prompts& prompts) {
    focusCode = 0;
    ReadSongTags(id3v2Size, prompts);
}

void TagEditor::ClearFileName() {
    focusCode = 0;
    fileNameText.clear();
}

void TagEditor::ReleaseAllHolds() {
    focusCode = 0;
    v1.ReleaseHolds();
    v2.ReleaseHolds();
}

void TagEditor::ShowPage(int tab) {
    if (tab == 0) currentPage = 1;
    if (tab == 1) currentPage = 2;
    focusCode = 0;
}

ArtistList::AddResult TagEditor::AddArtist(const std::string& artistPath, std::uint8_t kanryoumes,
                                           Prompts& prompts) {
    const std::string* text = currentPage == 1   ? &v1.values.artist
                              : currentPage == 2 ? &v2.values[V2Field::Artist]
                                                 : nullptr;
    if (!text) return ArtistList::AddResult::Empty;
    return artists.Add(*text, artistPath, kanryoumes, prompts);
}

std::string* TagEditor::FocusedText() {
    if (focusCode >= 1 && focusCode <= 5 && currentPage == 1) {
        std::string* fields[] = {&v1.values.title, &v1.values.artist, &v1.values.album,
                                 &v1.values.year, &v1.values.comment};
        return fields[focusCode - 1];
    }
    if (focusCode >= 10 && focusCode <= 20 && focusCode != 15 && currentPage == 2) {
        static constexpr V2Field kFields[] = {
            V2Field::Title,     V2Field::Artist, V2Field::Album,     V2Field::Year,
            V2Field::Comment,   V2Field::Track,  V2Field::Composer,  V2Field::OrigArtist,
            V2Field::Copyright, V2Field::Url,    V2Field::EncodedBy,
        };
        return &v2.values[kFields[focusCode - 10]];
    }
    return nullptr;
}

bool TagEditor::AppendFocusedFieldToFileName() {
    if (focusCode == 0) return false;
    if (focusCode == 6) {
        if (currentPage == 1) fileNameText += std::to_string(v1.values.track);
    } else if (focusCode == 15) {
        if (currentPage == 2) fileNameText += v2.values[V2Field::Track];
    } else if (const std::string* text = FocusedText()) {
        fileNameText += *text;
    }
    focusCode = 0;
    return true;
}

bool TagEditor::AppendFileNameToFocusedField() {
    // The year fields take no name.
    if (focusCode == 4 || focusCode == 13) return false;
    std::string* text = FocusedText();
    if (!text) return false;
    *text += fileNameText;
    return true;
}

std::array<std::string, 6> FileInfoLines(const SongInfo& info) {
    return {FileSizeInfoText(info.fileSize),   TagSizeInfoText(info.id3v2Size),
            PlayingTimeInfoText(info.seconds), StreamInfoText(info),
            RightsInfoText(info.rightsFlag),   OriginalInfoText(info.originalFlag)};
}

bool TagEditor::V2FieldEnabled(V2Field f) const {
    if (!v2.hasBox || v2.FieldLocked(f)) return false;
    return f != V2Field::Genre || !genres.genreListMissing();
}

}  // namespace sorrelbox
