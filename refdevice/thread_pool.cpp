#include "refdevice/thread_pool.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

namespace refdev {
namespace {

constexpr std::uint32_t kStop = 0xFFFFFFFFu;
// Short waits are the common case between the batches of one frame; spin a
// little before sleeping so that a batch does not pay for a wake-up.
constexpr int kSpins = 200;

inline void Pause() {
#if defined(__x86_64__) || defined(__i386__)
  _mm_pause();
#endif
}

}  // namespace

ThreadPool::ThreadPool(int threads) {
  threads = std::clamp(threads, 1, kMaxThreads);
  workers_.reserve(static_cast<std::size_t>(threads - 1));
  for (int t = 1; t < threads; ++t) workers_.emplace_back([this, t] { WorkerLoop(t); });
}

ThreadPool::~ThreadPool() {
  post_.store(kStop, std::memory_order_release);
  post_.notify_all();
  for (auto& w : workers_) w.join();
}

void ThreadPool::Dispatch(int jobs, int maxThreads, void* fn, Invoke invoke) {
  if (jobs <= 0) return;
  const int helpers = std::min({static_cast<int>(workers_.size()), maxThreads - 1, jobs - 1});
  if (helpers <= 0) {
    for (int j = 0; j < jobs; ++j) invoke(fn, j, 0);
    return;
  }
  jobs_ = jobs;
  fn_ = fn;
  invoke_ = invoke;
  nextJob_.store(0, std::memory_order_relaxed);
  helpersBusy_.store(helpers, std::memory_order_relaxed);
  const std::uint32_t run = (post_.load(std::memory_order_relaxed) >> 8) + 1;
  post_.store(run << 8 | static_cast<std::uint32_t>(helpers), std::memory_order_release);
  post_.notify_all();
  Work(0);
  for (int spin = 0;; ++spin) {
    const int busy = helpersBusy_.load(std::memory_order_acquire);
    if (busy == 0) break;
    if (spin < kSpins)
      Pause();
    else
      helpersBusy_.wait(busy, std::memory_order_acquire);
  }
}

void ThreadPool::Work(int thread) {
  for (;;) {
    const int job = nextJob_.fetch_add(1, std::memory_order_relaxed);
    if (job >= jobs_) return;
    invoke_(fn_, job, thread);
  }
}

void ThreadPool::WorkerLoop(int thread) {
  std::uint32_t seen = 0;
  for (;;) {
    std::uint32_t post = post_.load(std::memory_order_acquire);
    for (int spin = 0; post == seen; ++spin) {
      if (spin < kSpins)
        Pause();
      else
        post_.wait(seen, std::memory_order_acquire);
      post = post_.load(std::memory_order_acquire);
    }
    if (post == kStop) return;
    seen = post;
    // Threads beyond the run's helper count sit it out; the run cannot end,
    // nor a new one be posted, before every helper taking part has finished.
    if (thread > static_cast<int>(post & 0xFF)) continue;
    Work(thread);
    if (helpersBusy_.fetch_sub(1, std::memory_order_acq_rel) == 1) helpersBusy_.notify_one();
  }
}

int ThreadCountFrom(const char* setting, unsigned hardwareThreads) {
  if (setting && *setting) {
    char* end = nullptr;
    const long n = std::strtol(setting, &end, 10);
    if (*end == '\0' && n >= 1 && n <= kMaxThreads) return static_cast<int>(n);
  }
  return std::clamp(static_cast<int>(hardwareThreads), 1, kMaxDefaultThreads);
}

int DefaultThreadCount() {
  return ThreadCountFrom(std::getenv("QUILLON_THREADS"), std::thread::hardware_concurrency());
}

}  // namespace refdev
