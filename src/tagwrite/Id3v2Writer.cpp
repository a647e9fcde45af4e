#include "tagwrite/Id3v2Writer.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>
#include <optional>
#include <string_view>

#include "analysis/FrameSize.h"
#include "analysis/Id3Reader.h"
#include "analysis/Id3Text.h"
#include "analysis/MpegScan.h"
#include "platform/CodePage.h"
#include "platform/FileOps.h"
#include "platform/SafeFile.h"
#include "tagwrite/Backup.h"

namespace sorrelbox {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t kHeaderSize = 10;
constexpr std::uint32_t kMaxTagBody = (1u << 28) - 1;  // the largest syncsafe size

struct FrameKind {
    char id[5];
    std::uint16_t bit;
};

// Matching order; TYER and TDRC share the year bit.
constexpr FrameKind kFrames[13] = {
    {"TIT2", kFieldTitle},      {"TPE1", kFieldArtist},    {"TALB", kFieldAlbum},
    {"TYER", kFieldYear},       {"TDRC", kFieldYear},      {"TCON", kFieldGenre},
    {"COMM", kFieldComment},    {"TRCK", kFieldTrack},     {"TCOM", kFieldComposer},
    {"TOPE", kFieldOrigArtist}, {"TCOP", kFieldCopyright}, {"WXXX", kFieldUrl},
    {"TENC", kFieldEncodedBy},
};

// The tag written for a file without one: every field's frame, empty, in table order.
Bytes TemplateTag() {
    Bytes t = {'I', 'D', '3', 3, 0, 0, 0, 0, 0, 0};
    auto frame = [&t](std::string_view id, std::initializer_list<std::uint8_t> body) {
        t.insert(t.end(), id.begin(), id.end());
        t.insert(t.end(), {0, 0, 0, static_cast<std::uint8_t>(body.size()), 0, 0});
        t.insert(t.end(), body);
    };
    for (const char* id : {"TIT2", "TPE1", "TALB", "TYER", "TCON"}) frame(id, {0});
    frame("COMM", {0, 'j', 'p', 'n', 0});
    for (const char* id : {"TRCK", "TCOM", "TOPE", "TCOP"}) frame(id, {0});
    frame("WXXX", {0, 0});
    frame("TENC", {0});
    return t;
}

std::uint32_t Plain32(const std::uint8_t* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
           p[3];
}

std::uint32_t Syncsafe32(const std::uint8_t* p) {
    return DecodeSyncsafe(std::span<const std::uint8_t, 4>(p, 4));
}

void PutSize(Bytes& out, std::size_t at, std::uint32_t value, bool syncsafe) {
    if (syncsafe) {
        out[at] = static_cast<std::uint8_t>((value >> 21) & 0x7F);
        out[at + 1] = static_cast<std::uint8_t>((value >> 14) & 0x7F);
        out[at + 2] = static_cast<std::uint8_t>((value >> 7) & 0x7F);
        out[at + 3] = static_cast<std::uint8_t>(value & 0x7F);
    } else {
        out[at] = static_cast<std::uint8_t>(value >> 24);
        out[at + 1] = static_cast<std::uint8_t>(value >> 16);
        out[at + 2] = static_cast<std::uint8_t>(value >> 8);
        out[at + 3] = static_cast<std::uint8_t>(value);
    }
}

void Append(Bytes& out, std::string_view s) {
    out.insert(out.end(), s.begin(), s.end());
}

// Builds the new tag body while walking the old one.
class TagBuilder {
  public:
    TagBuilder(const Id3v2Edit& edit, std::uint16_t& fieldMask, const Id3v2Header& header,
               bool yearIsTdrc)
        : edit_(edit),
          fieldMask_(fieldMask),
          pending_(fieldMask & kId3v2AllFields),
          header_(header),
          major_(header.major),
          yearIsTdrc_(yearIsTdrc) {}

    Bytes out;

    // Walks the frames of body from start, as the readers walk them; returns the number of
    // padding bytes copied. New frames go before the padding, or before whatever follows the
    // last whole frame.
    std::size_t Walk(std::span<const std::uint8_t> body, std::size_t start) {
        const auto frames = body.subspan(start);
        std::size_t end = 0;
        for (const Id3v2FrameView& frame : WalkFrames(frames, major_)) {
            const auto whole = frames.subspan(frame.offset, kHeaderSize + frame.size);
            if (!Rewrite(frame)) out.insert(out.end(), whole.begin(), whole.end());
            end = frame.offset + whole.size();
        }
        AppendNewFrames();
        const auto tail = frames.subspan(end);
        out.insert(out.end(), tail.begin(), tail.end());
        return !tail.empty() && tail[0] == 0 ? tail.size() : 0;
    }

  private:
    // Rewrites a frame of a field to be written; false when it is carried over.
    bool Rewrite(const Id3v2FrameView& frame) {
        const FrameKind* kind = nullptr;
        for (const FrameKind& k : kFrames) {
            if ((pending_ & k.bit) && frame.id == k.id) {
                kind = &k;
                break;
            }
        }
        if (!kind) return false;
        pending_ &= static_cast<std::uint16_t>(~kind->bit);
        // The data as its format flags leave it (group byte, data length, unsynchronisation);
        // a compressed or encrypted body gives nothing to keep.
        const auto plain = FrameData(frame, header_);
        const std::span<const std::uint8_t> data =
            plain ? std::span<const std::uint8_t>(*plain) : std::span<const std::uint8_t>();
        const auto oldEncoding = data.empty() ? std::nullopt : std::optional<std::uint8_t>(data[0]);
        const bool textOnly =
            kind->bit != kFieldGenre && kind->bit != kFieldComment && kind->bit != kFieldUrl;
        // An encoding the standard lacks leaves no way to find the description's end: such
        // a frame is kept, and its field counts as not written.
        if (!textOnly && oldEncoding.value_or(0) > 3) return false;

        const std::string& value = edit_.values[Id3v2FieldIndex(kind->bit)];
        Bytes body;
        if (kind->bit == kFieldComment) {
            const bool hasLanguage = data.size() >= 4;
            const std::string_view language =
                hasLanguage ? std::string_view(reinterpret_cast<const char*>(data.data() + 1), 3)
                            : std::string_view("jpn");
            AppendDescribed(body, oldEncoding, hasLanguage ? data.subspan(4) : data.subspan(0, 0),
                            language, value, false);
        } else if (kind->bit == kFieldUrl) {
            AppendDescribed(body, oldEncoding, data.empty() ? data : data.subspan(1), {}, value,
                            true);
        } else {
            const std::uint8_t encoding = Id3EncodingToWrite(major_, value, oldEncoding);
            body.push_back(encoding);
            Append(body, EncodeId3Text(encoding, value));
        }
        // Status flags stay; format flags (compression, encryption, grouping, per-frame
        // unsynchronisation, data length) would misstate the plain body written here.
        AppendFrame(kind->id, static_cast<std::uint8_t>(frame.flags >> 8), body);
        fieldMask_ &= static_cast<std::uint16_t>(~kind->bit);
        return true;
    }

    // A COMM body (language given) or a WXXX body: encoding byte, [language,] the old
    // description, then the comment or the URL. The description keeps its bytes while the
    // encoding stays, and is converted when the text needs another one.
    void AppendDescribed(Bytes& body, std::optional<std::uint8_t> oldEncoding,
                         std::span<const std::uint8_t> rest, std::string_view language,
                         const std::string& value, bool url) const {
        const std::uint8_t stored = oldEncoding.value_or(0);
        const auto description = SplitAtTerminator(stored, rest).head;
        const std::string descText = DecodeId3Text(stored, description);
        const std::uint8_t encoding =
            Id3EncodingToWrite(major_, url ? descText : descText + value, oldEncoding);
        body.push_back(encoding);
        Append(body, language);
        if (encoding == stored) {
            body.insert(body.end(), description.begin(), description.end());
        } else {
            Append(body, EncodeId3Text(encoding, descText));
        }
        Append(body, Id3Terminator(encoding));
        Append(body, url ? EncodeId3Url(value) : EncodeId3Text(encoding, value));
    }

    void AppendFrame(std::string_view id, std::uint8_t statusFlags, const Bytes& body) {
        Append(out, id);
        const std::size_t at = out.size();
        out.insert(out.end(), {0, 0, 0, 0, statusFlags, 0});
        PutSize(out, at, static_cast<std::uint32_t>(body.size()), major_ >= 4);
        out.insert(out.end(), body.begin(), body.end());
    }

    void AppendNewFrames() {
        for (std::size_t i = 0; i < std::size(kFrames); ++i) {
            const FrameKind& k = kFrames[i];
            if (!(pending_ & k.bit)) continue;
            if (k.bit == kFieldYear && (std::string_view(k.id) == "TDRC") != yearIsTdrc_) continue;
            const std::string& value = edit_.values[Id3v2FieldIndex(k.bit)];
            Bytes body;
            if (k.bit == kFieldComment || k.bit == kFieldUrl) {
                AppendDescribed(body, std::nullopt, {}, k.bit == kFieldComment ? "jpn" : "", value,
                                k.bit == kFieldUrl);
            } else {
                const std::uint8_t encoding = Id3EncodingToWrite(major_, value);
                body.push_back(encoding);
                Append(body, EncodeId3Text(encoding, value));
            }
            AppendFrame(k.id, 0, body);
            pending_ &= static_cast<std::uint16_t>(~k.bit);
            fieldMask_ &= static_cast<std::uint16_t>(~k.bit);
        }
    }

    const Id3v2Edit& edit_;
    std::uint16_t& fieldMask_;
    std::uint16_t pending_;
    Id3v2Header header_;
    std::uint8_t major_;
    bool yearIsTdrc_;
};

// Every frame of a 2.4 tag has its own unsynchronisation flag (0x0002), and nothing but
// padding follows them.
bool EveryFrameUnsynchronised(std::span<const std::uint8_t> frames) {
    bool cutShort = false;
    for (const Id3v2FrameView& frame : WalkFrames(frames, 4, &cutShort)) {
        if (!(frame.flags & 0x02)) return false;
    }
    return !cutShort;
}

// The extended header, made true for the tag written: a 2.3 one gets no CRC and the padding
// size written; a 2.4 one keeps its update and restriction flags and drops a CRC.
// nullopt when it cannot be understood.
struct ExtendedHeader {
    std::size_t length = 0;     // bytes in the old body
    Bytes bytes;                // to write
    std::size_t paddingAt = 0;  // 2.3: offset of the padding size in bytes
};

std::optional<ExtendedHeader> ParseExtendedHeader(std::span<const std::uint8_t> body,
                                                  std::uint8_t major) {
    if (body.size() < 6) return std::nullopt;
    ExtendedHeader ext;
    if (major == 3) {
        const std::uint32_t size = Plain32(body.data());
        if (size != 6 && size != 10) return std::nullopt;
        if (size + 4 > body.size()) return std::nullopt;
        ext.length = size + 4;
        ext.bytes = {0, 0, 0, 6, 0, 0, 0, 0, 0, 0};
        ext.paddingAt = 6;
        return ext;
    }
    const std::uint32_t size = Syncsafe32(body.data());
    if (size < 6 || size > body.size() || body[4] != 1) return std::nullopt;
    const std::uint8_t flags = body[5];
    ext.length = size;
    Bytes kept;
    std::size_t at = 6;
    std::uint8_t keptFlags = 0;
    // Flag data in bit order: update (0x40), CRC (0x20), restrictions (0x10).
    for (std::uint8_t bit : {std::uint8_t{0x40}, std::uint8_t{0x20}, std::uint8_t{0x10}}) {
        if (!(flags & bit)) continue;
        if (at >= size) return std::nullopt;
        const std::size_t len = body[at];
        if (at + 1 + len > size) return std::nullopt;
        if (bit != 0x20) {
            keptFlags |= bit;
            kept.insert(kept.end(), body.begin() + static_cast<std::ptrdiff_t>(at),
                        body.begin() + static_cast<std::ptrdiff_t>(at + 1 + len));
        }
        at += 1 + len;
    }
    ext.bytes = {0, 0, 0, 0, 1, keptFlags};
    ext.bytes.insert(ext.bytes.end(), kept.begin(), kept.end());
    PutSize(ext.bytes, 0, static_cast<std::uint32_t>(ext.bytes.size()), true);
    return ext;
}

void ShowError(const WriterEnv& env, std::string_view utf8) {
    env.prompts.ShowMessage(CpText(utf8), CpText("エラー"), MessageIcon::Warning);
}

void ShowDone(const WriterEnv& env, std::string_view utf8) {
    if (env.kanryoumes == 0) {
        env.prompts.ShowMessage(CpText(utf8), CpText("完了"), MessageIcon::Information);
    }
}

constexpr std::string_view kCannotEdit = "ID3v2タグを編集できませんでした";
constexpr std::string_view kCannotRemove = "ID3v2タグを削除できませんでした";
constexpr std::string_view kRecovered =
    "ID3v2タグの編集に失敗しました\nファイル保護のためID3v2タグを削除しました";

// What is put in place of [0, restOffset) of the song.
struct NewHead {
    Bytes bytes;  // tag and footer (empty when removing)
    std::uint64_t restOffset = 0;
};

bool WriteAllAt(int fd, const std::uint8_t* data, std::size_t size, std::uint64_t offset) {
    while (size > 0) {
        const ssize_t n = ::pwrite(fd, data, size, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<std::size_t>(n);
        offset += static_cast<std::uint64_t>(n);
    }
    return true;
}

enum class InPlace { Done, Untouched, Recovered };

// Where no temporary file can be made: the song is rewritten in place, its rest held in
// memory, and on a failure written back at the start without any ID3v2 tag.
InPlace RewriteInPlace(const std::string& path, const ReadFile& source, const NewHead& head) {
    auto native = ToNativePath(path);
    if (!native) return InPlace::Untouched;
    const std::uint64_t restSize = source.size() - head.restOffset;
    Bytes rest;
    try {
        rest.resize(static_cast<std::size_t>(restSize));
    } catch (const std::bad_alloc&) {
        return InPlace::Untouched;
    }
    if (source.ReadAt(head.restOffset, rest) != rest.size()) return InPlace::Untouched;
    const int fd = ::open(native->c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return InPlace::Untouched;
    const std::uint64_t newSize = head.bytes.size() + restSize;
    bool ok = WriteAllAt(fd, head.bytes.data(), head.bytes.size(), 0) &&
              WriteAllAt(fd, rest.data(), rest.size(), head.bytes.size()) &&
              ::ftruncate(fd, static_cast<off_t>(newSize)) == 0 && ::fsync(fd) == 0;
    if (!ok) {
        WriteAllAt(fd, rest.data(), rest.size(), 0);
        if (::ftruncate(fd, static_cast<off_t>(restSize)) == 0) ::fsync(fd);
    }
    ::close(fd);
    return ok ? InPlace::Done : InPlace::Recovered;
}

}  // namespace

Id3v2Build BuildId3v2Tag(std::span<const std::uint8_t> oldTag, const Id3v2Edit& edit,
                         std::uint16_t& fieldMask) {
    Id3v2Build result;
    Bytes templateTag;
    if (oldTag.empty()) {
        templateTag = TemplateTag();
        oldTag = templateTag;
    }
    if (oldTag.size() < kHeaderSize || std::memcmp(oldTag.data(), "ID3", 3) != 0) return result;
    const std::uint8_t major = oldTag[3];
    const std::uint8_t revision = oldTag[4];
    std::uint8_t flags = oldTag[5];
    if (major != 3 && major != 4) return result;

    Bytes resynced;
    std::span<const std::uint8_t> body = oldTag.subspan(kHeaderSize);
    const bool unsynchronised = flags & 0x80;
    if (unsynchronised && major == 3) {
        resynced = UndoUnsynchronisation(body);
        body = resynced;
    }
    flags &= 0x7F;
    std::optional<ExtendedHeader> ext;
    if (flags & 0x40) {
        ext = ParseExtendedHeader(body, major);
        if (!ext) return result;
    }
    // A 2.4 tag keeps the scheme in the frames that carry their own flag for it; the tag's
    // flag can then go. A frame without its own flag is not edited.
    if (unsynchronised && major == 4 &&
        !EveryFrameUnsynchronised(body.subspan(ext ? ext->length : 0))) {
        return result;
    }
    result.footer = major == 4 && (flags & 0x10);

    const bool yearIsTdrc = major == 4 || revision != 0;
    const Id3v2Header header{major, revision, oldTag[5], 0};
    TagBuilder builder(edit, fieldMask, header, yearIsTdrc);
    builder.out.assign(oldTag.begin(), oldTag.begin() + 6);
    builder.out[5] = flags;
    builder.out.insert(builder.out.end(), 4, 0);
    std::size_t extAt = 0;
    if (ext) {
        extAt = builder.out.size();
        builder.out.insert(builder.out.end(), ext->bytes.begin(), ext->bytes.end());
    }
    const std::uint16_t requested = fieldMask & kId3v2AllFields;
    const std::size_t padding = builder.Walk(body, ext ? ext->length : 0);
    // A field asked for and not written is never reported as written.
    if (fieldMask & requested) return result;
    if (ext && major == 3) {
        PutSize(builder.out, extAt + ext->paddingAt, static_cast<std::uint32_t>(padding), false);
    }
    if (builder.out.size() - kHeaderSize > kMaxTagBody) return result;
    PutSize(builder.out, 6, static_cast<std::uint32_t>(builder.out.size() - kHeaderSize), true);
    result.tag = std::move(builder.out);
    result.ok = true;
    return result;
}

bool WriteId3v2Tag(const Id3v2Edit& edit, std::uint16_t& fieldMask, const WriterEnv& env) {
    const bool removing = fieldMask == kRemoveId3v2Tag;
    auto refuse = [&] {
        if (removing) ShowError(env, kCannotRemove);
        ShowError(env, kCannotEdit);
        return true;
    };

    if (env.backup == 1) BackupSong(edit.songPath, env.backupPath, env.prompts);

    auto source = ReadFile::Open(edit.songPath);
    if (!source) {
        ShowError(env, kCannotEdit);
        return true;
    }
    // The tag must still be the one the editor read.
    std::uint8_t header[kHeaderSize] = {};
    const bool hasTag =
        source->ReadAt(0, header) == kHeaderSize && std::memcmp(header, "ID3", 3) == 0;
    const std::uint64_t tagLength =
        hasTag ? Syncsafe32(header + 6) + std::uint64_t{kHeaderSize} : 0;
    // A bare header (size 0) counts as no tag for the editor; the new frames go into it.
    const bool bareHeader = edit.oldTagLength == 0 && tagLength == kHeaderSize && !removing;
    if ((tagLength != edit.oldTagLength && !bareHeader) || tagLength > source->size() ||
        (removing && !hasTag)) {
        ShowError(env, kCannotEdit);
        return true;
    }
    Bytes oldTag;
    try {
        oldTag.resize(static_cast<std::size_t>(tagLength));
    } catch (const std::bad_alloc&) {
        ShowError(env, kCannotEdit);
        return true;
    }
    if (source->ReadAt(0, oldTag) != oldTag.size()) {
        ShowError(env, kCannotEdit);
        return true;
    }

    NewHead head;
    head.restOffset = tagLength;
    // A 2.4 footer belongs to the tag it closes.
    std::uint8_t footer[kHeaderSize] = {};
    if (hasTag && header[3] == 4 && (header[5] & 0x10) &&
        source->ReadAt(tagLength, footer) == kHeaderSize && std::memcmp(footer, "3DI", 3) == 0) {
        head.restOffset += kHeaderSize;
    }

    std::uint16_t mask = fieldMask;
    if (!removing) {
        Id3v2Build built;
        try {
            built = BuildId3v2Tag(oldTag, edit, mask);
        } catch (const std::bad_alloc&) {
            built.ok = false;
        }
        if (!built.ok) {
            ShowError(env, kCannotEdit);
            return true;
        }
        head.bytes = std::move(built.tag);
        if (built.footer) {
            Bytes foot(head.bytes.begin(), head.bytes.begin() + kHeaderSize);
            std::memcpy(foot.data(), "3DI", 3);
            head.bytes.insert(head.bytes.end(), foot.begin(), foot.end());
        }
    }
    oldTag.clear();
    oldTag.shrink_to_fit();

    const std::uint64_t restSize = source->size() - head.restOffset;
    if (auto out = SafeFile::Begin(edit.songPath)) {
        if (!out->Write(head.bytes) || !out->CopyFrom(*source, head.restOffset, restSize) ||
            !out->Commit()) {
            return refuse();
        }
    } else {
        switch (RewriteInPlace(edit.songPath, *source, head)) {
            case InPlace::Done:
                break;
            case InPlace::Untouched:
                return refuse();
            case InPlace::Recovered:
                ShowError(env, kRecovered);
                return true;
        }
    }
    if (!removing) fieldMask = mask;
    ShowDone(env, removing ? "ID3v2タグを削除しました" : "ID3v2タグを編集しました");
    return false;
}

}  // namespace sorrelbox
