#include "refdevice/thread_pool.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <thread>
#include <vector>

namespace refdev {
namespace {

TEST(ThreadPool, EveryJobRunsOnceOnAThreadOfThePoolInEveryRun) {
  ThreadPool pool(4);
  ASSERT_EQ(pool.Size(), 4);
  for (int jobs : {1, 2, 3, 4, 5, 17, 200}) {
    for (int maxThreads : {1, 2, 4, 9}) {
      std::vector<std::atomic<int>> runs(static_cast<std::size_t>(jobs));
      std::atomic<bool> badThread{false};
      pool.Run(jobs, maxThreads, [&](int job, int thread) {
        runs[static_cast<std::size_t>(job)].fetch_add(1);
        if (thread < 0 || thread >= std::min(maxThreads, pool.Size())) badThread = true;
      });
      for (auto& r : runs) ASSERT_EQ(r.load(), 1) << jobs << " jobs, " << maxThreads << " threads";
      EXPECT_FALSE(badThread);
    }
  }
}

// Under an address-space limit with no room for another thread's stack the
// pool is smaller, and every job still runs.
TEST(ThreadPool, ThreadsTheSystemCannotStartLeaveItSmaller) {
  const auto underLimit = [] {
    long pages = 0;
    std::FILE* statm = std::fopen("/proc/self/statm", "r");
    if (!statm || std::fscanf(statm, "%ld", &pages) != 1) std::_Exit(2);
    const rlim_t room = static_cast<rlim_t>(pages) * 4096 + (4 << 20);
    const rlimit limit{room, room};
    ::setrlimit(RLIMIT_AS, &limit);
    ThreadPool pool(8);
    std::atomic<int> sum{0};
    pool.Run(100, 8, [&](int job, int) { sum += job; });
    std::_Exit(pool.Size() < 8 && sum == 4950 ? 0 : 1);
  };
  EXPECT_EXIT(underLimit(), ::testing::ExitedWithCode(0), "");
}

TEST(ThreadPool, OneThreadOrOneJobRunsOnTheCaller) {
  ThreadPool pool(3);
  const auto caller = std::this_thread::get_id();
  std::set<std::thread::id> seen;
  pool.Run(50, 1, [&](int, int thread) {
    EXPECT_EQ(thread, 0);
    seen.insert(std::this_thread::get_id());
  });
  pool.Run(1, 3, [&](int, int) { seen.insert(std::this_thread::get_id()); });
  EXPECT_EQ(seen, std::set<std::thread::id>{caller});

  ThreadPool single(1);
  EXPECT_EQ(single.Size(), 1);
  int sum = 0;
  single.Run(10, 8, [&](int job, int) { sum += job; });
  EXPECT_EQ(sum, 45);
}

// Many short runs back to back, with the helper count changing between them:
// a worker that sat one run out must neither miss nor repeat the next.
TEST(ThreadPool, ManyShortRunsWithChangingThreadCounts) {
  ThreadPool pool(3);
  std::atomic<long> total{0};
  long expected = 0;
  for (int run = 0; run < 3000; ++run) {
    const int jobs = 1 + run % 7;
    pool.Run(jobs, 1 + run % 3, [&](int job, int) { total.fetch_add(job + 1); });
    expected += jobs * (jobs + 1) / 2;
  }
  EXPECT_EQ(total.load(), expected);
}

TEST(ThreadPool, WritesOfAJobAreSeenByTheCallerAfterTheRun) {
  ThreadPool pool(2);
  std::vector<int> out(64);
  for (int round = 0; round < 100; ++round) {
    pool.Run(64, 2, [&](int job, int) { out[static_cast<std::size_t>(job)] = job * round; });
    for (int j = 0; j < 64; ++j) ASSERT_EQ(out[static_cast<std::size_t>(j)], j * round);
  }
}

TEST(ThreadPool, ThreadCountSetting) {
  EXPECT_EQ(ThreadCountFrom(nullptr, 2), 2);
  EXPECT_EQ(ThreadCountFrom("", 6), 6);
  EXPECT_EQ(ThreadCountFrom(nullptr, 0), 1);  // unknown processor count
  EXPECT_EQ(ThreadCountFrom(nullptr, 96), kMaxDefaultThreads);
  EXPECT_EQ(ThreadCountFrom("1", 8), 1);
  EXPECT_EQ(ThreadCountFrom("12", 2), 12);  // an explicit count may exceed the cores
  EXPECT_EQ(ThreadCountFrom("0", 4), 4);
  EXPECT_EQ(ThreadCountFrom("-3", 4), 4);
  EXPECT_EQ(ThreadCountFrom("4x", 2), 2);
  EXPECT_EQ(ThreadCountFrom("1000", 2), 2);
}

}  // namespace
}  // namespace refdev
