// The pool every run over many jobs uses: each job runs exactly once on the
// threads asked for, a job that answers false stops the rest, and the first
// exception a job throws reaches the caller after every thread has ended.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <set>
#include <stdexcept>
#include <thread>
#include <vector>

#include "coder/WorkPool.h"

namespace zorvel {
namespace {

TEST(WorkPool, ThreadsFollowTheRequestAndTheJobs) {
    EXPECT_EQ(poolThreads(3, 10), 3u);
    EXPECT_EQ(poolThreads(8, 2), 2u);  // never more threads than jobs
    EXPECT_EQ(poolThreads(8, 0), 1u);  // at least one
    EXPECT_EQ(poolThreads(0, 1000), std::max(std::thread::hardware_concurrency(), 1u));
}

class WorkPoolThreads : public ::testing::TestWithParam<unsigned> {};

TEST_P(WorkPoolThreads, EveryJobRunsOnceOnAtMostTheThreadsAskedFor) {
    constexpr std::size_t kJobs = 997;
    std::vector<std::atomic<int>> runs(kJobs);
    std::mutex mutex;
    std::set<std::thread::id> threads;
    const bool completed = runOnPool(kJobs, GetParam(), [&](std::size_t job) {
        ++runs[job];
        const std::lock_guard lock(mutex);
        threads.insert(std::this_thread::get_id());
        return true;
    });
    EXPECT_TRUE(completed);
    for (std::size_t job = 0; job < kJobs; ++job) ASSERT_EQ(runs[job], 1) << "job " << job;
    EXPECT_GE(threads.size(), 1u);
    EXPECT_LE(threads.size(), GetParam());
    EXPECT_FALSE(threads.contains(std::this_thread::get_id())) << "the caller's thread worked";
}

INSTANTIATE_TEST_SUITE_P(Counts, WorkPoolThreads, ::testing::Values(1u, 2u, 5u));

TEST(WorkPool, NoJobsIsACompletedRun) {
    int calls = 0;
    EXPECT_TRUE(runOnPool(0, 4, [&](std::size_t) { return ++calls > 0; }));
    EXPECT_EQ(calls, 0);
}

TEST(WorkPool, AJobThatAnswersFalseStopsTheRest) {
    // One thread takes the jobs in order: nothing after the stopping job runs.
    std::vector<std::size_t> done;
    const bool completed = runOnPool(100, 1, [&](std::size_t job) {
        done.push_back(job);
        return job != 10;
    });
    EXPECT_FALSE(completed);
    ASSERT_EQ(done.size(), 11u);
    EXPECT_EQ(done.back(), 10u);
}

TEST(WorkPool, TheFirstExceptionReachesTheCallerOnceAllThreadsEnded) {
    std::atomic<int> running{0};
    std::atomic<int> started{0};
    try {
        runOnPool(100000, 4, [&](std::size_t job) {
            ++started;
            ++running;
            if (job == 3) {
                --running;
                throw std::runtime_error("job 3 failed");
            }
            // The others take a while, as coding jobs do: the failure has
            // to stop them however the threads are scheduled.
            std::this_thread::sleep_for(std::chrono::microseconds(50));
            --running;
            return true;
        });
        ADD_FAILURE() << "no exception reached the caller";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "job 3 failed");
    }
    EXPECT_EQ(running, 0) << "a job still ran after the pool returned";
    EXPECT_LT(started, 100000) << "the failure did not stop the other jobs";
}

}  // namespace
}  // namespace zorvel
