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

TEST(ThreadPool, DefaultThreadCount) {
  // An unknown processor count (0) is one thread.
  const int cases[][2] = {{2, 2}, {6, 6}, {0, 1}, {96, kMaxDefaultThreads}};
  for (const auto& c : cases) EXPECT_EQ(DefaultThreadCount(c[0]), c[1]) << c[0];
}

}  // namespace
}  // namespace refdev
