#include "engine/worker_pool.h"

#include <new>
#include <system_error>

#include "engine/png_optimizer.h"

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
    static unsigned sharedThreads = 0;   // the count the shared pool was asked for
    std::lock_guard<std::mutex> lock(mutex);
    std::shared_ptr<WorkerPool> pool = shared.lock();
    if (pool && sharedThreads == threads)
        return pool;
    try {
        pool = std::make_shared<WorkerPool>(threads);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    if (pool->size() == 0)
        return nullptr;
    shared = pool;
    sharedThreads = threads;
    return pool;
}

namespace {

std::atomic<unsigned> threadSetting{0};

}   // namespace

unsigned setWorkerThreadCount(unsigned count)
{
    return threadSetting.exchange(count);
}

unsigned workerThreadCount()
{
    unsigned count = threadSetting.load();
    if (count == 0)
        count = std::thread::hardware_concurrency();
    return count == 0 ? 1 : count < kMaxWorkers ? count : kMaxWorkers;
}

TaskGroup::TaskGroup(WorkerPool* pool) : pool_(pool && pool->size() > 0 ? pool : nullptr) {}

TaskGroup::~TaskGroup()
{
    stop();
    std::unique_lock<std::mutex> lock(mutex_);
    ended_.wait(lock, [this] { return outstanding_ == 0; });
}

void TaskGroup::submit(std::function<void()> task)
{
    entries_.push_back({this, std::move(task), false, false});
    Entry& entry = entries_.back();
    if (!pool_)
        return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ++outstanding_;
    }
    entry.queued = true;
    try {
        pool_->submit(runQueued, &entry);
    } catch (const std::bad_alloc&) {
        entry.queued = false;   // wait runs it
        std::lock_guard<std::mutex> lock(mutex_);
        --outstanding_;
    }
}

void TaskGroup::wait()
{
    Entry& entry = entries_[waited_++];
    if (!entry.queued) {
        if (!stop_.load())
            entry.task();
        return;
    }
    std::unique_lock<std::mutex> lock(mutex_);
    ended_.wait(lock, [&entry] { return entry.ended; });
}

void TaskGroup::runQueued(void* context, unsigned)
{
    Entry& entry = *static_cast<Entry*>(context);
    TaskGroup& group = *entry.group;
    if (!group.stop_.load())
        entry.task();
    std::lock_guard<std::mutex> lock(group.mutex_);
    entry.ended = true;
    --group.outstanding_;
    group.ended_.notify_all();
}
