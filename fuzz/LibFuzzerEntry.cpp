// The libFuzzer entry of one target; SORRELBOX_FUZZ_TARGET names it at compile time.

#include <cstdio>
#include <cstdlib>

#include "FuzzTarget.h"

namespace {

const sorrelbox::fuzz::FuzzTarget& Target() {
    static const sorrelbox::fuzz::FuzzTarget* target =
        sorrelbox::fuzz::FindTarget(SORRELBOX_FUZZ_TARGET);
    if (!target) {
        std::fprintf(stderr, "unknown fuzz target %s\n", SORRELBOX_FUZZ_TARGET);
        std::abort();
    }
    return *target;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return Target().run(data, size);
}
