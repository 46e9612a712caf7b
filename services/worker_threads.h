#pragma once
// TOLVARINX_THREADS, the environment's override of the engine's worker
// thread count, for tests and benchmarks. The engine reads no environment:
// each front end passes this to setWorkerThreadCount (png_optimizer.h).

// A thread count as the override spells it: a whole number from 1 to
// kMaxWorkers; 0 (one thread per core) for null, empty or anything else.
unsigned parseWorkerThreads(const char* text);

// TOLVARINX_THREADS parsed as above; 0 when it is not set. Reads the
// environment, so not while another thread changes it (setenv).
unsigned workerThreadsFromEnvironment();
