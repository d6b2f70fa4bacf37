#include "ArchiveExtractU.h"

#include <algorithm>

#include "FileTreeU.h"
#include "StreamsU.h"
#include "StringUtilsU.h"

bool ExtractTarget(const TEntry& node, const TEntry* base, const std::filesystem::path& folder,
                   std::filesystem::path& target) {
  std::vector<std::string_view> names;
  for (const TEntry* at = &node; at && at != base && at->Parent; at = at->Parent)
    names.push_back(at->Name);
  target = folder;
  bool safe = !names.empty();
  for (auto name = names.rbegin(); name != names.rend(); ++name) {
    safe = safe && SafeNamePart(*name);
    if (safe) target /= std::filesystem::path(std::string(*name));
  }
  return safe;
}

void CollectFiles(TEntry& entry, std::vector<TFileEntry*>& files) {
  if (!entry.IsDirectory()) {
    files.push_back(&static_cast<TFileEntry&>(entry));
    return;
  }
  VisitTree(static_cast<TDirEntry&>(entry), [&files](TEntry& node, const std::string&) {
    if (!node.IsDirectory()) files.push_back(&static_cast<TFileEntry&>(node));
    return TWalkStep::Continue;
  });
}

std::vector<uint8_t> ReadEntryBytes(TFileEntry& file) {
  IFileReaderRef reader = file.OpenReader(fmRead);
  if (!reader) throw EInOutError(Format("\"%s\" cannot be opened", file.GetFullPath().c_str()));
  const int64_t size = std::max<int64_t>(0, reader->GetSize());
  // Grown by what the reader delivers, never by the size an archive claims.
  constexpr int64_t Block = int64_t(1) << 20;
  std::vector<uint8_t> data;
  while (int64_t(data.size()) < size) {
    const size_t done = data.size();
    const int64_t want = std::min(Block, size - int64_t(done));
    data.resize(done + size_t(want));
    const int64_t got = reader->Read(data.data() + done, want);
    data.resize(done + size_t(std::clamp<int64_t>(got, 0, want)));
    if (got <= 0) break;
  }
  if (int64_t(data.size()) < size) {
    reader->Close();
    throw EReadError(Format("\"%s\" ends after %lld of its %lld bytes", file.GetFullPath().c_str(),
                            (long long)data.size(), (long long)size));
  }
  reader->Close();
  return data;
}
