#include <ostream>

#include "Commands.h"
#include "SourceLoading.h"

namespace sorrelbox::cli {

int RunList(const std::vector<std::string>& args, std::ostream&, std::ostream& err) {
    std::vector<std::string> operands(args);
    if (!operands.empty() && operands.front() == "--") operands.erase(operands.begin());
    if (operands.size() < 2 || (operands.front().starts_with("--") && args.front() != "--")) {
        err << "usage: sorrelbox-cli list OUTPUT SOURCE...\n";
        return 2;
    }
    return RunOutputCommand(OutputKind::TextList, std::nullopt, operands, err);
}

}  // namespace sorrelbox::cli
