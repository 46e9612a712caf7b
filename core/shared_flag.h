#pragma once
// A 16-bit flag that one thread sets and another polls: the optimizer's cancel
// flag (ConvertRequest::cancelFlag) and the folder run's stop flag. The flag
// stays a plain int16_t in memory (its layout is part of the request), but
// every load and store after the flag is shared goes through these two
// functions, which are relaxed atomic operations: the race between the button
// and the worker is defined, and a reader learns "stop soon", no ordering of
// other data. Async-signal-safe and lock-free on every target we build.

#include <cstdint>

inline int16_t loadSharedFlag(const volatile int16_t* flag)
{
    return __atomic_load_n(flag, __ATOMIC_RELAXED);
}

inline void storeSharedFlag(volatile int16_t* flag, int16_t value)
{
    __atomic_store_n(flag, value, __ATOMIC_RELAXED);
}
