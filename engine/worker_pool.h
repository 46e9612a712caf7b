#pragma once
// A small fixed pool of worker threads that run submitted jobs in the order
// they were submitted, the process's shared pool, its thread-count setting,
// and the task group through which the extended search and zopfli's parts
// hand their work to a pool.
//
// The pool knows nothing of what its jobs do: a job is a plain function and a
// context, and it is told the index of the worker that runs it, so callers can
// keep scratch memory per worker. Jobs must not throw and must not submit
// further jobs. submit may be called from several threads at once.

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
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
    // Throws std::bad_alloc, the job not queued, when the queue cannot grow.
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

// The pool the encoding searches of the process share, so conversions that
// run side by side (the console's folder mode) put their work on one set of
// workers instead of a set each: started with `threads` workers by the first
// caller asking for that count, joined when the last holder lets it go. A
// caller asking for another count while it runs gets a new pool that later
// callers share; the old one serves its holders until they let it go.
// Thread-safe. Null when no worker could be started.
std::shared_ptr<WorkerPool> sharedWorkerPool(unsigned threads);

// The thread count a conversion that starts now uses: setWorkerThreadCount's
// setting (png_optimizer.h), or the machine's core count (1 when unknown) for
// 0; at most kMaxWorkers. 1 means every compression runs on the calling thread.
unsigned workerThreadCount();

// Tasks run on a pool and consumed by one thread, the owner, in the order
// they were submitted: what the owner does with a task's result never depends
// on which task ended first. Without a pool (null, or one with no worker),
// and for a task the pool's queue refused, wait runs the task on the owner's
// thread, so the same work runs in the same order of consumption.
//
// Only the owner calls the members; tasks must not throw, must not call the
// group, and may poll stopping() to end early. The owner must not be one of
// the pool's workers (waiting there could hold the worker its task needs).
class TaskGroup {
public:
    explicit TaskGroup(WorkerPool* pool);
    // Stops the tasks not started and waits for those running, so nothing a
    // task uses is released under it.
    ~TaskGroup();
    TaskGroup(const TaskGroup&) = delete;
    TaskGroup& operator=(const TaskGroup&) = delete;

    // Adds a task; on the pool it may start at once. Throws std::bad_alloc
    // (the task dropped) when memory is short.
    void submit(std::function<void()> task);
    // Waits until the earliest task not yet waited for has ended, or was
    // skipped after stop(); runs it here when it is not on the pool. At most
    // one call per task submitted.
    void wait();
    // Tasks not started from now on are skipped; running ones see stopping().
    void stop() { stop_.store(true); }
    const std::atomic<bool>& stopping() const { return stop_; }

private:
    struct Entry {
        TaskGroup* group;
        std::function<void()> task;
        bool queued;   // on the pool; else wait runs it
        bool ended;    // guarded by mutex_ once queued
    };
    static void runQueued(void* context, unsigned worker);

    WorkerPool* pool_;
    std::deque<Entry> entries_;   // grows at the end only: workers' pointers stay valid
    size_t waited_ = 0;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::condition_variable ended_;
    size_t outstanding_ = 0;      // queued tasks not ended (guarded by mutex_)
};
