#include "WorkerPoolU.h"

#include <algorithm>
#include <utility>

TWorkerPool::TWorkerPool(size_t threads) {
  if (threads == 0) threads = std::max(1u, std::thread::hardware_concurrency());
  FThreads.reserve(threads);
  for (size_t i = 0; i < threads; ++i) FThreads.emplace_back(&TWorkerPool::Work, this, i);
}

TWorkerPool::~TWorkerPool() {
  {
    std::lock_guard<std::mutex> guard(FLock);
    FStopping = true;
    FQueue.clear();
  }
  FJobReady.notify_all();
  for (std::thread& thread : FThreads) thread.join();
}

void TWorkerPool::Submit(TJob job) {
  {
    std::lock_guard<std::mutex> guard(FLock);
    FQueue.push_back(std::move(job));
  }
  FJobReady.notify_one();
}

void TWorkerPool::Wait() {
  std::unique_lock<std::mutex> guard(FLock);
  FIdle.wait(guard, [this] { return FQueue.empty() && FRunning == 0; });
  if (std::exception_ptr error = std::exchange(FFirstError, nullptr)) std::rethrow_exception(error);
}

void TWorkerPool::Work(size_t worker) {
  std::unique_lock<std::mutex> guard(FLock);
  while (true) {
    FJobReady.wait(guard, [this] { return FStopping || !FQueue.empty(); });
    if (FStopping) return;
    TJob job = std::move(FQueue.front());
    FQueue.pop_front();
    ++FRunning;
    guard.unlock();
    std::exception_ptr error;
    try {
      job(worker);
    } catch (...) {
      error = std::current_exception();
    }
    job = nullptr;  // what the job holds goes before Wait returns
    guard.lock();
    if (error && !FFirstError) FFirstError = error;
    if (--FRunning == 0 && FQueue.empty()) FIdle.notify_all();
  }
}
