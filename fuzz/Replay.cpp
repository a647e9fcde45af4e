// Runs one fuzz target over its built-in seeds and over every file of the given folders (the
// regression inputs): what CI does under the sanitizers, without libFuzzer.
//
//   fuzz_replay TARGET [FOLDER_OR_FILE...]

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "FuzzTarget.h"

namespace {

std::string ReadBytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void Run(const sorrelbox::fuzz::FuzzTarget& target, const std::string& bytes,
         const std::string& label) {
    std::fprintf(stderr, "%s: %s (%zu bytes)\n", std::string(target.name).c_str(), label.c_str(),
                 bytes.size());
    target.run(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: fuzz_replay TARGET [FOLDER_OR_FILE...]\ntargets:");
        for (const auto& target : sorrelbox::fuzz::AllTargets())
            std::fprintf(stderr, " %s", std::string(target.name).c_str());
        std::fprintf(stderr, "\n");
        return 2;
    }
    const sorrelbox::fuzz::FuzzTarget* target = sorrelbox::fuzz::FindTarget(argv[1]);
    if (!target) {
        std::fprintf(stderr, "unknown target %s\n", argv[1]);
        return 2;
    }

    std::size_t count = 0;
    const std::vector<std::string> seeds = target->seeds();
    for (std::size_t i = 0; i < seeds.size(); ++i) {
        Run(*target, seeds[i], "seed " + std::to_string(i));
        ++count;
    }
    for (int i = 2; i < argc; ++i) {
        const std::filesystem::path place = argv[i];
        std::error_code ec;
        if (std::filesystem::is_regular_file(place, ec)) {
            Run(*target, ReadBytes(place), place.string());
            ++count;
            continue;
        }
        if (!std::filesystem::is_directory(place, ec)) continue;  // no inputs recorded yet
        std::vector<std::filesystem::path> files;
        for (const auto& entry : std::filesystem::directory_iterator(place, ec)) {
            if (entry.is_regular_file()) files.push_back(entry.path());
        }
        std::sort(files.begin(), files.end());
        for (const auto& file : files) {
            Run(*target, ReadBytes(file), file.string());
            ++count;
        }
    }
    std::printf("%s: %zu inputs replayed\n", argv[1], count);
    return 0;
}
