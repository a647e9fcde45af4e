#include <ostream>

#include "Commands.h"

namespace sorrelbox::cli {
namespace {

constexpr const char* kUsage =
    "usage: sorrelbox-cli COMMAND ...\n"
    "  scan FILE...                          measure MP3 files, one JSON line each\n"
    "  list OUTPUT SOURCE...                 write the text song list\n"
    "  m3u [--relative|--full] OUTPUT SOURCE...  write an M3U playlist\n"
    "  tag show FILE                         read the tags as the editor does\n"
    "  tag set FILE [--v1 KEY=VALUE]... [--v2 KEY=VALUE]... [--no-v1] [--no-v2] [--name TEXT]\n";

}  // namespace

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.empty()) {
        err << kUsage;
        return 2;
    }
    const std::string& command = args.front();
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    if (command == "scan") return RunScan(rest, out, err);
    if (command == "list") return RunList(rest, out, err);
    if (command == "m3u") return RunM3u(rest, out, err);
    if (command == "tag") return RunTag(rest, out, err);
    if (command == "--help" || command == "-h" || command == "help") {
        out << kUsage;
        return 0;
    }
    err << "sorrelbox-cli: unknown command: " << command << "\n" << kUsage;
    return 2;
}

}  // namespace sorrelbox::cli
