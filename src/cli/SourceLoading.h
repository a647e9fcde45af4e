#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "output/ListOutputs.h"

namespace sorrelbox::cli {

enum class OutputKind { TextList, M3u };

// Runs "list" or "m3u" after their options: loads the sources into an empty table with the
// settings of sorrelbox.ini in the current folder, then writes output. mode overrides soutai.
int RunOutputCommand(OutputKind kind, std::optional<M3uMode> mode,
                     const std::vector<std::string>& operands, std::ostream& err);

// One message box as the CLI prints it: "CAPTION: TEXT" in UTF-8, a line break in the text
// written as the two characters \n.
std::string MessageLine(std::string_view caption, std::string_view text);

}  // namespace sorrelbox::cli
