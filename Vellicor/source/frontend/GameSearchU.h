#pragma once
// A search over the whole merged tree of a game folder, by file name and by image name, cheap
// enough to run again on every keystroke: what it needs of the tree is laid out once.
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "FileMaskU.h"

class TFileEntry;
class TGameFolder;
class TImageNameIndex;

struct TGameSearchResult {
  std::string Path;                 // tree path, '/' between names
  std::string Origin;               // the archive or folder that provides it (OriginName)
  std::string OpenPath;             // what the viewer opens for it (OpenPathOf)
  std::vector<std::string> Images;  // its images whose names match, in file order
  const TFileEntry* File = nullptr;
};

// How a pattern matches, without regard to letter case: with any of * ? [ it is a wildcard
// mask (the file system's own mask language) that a whole name must match: the file name, or
// the whole path when the pattern holds a '/'; otherwise a part of the path or image name.
class TSearchPattern {
 public:
  // EMaskException for an invalid mask.
  explicit TSearchPattern(const std::string& pattern);
  bool Empty() const { return FFolded.empty(); }
  // path: the folded tree path; nameStart: where its last part begins.
  bool MatchesPath(const std::string& foldedPath, size_t nameStart) const;
  bool MatchesImage(const std::string& foldedName) const;

 private:
  std::string FFolded;
  bool FWildcard = false;
  bool FWholePath = false;
  std::optional<TMask> FMask;  // when a wildcard
};

class TGameSearch {
 public:
  // Lays out the standing files of the folder's tree; the tree must outlive the search and
  // stay as it is.
  explicit TGameSearch(TGameFolder& folder);
  ~TGameSearch();

  size_t FileCount() const { return FFiles.size(); }

  // The files whose path matches pattern, and with an index those with an image whose name
  // matches, in tree order; an empty pattern finds nothing. At most limit results are filled in;
  // total (when given) receives the count of all. Raises EMaskException for an invalid mask.
  std::vector<TGameSearchResult> Find(const std::string& pattern,
                                      const TImageNameIndex* index = nullptr,
                                      size_t limit = std::numeric_limits<size_t>::max(),
                                      size_t* total = nullptr) const;

 private:
  struct TFile {
    const TFileEntry* Entry;
    std::string Path;
    std::string Folded;
    uint32_t NameStart;
  };
  TGameFolder& FFolder;
  std::vector<TFile> FFiles;
  std::unordered_map<const TFileEntry*, size_t> FByEntry;
};
