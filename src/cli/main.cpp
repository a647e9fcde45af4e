#include <iostream>
#include <string>
#include <vector>

#include "Commands.h"
#include "platform/CodePage.h"

int main(int argc, char** argv) {
    std::string error;
    auto cp = sorrelbox::CodePageFromEnvironment(&error);
    if (!cp) {
        std::cerr << "sorrelbox-cli: " << error << "\n";
        return 2;
    }
    sorrelbox::SetActiveCodePage(*cp);
    std::vector<std::string> args(argv + 1, argv + argc);
    const int status = sorrelbox::cli::RunCli(args, std::cout, std::cerr);
    std::cout.flush();
    return std::cout.good() ? status : 1;
}
