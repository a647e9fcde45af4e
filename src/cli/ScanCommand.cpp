#include <algorithm>
#include <memory>
#include <optional>
#include <ostream>
#include <span>
#include <vector>

#include "Commands.h"
#include "Json.h"
#include "analysis/ByteSource.h"
#include "analysis/Id3Reader.h"
#include "analysis/MpegScan.h"
#include "analysis/SongTable.h"
#include "loading/ReadAhead.h"
#include "platform/FileOps.h"
#include "platform/PathStyle.h"

namespace sorrelbox::cli {
namespace {

constexpr std::size_t kScanWindow = 512;
constexpr std::size_t kScanBatch = 4;

constexpr const char* kScanUsage =
    "usage: sorrelbox-cli scan FILE...\n"
    "  one JSON line per FILE: path, result (0 ok, 1 open failed, 2 no header), seconds,\n"
    "  fileSize, id3v2Size, bitRate, sampleRate, channelMode, rightsFlag, originalFlag,\n"
    "  listEntry, timeText, sizeText, bitRateText, title\n";

// Serves reads from the bytes earlier reads brought in and reads only what is missing, so
// the scan and the title share one open file and read each byte once: the search window
// after a small tag mostly lies in the first block already.
class RememberingSource : public ByteSource {
  public:
    explicit RememberingSource(const ByteSource& inner) : inner_(inner), size_(inner.size()) {}
    std::uint64_t size() const override { return size_; }
    std::size_t ReadAt(std::uint64_t offset, std::span<std::uint8_t> buffer) const override {
        std::size_t done = 0;
        while (done < buffer.size()) {
            const Block* from = nullptr;
            for (const Block& block : blocks_) {
                if (offset >= block.offset && offset < block.offset + block.size) {
                    from = &block;
                    break;
                }
            }
            if (!from) break;
            const std::size_t at = static_cast<std::size_t>(offset - from->offset);
            const std::size_t n = std::min(buffer.size() - done, from->size - at);
            std::copy_n(from->bytes.get() + at, n,
                        buffer.begin() + static_cast<std::ptrdiff_t>(done));
            done += n;
            offset += n;
        }
        if (done == buffer.size() || offset >= size_) return done;
        // The head of the file in one read: the tag header, a tag of a few KiB and the
        // search window after it, which would otherwise take a second read.
        std::size_t want = buffer.size() - done;
        if (offset == 0) want = std::max(want, kHeadBytes);
        want = static_cast<std::size_t>(std::min<std::uint64_t>(want, size_ - offset));
        // Not zeroed first: the read fills what it reports.
        auto bytes = std::make_unique_for_overwrite<std::uint8_t[]>(want);
        const std::size_t got = inner_.ReadAt(offset, std::span(bytes.get(), want));
        const std::size_t n = std::min(got, buffer.size() - done);
        std::copy_n(bytes.get(), n, buffer.begin() + static_cast<std::ptrdiff_t>(done));
        blocks_.push_back({offset, got, std::move(bytes)});
        return done + n;
    }

  private:
    static constexpr std::size_t kHeadBytes = 8192;
    struct Block {
        std::uint64_t offset;
        std::size_t size;
        std::unique_ptr<std::uint8_t[]> bytes;
    };
    const ByteSource& inner_;
    std::uint64_t size_;
    mutable std::vector<Block> blocks_;
};

struct ScannedLine {
    JsonObject json;
    ScanResult result = ScanResult::ScanOpenFailed;
};

// The file as loading adds it (Add scan) and as the selection shows it (Show scan). The file is
// opened once: the Show scan of an unchanged file measures what the Add scan measured, so its
// texts come from the same record, and the title is read from the same bytes. The argument is
// in the file system's encoding, as the other commands take it, and is printed as given.
ScannedLine ScanOne(const std::string& argument) {
    SongTable table;
    std::string listEntry;
    std::string title;
    ScanResult result = ScanResult::ScanOpenFailed;
    const std::optional<std::string> path = FromNativePath(argument);
    if (const auto file = path ? ReadFile::Open(*path) : std::nullopt) {
        const FileByteSource fileSource(*file);
        const RememberingSource source(fileSource);
        result = ScanMpegSource(source, table.info());
        if (result == ScanResult::ScanOk) {
            table.ApplyScanMode(ScanMode::Add);
            table.Append(*path);
            listEntry = table.entries().back();
            table.ApplyScanMode(ScanMode::Show);
            std::vector<std::uint8_t> tag;
            const std::uint32_t id3v2Size = table.info().id3v2Size;
            if (id3v2Size != 0)
                tag = source.ReadRange(0, kId3v2HeaderSize + std::uint64_t{id3v2Size});
            // The last 128 bytes only matter when the ID3v2 tag holds no title: most files are
            // then measured with one read fewer.
            std::optional<std::string> found = ParseTagTitle(tag, {});
            if (!found && source.size() >= kId3v1Size) {
                found =
                    ParseTagTitle(tag, source.ReadRange(source.size() - kId3v1Size, kId3v1Size));
            }
            title = found.value_or(std::string(FileNameOf(*path, table.style())));
        }
    }
    const bool ok = result == ScanResult::ScanOk;
    const SongInfo& info = table.info();
    JsonObject line;
    line.AddUtf8String("path", argument)
        .AddInt("result", static_cast<int>(result))
        .AddUnsigned("seconds", info.seconds)
        .AddUnsigned("fileSize", info.fileSize)
        .AddUnsigned("id3v2Size", info.id3v2Size)
        .AddUnsigned("bitRate", info.bitRate)
        .AddUnsigned("sampleRate", info.sampleRate)
        .AddUnsigned("channelMode", info.channelMode)
        .AddUnsigned("rightsFlag", info.rightsFlag)
        .AddUnsigned("originalFlag", info.originalFlag)
        .AddString("listEntry", ok ? listEntry : "")
        .AddString("timeText", ok ? table.timeText() : "")
        .AddString("sizeText", ok ? table.sizeText() : "")
        .AddString("bitRateText", ok ? table.bitRateText() : "")
        .AddString("title", ok ? title : "");
    return {std::move(line), result};
}

}  // namespace

int RunScan(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    std::vector<std::string> files(args);
    if (!files.empty() && files.front() == "--") {
        files.erase(files.begin());
    } else if (!files.empty() && files.front().starts_with("-")) {
        err << "sorrelbox-cli scan: unknown option: " << files.front() << "\n" << kScanUsage;
        return 2;
    }
    if (files.empty()) {
        err << kScanUsage;
        return 2;
    }
    // Measured on the loading flows' read-ahead threads, written in the order given. A long
    // look-ahead: nothing waits for the lines but the output.
    ReadAhead<ScannedLine> ahead(
        files.size(), [&files](std::size_t i) { return ScanOne(files[i]); }, kReadAheadWorkers,
        kScanWindow, kScanBatch);
    bool allOk = true;
    for (std::size_t i = 0; i < files.size(); ++i) {
        const ScannedLine line = ahead.Take(i);
        WriteJsonLine(out, line.json);
        allOk = allOk && line.result == ScanResult::ScanOk;
    }
    out.flush();
    return allOk ? 0 : 1;
}

}  // namespace sorrelbox::cli
