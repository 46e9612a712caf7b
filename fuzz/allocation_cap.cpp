#include "fuzz/allocation_cap.h"

#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>

#if defined(__SANITIZE_ADDRESS__)
#define TOLVARINX_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TOLVARINX_ADDRESS_SANITIZER 1
#endif
#endif

#ifdef TOLVARINX_ADDRESS_SANITIZER

// Read by the sanitizer runtime before main; linked in because this file also
// defines capAllocations, which the executables call.
extern "C" const char* __asan_default_options()
{
    return "allocator_may_return_null=1:max_allocation_size_mb=32";
}

void capAllocations() {}

#else

void capAllocations()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    unsigned long long pages = 0;
    FILE* status = std::fopen("/proc/self/statm", "r");
    if (status == nullptr)
        return;
    const bool read = std::fscanf(status, "%llu", &pages) == 1;
    std::fclose(status);
    struct rlimit limit;
    if (!read || getrlimit(RLIMIT_AS, &limit) != 0)
        return;
    const rlim_t wanted = rlim_t(pages * (unsigned long long)sysconf(_SC_PAGESIZE) + (512ull << 20));
    if (limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur <= wanted)
        return;   // already as tight
    limit.rlim_cur = wanted;
    setrlimit(RLIMIT_AS, &limit);
}

#endif
