#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace sorrelbox::cli {

// Each command takes its arguments (after the command name) and returns the exit status:
// 0 success, 1 failure, 2 usage error.
int RunScan(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int RunList(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int RunM3u(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int RunTag(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// Dispatches argv (without the program name).
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace sorrelbox::cli
