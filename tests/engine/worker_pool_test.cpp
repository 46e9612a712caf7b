// The worker pool, the task group on it, the thread-count setting and the
// front ends' override of it.

#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/png_optimizer.h"
#include "engine/worker_pool.h"
#include "services/worker_threads.h"
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

TEST(WorkerCount, ComesFromTheSettingClampedOrTheCores)
{
    const unsigned cores = std::thread::hardware_concurrency();
    const unsigned coreDefault = cores == 0 ? 1 : cores < kMaxWorkers ? cores : kMaxWorkers;
    const struct {
        unsigned setting;
        unsigned expected;
    } cases[] = {
        {1, 1}, {2, 2}, {3, 3}, {kMaxWorkers, kMaxWorkers}, {0, coreDefault},
        {kMaxWorkers + 1, kMaxWorkers}, {UINT_MAX, kMaxWorkers},
    };
    ThreadSetting outer(7);
    for (const auto& c : cases) {
        {
            ThreadSetting setting(c.setting);
            EXPECT_EQ(workerThreadCount(), c.expected) << c.setting;
        }
        EXPECT_EQ(workerThreadCount(), 7u) << "not restored after " << c.setting;
    }
    EXPECT_EQ(setWorkerThreadCount(5), 7u);   // the setting replaced, as given
    EXPECT_EQ(setWorkerThreadCount(7), 5u);
}

TEST(WorkerCount, TheFrontEndsOverrideIsAUsableNumberOrNothing)
{
    const struct {
        const char* value;   // "" leaves TOLVARINX_THREADS unset
        unsigned expected;
    } cases[] = {
        {"1", 1}, {"2", 2}, {"3", 3}, {"8", 8}, {"256", 256},
        {"", 0}, {"0", 0}, {"-2", 0}, {"257", 0},
        {"4 threads", 0}, {"four", 0}, {"99999999999999999999", 0},
    };
    for (const auto& c : cases) {
        ThreadVariable variable(c.value);
        EXPECT_EQ(workerThreadsFromEnvironment(), c.expected) << "TOLVARINX_THREADS=\"" << c.value << "\"";
        EXPECT_EQ(parseWorkerThreads(c.value), c.expected) << c.value;
    }
    EXPECT_EQ(parseWorkerThreads(nullptr), 0u);
}

TEST(SharedWorkerPool, OnePoolPerCountWhileHeldAndJobsFromManyThreads)
{
    std::shared_ptr<WorkerPool> first = sharedWorkerPool(2);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(sharedWorkerPool(2), first);
    // Another count: a new pool for those who start now; the first serves on.
    std::shared_ptr<WorkerPool> other = sharedWorkerPool(3);
    ASSERT_NE(other, nullptr);
    EXPECT_NE(other, first);
    EXPECT_EQ(other->size(), 3u);
    EXPECT_EQ(sharedWorkerPool(3), other);
    other.reset();
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
    std::shared_ptr<WorkerPool> next = sharedWorkerPool(2);
    ASSERT_NE(next, nullptr);
    EXPECT_EQ(next->size(), 2u);
}

namespace {

// The pools a task group runs on: none, one that started no worker (both
// run the tasks on the owner's thread), and real ones.
struct GroupPool {
    const char* name;
    bool exists;
    unsigned threads;
};
const GroupPool kGroupPools[] = {
    {"no pool", false, 0}, {"no worker", true, 0}, {"one worker", true, 1}, {"three workers", true, 3},
};

std::unique_ptr<WorkerPool> makeGroupPool(const GroupPool& p)
{
    return p.exists ? std::make_unique<WorkerPool>(p.threads) : nullptr;
}

}   // namespace

TEST(TaskGroup, EachWaitSeesItsTaskEndedInSubmissionOrder)
{
    for (const GroupPool& p : kGroupPools) {
        SCOPED_TRACE(p.name);
        std::unique_ptr<WorkerPool> pool = makeGroupPool(p);
        constexpr int kTasks = 24;
        std::vector<int> results(kTasks, -1);   // plain ints: a wait that returned early races
        std::atomic<int> runs{0};
        std::vector<std::thread::id> threads(kTasks);
        TaskGroup group(pool.get());
        for (int i = 0; i < kTasks; ++i)
            group.submit([&, i] {
                // Later tasks are quicker, so on several workers they end first.
                std::this_thread::sleep_for(std::chrono::microseconds(100 * ((kTasks - i) % 5)));
                threads[i] = std::this_thread::get_id();
                results[i] = i * i;
                ++runs;
            });
        for (int i = 0; i < kTasks; ++i) {
            group.wait();
            EXPECT_EQ(results[i], i * i) << i;
            if (p.threads == 0) {   // on the owner's thread, each when waited for
                EXPECT_EQ(runs.load(), i + 1);
                EXPECT_EQ(threads[i], std::this_thread::get_id());
            } else {
                EXPECT_NE(threads[i], std::this_thread::get_id());
            }
        }
        EXPECT_EQ(runs.load(), kTasks);
    }
}

TEST(TaskGroup, StopSkipsTheTasksNotStartedAndTellsTheRunningOnes)
{
    for (const GroupPool& p : kGroupPools) {
        SCOPED_TRACE(p.name);
        std::unique_ptr<WorkerPool> pool = makeGroupPool(p);
        std::atomic<unsigned> blocking{0};
        std::atomic<int> skippedRan{0};
        TaskGroup group(pool.get());
        const std::atomic<bool>* stopping = &group.stopping();
        // One task per worker runs until the stop; the rest wait in the queue.
        for (unsigned i = 0; i < p.threads; ++i)
            group.submit([&blocking, stopping] {
                ++blocking;
                while (!stopping->load())
                    std::this_thread::yield();
            });
        for (int i = 0; i < 10; ++i)
            group.submit([&skippedRan] { ++skippedRan; });
        while (blocking.load() < p.threads)
            std::this_thread::yield();
        group.stop();
        for (unsigned i = 0; i < p.threads + 10; ++i)
            group.wait();
        EXPECT_EQ(skippedRan.load(), 0);
    }
}

TEST(TaskGroup, EndingTheGroupWaitsForTheTasksUnderWay)
{
    for (const GroupPool& p : kGroupPools) {
        SCOPED_TRACE(p.name);
        std::unique_ptr<WorkerPool> pool = makeGroupPool(p);
        constexpr int kTasks = 12;
        std::vector<std::atomic<bool>> started(kTasks);
        std::vector<int> finished(kTasks, 0);   // read after the group: a task still writing races
        {
            TaskGroup group(pool.get());
            for (int i = 0; i < kTasks; ++i)
                group.submit([&, i] {
                    started[i] = true;
                    std::this_thread::sleep_for(std::chrono::milliseconds(2));
                    finished[i] = 1;
                });
            group.wait();   // the owner gives up after the first
        }
        EXPECT_EQ(finished[0], 1);
        for (int i = 0; i < kTasks; ++i)
            EXPECT_EQ(finished[i], started[i].load() ? 1 : 0) << i;
    }
}
