#include "tests/engine/thread_setting.h"

#include <cstdlib>

#include "engine/png_optimizer.h"

ThreadSetting::ThreadSetting(unsigned count) : previous_(setWorkerThreadCount(count)) {}

ThreadSetting::~ThreadSetting()
{
    setWorkerThreadCount(previous_);
}

ThreadVariable::ThreadVariable(const std::string& value)
{
    if (const char* old = std::getenv("TOLVARINX_THREADS")) {
        hadValue_ = true;
        oldValue_ = old;
    }
    setThreadVariable(value);
}

ThreadVariable::~ThreadVariable()
{
    setThreadVariable(hadValue_ ? oldValue_ : std::string());
}
