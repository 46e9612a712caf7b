#include "services/worker_threads.h"

#include <cstdlib>

#include "engine/worker_pool.h"

unsigned parseWorkerThreads(const char* text)
{
    if (!text || !*text)
        return 0;
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    return *end == '\0' && value >= 1 && value <= static_cast<long>(kMaxWorkers) ? static_cast<unsigned>(value)
                                                                                 : 0;
}

unsigned workerThreadsFromEnvironment()
{
    return parseWorkerThreads(std::getenv("TOLVARINX_THREADS"));
}
