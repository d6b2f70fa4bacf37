#pragma once
// The image names of every Quv file of a mounted game folder, read once per mount so that a
// search can find a file by the names of the images it holds.
#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

class TFileEntry;
class TGameFolder;

// One Quv file of the tree: the copy that stands (hidden copies are not indexed).
struct TImageNameRecord {
  const TFileEntry* File = nullptr;
  std::string Path;                 // tree path, '/' between names
  std::vector<std::string> Images;  // in file order
  std::vector<std::string> Folded;  // the same, upper-cased for matching
  std::string Error;                // why the file could not be read (then no images)
};

class TImageNameIndex {
 public:
  // Called with the count of files read so far and the count to read, from the worker
  // threads, one call at a time.
  using TProgress = std::function<void(size_t done, size_t total)>;

  // Reads every standing file whose name ends in ".quv" (without regard to case) on threads
  // workers (0: one per core), each with a read cache of its own. A file the Quv reader would
  // refuse is recorded with its reason, not raised. When cancel becomes true the files not
  // read yet are left out and the index is not Complete(). The tree must stay as it is while
  // this runs.
  static std::shared_ptr<TImageNameIndex> Build(TGameFolder& folder,
                                                const std::atomic<bool>* cancel = nullptr,
                                                const TProgress& progress = {}, size_t threads = 0);

  // In tree order.
  const std::vector<TImageNameRecord>& Records() const { return FRecords; }
  // The record of a tree path ('/' between names, any letter case); null when not indexed.
  const TImageNameRecord* Find(const std::string& path) const;
  bool Complete() const { return FComplete; }
  size_t UnreadableCount() const;

 private:
  std::vector<TImageNameRecord> FRecords;
  std::unordered_map<std::string, size_t> FByPath;  // upper-cased path to record
  bool FComplete = true;
};
