#include "core/interrupt_guard.h"

#include <pthread.h>
#include <signal.h>

static_assert(sizeof(sigset_t) <= 128, "InterruptGuard::saved_ holds a sigset_t");

// Every blockable signal: whichever one the program handles by ending, it
// waits until the guarded step is complete. pthread_sigmask is
// async-signal-safe, so handlers may take a guard too.
InterruptGuard::InterruptGuard()
{
    sigset_t all;
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, reinterpret_cast<sigset_t*>(saved_));
}

InterruptGuard::~InterruptGuard()
{
    pthread_sigmask(SIG_SETMASK, reinterpret_cast<const sigset_t*>(saved_), nullptr);
}
