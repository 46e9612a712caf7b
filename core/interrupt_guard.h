#pragma once
// Holds off, for the lifetime of the object, the interrupts that could end the
// process in the middle of a change to the interrupt list of replacing_file.h:
// on POSIX the calling thread's asynchronous signals are blocked (and the old
// mask restored), so a handler that runs on the thread writing the files (the
// console passes signals that land elsewhere on to it) never sees a half-made
// change; on Windows a process-wide lock is held, which the console control
// handler takes too. Nestable on POSIX; on Windows the lock is recursive for
// its own thread. Async-signal-safe on POSIX.

#include <cstdint>

class InterruptGuard {
public:
    InterruptGuard();
    ~InterruptGuard();
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;

private:
    alignas(8) unsigned char saved_[128];   // the platform's saved state (a sigset_t on POSIX)
};
