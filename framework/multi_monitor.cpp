#include "framework/multi_monitor.h"

namespace {

FARPROC lookUpInUser32(const char* name, void*)
{
    HMODULE user32 = GetModuleHandleA("USER32");
    return user32 ? GetProcAddress(user32, name) : nullptr;
}

}  // namespace

const char* const MultiMonitorProbe::kFunctionNames[kFunctionCount] = {
    "GetSystemMetrics", "MonitorFromWindow", "MonitorFromRect",    "MonitorFromPoint",
    "EnumDisplayMonitors", "GetMonitorInfoA", "EnumDisplayDevicesA",
};

MultiMonitorProbe::MultiMonitorProbe() : lookup_(lookUpInUser32), context_(nullptr) {}

MultiMonitorProbe::MultiMonitorProbe(Lookup lookup, void* context) : lookup_(lookup), context_(context) {}

void MultiMonitorProbe::probe()
{
    probed_ = true;
    supported_ = true;
    for (int i = 0; i < kFunctionCount; ++i) {
        functions_[i] = lookup_(kFunctionNames[i], context_);
        if (!functions_[i]) {
            supported_ = false;
            break;
        }
    }
    if (!supported_) {
        for (FARPROC& function : functions_)
            function = nullptr;
    }
}

bool MultiMonitorProbe::supported()
{
    if (!probed_)
        probe();
    return supported_;
}

int MultiMonitorProbe::screenMetric(int index)
{
    if (supported()) {
        auto getSystemMetrics = reinterpret_cast<int(WINAPI*)(int)>(reinterpret_cast<void*>(functions_[0]));
        return getSystemMetrics(index);
    }
    switch (index) {
    case SM_XVIRTUALSCREEN:
    case SM_YVIRTUALSCREEN: return 0;
    case SM_CXVIRTUALSCREEN: return GetSystemMetrics(SM_CXSCREEN);
    case SM_CYVIRTUALSCREEN: return GetSystemMetrics(SM_CYSCREEN);
    case SM_CMONITORS:
    case SM_SAMEDISPLAYFORMAT: return 1;
    default: return GetSystemMetrics(index);
    }
}

RECT MultiMonitorProbe::virtualScreenRect()
{
    RECT r;
    r.left = screenMetric(SM_XVIRTUALSCREEN);
    r.top = screenMetric(SM_YVIRTUALSCREEN);
    r.right = r.left + screenMetric(SM_CXVIRTUALSCREEN);
    r.bottom = r.top + screenMetric(SM_CYVIRTUALSCREEN);
    return r;
}

MultiMonitorProbe& multiMonitorProbe()
{
    static MultiMonitorProbe probe;
    return probe;
}

int screenMetric(int index)
{
    return multiMonitorProbe().screenMetric(index);
}

RECT virtualScreenRect()
{
    return multiMonitorProbe().virtualScreenRect();
}
