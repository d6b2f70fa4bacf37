#include "ImageIndexJobU.h"

#include <QMetaObject>
#include <chrono>

#include "GameFolderU.h"
#include "GameSearchU.h"
#include "ImageNameIndexU.h"

namespace {
using TClock = std::chrono::steady_clock;
// Progress reports closer together than this are dropped: the label needs no more.
constexpr auto ProgressInterval = std::chrono::milliseconds(100);
}  // namespace

TImageIndexJob::TImageIndexJob(TGameFolder& folder, QObject* parent) : QObject(parent) {
  FThread = std::thread([this, &folder] {
    // Calls posted to this object are dropped with it, so none arrives after the job is gone.
    auto last = TClock::now() - ProgressInterval;
    const auto report = [this, &last](size_t done, size_t total) {
      const auto now = TClock::now();
      if (done != total && now - last < ProgressInterval) return;
      last = now;
      QMetaObject::invokeMethod(
          this, [this, done, total] { emit progress(done, total); }, Qt::QueuedConnection);
    };
    // The list a search runs over first: at a hundred thousand entries it is too much work
    // for the window's thread.
    std::shared_ptr<TGameSearch> search;
    try {
      search = std::make_shared<TGameSearch>(folder);
    } catch (const std::exception&) {
      search.reset();
    }
    if (search && !FCancel.load())
      QMetaObject::invokeMethod(
          this,
          [this, search] {
            if (!FCancel.load()) emit searchReady(search);
          },
          Qt::QueuedConnection);
    std::shared_ptr<TImageNameIndex> index;
    try {
      index = TImageNameIndex::Build(folder, &FCancel, report);
    } catch (const std::exception&) {
      index.reset();  // out of memory or threads: searches go on by file name alone
    }
    if (index && !FCancel.load())
      QMetaObject::invokeMethod(
          this,
          [this, index] {
            if (!FCancel.load()) emit finished(index);
          },
          Qt::QueuedConnection);
    FDone = true;
  });
}

TImageIndexJob::~TImageIndexJob() {
  Cancel();
  if (FThread.joinable()) FThread.join();
}

void TImageIndexJob::Cancel() {
  FCancel = true;
}
