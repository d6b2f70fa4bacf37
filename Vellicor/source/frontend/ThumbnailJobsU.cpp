#include "ThumbnailJobsU.h"

#include <algorithm>
#include <exception>
#include <utility>

#include "ArchiveLoadersU.h"
#include "ExceptionsU.h"
#include "MemoryFileReaderU.h"
#include "QuvDocumentU.h"
#include "QuvSaveU.h"
#include "StringUtilsU.h"
#include "ThumbnailU.h"

namespace {

TPicture ThumbnailOf(const TQuvDocumentResult& opened, const TThumbnailLook& look) {
  if (!opened.Document) throw Exception(opened.Error);
  return IndicesToRgba(ThumbnailIndices(*opened.Document->Images, look.Side), look.Palette,
                       look.TransparentIndex);
}

TQuvDocumentOptions OptionsOf(const TThumbnailLook& look) {
  TQuvDocumentOptions options;
  options.Palette = look.Palette;
  options.TransparentIndex = look.TransparentIndex;
  return options;
}

TFileOrigin OriginOf(const TThumbnailItem& item) {
  if (item.File) return TGameFolder::OriginOf(*item.File);
  const TQuvSaveTarget target = SaveTargetOf(item.Path);
  return {target.DiskFile, target.InArchive(), target.InnerPath};
}

TPicture Made(const TThumbnailItem& item, const TThumbnailLook& look, TGameReadCache& reads) {
  if (item.File)
    return ThumbnailOfBytes(TGameFolder::ReadFile(*item.File, reads), item.File->Name, look);
  return ThumbnailOf(OpenQuvDocument(item.Path, OptionsOf(look)), look);
}

}  // namespace

TPicture ThumbnailOfBytes(std::vector<uint8_t> bytes, const std::string& name,
                          const TThumbnailLook& look) {
  TQuvDocumentOptions options = OptionsOf(look);
  options.Mount = {MakeArchiveFileSystem(), false};
  AddMemoryFile(*options.Mount.FileSystem, name,
                std::make_shared<const std::vector<uint8_t>>(std::move(bytes)));
  return ThumbnailOf(OpenQuvDocument(name, options), look);
}

TCachedThumbnail MakeThumbnail(const TThumbnailItem& item, const TThumbnailLook& look,
                               TThumbnailCache& cache, TGameReadCache& reads, bool& decoded) {
  decoded = false;
  std::optional<TThumbnailKey> key;
  try {
    const TFileOrigin origin = OriginOf(item);
    // A file that cannot be examined is not kept: the reading below says why.
    if (const std::optional<TFileStamp> stamp = StampOf(origin.DiskPath)) {
      key = ThumbnailKeyOf(origin, *stamp, look);
      if (std::optional<TCachedThumbnail> found = cache.Find(*key)) return std::move(*found);
    }
  } catch (const std::exception&) {
    // A path that leads nowhere: the reading below says why.
  }
  TCachedThumbnail made;
  decoded = true;
  try {
    made.Rgba = Made(item, look, reads);
  } catch (const std::exception& error) {
    made.Failure = error.what();
  }
  if (key) cache.Store(*key, made);
  return made;
}

// ---------------------------------------------------------------------------------------------

struct TThumbnailJobs::TRequest {
  uint64_t Number = 0;
  std::vector<TThumbnailItem> Items;
  TThumbnailLook Look;
  TResultCallback OnResult;
  std::atomic<size_t> Next{0};  // the first item no worker has taken yet
};

// What a worker keeps between its jobs: the archives it opened, for the request it opened
// them for (a newer request may come from another mount of rewritten archives).
struct TThumbnailJobs::TWorkerState {
  uint64_t Request = 0;
  std::unique_ptr<TGameReadCache> Reads;
};

TThumbnailJobs::TThumbnailJobs(TThumbnailCache& cache, size_t threads)
    : FCache(cache), FPool(threads) {
  for (size_t i = 0; i < FPool.ThreadCount(); ++i)
    FWorkers.push_back(std::make_unique<TWorkerState>());
}

TThumbnailJobs::~TThumbnailJobs() {
  Cancel();
}

uint64_t TThumbnailJobs::Request(std::vector<TThumbnailItem> items, const TThumbnailLook& look,
                                 TResultCallback onResult) {
  auto request = std::make_shared<TRequest>();
  request->Items = std::move(items);
  request->Look = look;
  request->OnResult = std::move(onResult);
  {
    const std::lock_guard lock(FDeliver);
    request->Number = ++FRequest;
  }
  // Each worker takes the next item in turn: the order asked for holds, and a newer request
  // finds no queue of stale jobs before its own.
  const size_t workers = std::min(FPool.ThreadCount(), request->Items.size());
  for (size_t i = 0; i < workers; ++i)
    FPool.Submit([this, request](size_t worker) { Drain(worker, *request); });
  return request->Number;
}

void TThumbnailJobs::Cancel() {
  const std::lock_guard lock(FDeliver);
  ++FRequest;
}

void TThumbnailJobs::Wait() {
  FPool.Wait();
}

void TThumbnailJobs::Drain(size_t worker, TRequest& request) {
  TWorkerState& state = *FWorkers[worker];
  if (state.Request != request.Number || !state.Reads) {
    state.Reads = std::make_unique<TGameReadCache>();
    state.Request = request.Number;
  }
  while (request.Number == FRequest) {
    const size_t index = request.Next++;
    if (index >= request.Items.size()) return;
    TThumbnailResult result;
    result.Request = request.Number;
    result.Tag = request.Items[index].Tag;
    bool decoded = false;
    result.Thumbnail =
        MakeThumbnail(request.Items[index], request.Look, FCache, *state.Reads, decoded);
    result.FromCache = !decoded;
    if (decoded) ++FDecoded;
    const std::lock_guard lock(FDeliver);
    if (request.Number == FRequest) request.OnResult(std::move(result));
  }
}
