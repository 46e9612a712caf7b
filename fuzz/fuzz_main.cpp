// The libFuzzer entry of one target; TOLVARINX_FUZZ_TARGET names it (see
// fuzz_targets.cpp). A broken property aborts, which libFuzzer reports as a
// crash and saves the input.

#include <cstdio>
#include <cstdlib>

#include "fuzz/allocation_cap.h"
#include "fuzz/fuzz_checks.h"

namespace {

FuzzCheck check = nullptr;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    capAllocations();
    const FuzzTarget* target = findFuzzTarget(TOLVARINX_FUZZ_TARGET);
    if (target == nullptr) {
        std::fprintf(stderr, "unknown fuzz target %s\n", TOLVARINX_FUZZ_TARGET);
        std::abort();
    }
    check = target->check;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string problem = check(data, size);
    if (!problem.empty()) {
        std::fprintf(stderr, "\n==tolvarinx== property broken (%s): %s\n", TOLVARINX_FUZZ_TARGET, problem.c_str());
        std::abort();
    }
    return 0;
}
