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
