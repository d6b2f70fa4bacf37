#pragma once
// The thumbnails of a list of files, made on worker threads (one per core) and handed over one
// by one as each is done: the cache first, then the
// file is read (through the archive it lies in) and its first frame drawn as the desktop
// thumbnailer draws it. A newer request, or the end of the jobs, drops the work not yet started.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "GameFolderU.h"
#include "ThumbnailCacheU.h"
#include "WorkerPoolU.h"

// A file to show as a thumbnail.
struct TThumbnailItem {
  // A file of a mounted game folder, which stays mounted while the request runs; or null, and
  const TFileEntry* File = nullptr;
  // a Quv file on disk, or a path that runs through an archive ("data/units.hpi/tank.quv").
  std::string Path;
  size_t Tag = 0;  // the caller's number for it, given back with its result
};

struct TThumbnailResult {
  uint64_t Request = 0;  // what TThumbnailJobs::Request returned for it
  size_t Tag = 0;
  TCachedThumbnail Thumbnail;  // the picture, or why the file cannot be read
  bool FromCache = false;
};

// The thumbnail of one file as the jobs make it, in the calling thread: found in the cache, or
// made and stored there. reads keeps the archives open for the thread's next files; decoded is
// set when the file had to be read and decoded.
TCachedThumbnail MakeThumbnail(const TThumbnailItem& item, const TThumbnailLook& look,
                               TThumbnailCache& cache, TGameReadCache& reads, bool& decoded);

// The thumbnail of a Quv file's bytes (name is used in messages): RGBA pixels. Raises why the
// file cannot be shown.
TPicture ThumbnailOfBytes(std::vector<uint8_t> bytes, const std::string& name,
                          const TThumbnailLook& look);

class TThumbnailJobs {
 public:
  // Called on a worker thread for each item as it is done. It must not call into the jobs.
  using TResultCallback = std::function<void(TThumbnailResult result)>;

  // threads: 0 for one per processor core.
  explicit TThumbnailJobs(TThumbnailCache& cache, size_t threads = 0);
  // Work not started is dropped; thumbnails being made are finished and not delivered.
  ~TThumbnailJobs();
  TThumbnailJobs(const TThumbnailJobs&) = delete;
  TThumbnailJobs& operator=(const TThumbnailJobs&) = delete;

  // Makes the thumbnails of items in their order (put the ones in sight first). The earlier
  // request ends: once this returns, none of its results is delivered any more. Returns the
  // number its results carry.
  uint64_t Request(std::vector<TThumbnailItem> items, const TThumbnailLook& look,
                   TResultCallback onResult);
  // Ends the present request as a newer one would.
  void Cancel();
  // Blocks until every job submitted so far has run (or was dropped).
  void Wait();

  size_t ThreadCount() const { return FPool.ThreadCount(); }
  // Files read and decoded so far (those found in the cache are not counted).
  size_t DecodedCount() const { return FDecoded; }

 private:
  struct TRequest;
  struct TWorkerState;
  // Makes the request's items in turn until none is left or a newer request came.
  void Drain(size_t worker, TRequest& request);

  TThumbnailCache& FCache;
  std::atomic<uint64_t> FRequest{0};
  std::atomic<size_t> FDecoded{0};
  std::mutex FDeliver;  // held while a result is handed over, and while the request changes
  std::vector<std::unique_ptr<TWorkerState>> FWorkers;  // one per thread, touched by it alone
  TWorkerPool FPool;  // last: its threads end before what they use
};
