#include <ostream>

#include "Commands.h"
#include "Json.h"
#include "analysis/Id3Reader.h"
#include "analysis/SongTable.h"
#include "platform/PathStyle.h"

namespace sorrelbox::cli {
namespace {

constexpr const char* kScanUsage =
    "usage: sorrelbox-cli scan FILE...\n"
    "  one JSON line per FILE: path, result (0 ok, 1 open failed, 2 no header), seconds,\n"
    "  fileSize, id3v2Size, bitRate, sampleRate, channelMode, rightsFlag, originalFlag,\n"
    "  listEntry, timeText, sizeText, bitRateText, title\n";

// The file as loading adds it (Add scan) and as the selection shows it (Show scan).
JsonObject ScanOne(const std::string& path, ScanResult* result) {
    SongTable table;
    *result = table.ScanMpegFile(path, ScanMode::Add);
    std::string listEntry;
    std::string title;
    if (*result == ScanResult::ScanOk) {
        table.Append(path);
        listEntry = table.entries().back();
        *result = table.ScanMpegFile(path, ScanMode::Show);
        if (*result == ScanResult::ScanOk) {
            title = ReadDisplayTitle(path, table.info().id3v2Size, table.style());
        }
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
    for (const std::string& path : files) {
        ScanResult result = ScanResult::ScanOk;
        WriteJsonLine(out, ScanOne(path, &result));
        allOk = allOk && result == ScanResult::ScanOk;
    }
    out.flush();
    return allOk ? 0 : 1;
}

}  // namespace sorrelbox::cli
