#include "tests/engine/thread_setting.h"

#include <cstdlib>

void setThreadVariable(const std::string& value)
{
    if (value.empty())
        unsetenv("TOLVARINX_THREADS");
    else
        setenv("TOLVARINX_THREADS", value.c_str(), 1);
}
