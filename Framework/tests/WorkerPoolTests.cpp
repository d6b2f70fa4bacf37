#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <future>
#include <memory>
#include <mutex>
#include <set>
#include <stdexcept>
#include <thread>
#include <vector>

#include "WorkerPoolU.h"

namespace {

using namespace std::chrono_literals;

TEST(WorkerPool, RunsEveryJobOnceBeforeWaitReturnsAndServesTheNextBatchToo) {
  TWorkerPool pool(3);
  ASSERT_EQ(pool.ThreadCount(), 3u);
  std::vector<std::atomic<int>> runs(500);
  std::atomic<bool> workerInRange{true};
  for (int batch = 0; batch < 2; ++batch) {
    for (size_t i = 0; i < runs.size(); ++i)
      pool.Submit([&, i](size_t worker) {
        if (worker >= 3) workerInRange = false;
        ++runs[i];
      });
    pool.Wait();
    for (size_t i = 0; i < runs.size(); ++i) ASSERT_EQ(runs[i], batch + 1) << "job " << i;
  }
  EXPECT_TRUE(workerInRange);
  EXPECT_EQ(TWorkerPool().ThreadCount(), std::max(1u, std::thread::hardware_concurrency()));
}

TEST(WorkerPool, TwoWorkersRunTwoJobsAtTheSameTime) {
  TWorkerPool pool(2);
  std::mutex lock;
  std::condition_variable changed;
  std::set<size_t> workers;
  std::set<std::thread::id> threads;
  bool bothInside = true;
  for (int job = 0; job < 2; ++job)
    pool.Submit([&](size_t worker) {
      std::unique_lock<std::mutex> guard(lock);
      workers.insert(worker);
      threads.insert(std::this_thread::get_id());
      changed.notify_all();
      // Each job waits for the other: with one thread doing both, this times out.
      if (!changed.wait_for(guard, 10s, [&] { return threads.size() == 2; })) bothInside = false;
    });
  pool.Wait();
  EXPECT_TRUE(bothInside);
  EXPECT_EQ(workers, (std::set<size_t>{0, 1}));
  EXPECT_EQ(threads.size(), 2u);
  EXPECT_EQ(threads.count(std::this_thread::get_id()), 0u);
}

TEST(WorkerPool, WaitRaisesTheFirstFailureAfterTheOtherJobsRan) {
  TWorkerPool pool(1);  // one worker: the jobs run in the order submitted
  std::atomic<int> done{0};
  pool.Submit([&](size_t) { ++done; });
  pool.Submit([](size_t) { throw std::runtime_error("first"); });
  pool.Submit([](size_t) { throw std::logic_error("second"); });
  pool.Submit([&](size_t) { ++done; });
  try {
    pool.Wait();
    ADD_FAILURE() << "Wait did not raise";
  } catch (const std::runtime_error& error) {
    EXPECT_STREQ(error.what(), "first");
  }
  EXPECT_EQ(done, 2);
  // The failure was told once: the next batch starts clean.
  pool.Submit([&](size_t) { ++done; });
  EXPECT_NO_THROW(pool.Wait());
  EXPECT_EQ(done, 3);
}

// Sets a promise when the last copy of the job holding it goes.
class TOnDrop {
 public:
  explicit TOnDrop(std::promise<void>& dropped) : FDropped(dropped) {}
  ~TOnDrop() { FDropped.set_value(); }

 private:
  std::promise<void>& FDropped;
};

TEST(WorkerPool, DestroyingWithPendingJobsLetsTheRunningOneFinishAndDropsTheRest) {
  auto pool = std::make_unique<TWorkerPool>(1);
  std::promise<void> started, dropped;
  std::future<void> droppedSignal = dropped.get_future();
  std::atomic<bool> runningFinished{false};
  std::atomic<bool> releasedByDrop{false};
  pool->Submit([&](size_t) {
    started.set_value();
    // Released only when the queued jobs are thrown away.
    releasedByDrop = droppedSignal.wait_for(10s) == std::future_status::ready;
    runningFinished = true;
  });
  started.get_future().wait();
  std::atomic<int> pendingRuns{0};
  auto onDrop = std::make_shared<TOnDrop>(dropped);
  for (int i = 0; i < 100; ++i) pool->Submit([&pendingRuns, onDrop](size_t) { ++pendingRuns; });
  onDrop.reset();
  pool.reset();
  EXPECT_TRUE(runningFinished);
  EXPECT_TRUE(releasedByDrop);
  EXPECT_EQ(pendingRuns, 0);
}

}  // namespace
