#include <ostream>

#include "Commands.h"
#include "SourceLoading.h"

namespace sorrelbox::cli {

int RunM3u(const std::vector<std::string>& args, std::ostream&, std::ostream& err) {
    constexpr const char* kUsage =
        "usage: sorrelbox-cli m3u [--relative|--full] OUTPUT SOURCE...\n";
    std::optional<M3uMode> mode;
    std::size_t first = 0;
    for (; first < args.size() && args[first].starts_with("--"); ++first) {
        const std::string& option = args[first];
        if (option == "--") {
            ++first;
            break;
        }
        std::optional<M3uMode> chosen;
        if (option == "--relative") chosen = M3uMode::Relative;
        if (option == "--full") chosen = M3uMode::Full;
        if (!chosen || (mode && *mode != *chosen)) {
            err << kUsage;
            return 2;
        }
        mode = chosen;
    }
    const std::vector<std::string> operands(args.begin() + static_cast<std::ptrdiff_t>(first),
                                            args.end());
    if (operands.size() < 2) {
        err << kUsage;
        return 2;
    }
    return RunOutputCommand(OutputKind::M3u, mode, operands, err);
}

}  // namespace sorrelbox::cli
