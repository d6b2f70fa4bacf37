#pragma once
// A fixed set of worker threads that run submitted jobs in the order they came. Batch commands
// hand it one job per file; a job learns which worker runs it, so that what a worker opens
// (a mounted archive, a reader) can serve that worker's next jobs without locks.
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

class TWorkerPool {
 public:
  // worker: 0 .. ThreadCount() - 1, the worker that runs the job.
  using TJob = std::function<void(size_t worker)>;

  // threads: 0 for one per processor core (at least one).
  explicit TWorkerPool(size_t threads = 0);
  // Jobs not started yet are dropped; running ones finish before the threads are joined.
  ~TWorkerPool();
  TWorkerPool(const TWorkerPool&) = delete;
  TWorkerPool& operator=(const TWorkerPool&) = delete;

  size_t ThreadCount() const { return FThreads.size(); }
  void Submit(TJob job);
  // Blocks until every job submitted so far has run. The first exception a job let out since
  // the last Wait is raised here (the other jobs still ran); a job that wants every failure
  // reported catches its own.
  void Wait();

 private:
  void Work(size_t worker);

  std::mutex FLock;
  std::condition_variable FJobReady;  // a job was queued, or the pool is shutting down
  std::condition_variable FIdle;      // the last job of a batch finished
  std::deque<TJob> FQueue;
  size_t FRunning = 0;
  bool FStopping = false;
  std::exception_ptr FFirstError;
  std::vector<std::thread> FThreads;
};
