#include "FileSystemU.h"
#include "ByteOrderU.h"

#include <cxxabi.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <typeinfo>

#include "AssertU.h"
#include "ConsoleU.h"
#include "FileMaskU.h"
#include "LowLevelIO.h"
#include "StringUtilsU.h"

TFileSystem* DefaultFileSystem = nullptr;

namespace {

bool IsSeparator(char c) {
  return c == '/' || c == '\\';
}

std::string ClassName(const std::type_info& type) {
  int status = 0;
  char* demangled = abi::__cxa_demangle(type.name(), nullptr, nullptr, &status);
  std::string result = status == 0 && demangled ? demangled : type.name();
  std::free(demangled);
  return result;
}

std::string LoaderMessage(const std::string& className) {
  return Format("Library file loader \"%s\" was not passed a valid FileSystem object",
                className.c_str());
}

// The parts of a tree path, with either separator; empty parts (leading, doubled or trailing
// separators) are dropped.
std::vector<std::string_view> SplitTreePath(std::string_view path) {
  std::vector<std::string_view> parts;
  size_t start = 0;
  for (size_t i = 0; i <= path.size(); ++i) {
    if (i == path.size() || IsSeparator(path[i])) {
      if (i > start) parts.push_back(path.substr(start, i - start));
      start = i + 1;
    }
  }
  return parts;
}

// Search paths may not climb with "..": a folder is taken as a full, normal path.
std::string FullFolderPath(const std::string& folder) {
  std::error_code error;
  std::filesystem::path absolute = std::filesystem::absolute(folder.empty() ? "." : folder, error);
  if (error) absolute = folder;
  return NormalizePath(absolute.lexically_normal().string(), PathDelim);
}

// The disk file a node reads, or "" for a node of an archive.
std::string DiskFileOf(const TFileEntry& node) {
  const auto* disk = dynamic_cast<const TSystemFileReader*>(node.Reader.get());
  return disk ? disk->FileName() : std::string();
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Loaders

TLibLoader::TLibLoader(TFileSystem* fileSystem, const char* className) : FileSystem(fileSystem) {
  if (fileSystem) return;
  const std::string message = LoaderMessage(className ? className : "TLibLoader");
  VASSERT_MSG(false, message);
  throw ELibLoaderError(message);
}

TLoaderBid TLibLoader::Bid(IFileReader& reader) const {
  uint8_t bytes[4];
  if (reader.Read(bytes, sizeof bytes) != sizeof bytes)
    return {TLoaderBid::bdTooShort, "too short for an archive signature"};
  if (ByteOrder::LoadU32(bytes) != GetSignature())
    return {TLoaderBid::bdOtherSignature, "no archive signature known here"};
  return {TLoaderBid::bdMine, {}};
}

TDirEntry* TLibLoader::GetRoot() {
  if (!FileSystem) {
    const std::string message = LoaderMessage(ClassName(typeid(*this)));
    VASSERT_MSG(false, message);
    throw ELibLoaderError(message);
  }
  return FileSystem->GetRoot();
}

TDirEntry* TLibLoader::AddDirectory(const std::string& name, TDirEntry* parent) {
  return FileSystem ? FileSystem->AddDirectory(name, parent) : nullptr;
}

TFileEntry* TLibLoader::AddFile(std::unique_ptr<TFileEntry>& node, TDirEntry* parent) {
  return FileSystem ? FileSystem->AddFile(node, parent) : nullptr;
}

// ---------------------------------------------------------------------------------------------
// File system

TFileSystem::~TFileSystem() {
  if (Active) Finalize();
  FRoot.reset();
}

bool TFileSystem::Initialize() {
  if (!TSubSystem::Initialize()) return false;
  RegisterMacro("Root", [](TFileSystem*, const std::string&, const std::string& rest, TScanDir&,
                           bool&) { return rest; });
  RegisterMacro("CD_DIRS", [](TFileSystem* fileSystem, const std::string&, const std::string& rest,
                              TScanDir& scanDir, bool& scanSelf) {
    scanSelf = false;
    const auto& platform = Platform();
    if (!platform.CDDriveList) return std::string();
    const std::vector<TFileMaskInfo> masks = scanDir.Masks;
    const uint8_t flags = scanDir.Flags;
    for (const std::string& drive : platform.CDDriveList())
      fileSystem->AddSearchPath("", JoinPath(drive, rest, PathDelim), flags, masks);
    return std::string();
  });
  Rescan(true);
  return true;
}

void TFileSystem::Finalize() {
  Clear();
  FLoaders.clear();
  TSubSystem::Finalize();
}

void TFileSystem::RegisterLoader(std::unique_ptr<TLibLoader> loader) {
  if (!loader) return;
  const uint32_t signature = loader->GetSignature();
  for (const auto& known : FLoaders) {
    if (known->GetSignature() == signature) return;
  }
  FLoaders.push_back(std::move(loader));
}

void TFileSystem::RegisterMacro(const std::string& name, TMacroHandler handler) {
  for (auto& [known, knownHandler] : FMacros) {
    if (SameText(known, name)) {
      knownHandler = std::move(handler);
      return;
    }
  }
  FMacros.emplace_back(name, std::move(handler));
  std::sort(FMacros.begin(), FMacros.end(),
            [](const auto& a, const auto& b) { return UpperCase(a.first) < UpperCase(b.first); });
}

void TFileSystem::AddSearchPath(const std::string& mountPoint, const std::string& path,
                                uint8_t flags, const std::vector<TFileMaskInfo>& masks) {
  // Disk paths keep their letter case: this platform's file names are case-sensitive.
  const std::string diskPath = NormalizePath(path.empty() ? "<Root>" : path, PathDelim);
  std::string mount = AnsiUpperCase(NormalizePath(mountPoint, TreeDelim));
  while (!mount.empty() && IsSeparator(mount.front())) mount.erase(0, 1);
  if (!mount.empty() && IsSeparator(mount.back())) mount.pop_back();
  const std::vector<std::string_view> parts = SplitTreePath(diskPath);
  if (std::find(parts.begin(), parts.end(), "..") != parts.end()) {
    ConsoleLog(LogLevel::Assertion, "Invalid search path, contains \"..\"");
    return;
  }
  TScanDir* scanDir = nullptr;
  for (auto it = FScanDirs.rbegin(); it != FScanDirs.rend(); ++it) {
    if ((*it)->Path == diskPath) {
      scanDir = it->get();
      break;
    }
  }
  if (scanDir) {
    scanDir->Changed = true;
  } else {
    auto created = std::make_unique<TScanDir>();
    created->FileSystem = this;
    created->Path = diskPath;
    created->MountPoint = mount;
    created->Flags = flags;
    scanDir = created.get();
    FScanDirs.push_back(std::move(created));
  }
  for (const TFileMaskInfo& mask : masks) {
    TFileMaskInfo stored{UpperCase(mask.Mask), mask.Priority, mask.LoadArchives};
    auto known = std::find_if(scanDir->Masks.begin(), scanDir->Masks.end(),
                              [&stored](const TFileMaskInfo& m) { return m.Mask == stored.Mask; });
    if (known == scanDir->Masks.end()) {
      scanDir->Masks.push_back(std::move(stored));
      scanDir->Changed = true;
    } else if (known->Priority != stored.Priority || known->LoadArchives != stored.LoadArchives) {
      *known = std::move(stored);
      scanDir->Changed = true;
    }
  }
}

void TFileSystem::Rescan(bool onlyChanged) {
  GetRoot();
  // By index: a macro may append scan directories while this runs.
  for (size_t i = 0; i < FScanDirs.size(); ++i) {
    TScanDir& scanDir = *FScanDirs[i];
    if (onlyChanged && !scanDir.Changed) continue;
    scanDir.Changed = false;
    ScanOne(scanDir);
  }
  std::erase_if(FScanDirs, [](const std::unique_ptr<TScanDir>& scanDir) {
    return (scanDir->Flags & sdRemoveAfterScan) != 0;
  });
}

void TFileSystem::ScanOne(TScanDir& scanDir) {
  std::string path = scanDir.Path;
  bool isMacro = false;
  if (!path.empty() && path.front() == '<') {
    const size_t close = path.find('>');
    if (close != std::string::npos) {
      isMacro = true;
      const std::string name = path.substr(1, close - 1);
      std::string rest = path.substr(close + 1);
      if (!rest.empty() && IsSeparator(rest.front())) rest.erase(0, 1);
      auto macro = std::find_if(FMacros.begin(), FMacros.end(),
                                [&name](const auto& m) { return SameText(m.first, name); });
      if (macro == FMacros.end()) return;  // nothing is known to scan there
      bool scanSelf = true;
      const TMacroHandler handler = macro->second;
      path = handler(this, name, rest, scanDir, scanSelf);
      if (!scanSelf) return;
      if (!path.empty()) path = NormalizePath(path, PathDelim);
    }
  }
  // The scan directory may go away under an OnFileFound handler: work on copies.
  const std::vector<TFileMaskInfo> masks = scanDir.Masks;
  const std::string mountPoint = scanDir.MountPoint;
  const uint8_t flags = scanDir.Flags;

  bool recurse = false;
  if (!path.empty() && path.back() == '*') {
    recurse = true;
    path.pop_back();
    if (path.size() > 1 && IsSeparator(path.back())) path.pop_back();
  }
  if (!isMacro && (flags & sdCheckUsable) &&
      !Platform().DirectoryUsable(path.empty() ? std::string(".") : path))
    return;
  TDirEntry* target = mountPoint.empty() ? GetRoot() : ForceDirectory(mountPoint);
  const bool strict = (flags & sdShortFilesArePlain) == 0;
  for (const TFileMaskInfo& mask : masks) {
    std::set<TDirId> visited;
    MountDirectory(path, target, mask, recurse, strict, 0, visited);
  }
}

void TFileSystem::MountDirectory(const std::string& path, TDirEntry* target,
                                 const TFileMaskInfo& mask, bool recurse, bool strict, int depth,
                                 std::set<TDirId>& visited) {
  if (!target) return;
  if (recurse) {
    // A folder reached twice (through a link) is mounted once, so link loops end.
    struct stat info {};
    if (::stat(path.empty() ? "." : path.c_str(), &info) != 0) return;
    if (!visited.insert({static_cast<uint64_t>(info.st_dev), static_cast<uint64_t>(info.st_ino)})
             .second)
      return;
  }
  const TPlatformTable& platform = Platform();
  if (!platform.FindFirst) return;
  const bool allNames = mask.Mask == "*" || mask.Mask == "*.*";
  std::vector<std::string> subDirs;
  TFindFileData data;
  // In name order, not the order the disk lists them in: which of two same-named files stands
  // must not change from one disk or copy of a folder to the next.
  std::vector<TFindFileData> found;
  if (auto search = platform.FindFirst(JoinPath(path, mask.Mask, PathDelim),
                                       saNormal | saReadOnly | saDirectory, data)) {
    do {
      if (!data.Name.empty() && data.Name.front() != '.') found.push_back(data);
    } while (search->FindNext(data));
  }
  std::sort(found.begin(), found.end(),
            [](const TFindFileData& a, const TFindFileData& b) { return a.Name < b.Name; });
  for (const TFindFileData& item : found) {
    if (item.Attributes & ffDirectory) {
      AddDirectory(item.Name, target);
      if (recurse && allNames) subDirs.push_back(item.Name);
      continue;
    }
    const std::string diskPath = JoinPath(path, item.Name, PathDelim);
    if (mask.LoadArchives) {
      TArchiveAnswer answer = TryLoadArchive(diskPath, mask.Priority, strict);
      const bool plain =
          answer.Kind == TArchiveAnswer::akNotMine || answer.Kind == TArchiveAnswer::akNothingNew;
      if (FWatch && item.Name == FWatch->Name) FWatch->Answer = std::move(answer);
      if (!plain) continue;
    }
    MountFile(diskPath, item.Name, target, mask, item.Size);
  }
  if (!recurse || depth >= MaxScanDepth) return;
  if (!allNames) {
    // The mask picks files; the walk goes through every sub-directory.
    if (auto search = platform.FindFirst(JoinPath(path, "*", PathDelim), saDirectory, data)) {
      do {
        if (!data.Name.empty() && data.Name.front() != '.' && (data.Attributes & ffDirectory))
          subDirs.push_back(data.Name);
      } while (search->FindNext(data));
    }
  }
  std::sort(subDirs.begin(), subDirs.end());
  for (const std::string& name : subDirs) {
    TDirEntry* child = AddDirectory(name, target);
    MountDirectory(JoinPath(path, name, PathDelim), child, mask, true, strict, depth + 1, visited);
  }
}

TArchiveAnswer TFileSystem::TryLoadArchive(const std::string& diskPath, int32_t priority,
                                           bool strict) {
  auto reader = std::make_shared<TSystemFileReader>(diskPath, 1);
  try {
    reader->Open(fmRead);
  } catch (const EInOutError& error) {
    // Vanished or unreadable since the folder was listed: left out.
    ConsoleLog(LogLevel::Info, error.what());
    return {TArchiveAnswer::akUnreadable, error.what()};
  }
  if (strict) {
    // The signature is read whole: a file too short for one fails the scan.
    uint8_t bytes[4];
    reader->ReadBuffer(bytes, sizeof bytes);
    reader->SetPosition(0);
  }
  return OfferArchive(reader, diskPath, priority);
}

TArchiveAnswer TFileSystem::OfferArchive(const IFileReaderRef& reader, const std::string& fileName,
                                         int32_t priority) {
  TLoaderBid bid;
  TLibLoader* loader = FindBidder(*reader, bid);
  if (!loader) return {TArchiveAnswer::akNotMine, std::move(bid.Reason)};
  return loader->Load(reader, fileName, priority)
             ? TArchiveAnswer{TArchiveAnswer::akLoaded, {}}
             : TArchiveAnswer{TArchiveAnswer::akNothingNew, "every file in it is already present"};
}

TLibLoader* TFileSystem::FindBidder(IFileReader& reader, TLoaderBid& bid) const {
  bid = {TLoaderBid::bdOtherSignature, "no archive loader is registered"};
  for (auto it = FLoaders.rbegin(); it != FLoaders.rend(); ++it) {
    TLoaderBid answer = (*it)->Bid(reader);
    reader.SetPosition(0);
    if (answer.Mine()) {
      bid = std::move(answer);
      return it->get();
    }
    if (it == FLoaders.rbegin() || answer.Verdict > bid.Verdict) bid = std::move(answer);
  }
  return nullptr;
}

void TFileSystem::AddFileSearchPath(const std::string& diskPath, int32_t priority,
                                    bool loadArchives) {
  AddSearchPath("", FullFolderPath(ExtractFileDir(diskPath)), sdCheckUsable,
                {TFileMaskInfo{FileNameMask(ExtractFileName(diskPath)), priority, loadArchives}});
}

void TFileSystem::RescanOnce() {
  // The next mount starts afresh: a mask kept from this one would be scanned again with it.
  try {
    Rescan(true);
  } catch (...) {
    ClearScanDirs();
    throw;
  }
  ClearScanDirs();
}

void TFileSystem::MountDiskFile(const std::string& diskPath, int32_t priority) {
  // The exact name takes one look at the disk, however full the folder; only a name in another
  // letter case needs the folder listed. Hidden files stay out, as the scan leaves them out.
  const std::string name = ExtractFileName(diskPath);
  const std::string path = JoinPath(FullFolderPath(ExtractFileDir(diskPath)), name, PathDelim);
  struct stat info {};
  if (!name.empty() && name.front() != '.' && ::stat(path.c_str(), &info) == 0 &&
      S_ISREG(info.st_mode)) {
    MountFile(path, name, GetRoot(), TFileMaskInfo{name, priority, false}, info.st_size);
    return;
  }
  AddFileSearchPath(diskPath, priority, false);
  RescanOnce();
}

void TFileSystem::MountDiskFolder(const std::string& folder, const std::string& mask,
                                  int32_t priority) {
  AddSearchPath("", FullFolderPath(folder), sdCheckUsable, {TFileMaskInfo{mask, priority, false}});
  RescanOnce();
}

TArchiveAnswer TFileSystem::MountArchive(const std::string& diskPath, int32_t priority) {
  TArchiveWatch watch{ExtractFileName(diskPath), {}};
  FWatch = &watch;
  try {
    AddFileSearchPath(diskPath, priority, true);
    RescanOnce();
  } catch (...) {
    FWatch = nullptr;
    throw;
  }
  FWatch = nullptr;
  return std::move(watch.Answer);
}

void TFileSystem::MountFile(const std::string& diskPath, const std::string& name, TDirEntry* parent,
                            const TFileMaskInfo& mask, int64_t size) {
  if (OnFileFound) OnFileFound(this, JoinPath(parent->GetFullPath(), name, TreeDelim), diskPath);
  // A disk folder may hold names that differ in case alone: there they are different files, and
  // each keeps its own node. A name that folds like one of another folder or of an archive is
  // one name in the tree, where the priority decides as ever.
  const std::string folder = ExtractFileDir(diskPath);
  bool caseTwins = false, others = false;
  const auto range = parent->Range(name);
  for (auto it = range.first; it != range.second; ++it) {
    if (it->first.IsDirectory) {
      others = true;
      continue;
    }
    const std::string known = DiskFileOf(*static_cast<TFileEntry*>(it->second));
    if (known == diskPath) return;  // mounted by an earlier scan
    (!known.empty() && ExtractFileDir(known) == folder ? caseTwins : others) = true;
  }
  auto node = std::make_unique<TFileEntry>(name);
  node->Priority = mask.Priority;
  node->Reader = std::make_shared<TSystemFileReader>(diskPath, 1);
  // The size the folder listing gave: the template reader is closed and would answer 0.
  node->Size = size;
  if (caseTwins && !others)
    PlaceFile(node, parent, nullptr);
  else
    AddFile(node, parent);
}

void TFileSystem::ClearScanDirs() {
  FScanDirs.clear();
}

void TFileSystem::Clear() {
  FRoot.reset();
  FScanDirs.clear();
  FMacros.clear();
}

TDirEntry* TFileSystem::GetRoot() {
  if (!FRoot) FRoot = std::make_unique<TDirEntry>("<Root>", nullptr);
  return FRoot.get();
}

namespace {
enum class TWant { Any, File, Directory };

TEntry* WalkTree(TDirEntry* start, std::string_view path, TWant want) {
  if (!start) return nullptr;
  // Empty parts (leading, doubled or trailing separators) are skipped.
  TDirEntry* dir = start;
  std::string_view last;
  size_t begin = 0;
  for (size_t i = 0; i <= path.size(); ++i) {
    if (i < path.size() && !IsSeparator(path[i])) continue;
    if (i > begin) {
      if (!last.empty()) {
        dir = dir->FindChildDir(last);
        if (!dir) return nullptr;
      }
      last = path.substr(begin, i - begin);
    }
    begin = i + 1;
  }
  if (last.empty()) return want == TWant::File ? nullptr : dir;
  switch (want) {
    case TWant::File:
      return dir->FindChildFile(last);
    case TWant::Directory:
      return dir->FindChildDir(last);
    case TWant::Any:
      break;
  }
  return dir->FindChild(last);
}
}  // namespace

TEntry* TFileSystem::FindEntry(const std::string& path, TDirEntry* start) {
  return WalkTree(start ? start : FRoot.get(), path, TWant::Any);
}

TFileEntry* TFileSystem::FindFile(const std::string& path, TDirEntry* start) {
  return static_cast<TFileEntry*>(WalkTree(start ? start : FRoot.get(), path, TWant::File));
}

TDirEntry* TFileSystem::FindDirectory(const std::string& path, TDirEntry* start) {
  return static_cast<TDirEntry*>(WalkTree(start ? start : FRoot.get(), path, TWant::Directory));
}

TDirEntry* TFileSystem::ForceDirectory(const std::string& path, TDirEntry* start) {
  TDirEntry* dir = start ? start : GetRoot();
  for (std::string_view part : SplitTreePath(path)) dir = AddDirectory(std::string(part), dir);
  return dir;
}

IFileReaderRef TFileSystem::OpenFile(const std::string& path, uint8_t mode) {
  TFileEntry* node = FindFile(path);
  return node ? node->OpenReader(mode) : nullptr;
}

TFindHandleRef TFileSystem::FindFirst(uint8_t attributes, const std::string& directory,
                                      const std::string& mask, TFindData& data) {
  TDirEntry* dir = FindDirectory(directory);
  if (!dir) return nullptr;
  return FindFirst(attributes, dir, mask, data);
}

TFindHandleRef TFileSystem::FindFirst(uint8_t attributes, TDirEntry* directory,
                                      const std::string& mask, TFindData& data) {
  if (!directory) return nullptr;
  auto handle = std::make_shared<TFindHandle>(attributes, mask, directory);
  if (!handle->FindNext(data)) return nullptr;
  return handle;
}

TDirEntry* TFileSystem::AddDirectory(const std::string& name, TDirEntry* parent) {
  if (!parent) return nullptr;
  if (name.empty()) return parent;
  if (TDirEntry* known = parent->FindChildDir(name)) return known;
  return TDirEntry::Create(name, parent);
}

TFileEntry* TFileSystem::AddFile(std::unique_ptr<TFileEntry>& node, TDirEntry* parent) {
  if (!parent || !node || node->Name.empty()) return nullptr;
  if (parent->FindChildDir(node->Name)) return nullptr;  // a directory keeps the name
  TFileEntry* existing = parent->FindChildFile(node->Name);
  if (existing && existing->Priority >= node->Priority) {
    if (KeepHiddenCopies)
      KeepHiddenCopy(node, parent, existing);
    else
      node.reset();
    return existing;
  }
  return PlaceFile(node, parent, existing);
}

void TFileSystem::KeepHiddenCopy(std::unique_ptr<TFileEntry>& node, TDirEntry* parent,
                                 TFileEntry* standing) {
  // Below every copy that outranks it or came first with the same priority: the chain stays in
  // the order the copies would stand in if the ones above were taken away.
  TFileEntry* above = standing;
  while (above->ReplacedEntry && above->ReplacedEntry->Priority >= node->Priority)
    above = above->ReplacedEntry;
  TFileEntry* kept = node.get();
  kept->Parent = parent;
  kept->ReplacedEntry = above->ReplacedEntry;
  if (kept->ReplacedEntry) kept->ReplacedEntry->ReplacedBy = kept;
  above->ReplacedEntry = kept;
  kept->ReplacedBy = above;
  parent->Files.push_back(std::move(node));
  if (kept->Reader && kept->Reader->GetEntry() != kept) kept->Reader->SetEntry(kept);
}

TFileEntry* TFileSystem::PlaceFile(std::unique_ptr<TFileEntry>& node, TDirEntry* parent,
                                   TFileEntry* replaced) {
  TFileEntry* added = node.get();
  added->Parent = parent;
  if (replaced) {
    parent->IndexReplace(replaced, added);
    added->ReplacedEntry = replaced;
    replaced->ReplacedBy = added;
  } else {
    parent->IndexAdd(added);
  }
  parent->Files.push_back(std::move(node));
  if (added->Reader && added->Reader->GetEntry() != added) added->Reader->SetEntry(added);
  return added;
}
