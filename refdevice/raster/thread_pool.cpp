#include "refdevice/raster/thread_pool.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <new>
#include <system_error>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif
#ifdef __EMSCRIPTEN__
#include <emscripten/threading.h>

#include <climits>
#include <cmath>
#endif

namespace refdev {
namespace {

constexpr std::uint32_t kStop = 0xFFFFFFFFu;

inline void Pause() {
#if defined(__x86_64__) || defined(__i386__)
  _mm_pause();
#endif
}
// Short waits are the common case between the batches of one frame (the
// front end's parts, then the binning on the calling thread, then the
// tiles); spin that long before sleeping so that a batch does not wait for a
// thread to wake up. A pause lasts from a few to some 40 nanoseconds,
// depending on the processor, so the spin is timed.
constexpr auto kSpinTime = std::chrono::microseconds(100);

// Spins until `ready()` or the spin time is up; true if ready.
template <typename Ready>
bool SpinFor(Ready&& ready) {
  const auto until = std::chrono::steady_clock::now() + kSpinTime;
  for (;;) {
    for (int i = 0; i < 16; ++i) {
      if (ready()) return true;
      Pause();
    }
    if (std::chrono::steady_clock::now() >= until) return ready();
  }
}

std::atomic<ThreadShortfallReport> shortfallReport{nullptr};

}  // namespace

// libstdc++ 12 without futexes (mingw-w64's) checks the value and then
// sleeps on a condition variable that its notify signals without taking the
// lock: a notify in between is lost and the waiter sleeps for good (GCC bug
// 106183). There the pool checks and sleeps under a lock of its own, which
// the waking thread takes between its store and the wake-up.
#if defined(__GLIBCXX__) && !defined(_GLIBCXX_HAVE_PLATFORM_WAIT)
[[maybe_unused]] constexpr bool kOwnSleep = true;
#else
[[maybe_unused]] constexpr bool kOwnSleep = false;
#endif
// Emscripten's C++ library has no wait on an address: its atomic wait polls,
// sleeping for half the time it has waited so far between looks (8 ms once
// it has waited long), so a helper idle for a millisecond between batches
// saw the next one half a millisecond late, and the caller the end of one.
// There the pool sleeps on the address through Emscripten's futex.

template <typename T>
void ThreadPool::SleepWhile(const std::atomic<T>& word, T old) {
#ifdef __EMSCRIPTEN__
  static_assert(sizeof(T) == 4 && std::atomic<T>::is_always_lock_free);
  // The wait returns at once when the word no longer holds `old`, so a wake
  // between the load and the wait is not lost.
  while (word.load(std::memory_order_acquire) == old)
    emscripten_futex_wait(const_cast<std::atomic<T>*>(&word), static_cast<std::uint32_t>(old),
                          INFINITY);
#else
  if constexpr (kOwnSleep) {
    std::unique_lock<std::mutex> lock(sleepMutex_);
    sleepers_.wait(lock, [&] { return word.load(std::memory_order_acquire) != old; });
  } else {
    word.wait(old, std::memory_order_acquire);
  }
#endif
}

template <typename T>
void ThreadPool::WakeAll(std::atomic<T>& word) {
#ifdef __EMSCRIPTEN__
  emscripten_futex_wake(&word, INT_MAX);
#else
  if constexpr (kOwnSleep) {
    { std::lock_guard<std::mutex> lock(sleepMutex_); }
    sleepers_.notify_all();
  } else {
    word.notify_all();
  }
#endif
}

void SetThreadShortfallReport(ThreadShortfallReport report) { shortfallReport.store(report); }

ThreadPool::ThreadPool(int threads, ThreadStarter start) {
  threads = std::clamp(threads, 1, kMaxThreads);
  // A thread the system refuses ends the starting: the pool works with the
  // ones it has (workers are numbered without gaps), the caller at least.
  try {
    workers_.reserve(static_cast<std::size_t>(threads - 1));
    for (int t = 1; t < threads; ++t) {
      auto body = [this, t] { WorkerLoop(t); };
      workers_.push_back(start ? start(body) : std::thread(body));
    }
  } catch (const std::system_error&) {
  } catch (const std::bad_alloc&) {
  }
  if (Size() < threads)
    if (const ThreadShortfallReport report = shortfallReport.load()) report(threads, Size());
}

ThreadPool::~ThreadPool() {
  post_.store(kStop, std::memory_order_release);
  WakeAll(post_);
  for (auto& w : workers_) w.join();
}

void ThreadPool::Dispatch(int jobs, int maxThreads, void* fn, Invoke invoke) {
  if (jobs <= 0) return;
  const int helpers = std::min({static_cast<int>(workers_.size()), maxThreads - 1, jobs - 1});
  if (helpers <= 0) {
    for (int j = 0; j < jobs; ++j) invoke(fn, j, 0);
    return;
  }
  std::uint32_t run = (lastRun_ + 1) & 0xFFFFFFu;
  if (run == 0) run = 1;
  lastRun_ = run;
  Slot& slot = slots_[run % kSlots];
  // Take the slot back from its old run, then wait for any helper still
  // looking at it (it sees the 0 and leaves, or we see it and wait).
  slot.run.store(0, std::memory_order_seq_cst);
  while (slot.users.load(std::memory_order_seq_cst) != 0) Pause();
  slot.jobs = jobs;
  slot.fn = fn;
  slot.invoke = invoke;
  slot.parts = helpers + 1;
  for (int p = 0; p < slot.parts; ++p) {
    slot.ranges[p].next.store(jobs * p / slot.parts, std::memory_order_relaxed);
    slot.ranges[p].end = jobs * (p + 1) / slot.parts;
  }
  slot.done.store(0, std::memory_order_relaxed);
  slot.failed.store(false, std::memory_order_relaxed);
  slot.run.store(run, std::memory_order_release);
  post_.store(run << 8 | static_cast<std::uint32_t>(helpers), std::memory_order_release);
  WakeAll(post_);
  Work(slot, 0);
  // Wait for the jobs, not for the helpers: one that has not woken yet by
  // the time the caller has taken every job has nothing to finish.
  if (!SpinFor([&] { return slot.done.load(std::memory_order_acquire) == jobs; })) {
    for (;;) {
      const int done = slot.done.load(std::memory_order_acquire);
      if (done == jobs) break;
      SleepWhile(slot.done, done);
    }
  }
  // An exception must not end a helper's thread (that ends the process);
  // it is the caller's, as it would be with no helpers.
  if (slot.failed.load(std::memory_order_relaxed)) std::rethrow_exception(std::move(slot.failure));
}

void ThreadPool::Work(Slot& slot, int thread) {
  // Its own range first, then the others' in turn.
  for (int k = 0; k < slot.parts; ++k) {
    Range& range = slot.ranges[(thread + k) % slot.parts];
    for (;;) {
      const int job = range.next.fetch_add(1, std::memory_order_relaxed);
      if (job >= range.end) break;
      if (!slot.failed.load(std::memory_order_relaxed)) {
        try {
          slot.invoke(slot.fn, job, thread);
        } catch (...) {
          if (!slot.failed.exchange(true, std::memory_order_relaxed))
            slot.failure = std::current_exception();
        }
      }
      if (slot.done.fetch_add(1, std::memory_order_acq_rel) + 1 == slot.jobs) WakeAll(slot.done);
    }
  }
}

void ThreadPool::WorkerLoop(int thread) {
  std::uint32_t seen = 0;
  for (;;) {
    std::uint32_t post = post_.load(std::memory_order_acquire);
    if (post == seen &&
        !SpinFor([&] { return (post = post_.load(std::memory_order_acquire)) != seen; })) {
      while (post == seen) {
        SleepWhile(post_, seen);
        post = post_.load(std::memory_order_acquire);
      }
    }
    if (post == kStop) return;
    seen = post;
    // Threads beyond the run's helper count sit it out.
    if (thread > static_cast<int>(post & 0xFF)) continue;
    const std::uint32_t run = post >> 8;
    Slot& slot = slots_[run % kSlots];
    slot.users.fetch_add(1, std::memory_order_seq_cst);
    if (slot.run.load(std::memory_order_seq_cst) == run) Work(slot, thread);
    slot.users.fetch_sub(1, std::memory_order_release);
  }
}

int DefaultThreadCount(unsigned hardwareThreads) {
  return std::clamp(static_cast<int>(hardwareThreads), 1, kMaxDefaultThreads);
}

int DefaultThreadCount() { return DefaultThreadCount(std::thread::hardware_concurrency()); }

}  // namespace refdev
