#include "refdevice/raster/thread_pool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <new>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace refdev {
namespace {

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

// Jobs and gaps between runs about as long as the pool spins before it
// sleeps, so that the helper and the caller often go to sleep just as they
// are woken: every wake-up must arrive (a lost one leaves the run waiting
// for good, which the test's time limit reports).
TEST(ThreadPool, HelpersAndCallersGoingToSleepAreWokenEveryRun) {
  ThreadPool pool(2);
  const auto busy = [](int microseconds) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::microseconds(microseconds);
    while (std::chrono::steady_clock::now() < until) {
    }
  };
  std::atomic<int> ran{0};
  for (int run = 0; run < 5000; ++run) {
    pool.Run(2, 2, [&](int, int thread) {
      if (thread != 0) busy(60 + run * 7 % 90);
      ++ran;
    });
    busy(60 + run * 11 % 90);
  }
  EXPECT_EQ(ran.load(), 10000);
}

// Memory that runs out in a job on any thread reaches the caller of Run as it
// does with no helpers (an exception left on a helper's thread ends the
// process), and the pool goes on working.
TEST(ThreadPool, AJobsExceptionOnAnyThreadIsThrownOnTheCallersThread) {
  for (const int threads : {1, 2, 4, kMaxThreads}) {
    ThreadPool pool(threads);
    std::atomic<bool> thrown{false};
    auto job = [&](int, int thread) {
      // The caller waits for a helper's failure, so that one is a helper's.
      if (thread == 0 && pool.Size() > 1) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (!thrown && std::chrono::steady_clock::now() < until) std::this_thread::yield();
        return;
      }
      thrown = true;
      throw std::bad_alloc();
    };
    EXPECT_THROW(pool.Run(1000, threads, job), std::bad_alloc) << threads << " threads";
    std::atomic<int> sum{0};
    pool.Run(100, threads, [&](int j, int) { sum += j; });
    EXPECT_EQ(sum.load(), 4950) << threads << " threads";
  }
}

TEST(ThreadPool, DefaultThreadCount) {
  // An unknown processor count (0) is one thread.
  const int cases[][2] = {{2, 2}, {6, 6}, {0, 1}, {96, kMaxDefaultThreads}};
  for (const auto& c : cases) EXPECT_EQ(DefaultThreadCount(c[0]), c[1]) << c[0];
}

}  // namespace
}  // namespace refdev
