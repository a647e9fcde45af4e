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

void AppendUtf16(Bytes& out, std::u16string_view s, bool bigEndian) {
    for (char16_t c : s) {
        const auto hi = static_cast<std::uint8_t>(c >> 8);
        const auto lo = static_cast<std::uint8_t>(c & 0xFF);
        out.push_back(bigEndian ? hi : lo);
        out.push_back(bigEndian ? lo : hi);
    }
}

// Text in the code page, encoded as the frame's encoding byte says.
void AppendEncoded(Bytes& out, std::uint8_t encoding, std::string_view text) {
    const CodePage& cp = ActiveCodePage();
    switch (encoding) {
        case 0:
            Append(out, text);
            break;
        case 1:
            out.insert(out.end(), {0xFF, 0xFE});
            AppendUtf16(out, cp.ToUtf16(text), false);
            break;
        case 2:
            AppendUtf16(out, cp.ToUtf16(text), true);
            break;
        default:
            Append(out, cp.ToUtf8(text));
            break;
    }
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

    // Walks frames in body[start, end); returns the number of padding bytes copied.
    std::size_t Walk(std::span<const std::uint8_t> body, std::size_t start) {
        std::size_t pos = start;
        while (pos < body.size()) {
            // Padding, or a remnant too short for a frame header: new frames go before it.
            if (body[pos] == 0 || body.size() - pos < kHeaderSize) {
                AppendNewFrames();
                const std::size_t tail = body.size() - pos;
                out.insert(out.end(), body.begin() + static_cast<std::ptrdiff_t>(pos), body.end());
                return body[pos] == 0 ? tail : 0;
            }
            const std::uint32_t size = NextFrameSize(body, pos, major_);
            if (size > body.size() - pos - kHeaderSize) {
                // A frame running past the tag: keep the rest as it was, after the new frames.
                AppendNewFrames();
                out.insert(out.end(), body.begin() + static_cast<std::ptrdiff_t>(pos), body.end());
                return 0;
            }
            const auto frame = body.subspan(pos, kHeaderSize + size);
            if (!Rewrite(frame)) out.insert(out.end(), frame.begin(), frame.end());
            pos += frame.size();
        }
        AppendNewFrames();
        return 0;
    }

  private:
    // Rewrites a frame of a field to be written; false when it is carried over.
    bool Rewrite(std::span<const std::uint8_t> frame) {
        const std::string_view id(reinterpret_cast<const char*>(frame.data()), 4);
        const FrameKind* kind = nullptr;
        for (const FrameKind& k : kFrames) {
            if ((pending_ & k.bit) && id == k.id) {
                kind = &k;
                break;
            }
        }
        if (!kind) return false;
        pending_ &= static_cast<std::uint16_t>(~kind->bit);
        // The data as its format flags leave it (group byte, data length, unsynchronisation);
        // a compressed or encrypted body gives nothing to keep.
        const Id3v2FrameView view{
            std::string(id), 0, static_cast<std::uint32_t>(frame.size() - kHeaderSize),
            static_cast<std::uint16_t>(frame[8] << 8 | frame[9]), frame.subspan(kHeaderSize)};
        const auto plain = FrameData(view, header_);
        const std::span<const std::uint8_t> data =
            plain ? std::span<const std::uint8_t>(*plain) : std::span<const std::uint8_t>();
        const std::uint8_t encoding = data.empty() ? 0 : data[0];
        const bool textOnly =
            kind->bit != kFieldGenre && kind->bit != kFieldComment && kind->bit != kFieldUrl;
        // These frames are only ever taken over with the code page's encoding.
        if (!textOnly && encoding != 0) return false;

        // Status flags stay; format flags (compression, encryption, grouping, per-frame
        // unsynchronisation, data length) would misstate the plain body written here.
        const std::uint8_t statusFlags = frame[8];
        Bytes body;
        body.push_back(encoding);
        const std::string& value = edit_.values[Id3v2FieldIndex(kind->bit)];
        if (kind->bit == kFieldComment) {
            if (data.size() >= 4) {
                body.insert(body.end(), data.begin() + 1, data.begin() + 4);
            } else {
                Append(body, "jpn");
            }
            AppendDescription(body, data.size() >= 4 ? data.subspan(4) : data.subspan(0, 0));
            Append(body, value);
        } else if (kind->bit == kFieldUrl) {
            AppendDescription(body, data.empty() ? data : data.subspan(1));
            Append(body, value);
        } else {
            AppendEncoded(body, encoding > 3 ? 1 : encoding, value);
            if (encoding > 3) body[0] = 1;
        }
        AppendFrame(kind->id, statusFlags, body);
        fieldMask_ &= static_cast<std::uint16_t>(~kind->bit);
        return true;
    }

    static void AppendDescription(Bytes& body, std::span<const std::uint8_t> rest) {
        std::size_t n = 0;
        while (n < rest.size() && rest[n] != 0) ++n;
        body.insert(body.end(), rest.begin(), rest.begin() + static_cast<std::ptrdiff_t>(n));
        body.push_back(0);
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
            Bytes body = {0};
            if (k.bit == kFieldComment) Append(body, std::string_view("jpn\0", 4));
            if (k.bit == kFieldUrl) body.push_back(0);
            Append(body, value);
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

// Every frame of a 2.4 tag up to its padding has its own unsynchronisation flag (0x0002).
bool EveryFrameUnsynchronised(std::span<const std::uint8_t> body, std::size_t pos) {
    while (pos < body.size() && body[pos] != 0 && body.size() - pos >= kHeaderSize) {
        if (!(body[pos + 9] & 0x02)) return false;
        const std::uint32_t size = NextFrameSize(body, pos, 4);
        if (size > body.size() - pos - kHeaderSize) return false;
        pos += kHeaderSize + size;
    }
    return true;
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
    if (unsynchronised && major == 4 && !EveryFrameUnsynchronised(body, ext ? ext->length : 0)) {
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
    const std::size_t padding = builder.Walk(body, ext ? ext->length : 0);
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
