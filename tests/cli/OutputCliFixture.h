#pragma once

#include <gtest/gtest.h>

#include <sstream>

#include "Commands.h"
#include "support/Mp3Builder.h"
#include "support/TempDir.h"

namespace sorrelbox::test {

// Runs the CLI in-process with a temporary folder as the current folder (where sorrelbox.ini
// is read from).
class OutputCliTest : public ::testing::Test {
  protected:
    OutputCliTest() { std::filesystem::current_path(dir.path()); }
    ~OutputCliTest() override { std::filesystem::current_path(saved_); }

    int Run(std::vector<std::string> args) {
        std::ostringstream out, err;
        const int status = cli::RunCli(args, out, err);
        stdout_ = out.str();
        stderr_ = err.str();
        return status;
    }
    std::string Read(const std::string& name) const { return ReadAll(dir.File(name)); }

    const std::filesystem::path saved_ = std::filesystem::current_path();
    TempDir dir;
    std::string stdout_, stderr_;
};

}  // namespace sorrelbox::test
