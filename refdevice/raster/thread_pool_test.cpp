#include "refdevice/raster/thread_pool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace refdev {
namespace {

// Every job runs once, on a thread of the pool below the run's limit; one
// thread or one job runs on the caller. Then many short runs back to back
// with the helper count changing between them: a worker that sat one run
// out must neither miss nor repeat the next.
TEST(ThreadPool, EveryJobRunsOnceOnAThreadOfThePoolInEveryRun) {
  for (int size : {1, 4}) {
    ThreadPool pool(size);
    ASSERT_EQ(pool.Size(), size);
    for (int jobs : {1, 2, 3, 5, 17, 200})
      for (int maxThreads : {1, 2, 4, 9}) {
        std::vector<std::atomic<int>> runs(static_cast<std::size_t>(jobs));
        std::atomic<int> badThread{0}, offCaller{0};
        const auto caller = std::this_thread::get_id();
        pool.Run(jobs, maxThreads, [&](int job, int thread) {
          runs[static_cast<std::size_t>(job)].fetch_add(1);
          badThread += thread < 0 || thread >= std::min(maxThreads, pool.Size());
          offCaller += std::this_thread::get_id() != caller;
        });
        for (auto& r : runs)
          ASSERT_EQ(r.load(), 1) << jobs << " jobs, " << maxThreads << " threads";
        EXPECT_EQ(badThread, 0);
        if (jobs == 1 || maxThreads == 1 || size == 1) {
          EXPECT_EQ(offCaller, 0);
        }
      }
  }
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

// A system that lets `startsLeft` more threads start, then refuses.
int startsLeft = 0;
std::thread StartWhileAllowed(std::function<void()> body) {
  if (startsLeft-- <= 0)
    throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
  return std::thread(std::move(body));
}
std::vector<std::pair<int, int>> shortfalls;

TEST(ThreadPool, ThreadsTheSystemRefusesLeaveAPoolOfThoseStartedAndAreReported) {
  SetThreadShortfallReport(
      [](int wanted, int started) { shortfalls.emplace_back(wanted, started); });
  struct Case {
    int allowed, size;
    std::vector<std::pair<int, int>> reports;
  };
  for (const Case& c : {Case{0, 1, {{4, 1}}}, Case{2, 3, {{4, 3}}}, Case{3, 4, {}}}) {
    startsLeft = c.allowed;
    shortfalls.clear();
    ThreadPool pool(4, StartWhileAllowed);
    EXPECT_EQ(pool.Size(), c.size);
    EXPECT_EQ(shortfalls, c.reports);
    std::atomic<int> sum{0};
    pool.Run(100, 4, [&](int job, int) { sum += job; });
    EXPECT_EQ(sum.load(), 4950) << c.allowed << " threads allowed";
  }
  SetThreadShortfallReport(nullptr);
}

TEST(ThreadPool, ThreadCountSetting) {
  struct Case {
    const char* setting;
    int processors, threads;
  };
  // clang-format off
  const Case cases[] = {
      {nullptr, 2, 2}, {"", 6, 6},
      {nullptr, 0, 1},                     // unknown processor count
      {nullptr, 96, kMaxDefaultThreads},
      {"1", 8, 1}, {"12", 2, 12},          // an explicit count may exceed the cores
      {"0", 4, 4}, {"-3", 4, 4}, {"4x", 2, 2}, {"1000", 2, 2},
  };
  // clang-format on
  for (const Case& c : cases)
    EXPECT_EQ(ThreadCountFrom(c.setting, c.processors), c.threads)
        << (c.setting ? c.setting : "unset") << ", " << c.processors;
}

}  // namespace
}  // namespace refdev
