#include "GameSearchU.h"

#include <algorithm>

#include "GameFolderU.h"
#include "ImageNameIndexU.h"

namespace {

std::string Folded(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), AsciiUpper);
  return text;
}

}  // namespace

TSearchPattern::TSearchPattern(const std::string& pattern) : FFolded(Folded(pattern)) {
  FWildcard = FFolded.find_first_of("*?[") != std::string::npos;
  FWholePath = FFolded.find('/') != std::string::npos;
  if (FWildcard) FMask.emplace(pattern);  // folds by itself; its messages show what was typed
}

bool TSearchPattern::MatchesPath(const std::string& foldedPath, size_t nameStart) const {
  if (!FWildcard) return foldedPath.find(FFolded) != std::string::npos;
  const std::string_view path(foldedPath);
  return FMask->Matches(FWholePath ? path : path.substr(nameStart));
}

bool TSearchPattern::MatchesImage(const std::string& foldedName) const {
  return FWildcard ? FMask->Matches(foldedName) : foldedName.find(FFolded) != std::string::npos;
}

TGameSearch::TGameSearch(TGameFolder& folder) : FFolder(folder) {
  VisitTree(folder.Root(), [this](TEntry& node, const std::string& path) {
    if (node.IsDirectory()) return TWalkStep::Continue;
    const size_t slash = path.rfind('/');
    const auto nameStart = static_cast<uint32_t>(slash == std::string::npos ? 0 : slash + 1);
    FByEntry.emplace(static_cast<const TFileEntry*>(&node), FFiles.size());
    FFiles.push_back({static_cast<const TFileEntry*>(&node), path, Folded(path), nameStart});
    return TWalkStep::Continue;
  });
}

TGameSearch::~TGameSearch() = default;

std::vector<TGameSearchResult> TGameSearch::Find(const std::string& pattern,
                                                 const TImageNameIndex* index, size_t limit,
                                                 size_t* total) const {
  const TSearchPattern matcher(pattern);
  // Files found by an image name, with the names, in tree order.
  std::vector<std::pair<size_t, std::vector<std::string>>> byImage;
  if (index && !matcher.Empty()) {
    for (const TImageNameRecord& record : index->Records()) {
      std::vector<std::string> names;
      for (size_t i = 0; i < record.Folded.size(); ++i)
        if (matcher.MatchesImage(record.Folded[i])) names.push_back(record.Images[i]);
      if (names.empty()) continue;
      const auto found = FByEntry.find(record.File);
      if (found != FByEntry.end()) byImage.emplace_back(found->second, std::move(names));
    }
    std::sort(byImage.begin(), byImage.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
  }
  std::vector<TGameSearchResult> results;
  size_t count = 0;
  auto image = byImage.begin();
  const auto add = [&](size_t file, std::vector<std::string> images) {
    if (count++ >= limit) return;
    const TFileEntry& entry = *FFiles[file].Entry;
    results.push_back({FFiles[file].Path, FFolder.OriginName(entry), TGameFolder::OpenPathOf(entry),
                       std::move(images), &entry});
  };
  for (size_t file = 0; file < FFiles.size() && !matcher.Empty(); ++file) {
    const bool byName = matcher.MatchesPath(FFiles[file].Folded, FFiles[file].NameStart);
    const bool hasImages = image != byImage.end() && image->first == file;
    if (hasImages) {
      add(file, std::move(image->second));
      ++image;
    } else if (byName) {
      add(file, {});
    }
  }
  if (total) *total = count;
  return results;
}
