#include "tests/engine/thread_setting.h"

#include <cstdlib>

void setThreadVariable(const std::string& value)
{
    // An empty value removes the variable from the C runtime's environment.
    _putenv_s("TOLVARINX_THREADS", value.c_str());
}
