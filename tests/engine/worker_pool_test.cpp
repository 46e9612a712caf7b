// The worker pool and the thread-count setting.

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include "engine/worker_pool.h"
#include "tests/engine/thread_setting.h"

namespace {

struct Tally {
    std::mutex mutex;
    std::vector<int> order;
    std::vector<unsigned> workers;
    std::atomic<int> running{0};
    std::atomic<int> mostAtOnce{0};
};

struct Task {
    Tally* tally;
    int id;
};

void recordTask(void* context, unsigned worker)
{
    auto* task = static_cast<Task*>(context);
    Tally& tally = *task->tally;
    const int now = ++tally.running;
    int most = tally.mostAtOnce.load();
    while (now > most && !tally.mostAtOnce.compare_exchange_weak(most, now)) {
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    {
        std::lock_guard<std::mutex> lock(tally.mutex);
        tally.order.push_back(task->id);
        tally.workers.push_back(worker);
    }
    --tally.running;
}

}   // namespace

TEST(WorkerPool, RunsEveryJobOnceBeforeItIsDestroyed)
{
    Tally tally;
    std::vector<Task> tasks;
    for (int i = 0; i < 40; ++i)
        tasks.push_back({&tally, i});
    unsigned size = 0;
    {
        WorkerPool pool(3);
        size = pool.size();
        ASSERT_EQ(size, 3u);
        for (Task& task : tasks)
            pool.submit(recordTask, &task);
    }
    ASSERT_EQ(tally.order.size(), 40u);
    std::vector<int> seen(40, 0);
    for (int id : tally.order)
        ++seen[id];
    EXPECT_EQ(seen, std::vector<int>(40, 1));
    for (unsigned worker : tally.workers)
        EXPECT_LT(worker, size);
    EXPECT_LE(tally.mostAtOnce.load(), 3);
}

TEST(WorkerPool, OneWorkerRunsJobsInTheOrderTheyCame)
{
    Tally tally;
    std::vector<Task> tasks;
    for (int i = 0; i < 12; ++i)
        tasks.push_back({&tally, i});
    {
        WorkerPool pool(1);
        for (Task& task : tasks)
            pool.submit(recordTask, &task);
    }
    std::vector<int> expected;
    for (int i = 0; i < 12; ++i)
        expected.push_back(i);
    EXPECT_EQ(tally.order, expected);
    EXPECT_EQ(tally.workers, std::vector<unsigned>(12, 0u));
    EXPECT_EQ(tally.mostAtOnce.load(), 1);
}

TEST(WorkerPool, AskingForTooManyWorkersGivesTheMost)
{
    WorkerPool pool(kMaxWorkers + 50);
    EXPECT_LE(pool.size(), kMaxWorkers);
    EXPECT_GT(pool.size(), 0u);
}

TEST(WorkerCount, ComesFromTheVariableWhenItIsAUsableNumber)
{
    const unsigned cores = std::thread::hardware_concurrency();
    const unsigned coreDefault = cores == 0 ? 1 : cores < kMaxWorkers ? cores : kMaxWorkers;
    const struct {
        const char* value;
        unsigned expected;
    } cases[] = {
        {"1", 1}, {"2", 2}, {"3", 3}, {"8", 8}, {"256", 256},
        {"", coreDefault}, {"0", coreDefault}, {"-2", coreDefault}, {"257", coreDefault},
        {"4 threads", coreDefault}, {"four", coreDefault}, {"99999999999999999999", coreDefault},
    };
    for (const auto& c : cases) {
        ThreadSetting setting(c.value);
        EXPECT_EQ(configuredWorkerCount(), c.expected) << "TOLVARINX_THREADS=\"" << c.value << "\"";
    }
}

TEST(SharedWorkerPool, OnePoolWhileHeldAndJobsFromManyThreads)
{
    std::shared_ptr<WorkerPool> first = sharedWorkerPool(2);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(sharedWorkerPool(5), first);   // the pool there is, whatever the count asked
    // Several searches submit at once; every job runs exactly once.
    constexpr int kSubmitters = 4;
    constexpr int kJobsEach = 200;
    std::atomic<int> runs[kSubmitters * kJobsEach] = {};
    std::vector<std::thread> submitters;
    for (int s = 0; s < kSubmitters; ++s)
        submitters.emplace_back([&, s] {
            std::shared_ptr<WorkerPool> pool = sharedWorkerPool(2);
            for (int j = 0; j < kJobsEach; ++j)
                pool->submit([](void* run, unsigned) { ++*static_cast<std::atomic<int>*>(run); },
                             &runs[s * kJobsEach + j]);
        });
    for (std::thread& submitter : submitters)
        submitter.join();
    first.reset();   // the last holder: the queue runs out, the workers join
    for (const std::atomic<int>& run : runs)
        EXPECT_EQ(run.load(), 1);
    std::shared_ptr<WorkerPool> next = sharedWorkerPool(3);
    ASSERT_NE(next, nullptr);
    EXPECT_EQ(next->size(), 3u);
}
