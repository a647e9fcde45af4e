// Writes every target's seeds as files for libFuzzer: OUTDIR/<target>/seed-<n>.
//
//   fuzz_seeds OUTDIR

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "FuzzTarget.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_seeds OUTDIR\n");
        return 2;
    }
    for (const auto& target : sorrelbox::fuzz::AllTargets()) {
        const std::filesystem::path folder = std::filesystem::path(argv[1]) / target.name;
        std::filesystem::create_directories(folder);
        const auto seeds = target.seeds();
        for (std::size_t i = 0; i < seeds.size(); ++i) {
            std::ofstream out(folder / ("seed-" + std::to_string(i)), std::ios::binary);
            out.write(seeds[i].data(), static_cast<std::streamsize>(seeds[i].size()));
            if (!out) {
                std::fprintf(stderr, "cannot write into %s\n", folder.c_str());
                return 1;
            }
        }
        std::printf("%s: %zu seeds\n", std::string(target.name).c_str(), seeds.size());
    }
    return 0;
}
