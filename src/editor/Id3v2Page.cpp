#include "editor/Id3v2Page.h"

#include <cstdio>

#include "analysis/Id3Reader.h"

namespace sorrelbox {
namespace {

bool IsPlainText(V2Field f) {
    return f != V2Field::Genre && f != V2Field::Comment && f != V2Field::Url;
}

std::string UpToZero(std::string_view s) {
    return std::string(s.substr(0, s.find('\0')));
}

}  // namespace

void Id3v2Page::Reset(bool autoTrack) {
    for (std::size_t i = 0; i < kId3v2FieldCount; ++i) {
        const auto f = static_cast<V2Field>(i);
        if (f == V2Field::Track || f == V2Field::Genre) continue;
        if (!holds[f]) values[f].clear();
    }
    if (!holds[V2Field::Genre]) values.genreLine = -1;
    if (!autoTrack) values[V2Field::Track].clear();
    const std::uint32_t total = record.tagTotalSize;
    record = Id3v2Record{};
    record.tagTotalSize = total;
    hasBox = false;
}

void Id3v2Page::RecordFrame(const Id3v2FrameRead& frame, const GenreList& genres, bool autoTrack) {
    const V2Field f = frame.field;
    const std::size_t i = FieldIndex(f);
    const std::uint16_t bit = FieldBit(f);
    record.presentFlags |= bit;
    const auto n = static_cast<std::int64_t>(frame.frameSize);

    if (n <= 1) {
        if (frame.encoding != 0) {
            record.utf16Flags |= bit;
            if (IsPlainText(f)) record.oldLength[i] = -1;
        }
        return;
    }
    if (!IsPlainText(f) && frame.locked) {
        record.utf16Flags |= bit;
        record.lockedFlags |= bit;
        return;
    }
    if (frame.encoding != 0) record.utf16Flags |= bit;
    const bool held = f == V2Field::Track ? autoTrack : holds[f];
    switch (f) {
        case V2Field::Genre: {
            record.oldLength[i] = static_cast<std::int32_t>(n - 1);
            const auto code = GenreCodeOf(frame.value);
            if (!code) break;
            record.oldGenreCode = *code;
            record.genreCodeRead = true;
            if (!holds[V2Field::Genre]) {
                // A code without a line leaves the box as it is; the frame is kept then.
                if (const auto line = genres.FirstLineWithCode(*code)) values.genreLine = *line;
            }
            break;
        }
        case V2Field::Comment:
        case V2Field::Url: {
            if (f == V2Field::Comment) {
                record.commentDescLength = frame.descLength;
            } else {
                record.urlDescLength = frame.descLength;
            }
            record.oldValue[i] = UpToZero(frame.value);
            record.oldLength[i] = static_cast<std::int32_t>(record.oldValue[i].size());
            if (!held) values[f] = record.oldValue[i];
            break;
        }
        default: {
            record.oldValue[i] = UpToZero(frame.value);
            if (frame.encoding != 0) {
                record.oldLength[i] = static_cast<std::int32_t>(n - 3);
            } else {
                record.oldLength[i] = static_cast<std::int32_t>(n - 1);
            }
            if (!held) values[f] = record.oldValue[i];
            break;
        }
    }
}

std::uint16_t Id3v2Page::CollectId3v2(const GenreList& genres, const CodePage& cp) {
    const bool noTag = record.tagTotalSize == 0;
    std::uint16_t mask = 0;
    std::int64_t total = record.tagTotalSize;
    for (std::size_t i = 0; i < kId3v2FieldCount; ++i) {
        const auto f = static_cast<V2Field>(i);
        const std::uint16_t bit = FieldBit(f);
        const bool present = (record.presentFlags & bit) != 0;
        if (f == V2Field::Genre) {
            const int line = values.genreLine;
            if (noTag) record.oldGenreCode = genres.CodeAt(0);
            record.genreText.clear();
            if (line > 0) {
                char text[8];
                std::snprintf(text, sizeof text, "(%u)", unsigned{genres.CodeAt(line)});
                record.genreText = text;
            }
            // No line chosen keeps the frame as it is (a code the box cannot show, or no
            // frame at all); the empty choice adds no empty frame to a tag without one.
            bool changed = line >= 0 && genres.CodeAt(line) != record.oldGenreCode;
            if (!noTag && !present && line == 0) changed = false;
            if (!changed) continue;
            mask |= bit;
            const auto length = static_cast<std::int64_t>(record.genreText.size());
            if (noTag) {
                total += length;
            } else {
                total += length - record.oldLength[i];
                if (!present) total += 11;
            }
            continue;
        }
        const std::string value = UpToZero(values[f]);
        if (value == record.oldValue[i]) continue;
        mask |= bit;
        const auto length = static_cast<std::int64_t>(value.size());
        if (noTag) {
            total += length;
        } else if (f == V2Field::Comment || f == V2Field::Url) {
            total += length - record.oldLength[i];
            if (!present) total += f == V2Field::Comment ? 15 : 12;
        } else {
            if (record.utf16Flags & bit) {
                total += 2 * (static_cast<std::int64_t>(cp.CountChars(value)) -
                              static_cast<std::int64_t>(cp.CountChars(record.oldValue[i])));
                if (record.oldLength[i] == -1) total += 2;
            } else {
                total += length - record.oldLength[i];
            }
            if (!present) total += 11;
        }
    }
    record.tagTotalSize = static_cast<std::uint32_t>(total);
    return mask;
}

Id3v2Edit Id3v2Page::MakeEdit(std::string songPath, std::uint32_t oldTagLength) const {
    Id3v2Edit edit;
    edit.songPath = std::move(songPath);
    edit.oldTagLength = oldTagLength;
    edit.tagVersion = record.tagVersion == 4 ? 4 : 3;
    for (std::size_t i = 0; i < kId3v2FieldCount; ++i) edit.values[i] = UpToZero(values.texts[i]);
    edit.values[FieldIndex(V2Field::Genre)] = record.genreText;
    edit.utf16Flags = record.utf16Flags;
    return edit;
}

bool Id3v2Page::FieldLocked(V2Field f) const {
    return (FieldBit(f) & record.lockedFlags) != 0;
}

}  // namespace sorrelbox
