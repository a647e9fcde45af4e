#include <ostream>

#include "Commands.h"

namespace sorrelbox::cli {

// Not built yet: reported as a usage error so callers can tell.
int RunScan(const std::vector<std::string>&, std::ostream&, std::ostream& err) {
    err << "sorrelbox-cli: the scan command is not available in this build\n";
    return 2;
}

}  // namespace sorrelbox::cli
