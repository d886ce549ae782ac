// Worker threads that live as long as their owner and run batches of numbered
// jobs. The calling thread takes part, so a pool of N threads starts N - 1.
// Jobs are handed out from an atomic counter: which thread runs a job varies
// from run to run, so callers make each job's result independent of that.
#pragma once

#include <atomic>
#include <cstdint>
#include <thread>
#include <type_traits>
#include <vector>

namespace refdev {

class ThreadPool {
 public:
  // `threads` counts the caller; 1 starts no thread.
  explicit ThreadPool(int threads);
  ~ThreadPool();
  ThreadPool(const ThreadPool&) = delete;
  ThreadPool& operator=(const ThreadPool&) = delete;

  int Size() const { return static_cast<int>(workers_.size()) + 1; }

  // Calls fn(job, thread) for every job in [0, jobs) on at most `maxThreads`
  // threads (the caller is thread 0) and returns when all have finished.
  // One run at a time: Run is not reentrant and not for concurrent callers.
  template <typename Fn>
  void Run(int jobs, int maxThreads, Fn&& fn) {
    Dispatch(jobs, maxThreads, &fn, [](void* f, int job, int thread) {
      (*static_cast<std::remove_reference_t<Fn>*>(f))(job, thread);
    });
  }

 private:
  using Invoke = void (*)(void*, int, int);
  void Dispatch(int jobs, int maxThreads, void* fn, Invoke invoke);
  void Work(int thread);
  void WorkerLoop(int thread);

  std::vector<std::thread> workers_;
  // Run number << 8 | helpers taking part, or kStop: one word, so a worker
  // always sees a run's number and its helper count together.
  std::atomic<std::uint32_t> post_{0};
  std::atomic<int> nextJob_{0};
  std::atomic<int> helpersBusy_{0};
  // Written before a run is posted and read only by its participants.
  int jobs_ = 0;
  void* fn_ = nullptr;
  Invoke invoke_ = nullptr;
};

// The number of threads a device uses: QUILLON_THREADS when it holds a number
// from 1 to kMaxThreads, else the processor count up to kMaxDefaultThreads.
constexpr int kMaxThreads = 64;
constexpr int kMaxDefaultThreads = 8;
int ThreadCountFrom(const char* setting, unsigned hardwareThreads);
int DefaultThreadCount();

}  // namespace refdev
