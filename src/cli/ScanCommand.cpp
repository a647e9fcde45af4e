#include <algorithm>
#include <atomic>
#include <memory>
#include <optional>
#include <ostream>
#include <span>
#include <thread>
#include <vector>

#include "Commands.h"
#include "Json.h"
#include "analysis/ByteSource.h"
#include "analysis/Id3Reader.h"
#include "analysis/MpegScan.h"
#include "analysis/SongTable.h"
#include "platform/FileOps.h"
#include "platform/PathStyle.h"

namespace sorrelbox::cli {
namespace {

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

// The file as loading adds it (Add scan) and as the selection shows it (Show scan). The file is
// opened once: the Show scan of an unchanged file measures what the Add scan measured, so its
// texts come from the same record, and the title is read from the same bytes.
JsonObject ScanOne(const std::string& path, ScanResult* result) {
    SongTable table;
    std::string listEntry;
    std::string title;
    if (const auto file = ReadFile::Open(path)) {
        const FileByteSource fileSource(*file);
        const RememberingSource source(fileSource);
        *result = ScanMpegSource(source, table.info());
        if (*result == ScanResult::ScanOk) {
            table.ApplyScanMode(ScanMode::Add);
            table.Append(path);
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
            title = found.value_or(std::string(FileNameOf(path, table.style())));
        }
    } else {
        *result = ScanResult::ScanOpenFailed;
    }
    const bool ok = *result == ScanResult::ScanOk;
    const SongInfo& info = table.info();
    JsonObject line;
    line.AddString("path", path)
        .AddInt("result", static_cast<int>(*result))
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
    return line;
}

// Measuring a file is a few system calls and little else, and the page cache serves them on
// every core at once: files are measured on a few threads, in batches, so the lines still
// come out in the order given and a long list is not held in memory whole.
constexpr std::size_t kBatchFiles = 512;
constexpr std::size_t kFilesPerThread = 64;  // fewer are not worth a thread's start

template <typename Work>
void ForEachOnThreads(std::size_t count, const Work& work) {
    const std::size_t cores = std::max(1u, std::thread::hardware_concurrency());
    const std::size_t threads =
        std::clamp<std::size_t>(count / kFilesPerThread, 1, std::min<std::size_t>(cores, 8));
    std::atomic<std::size_t> next{0};
    const auto run = [&] {
        for (std::size_t i = next++; i < count; i = next++) work(i);
    };
    std::vector<std::jthread> helpers;
    for (std::size_t t = 1; t < threads; ++t) helpers.emplace_back(run);
    run();
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
    bool allOk = true;
    for (std::size_t start = 0; start < files.size(); start += kBatchFiles) {
        const std::span<const std::string> batch(files.data() + start,
                                                 std::min(kBatchFiles, files.size() - start));
        std::vector<JsonObject> lines(batch.size());
        std::vector<ScanResult> results(batch.size(), ScanResult::ScanOk);
        ForEachOnThreads(batch.size(),
                         [&](std::size_t i) { lines[i] = ScanOne(batch[i], &results[i]); });
        for (std::size_t i = 0; i < batch.size(); ++i) {
            WriteJsonLine(out, lines[i]);
            allOk = allOk && results[i] == ScanResult::ScanOk;
        }
    }
    out.flush();
    return allOk ? 0 : 1;
}

}  // namespace sorrelbox::cli
