// Worker threads that live as long as their owner and run batches of numbered
// jobs. The calling thread takes part, so a pool of N threads starts N - 1.
// A run's jobs are cut into as many consecutive ranges as threads take part;
// each thread starts on its own range (the caller on the first) and then helps
// with the others, taking jobs from atomic counters. Neighbouring jobs thus
// tend to run on one thread, and the same thread from run to run, which keeps
// their data in that core's cache; but which thread runs a job still varies,
// so callers make each job's result independent of that.
#pragma once

#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <thread>
#include <type_traits>
#include <vector>

namespace refdev {

constexpr int kMaxThreads = 64;
constexpr int kMaxDefaultThreads = 8;

// Starts a thread running `body`, or throws as std::thread does when the
// system refuses one (std::system_error) or memory runs out.
using ThreadStarter = std::thread (*)(std::function<void()> body);

// Told, with both counts, of a pool that started fewer threads than asked
// for because the system refused more (a tight address-space or process
// limit); the pool then draws with those it has, down to the caller alone.
using ThreadShortfallReport = void (*)(int wanted, int started);
// Sets the report for the pools made from then on (null: none).
void SetThreadShortfallReport(ThreadShortfallReport report);

class ThreadPool {
 public:
  // `threads` counts the caller; 1 starts no thread. `start` (for tests)
  // stands for std::thread's constructor.
  explicit ThreadPool(int threads, ThreadStarter start = nullptr);
  ~ThreadPool();
  ThreadPool(const ThreadPool&) = delete;
  ThreadPool& operator=(const ThreadPool&) = delete;

  int Size() const { return static_cast<int>(workers_.size()) + 1; }

  // Calls fn(job, thread) for every job in [0, jobs) on at most `maxThreads`
  // threads (the caller is thread 0) and returns when all have finished.
  // A job that throws (memory running out, say) ends the run: the jobs not
  // yet begun are skipped, and Run throws the first failure on the caller's
  // thread once every thread has let go of the run.
  // One run at a time: Run is not reentrant and not for concurrent callers.
  template <typename Fn>
  void Run(int jobs, int maxThreads, Fn&& fn) {
    Dispatch(jobs, maxThreads, &fn, [](void* f, int job, int thread) {
      (*static_cast<std::remove_reference_t<Fn>*>(f))(job, thread);
    });
  }

 private:
  using Invoke = void (*)(void*, int, int);
  // One run's jobs. Runs take the slots in turn, so a helper that wakes late
  // finds its run's slot either still its own (it checks the number) or
  // already someone else's, never half rewritten: a slot is not reused while
  // a helper looks at it.
  // One thread's range of a run's jobs, on a cache line of its own.
  struct alignas(64) Range {
    std::atomic<int> next{0};  // the next job to hand out
    int end = 0;
  };
  struct Slot {
    std::atomic<std::uint32_t> run{0};  // the run it serves, 0 while being set
    std::atomic<int> users{0};          // helpers looking at it
    std::atomic<int> done{0};           // jobs finished
    std::atomic<bool> failed{false};    // a job threw: the rest are skipped
    std::exception_ptr failure;         // the first job's exception, set before its done
    int jobs = 0;
    int parts = 0;  // threads taking part, and ranges
    void* fn = nullptr;
    Invoke invoke = nullptr;
    Range ranges[kMaxThreads];
  };
  static constexpr int kSlots = 4;

  void Dispatch(int jobs, int maxThreads, void* fn, Invoke invoke);
  static void Work(Slot& slot, int thread);
  void WorkerLoop(int thread);

  std::vector<std::thread> workers_;
  // Run number << 8 | helpers taking part, or kStop: one word, so a worker
  // always sees a run's number and its helper count together.
  std::atomic<std::uint32_t> post_{0};
  std::uint32_t lastRun_ = 0;
  Slot slots_[kSlots];
};

// The number of threads a device uses unless told: the processor count up to
// kMaxDefaultThreads (the host hands over a count the user chose).
int DefaultThreadCount(unsigned hardwareThreads);
int DefaultThreadCount();

}  // namespace refdev
