#include "core/interrupt_guard.h"

#include <windows.h>

namespace {

// The console control handler runs on a thread of its own; it takes this lock
// before it removes the listed temporary files, so it never sees a file
// created but not yet listed, or renamed but still listed. Initialised on
// first use (InitOnce), never deleted.
INIT_ONCE g_lockOnce = INIT_ONCE_STATIC_INIT;
CRITICAL_SECTION g_lock;

BOOL CALLBACK initialiseLock(PINIT_ONCE, PVOID, PVOID*)
{
    InitializeCriticalSection(&g_lock);
    return TRUE;
}

CRITICAL_SECTION* lock()
{
    InitOnceExecuteOnce(&g_lockOnce, initialiseLock, nullptr, nullptr);
    return &g_lock;
}

}  // namespace

InterruptGuard::InterruptGuard()
{
    EnterCriticalSection(lock());
}

InterruptGuard::~InterruptGuard()
{
    LeaveCriticalSection(lock());
}
