#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <sstream>
#include <string>
#include <vector>

#include "Commands.h"
#include "support/Mp3Builder.h"
#include "support/TempDir.h"

namespace sorrelbox::test {

// Runs the CLI in-process with a temporary folder as the current folder (where sorrelbox.ini
// is read from).
class OutputCliTest : public ::testing::Test {
  protected:
    OutputCliTest() {
        char buffer[4096];
        saved_ = ::getcwd(buffer, sizeof buffer) ? buffer : "/";
        EXPECT_EQ(::chdir(dir.path().c_str()), 0);
    }
    ~OutputCliTest() override { (void)::chdir(saved_.c_str()); }

    int Run(std::vector<std::string> args) {
        std::ostringstream out, err;
        const int status = cli::RunCli(args, out, err);
        stdout_ = out.str();
        stderr_ = err.str();
        return status;
    }
    // A song of `seconds` (32 kbit/s CBR).
    std::string Song(const std::string& name, unsigned seconds) {
        MpegHeader header;
        header.bitRateIndex = 1;
        return dir.Write(name, CbrFile(seconds == 0 ? 417 : seconds * 4000u, header));
    }
    std::string Read(const std::string& name) const { return ReadAll(dir.File(name)); }

    TempDir dir;
    std::string stdout_;
    std::string stderr_;

  private:
    std::string saved_;
};

}  // namespace sorrelbox::test
