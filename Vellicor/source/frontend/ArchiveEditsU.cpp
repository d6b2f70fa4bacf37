#include "ArchiveEditsU.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <memory>
#include <utility>

#include "ArchiveLoadersU.h"
#include "ExceptionsU.h"
#include "FileReaderU.h"
#include "FileSystemU.h"
#include "FileTreeU.h"
#include "SafeFileU.h"
#include "StringUtilsU.h"

namespace fs = std::filesystem;

namespace {

std::string Joined(const std::vector<std::string>& parts, size_t count) {
  std::string path;
  for (size_t i = 0; i < count && i < parts.size(); ++i) path += (i ? "/" : "") + parts[i];
  return path;
}

// The name a disk file or folder goes into the archive by: its last component, also when the
// user wrote "dir/", "." or "dir/..".
std::string DiskName(const std::string& diskPath) {
  fs::path path = fs::path(diskPath).lexically_normal();
  if (!path.has_filename()) path = path.parent_path();
  if (path.filename() == "." || path.filename() == ".." || path.empty())
    path = fs::absolute(diskPath).lexically_normal();
  if (!path.has_filename()) path = path.parent_path();
  return path.filename().string();
}

}  // namespace

const char* EntryMarkName(TEntryMark mark) {
  switch (mark) {
    case TEntryMark::Added:
      return "added";
    case TEntryMark::Replaced:
      return "replaced";
    case TEntryMark::Renamed:
      return "renamed";
    case TEntryMark::Deleted:
      return "deleted";
    case TEntryMark::Unchanged:
      break;
  }
  return "";
}

TArchiveEdits::TArchiveEdits(std::string archive) : FArchive(std::move(archive)) {
  ReadListing();
}

// Folders sort before their content: the separator sorts below every name character.
std::string TArchiveEdits::Key(const std::string& path) {
  std::string key = AnsiUpperCase(path);
  std::replace(key.begin(), key.end(), '/', '\x01');
  return key;
}

void TArchiveEdits::Refuse(const std::string& reason) const {
  throw Exception(Format("Cannot rewrite \"%s\": %s", FArchive.c_str(), reason.c_str()));
}

std::vector<std::string> TArchiveEdits::Parts(const std::string& innerPath,
                                              bool rootAllowed) const {
  if (rootAllowed && innerPath.empty()) return {};
  std::vector<std::string> parts = InnerPathParts(innerPath);
  if (parts.empty()) Refuse(Format("the name \"%s\" would leave the archive", innerPath.c_str()));
  return parts;
}

void TArchiveEdits::ReadListing() {
  std::map<std::string, TEditedEntry> live;
  try {
    std::unique_ptr<TFileSystem> tree = MakeArchiveFileSystem();
    auto reader = std::make_shared<TSystemFileReader>(FArchive);
    reader->Open(fmRead);
    tree->GetRoot();
    const TArchiveAnswer answer = tree->OfferArchive(reader, FArchive, 0);
    if (answer.Kind == TArchiveAnswer::akNotMine)
      throw Exception(Format("it is not an archive: %s", answer.Reason.c_str()));
    if (TDirEntry* root = tree->Root())
      VisitTree(*root, [&live](TEntry& node, const std::string& path) {
        TEditedEntry entry;
        entry.Path = path;
        entry.IsFolder = node.IsDirectory();
        if (!entry.IsFolder) entry.Size = static_cast<TFileEntry&>(node).Size;
        live.emplace(Key(path), std::move(entry));
        return TWalkStep::Continue;
      });
  } catch (const std::exception& error) {
    throw Exception(Format("Cannot read \"%s\": %s", FArchive.c_str(), error.what()));
  }
  FLive = std::move(live);
  FGone.clear();
}

template <class TChange>
auto TArchiveEdits::Atomically(const TChange& change) {
  const size_t changes = FChanges.size();
  const auto live = FLive;
  const auto gone = FGone;
  try {
    return change();
  } catch (...) {
    FChanges.resize(changes);
    FLive = live;
    FGone = gone;
    throw;
  }
}

TEditedEntry* TArchiveEdits::At(const std::vector<std::string>& parts, size_t count) {
  auto found = FLive.find(Key(Joined(parts, count)));
  return found == FLive.end() ? nullptr : &found->second;
}

void TArchiveEdits::MakeFolders(const std::vector<std::string>& parts, size_t count) {
  for (size_t i = 1; i <= count; ++i) {
    const std::string path = Joined(parts, i);
    if (const TEditedEntry* entry = At(parts, i)) {
      if (!entry->IsFolder) Refuse(Format("\"%s\" is a file, not a folder", path.c_str()));
      continue;
    }
    TEditedEntry folder;
    folder.Path = path;
    folder.IsFolder = true;
    folder.Mark = TEntryMark::Added;
    FGone.erase(Key(path));
    FLive.emplace(Key(path), std::move(folder));
  }
}

void TArchiveEdits::PutParts(const std::vector<std::string>& parts, std::vector<uint8_t> content) {
  const std::string path = Joined(parts, parts.size());
  if (int64_t(content.size()) >= HpiMaxOffset)
    Refuse(Format("\"%s\" is 2 GiB or larger", path.c_str()));
  MakeFolders(parts, parts.size() - 1);
  TEditedEntry* entry = At(parts, parts.size());
  if (entry && entry->IsFolder) Refuse(Format("\"%s\" is a folder", path.c_str()));
  if (!entry) {
    FGone.erase(Key(path));
    entry = &FLive[Key(path)];
    entry->Path = path;
    entry->Mark = TEntryMark::Added;
  } else if (entry->Mark != TEntryMark::Added) {
    entry->Mark = TEntryMark::Replaced;
  }
  entry->Size = int64_t(content.size());
  THpiChange change;
  change.Kind = THpiChange::TKind::Put;
  change.Path = path;
  change.Data = std::move(content);
  change.Options = HpiPackFileOptions(FCompression);
  FChanges.push_back(std::move(change));
}

void TArchiveEdits::Put(const std::string& innerPath, std::vector<uint8_t> content) {
  const std::vector<std::string> parts = Parts(innerPath);
  Atomically([&] { PutParts(parts, std::move(content)); });
}

int TArchiveEdits::AddFolderFromDisk(const std::string& diskPath, std::vector<std::string> base) {
  const THpiPackTree tree = ScanHpiFolder(diskPath);
  int files = 0;
  // Folders before their content, each folder's entries in the scan's order.
  struct TWalk {
    const THpiTreeEntry* Entry;
    std::vector<std::string> Parts;
  };
  std::vector<TWalk> stack{{&tree.Root, base}};
  while (!stack.empty()) {
    TWalk at = std::move(stack.back());
    stack.pop_back();
    if (!at.Entry->IsDirectory) {
      PutParts(at.Parts, ReadHpiPackFile(tree.Files[at.Entry->Source]));
      ++files;
      continue;
    }
    if (!At(at.Parts, at.Parts.size())) {
      MakeFolders(at.Parts, at.Parts.size());
      THpiChange change;
      change.Kind = THpiChange::TKind::MakeFolder;
      change.Path = Joined(at.Parts, at.Parts.size());
      FChanges.push_back(std::move(change));
    }
    for (auto child = at.Entry->Children.rbegin(); child != at.Entry->Children.rend(); ++child) {
      std::vector<std::string> parts = at.Parts;
      parts.push_back(child->Name);
      stack.push_back({&*child, std::move(parts)});
    }
  }
  return files;
}

int TArchiveEdits::AddFromDisk(const std::string& diskPath, const std::string& innerFolder) {
  std::string folder = innerFolder;
  while (!folder.empty() && (folder.back() == '/' || folder.back() == '\\')) folder.pop_back();
  std::vector<std::string> parts = Parts(folder, true);
  const std::string name = DiskName(diskPath);
  parts.push_back(name);
  Parts(Joined(parts, parts.size()));  // the disk name must be a plain name too
  struct stat info {};
  if (::stat(diskPath.c_str(), &info) == 0 && S_ISDIR(info.st_mode))
    return Atomically([&] { return AddFolderFromDisk(diskPath, parts); });
  const TFileHandle file = OpenRegularFile(diskPath, TLinkPolicy::Follow);
  const std::string bytes = ReadAllFrom(file, diskPath, size_t(HpiMaxOffset - 1));
  Atomically([&] { PutParts(parts, std::vector<uint8_t>(bytes.begin(), bytes.end())); });
  return 1;
}

void TArchiveEdits::Replace(const std::string& innerPath, const std::string& diskPath) {
  const TEditedEntry* entry = Find(innerPath);
  if (!entry) Refuse(Format("\"%s\" is not in the archive", innerPath.c_str()));
  if (entry->IsFolder) Refuse(Format("\"%s\" is a folder", innerPath.c_str()));
  const TFileHandle file = OpenRegularFile(diskPath, TLinkPolicy::Follow);
  const std::string bytes = ReadAllFrom(file, diskPath, size_t(HpiMaxOffset - 1));
  Put(innerPath, std::vector<uint8_t>(bytes.begin(), bytes.end()));
}

void TArchiveEdits::Rename(const std::string& fromPath, const std::string& toPath) {
  const std::vector<std::string> from = Parts(fromPath), to = Parts(toPath);
  const std::string fromKey = Key(Joined(from, from.size())), toKey = Key(Joined(to, to.size()));
  const auto inside = [](const std::string& key, const std::string& folder) {
    return key.size() > folder.size() && key.compare(0, folder.size(), folder) == 0 &&
           key[folder.size()] == '\x01';
  };
  if (!FLive.count(fromKey)) Refuse(Format("\"%s\" is not in the archive", fromPath.c_str()));
  if (inside(toKey, fromKey)) Refuse(Format("\"%s\" cannot move into itself", fromPath.c_str()));
  if (toKey != fromKey && FLive.count(toKey))
    Refuse(Format("\"%s\" already exists", toPath.c_str()));
  Atomically([&] {
    MakeFolders(to, to.size() - 1);
    std::vector<TEditedEntry> moved;
    for (auto at = FLive.lower_bound(fromKey); at != FLive.end();) {
      if (at->first != fromKey && !inside(at->first, fromKey)) break;
      moved.push_back(std::move(at->second));
      at = FLive.erase(at);
    }
    const size_t oldLength = Joined(from, from.size()).size();
    const std::string newPath = Joined(to, to.size());
    for (TEditedEntry& entry : moved) {
      if (entry.Mark == TEntryMark::Unchanged) {
        entry.Mark = TEntryMark::Renamed;
        entry.OldPath = entry.Path;
      }
      entry.Path = newPath + entry.Path.substr(oldLength);
      if (entry.Mark == TEntryMark::Renamed && Key(entry.Path) == Key(entry.OldPath)) {
        entry.Mark = TEntryMark::Unchanged;  // back where it was
        entry.OldPath.clear();
      }
      FGone.erase(Key(entry.Path));
      FLive.emplace(Key(entry.Path), std::move(entry));
    }
    THpiChange change;
    change.Kind = THpiChange::TKind::Rename;
    change.Path = fromPath;
    change.NewPath = toPath;
    FChanges.push_back(std::move(change));
  });
}

void TArchiveEdits::Delete(const std::string& innerPath) {
  const std::string key = Key(Joined(Parts(innerPath), SIZE_MAX));
  if (!FLive.count(key)) Refuse(Format("\"%s\" is not in the archive", innerPath.c_str()));
  Atomically([&] {
    for (auto at = FLive.lower_bound(key); at != FLive.end();) {
      const bool below = at->first.size() > key.size() && at->first[key.size()] == '\x01' &&
                         at->first.compare(0, key.size(), key) == 0;
      if (at->first != key && !below) break;
      TEditedEntry entry = std::move(at->second);
      at = FLive.erase(at);
      if (entry.Mark == TEntryMark::Added) continue;  // it was never in the archive
      if (!entry.OldPath.empty()) entry.Path = entry.OldPath;
      entry.OldPath.clear();
      entry.Mark = TEntryMark::Deleted;
      FGone[Key(entry.Path)] = std::move(entry);
    }
    THpiChange change;
    change.Kind = THpiChange::TKind::Remove;
    change.Path = innerPath;
    FChanges.push_back(std::move(change));
  });
}

void TArchiveEdits::MakeFolder(const std::string& innerPath) {
  const std::vector<std::string> parts = Parts(innerPath);
  if (At(parts, parts.size())) Refuse(Format("\"%s\" already exists", innerPath.c_str()));
  Atomically([&] {
    MakeFolders(parts, parts.size());
    THpiChange change;
    change.Kind = THpiChange::TKind::MakeFolder;
    change.Path = innerPath;
    FChanges.push_back(std::move(change));
  });
}

std::vector<TEditedEntry> TArchiveEdits::Listing() const {
  std::map<std::string, const TEditedEntry*> all;
  for (const auto& [key, entry] : FGone) all[key] = &entry;
  for (const auto& [key, entry] : FLive) all[key] = &entry;
  std::vector<TEditedEntry> listing;
  listing.reserve(all.size());
  for (const auto& [key, entry] : all) listing.push_back(*entry);
  return listing;
}

const TEditedEntry* TArchiveEdits::Find(const std::string& innerPath) const {
  std::string path = innerPath;
  std::replace(path.begin(), path.end(), '\\', '/');
  auto found = FLive.find(Key(path));
  return found == FLive.end() ? nullptr : &found->second;
}

void TArchiveEdits::Save() {
  if (FChanges.empty()) return;
  RewriteHpiArchive(FArchive, FChanges);
  FChanges.clear();
  ReadListing();
}
