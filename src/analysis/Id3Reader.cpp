#include "analysis/Id3Reader.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <new>

#include "analysis/FrameSize.h"
#include "analysis/GenreName.h"
#include "analysis/Id3Text.h"
#include "analysis/MpegScan.h"
#include "platform/CodePage.h"
#include "platform/FileOps.h"

namespace sorrelbox {
namespace {

constexpr std::uint8_t kTagUnsynchronised = 0x80;
constexpr std::uint8_t kTagExtendedHeader = 0x40;

std::uint32_t Plain32(std::span<const std::uint8_t> b) {
    return std::uint32_t{b[0]} << 24 | std::uint32_t{b[1]} << 16 | std::uint32_t{b[2]} << 8 | b[3];
}

std::uint32_t Syncsafe32(std::span<const std::uint8_t> b) {
    return DecodeSyncsafe(std::span<const std::uint8_t, 4>(b.data(), 4));
}

std::string_view AsText(std::span<const std::uint8_t> bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

std::string UpToNul(std::span<const std::uint8_t> bytes) {
    const auto end = std::find(bytes.begin(), bytes.end(), std::uint8_t{0});
    return std::string(AsText(bytes.first(static_cast<std::size_t>(end - bytes.begin()))));
}

bool StartsWith(std::span<const std::uint8_t> bytes, std::string_view prefix) {
    return bytes.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), bytes.begin(),
                      [](char a, std::uint8_t b) { return static_cast<std::uint8_t>(a) == b; });
}

template <std::size_t N>
void CopyField(std::array<char, N>& field, std::span<const std::uint8_t> bytes) {
    std::memcpy(field.data(), bytes.data(), N - 1);
    field[N - 1] = '\0';
}

std::uint16_t Clamp16(std::size_t n) {
    return static_cast<std::uint16_t>(std::min<std::size_t>(n, 0xFFFF));
}

std::int32_t Clamp32(std::size_t n) {
    return static_cast<std::int32_t>(std::min<std::size_t>(n, 0x7FFFFFFF));
}

}  // namespace

std::vector<std::uint8_t> UndoUnsynchronisation(std::span<const std::uint8_t> data) {
    std::vector<std::uint8_t> out;
    out.reserve(data.size());
    for (std::size_t i = 0; i < data.size(); ++i) {
        out.push_back(data[i]);
        if (data[i] == 0xFF && i + 1 < data.size() && data[i + 1] == 0x00) ++i;
    }
    return out;
}

std::optional<Id3v2Header> ParseId3v2Header(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < kId3v2HeaderSize || !StartsWith(bytes, "ID3")) return std::nullopt;
    Id3v2Header header;
    header.major = bytes[3];
    header.revision = bytes[4];
    header.flags = bytes[5];
    header.size = Syncsafe32(bytes.subspan(6, 4));
    return header;
}

std::uint8_t TagVersion(std::uint8_t major, std::uint8_t revision) {
    switch (major) {
        case 2:
            return 2;
        case 3:
            return revision != 0 ? 4 : 3;
        case 4:
            return 4;
        default:
            return 0;
    }
}

Id3v2FrameArea FrameAreaOf(const Id3v2Header& header, std::span<const std::uint8_t> tag) {
    Id3v2FrameArea area;
    if (tag.size() <= kId3v2HeaderSize) return area;
    auto body = tag.subspan(kId3v2HeaderSize);
    body = body.first(std::min<std::size_t>(body.size(), header.size));
    // 2.4 unsynchronises frame by frame; earlier versions the whole tag after its header.
    if ((header.flags & kTagUnsynchronised) && header.major < 4) {
        area.frames = UndoUnsynchronisation(body);
        area.wholeTagUnsynchronised = true;
    } else {
        area.frames.assign(body.begin(), body.end());
    }
    if ((header.flags & kTagExtendedHeader) && area.frames.size() >= 4) {
        const std::span<const std::uint8_t> sizeBytes(area.frames.data(), 4);
        // 2.3 counts the bytes after its 4-byte size, 2.4 the whole extended header.
        const std::uint64_t skip = header.major >= 4 ? std::uint64_t{Syncsafe32(sizeBytes)}
                                                     : 4 + std::uint64_t{Plain32(sizeBytes)};
        const std::size_t cut =
            static_cast<std::size_t>(std::min<std::uint64_t>(skip, area.frames.size()));
        area.frames.erase(area.frames.begin(),
                          area.frames.begin() + static_cast<std::ptrdiff_t>(cut));
        area.offset += cut;
    }
    return area;
}

std::vector<Id3v2FrameView> WalkFrames(std::span<const std::uint8_t> frames, std::uint8_t major,
                                       bool* cutShort) {
    if (cutShort) *cutShort = false;
    std::vector<Id3v2FrameView> views;
    std::size_t pos = 0;
    while (pos < frames.size()) {
        if (frames[pos] == 0) break;  // padding
        if (pos + kFrameHeaderSize > frames.size()) {
            if (cutShort) *cutShort = true;
            break;
        }
        // An ID outside A-Z and 0-9 is stepped over by its size like any unknown frame; only
        // a size that leaves the tag ends the walk.
        const std::uint32_t size = NextFrameSize(frames, pos, major);
        if (size > frames.size() - pos - kFrameHeaderSize) {
            if (cutShort) *cutShort = true;
            break;
        }
        Id3v2FrameView view;
        view.id = std::string(AsText(frames.subspan(pos, 4)));
        view.offset = pos;
        view.size = size;
        view.flags = static_cast<std::uint16_t>(frames[pos + 8] << 8 | frames[pos + 9]);
        view.body = frames.subspan(pos + kFrameHeaderSize, size);
        views.push_back(view);
        pos += kFrameHeaderSize + size;
    }
    return views;
}

std::optional<std::vector<std::uint8_t>> FrameData(const Id3v2FrameView& frame,
                                                   const Id3v2Header& header) {
    const std::uint8_t format = static_cast<std::uint8_t>(frame.flags & 0xFF);
    auto body = frame.body;
    if (header.major >= 4) {
        if (format & 0x0C) return std::nullopt;  // compressed or encrypted
        const std::size_t extra = ((format & 0x40) ? 1 : 0) + ((format & 0x01) ? 4 : 0);
        body = body.subspan(std::min(extra, body.size()));
        if ((format & 0x02) || (header.flags & kTagUnsynchronised)) {
            return UndoUnsynchronisation(body);
        }
    } else {
        if (format & 0xC0) return std::nullopt;  // compressed or encrypted
        if (format & 0x20) body = body.subspan(std::min<std::size_t>(1, body.size()));
    }
    return std::vector<std::uint8_t>(body.begin(), body.end());
}

std::optional<std::uint8_t> GenreCodeOf(std::string_view text) {
    const std::size_t open = text.find('(');
    if (open != std::string_view::npos && text.find(')') != std::string_view::npos) {
        unsigned code = 0;
        for (std::size_t i = open + 1; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
            code = (code * 10 + static_cast<unsigned>(text[i] - '0')) & 0xFF;
        }
        return static_cast<std::uint8_t>(code);
    }
    // The ID3v2.4 form is the bare number; other programs also write the genre's name.
    unsigned code = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), code);
    if (!text.empty() && ec == std::errc() && end == text.data() + text.size()) {
        if (code <= 0xFF) return static_cast<std::uint8_t>(code);
        return std::nullopt;
    }
    return GenreCodeByName(text);
}

FrameRecord ReadFrameBody(int type, std::span<const std::uint8_t> data) {
    FrameRecord record;
    record.present = true;
    const std::size_t n = data.size();
    if (n == 0) return record;
    record.encoding = data[0];
    record.utf16 = record.encoding != 0;
    const bool keptAsStored = type == kGenre || type == kComment || type == kUrl;
    if (n == 1) {
        if (record.utf16 && !keptAsStored) record.oldLength = -1;
        return record;
    }
    const auto text = data.subspan(1);
    if (keptAsStored && record.encoding > 3) {
        // An encoding the standard does not define: the frame is kept as stored.
        record.locked = true;
        return record;
    }
    record.hasValue = true;
    bool lossless = true;
    switch (type) {
        case kGenre:
            record.value = DecodeId3Text(record.encoding, text, nullptr, &lossless);
            record.oldLength = Clamp32(n - 1);
            break;
        case kComment: {
            const auto language = text.first(std::min<std::size_t>(3, text.size()));
            record.language = std::string(AsText(language));
            const auto split = SplitAtTerminator(record.encoding, text.subspan(language.size()));
            record.description = std::string(AsText(split.head));
            record.descLength = Clamp16(split.head.size());
            if (split.terminated) {
                record.value = DecodeId3Text(record.encoding, split.rest, nullptr, &lossless);
            }
            record.oldLength = Clamp32(record.value.size());
            break;
        }
        case kUrl: {
            const auto split = SplitAtTerminator(record.encoding, text);
            record.description = std::string(AsText(split.head));
            record.descLength = Clamp16(split.head.size());
            if (split.terminated) {
                record.value = DecodeId3Text(0, split.rest);
                record.oldLength = Clamp32(split.rest.size());
            }
            break;
        }
        default: {
            std::size_t bom = 0;
            record.value = DecodeId3Text(record.encoding, text, &bom);
            record.oldLength = Clamp32(text.size() - bom);
            break;
        }
    }
    // A genre, comment or URL the code page cannot hold is not offered for editing: it would
    // be written back without the characters that were lost.
    if (keptAsStored && !lossless) {
        record.locked = true;
        record.hasValue = false;
        record.value.clear();
        record.oldLength = 0;
    }
    return record;
}

Id3v2Read ParseId3v2Tags(std::span<const std::uint8_t> tag) {
    Id3v2Read read;
    const auto header = ParseId3v2Header(tag);
    if (!header) return read;
    read.tagFound = true;
    read.header = *header;
    read.tagVersion = TagVersion(header->major, header->revision);
    if (read.tagVersion < 3) {
        read.unsupported = true;
        return read;
    }
    const Id3v2FrameArea area = FrameAreaOf(*header, tag);
    read.wholeTagUnsynchronised = area.wholeTagUnsynchronised;
    bool walkCut = false;
    for (const Id3v2FrameView& frame : WalkFrames(area.frames, header->major, &walkCut)) {
        int type = 0;
        for (const SupportedFrame& supported : kSupportedFrames) {
            if (frame.id == supported.id && !(read.presentFlags & FieldBit(supported.type))) {
                type = supported.type;
                break;
            }
        }
        if (type == 0) continue;
        const auto data = FrameData(frame, *header);
        FrameRecord record;
        if (data) {
            record = ReadFrameBody(type, *data);
        } else {
            record.present = true;
            record.undecodable = true;
        }
        record.id = frame.id;
        record.frameOffset = area.offset + frame.offset;
        record.frameSize = frame.size;
        record.frameFlags = frame.flags;
        read.presentFlags |= FieldBit(type);
        if (record.utf16) read.utf16Flags |= FieldBit(type);
        if (record.locked) read.lockedFlags |= FieldBit(type);
        if (type == kGenre && record.hasValue) {
            if (const auto code = GenreCodeOf(record.value)) read.oldGenreCode = *code;
        }
        read.field(type) = std::move(record);
    }
    read.cutShort = walkCut;
    read.present = true;
    return read;
}

Id3v1Read ParseId3v1(std::span<const std::uint8_t> last) {
    Id3v1Read read;
    if (last.size() != kId3v1Size || !StartsWith(last, "TAG")) return read;
    read.present = true;
    CopyField(read.title, last.subspan(3, 30));
    CopyField(read.artist, last.subspan(33, 30));
    CopyField(read.album, last.subspan(63, 30));
    CopyField(read.year, last.subspan(93, 4));
    CopyField(read.comment, last.subspan(97, 30));
    read.hasTrack = last[125] == 0;
    read.track = read.hasTrack ? last[126] : 0;
    read.genre = last[127];
    return read;
}

SongTags ReadSongTagsFrom(const ByteSource& source, std::uint32_t id3v2Size) {
    SongTags tags;
    if (id3v2Size != 0) {
        tags.v2 = ParseId3v2Tags(source.ReadRange(0, kId3v2HeaderSize + std::uint64_t{id3v2Size}));
    }
    // A file shorter than an ID3v1 tag has none.
    if (source.size() >= kId3v1Size) {
        tags.v1 = ParseId3v1(source.ReadRange(source.size() - kId3v1Size, kId3v1Size));
    }
    return tags;
}

std::optional<SongTags> ReadSongTags(std::string_view path, std::uint32_t id3v2Size) {
    const auto file = ReadFile::Open(path);
    if (!file) return std::nullopt;
    try {
        return ReadSongTagsFrom(FileByteSource(*file), id3v2Size);
    } catch (const std::bad_alloc&) {
        // A tag too large to hold: the load fails rather than the program.
        return std::nullopt;
    }
}

std::optional<std::string> ParseTagTitle(std::span<const std::uint8_t> tag,
                                         std::span<const std::uint8_t> last) {
    const auto header = ParseId3v2Header(tag);
    if (header && TagVersion(header->major, header->revision) >= 3) {
        const Id3v2FrameArea area = FrameAreaOf(*header, tag);
        for (const Id3v2FrameView& frame : WalkFrames(area.frames, header->major)) {
            if (frame.id != "TIT2") continue;
            const auto data = FrameData(frame, *header);
            if (!data) break;
            if (data->size() < 2) return std::string();
            return DecodeId3Text((*data)[0], std::span(*data).subspan(1));
        }
    }
    if (last.size() == kId3v1Size && StartsWith(last, "TAG")) {
        std::string title = UpToNul(last.subspan(3, 30));
        title.erase(title.find_last_not_of(' ') + 1);
        if (!title.empty()) return title;
    }
    return std::nullopt;
}

std::string ReadDisplayTitle(std::string_view path, std::uint32_t id3v2Size, PathStyle style) {
    const auto file = ReadFile::Open(path);
    if (!file) return CpText("ファイル情報を取得できませんでした");
    const FileByteSource source(*file);
    std::vector<std::uint8_t> tag;
    if (id3v2Size != 0) tag = source.ReadRange(0, kId3v2HeaderSize + std::uint64_t{id3v2Size});
    std::vector<std::uint8_t> last;
    if (source.size() >= kId3v1Size)
        last = source.ReadRange(source.size() - kId3v1Size, kId3v1Size);
    if (auto title = ParseTagTitle(tag, last)) return *title;
    return std::string(FileNameOf(path, style));
}

}  // namespace sorrelbox
