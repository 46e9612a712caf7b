#include "engine/worker_pool.h"

#include <cstdlib>
#include <new>
#include <system_error>

WorkerPool::WorkerPool(unsigned threads)
{
    if (threads > kMaxWorkers)
        threads = kMaxWorkers;
    threads_.reserve(threads);
    for (unsigned i = 0; i < threads; ++i) {
        try {
            threads_.emplace_back(&WorkerPool::work, this, i);
        } catch (const std::system_error&) {
            break;   // run with the workers there are
        }
    }
}

WorkerPool::~WorkerPool()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    for (std::thread& thread : threads_)
        thread.join();
}

void WorkerPool::submit(Job job, void* context)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        queue_.push_back({job, context});
    }
    wake_.notify_one();
}

void WorkerPool::work(unsigned worker)
{
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
        if (queue_.empty())
            return;   // stopping, and nothing left to run
        const Entry entry = queue_.front();
        queue_.pop_front();
        lock.unlock();
        entry.job(entry.context, worker);
        lock.lock();
    }
}

std::shared_ptr<WorkerPool> sharedWorkerPool(unsigned threads)
{
    static std::mutex mutex;
    static std::weak_ptr<WorkerPool> shared;
    std::lock_guard<std::mutex> lock(mutex);
    std::shared_ptr<WorkerPool> pool = shared.lock();
    if (pool)
        return pool;
    try {
        pool = std::make_shared<WorkerPool>(threads);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    if (pool->size() == 0)
        return nullptr;
    shared = pool;
    return pool;
}

unsigned configuredWorkerCount()
{
    const char* text = std::getenv("TOLVARINX_THREADS");
    if (text && *text) {
        char* end = nullptr;
        const long value = std::strtol(text, &end, 10);
        if (*end == '\0' && value >= 1 && value <= static_cast<long>(kMaxWorkers))
            return static_cast<unsigned>(value);
    }
    const unsigned cores = std::thread::hardware_concurrency();
    return cores == 0 ? 1 : cores < kMaxWorkers ? cores : kMaxWorkers;
}
