#include "tests/engine/thread_setting.h"

#include <cstdlib>

ThreadSetting::ThreadSetting(const std::string& value)
{
    if (const char* old = std::getenv("TOLVARINX_THREADS")) {
        hadValue_ = true;
        oldValue_ = old;
    }
    setThreadVariable(value);
}

ThreadSetting::~ThreadSetting()
{
    setThreadVariable(hadValue_ ? oldValue_ : std::string());
}
