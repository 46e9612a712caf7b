#pragma once
// A small fixed pool of worker threads that run submitted jobs in the order
// they were submitted.
//
// The pool knows nothing of what its jobs do: a job is a plain function and a
// context, and it is told the index of the worker that runs it, so callers can
// keep scratch memory per worker. Jobs must not throw and must not submit
// further jobs. submit may be called from several threads at once.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

// The most workers a pool runs.
constexpr unsigned kMaxWorkers = 256;

class WorkerPool {
public:
    using Job = void (*)(void* context, unsigned worker);

    // Starts up to `threads` workers (at most kMaxWorkers); fewer when the system refuses a thread
    // (size() tells how many run, possibly 0).
    explicit WorkerPool(unsigned threads);
    // Runs every job still queued, then joins the workers.
    ~WorkerPool();
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    unsigned size() const { return static_cast<unsigned>(threads_.size()); }
    // Queues a job; the first idle worker runs it. Only valid when size() > 0.
    void submit(Job job, void* context);

private:
    struct Entry {
        Job job;
        void* context;
    };
    void work(unsigned worker);

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Entry> queue_;
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};

// The pool every encoding search of the process shares, so conversions that
// run side by side (the console's folder mode) put their trials on one set of
// workers instead of a set each: started with `threads` workers by the first
// caller while no pool exists, joined when the last holder lets it go.
// Thread-safe. Null when no worker could be started.
std::shared_ptr<WorkerPool> sharedWorkerPool(unsigned threads);

// The number of threads the encoding search uses: TOLVARINX_THREADS when it
// holds a whole number from 1 to kMaxWorkers, else the machine's core count (1 when
// unknown). 1 means every trial runs on the calling thread.
unsigned configuredWorkerCount();
