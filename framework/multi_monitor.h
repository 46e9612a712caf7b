#pragma once
// Screen metrics that cover every monitor, with a fallback to the primary
// screen on systems without the multi-monitor functions.

#include <windows.h>

// Looks up the multi-monitor functions of user32 by name, once, on first use.
// Support is present only when all seven are found. User-interface thread only.
class MultiMonitorProbe {
public:
    // Returns the address of an exported function, or null when it is missing.
    using Lookup = FARPROC (*)(const char* name, void* context);

    // Looks the functions up in the loaded USER32 module.
    MultiMonitorProbe();
    // Looks them up through lookup (a replacement for testing the fallback).
    MultiMonitorProbe(Lookup lookup, void* context);

    // True when every function was found. Looks them up on the first call.
    bool supported();
    // The metric for index, through the looked-up GetSystemMetrics when
    // supported; otherwise the virtual screen is the primary screen and
    // SM_CMONITORS / SM_SAMEDISPLAYFORMAT are 1.
    int screenMetric(int index);
    // The rectangle spanned by all monitors (the primary screen in the fallback).
    RECT virtualScreenRect();

    // The names looked up, in order, stopping at the first that is missing.
    static constexpr int kFunctionCount = 7;
    static const char* const kFunctionNames[kFunctionCount];

private:
    void probe();

    Lookup lookup_;
    void* context_;
    bool probed_ = false;
    bool supported_ = false;
    // GetSystemMetrics first; the others only serve to test for support.
    FARPROC functions_[kFunctionCount] = {};
};

// The process-wide probe.
MultiMonitorProbe& multiMonitorProbe();
int screenMetric(int index);
RECT virtualScreenRect();
