#include "ImageNameIndexU.h"

#include <algorithm>
#include <mutex>

#include "ExceptionsU.h"
#include "FileMaskU.h"
#include "GameFolderU.h"
#include "QuvImageNamesU.h"
#include "WorkerPoolU.h"

namespace {

std::string Folded(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), AsciiUpper);
  return text;
}

bool IsQuvName(const std::string& name) {
  return name.size() >= 4 && Folded(name.substr(name.size() - 4)) == ".QUV";
}

void ReadRecord(TImageNameRecord& record, TGameReadCache& cache) {
  try {
    const std::vector<uint8_t> bytes = TGameFolder::ReadFile(*record.File, cache);
    record.Images = QuvImageNames(bytes.data(), bytes.size(), record.Path);
  } catch (const Exception& error) {
    record.Error = error.what();
  } catch (const std::bad_alloc&) {
    record.Error = "Out of memory";
  }
  record.Folded.reserve(record.Images.size());
  for (const std::string& name : record.Images) record.Folded.push_back(Folded(name));
}

}  // namespace

std::shared_ptr<TImageNameIndex> TImageNameIndex::Build(TGameFolder& folder,
                                                        const std::atomic<bool>* cancel,
                                                        const TProgress& progress, size_t threads) {
  auto index = std::make_shared<TImageNameIndex>();
  std::vector<TImageNameRecord>& records = index->FRecords;
  VisitTree(folder.Root(), [&](TEntry& node, const std::string& path) {
    if (!node.IsDirectory() && IsQuvName(node.Name))
      records.push_back({static_cast<const TFileEntry*>(&node), path, {}, {}, {}});
    return TWalkStep::Continue;
  });

  TWorkerPool pool(threads);
  std::vector<std::unique_ptr<TGameReadCache>> caches(pool.ThreadCount());
  for (auto& cache : caches) cache = std::make_unique<TGameReadCache>();
  std::mutex progressLock;
  std::atomic<size_t> done{0};
  std::vector<char> read(records.size(), 0);
  // Jobs of a few files each: one per file would cost more than reading a small file.
  const size_t batch = std::max<size_t>(1, records.size() / (pool.ThreadCount() * 64));
  for (size_t first = 0; first < records.size(); first += batch) {
    pool.Submit([&, first](size_t worker) {
      const size_t last = std::min(records.size(), first + batch);
      for (size_t i = first; i < last; ++i) {
        if (cancel && cancel->load(std::memory_order_relaxed)) return;
        ReadRecord(records[i], *caches[worker]);
        read[i] = 1;
        const size_t count = ++done;
        if (progress) {
          std::lock_guard<std::mutex> lock(progressLock);
          progress(count, records.size());
        }
      }
    });
  }
  pool.Wait();
  caches.clear();

  if (done.load() != records.size()) {
    index->FComplete = false;
    size_t kept = 0;
    for (size_t i = 0; i < records.size(); ++i)
      if (read[i]) {
        if (kept != i) records[kept] = std::move(records[i]);
        ++kept;
      }
    records.resize(kept);
  }
  for (size_t i = 0; i < records.size(); ++i) index->FByPath.emplace(Folded(records[i].Path), i);
  return index;
}

const TImageNameRecord* TImageNameIndex::Find(const std::string& path) const {
  const auto found = FByPath.find(Folded(path));
  return found == FByPath.end() ? nullptr : &FRecords[found->second];
}

size_t TImageNameIndex::UnreadableCount() const {
  return static_cast<size_t>(
      std::count_if(FRecords.begin(), FRecords.end(),
                    [](const TImageNameRecord& r) { return !r.Error.empty(); }));
}
