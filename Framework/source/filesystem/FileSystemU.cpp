#include "FileSystemU.h"

#include <cxxabi.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <typeinfo>

#include "AssertU.h"
#include "ConsoleU.h"
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

// Byte length of the UTF-8 sequence at pos; a malformed byte counts as one character.
size_t CharLength(std::string_view text, size_t pos) {
  const auto lead = static_cast<unsigned char>(text[pos]);
  size_t extra = 0;
  if (lead >= 0xC0 && lead < 0xE0)
    extra = 1;
  else if (lead >= 0xE0 && lead < 0xF0)
    extra = 2;
  else if (lead >= 0xF0 && lead < 0xF8)
    extra = 3;
  if (extra == 0 || pos + extra >= text.size()) return 1;
  for (size_t i = 1; i <= extra; ++i) {
    if ((static_cast<unsigned char>(text[pos + i]) & 0xC0) != 0x80) return 1;
  }
  return extra + 1;
}

uint32_t DecodeChar(std::string_view text, size_t pos, size_t length) {
  const auto lead = static_cast<unsigned char>(text[pos]);
  if (length == 1) return lead;
  uint32_t value = lead & (0x3F >> (length - 1));
  for (size_t i = 1; i < length; ++i)
    value = (value << 6) | (static_cast<unsigned char>(text[pos + i]) & 0x3F);
  return value;
}

char AsciiUpper(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Tree nodes

TEntry::TEntry(std::string name, TDirEntry* parent) : Name(std::move(name)), Parent(parent) {}

std::string TEntry::GetFullPath() const {
  if (!Parent) return IsDirectory() ? std::string() : Name;  // a parentless directory is a root
  std::vector<const TEntry*> chain;
  for (const TEntry* node = this; node && node->Parent; node = node->Parent) chain.push_back(node);
  std::string path;
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    if (!path.empty()) path += TreeDelim;
    path += (*it)->Name;
  }
  return path;
}

void TEntry::Assign(const TEntry& source) {
  Name = source.Name;
}

TDirEntry* TDirEntry::Create(std::string name, TDirEntry* parent) {
  auto node = std::make_unique<TDirEntry>(std::move(name), parent);
  TDirEntry* raw = node.get();
  if (parent)
    parent->AddChild(std::move(node));
  else
    node.release();
  return raw;
}

TDirEntry::~TDirEntry() {
  // The index points into the lists below; forget it before the nodes go.
  FLookup.clear();
  Index.clear();
  Files.clear();
  Dirs.clear();
}

TEntry* TDirEntry::AddChild(std::unique_ptr<TEntry> node) {
  if (!node) return nullptr;
  TEntry* raw = node.get();
  if (auto* dir = dynamic_cast<TDirEntry*>(raw)) {
    node.release();
    Dirs.emplace_back(dir);
  } else if (auto* file = dynamic_cast<TFileEntry*>(raw)) {
    node.release();
    Files.emplace_back(file);
  } else {
    VASSERT_MSG(false, "Attempting to add an unknown Entry type to file system");
    return nullptr;
  }
  raw->Parent = this;
  IndexAdd(raw);
  return raw;
}

std::pair<TDirEntry::TLookup::iterator, TDirEntry::TLookup::iterator> TDirEntry::Range(
    std::string_view name) {
  // Plain ASCII names, nearly all of them, fold in a stack buffer.
  char buffer[256];
  bool plain = name.size() <= sizeof buffer;
  for (size_t i = 0; plain && i < name.size(); ++i) {
    const auto c = static_cast<unsigned char>(name[i]);
    plain = c != 0 && c < 0x80;
    buffer[i] = AsciiUpper(name[i]);
  }
  std::string folded;
  const std::string_view key =
      plain ? std::string_view(buffer, name.size()) : std::string_view(folded = FoldCase(name));
  return FLookup.equal_range(TProbe{std::hash<std::string_view>{}(key), key});
}

void TDirEntry::IndexAdd(TEntry* node) {
  std::string folded = FoldCase(node->Name);
  const size_t hash = std::hash<std::string_view>{}(folded);
  FLookup.emplace(TKey{hash, std::move(folded), node->IsDirectory()}, node);
  NeedsSort = true;
}

void TDirEntry::IndexReplace(TEntry* oldNode, TEntry* newNode) {
  auto range = Range(oldNode->Name);
  for (auto it = range.first; it != range.second; ++it) {
    if (it->second != oldNode) continue;
    FLookup.erase(it);
    break;
  }
  IndexAdd(newNode);
}

void TDirEntry::IndexRemove(TEntry* node) {
  auto range = Range(node->Name);
  for (auto it = range.first; it != range.second; ++it) {
    if (it->second != node) continue;
    FLookup.erase(it);
    NeedsSort = true;
    return;
  }
}

TEntry* TDirEntry::FindChild(std::string_view name) {
  auto range = Range(name);
  TEntry* found = nullptr;
  // A directory wins over a file of the same name, as it does when files are added.
  for (auto it = range.first; it != range.second; ++it) {
    if (it->first.IsDirectory) return it->second;
    if (!found) found = it->second;
  }
  return found;
}

TDirEntry* TDirEntry::FindChildDir(std::string_view name) {
  auto range = Range(name);
  for (auto it = range.first; it != range.second; ++it) {
    if (it->first.IsDirectory) return static_cast<TDirEntry*>(it->second);
  }
  return nullptr;
}

TFileEntry* TDirEntry::FindChildFile(std::string_view name) {
  auto range = Range(name);
  for (auto it = range.first; it != range.second; ++it) {
    if (!it->first.IsDirectory) return static_cast<TFileEntry*>(it->second);
  }
  return nullptr;
}

const std::vector<std::pair<std::string, TEntry*>>& TDirEntry::SortedIndex() {
  if (!NeedsSort && Index.size() == FLookup.size()) return Index;
  Index.clear();
  Index.reserve(FLookup.size());
  for (const auto& [key, node] : FLookup) Index.emplace_back(node->Name, node);
  // Stable, and safe with a comparison that is not a strict order for every pair of names.
  std::stable_sort(Index.begin(), Index.end(), [](const auto& a, const auto& b) {
    const int order = AnsiCompareText(a.first, b.first);
    if (order != 0) return order < 0;
    return a.second->IsDirectory() && !b.second->IsDirectory();
  });
  NeedsSort = false;
  return Index;
}

void TDirEntry::FreeFile(TFileEntry* node) {
  if (!node || node->Parent != this) return;
  const bool standing = node->ReplacedBy == nullptr;
  if (standing) {
    if (node->ReplacedEntry)
      IndexReplace(node, node->ReplacedEntry);
    else
      IndexRemove(node);
  }
  if (node->ReplacedBy) node->ReplacedBy->ReplacedEntry = node->ReplacedEntry;
  if (node->ReplacedEntry) node->ReplacedEntry->ReplacedBy = node->ReplacedBy;
  node->ReplacedBy = node->ReplacedEntry = nullptr;
  auto it = std::find_if(Files.begin(), Files.end(),
                         [node](const std::unique_ptr<TFileEntry>& f) { return f.get() == node; });
  if (it != Files.end()) Files.erase(it);
}

TFileEntry::~TFileEntry() {
  Destroying = true;
  std::vector<IFileReader*> readers;
  readers.swap(Readers);
  for (IFileReader* reader : readers) {
    if (auto* base = dynamic_cast<TFileReader*>(reader))
      base->ForgetEntry();
    else
      reader->SetEntry(nullptr);
  }
  Reader.reset();
}

void TFileEntry::Assign(const TEntry& source) {
  TEntry::Assign(source);
  const auto* other = dynamic_cast<const TFileEntry*>(&source);
  if (!other || other == this) return;
  Priority = other->Priority;
  Size = other->Size;
  // Losing the old template must not free this node half-way through.
  FAssigning = true;
  if (Reader && other->Reader && Reader->SameFile(*other->Reader))
    Reader->Assign(*other->Reader);
  else
    Reader = other->Reader ? other->Reader->Clone() : nullptr;
  if (Reader) Reader->SetEntry(this);
  FAssigning = false;
}

IFileReaderRef TFileEntry::OpenReader(uint8_t mode) {
  if (!Reader) return nullptr;
  IFileReaderRef reader = Reader->Clone();
  if (!reader) return nullptr;
  if (reader->GetEntry() != this) reader->SetEntry(this);
  reader->Open(mode);
  return reader;
}

void TFileEntry::AttachReader(IFileReader* reader) {
  if (Destroying || !reader) return;
  if (std::find(Readers.begin(), Readers.end(), reader) == Readers.end()) Readers.push_back(reader);
}

void TFileEntry::DetachReader(IFileReader* reader) {
  if (Destroying) return;
  auto it = std::find(Readers.begin(), Readers.end(), reader);
  if (it == Readers.end()) return;
  Readers.erase(it);
  if (Readers.empty() && !Reader && !FAssigning && Parent) Parent->FreeFile(this);
}

// ---------------------------------------------------------------------------------------------
// Masks

bool TMask::TSet::Contains(uint32_t codePoint) const {
  if (codePoint < 128) return Ascii[codePoint];
  for (const auto& [low, high] : Wide) {
    if (codePoint >= low && codePoint <= high) return true;
  }
  return false;
}

TMask::TMask(const std::string& mask) {
  const auto invalid = [&mask](size_t position) {
    throw EMaskException(
        Format("'%s' is an invalid mask at (%d)", mask.c_str(), static_cast<int>(position)));
  };
  int stars = 0;
  size_t i = 0;
  const size_t n = mask.size();
  while (i < n) {
    const char c = mask[i];
    if (c == '*') {
      // A run of stars is one wildcard.
      if (++stars > MaxStars) invalid(i + 1);
      FTokens.push_back({TKind::Star});
      while (i < n && mask[i] == '*') ++i;
      continue;
    }
    if (c == '?') {
      FTokens.push_back({TKind::Any});
      ++i;
      continue;
    }
    if (c != '[') {
      FTokens.push_back({TKind::Literal, AsciiUpper(c)});
      ++i;
      continue;
    }
    TToken token{TKind::Set};
    TSet set;
    bool empty = true;
    const auto add = [&](uint32_t low, uint32_t high) {
      for (uint32_t cp = low; cp <= high && cp < 128; ++cp) set.Ascii.set(cp);
      if (high >= 128) set.Wide.emplace_back(std::max<uint32_t>(low, 128), high);
      empty = false;
    };
    ++i;
    if (i < n && mask[i] == '!') {
      token.Negate = true;
      ++i;
    }
    bool haveLast = false;
    uint32_t last = 0;
    while (i < n && mask[i] != ']') {
      if (mask[i] == '-') {
        if (!haveLast) invalid(i + 1);
        if (i + 1 < n && mask[i + 1] != ']') {
          const size_t length = CharLength(mask, i + 1);
          const uint32_t high = DecodeChar(mask, i + 1, length);
          if (high >= last) add(last, high);
          last = high;
          i += 1 + length;
          continue;
        }
        add('-', '-');  // a hyphen closing the set stands for itself
        ++i;
        continue;
      }
      const size_t length = CharLength(mask, i);
      last = DecodeChar(mask, i, length);
      haveLast = true;
      add(last, last);
      i += length;
    }
    if (i >= n) invalid(n + 1);
    if (empty) invalid(i + 1);
    ++i;  // past ']'
    for (char letter = 'a'; letter <= 'z'; ++letter) {
      const auto lower = static_cast<size_t>(letter), upper = lower - 'a' + 'A';
      if (set.Ascii[lower] || set.Ascii[upper]) set.Ascii.set(lower).set(upper);
    }
    token.SetIndex = static_cast<int32_t>(FSets.size());
    FSets.push_back(std::move(set));
    FTokens.push_back(token);
  }
}

bool TMask::MatchOne(const TToken& token, std::string_view name, size_t& pos) const {
  switch (token.Kind) {
    case TKind::Literal:
      if (AsciiUpper(name[pos]) != token.Literal) return false;
      ++pos;
      return true;
    case TKind::Any:
      pos += CharLength(name, pos);
      return true;
    case TKind::Set: {
      const size_t length = CharLength(name, pos);
      if (FSets[token.SetIndex].Contains(DecodeChar(name, pos, length)) == token.Negate)
        return false;
      pos += length;
      return true;
    }
    case TKind::Star:
      break;
  }
  return false;
}

bool TMask::Matches(std::string_view name) const {
  // Greedy walk that lets the last star swallow one more character on a mismatch: time is
  // bounded by name length times mask length.
  constexpr size_t none = static_cast<size_t>(-1);
  size_t token = 0, pos = 0, starToken = none, starPos = 0;
  while (pos < name.size()) {
    if (token < FTokens.size()) {
      if (FTokens[token].Kind == TKind::Star) {
        starToken = token++;
        starPos = pos;
        continue;
      }
      size_t next = pos;
      if (MatchOne(FTokens[token], name, next)) {
        ++token;
        pos = next;
        continue;
      }
    }
    if (starToken == none) return false;
    starPos += CharLength(name, starPos);
    pos = starPos;
    token = starToken + 1;
  }
  while (token < FTokens.size() && FTokens[token].Kind == TKind::Star) ++token;
  return token == FTokens.size();
}

bool MatchesMask(const std::string& name, const std::string& mask) {
  return TMask(mask).Matches(name);
}

// ---------------------------------------------------------------------------------------------
// Tree search

TFindHandle::TFindHandle(uint8_t attributes, std::string mask, TDirEntry* directory)
    : Attributes(attributes),
      Mask(mask.empty() ? std::string("*") : std::move(mask)),
      Directory(directory),
      FMatcher(Mask) {}

bool TFindHandle::FindNext(TFindData& data) {
  if (!Directory) return false;
  const auto& index = Directory->SortedIndex();
  while (NextIndex >= 0 && static_cast<size_t>(NextIndex) < index.size()) {
    TEntry* node = index[NextIndex++].second;
    if (node->IsDirectory()) {
      if (!(Attributes & faDirectories) || !FMatcher.Matches(node->Name)) continue;
      auto* dir = static_cast<TDirEntry*>(node);
      data = TFindData{fkDirectory, dir->Name, dir->ChildCount(), dir, nullptr};
      return true;
    }
    if (!(Attributes & faFiles) || !FMatcher.Matches(node->Name)) continue;
    auto* file = static_cast<TFileEntry*>(node);
    data = TFindData{fkFile, file->Name, file->Size, nullptr, file};
    return true;
  }
  return false;
}

// ---------------------------------------------------------------------------------------------
// Loaders

TLibLoader::TLibLoader(TFileSystem* fileSystem, const char* className) : FileSystem(fileSystem) {
  if (fileSystem) return;
  const std::string message = LoaderMessage(className ? className : "TLibLoader");
  VASSERT_MSG(false, message);
  throw ELibLoaderError(message);
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
  if (diskPath.find("..") != std::string::npos) {
    ConsoleLog(7, "Invalid search path, contains \"..\"");
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
  for (const TFileMaskInfo& mask : masks) {
    std::set<TDirId> visited;
    MountDirectory(path, target, mask, recurse, 0, visited);
  }
}

void TFileSystem::MountDirectory(const std::string& path, TDirEntry* target,
                                 const TFileMaskInfo& mask, bool recurse, int depth,
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
  if (auto search = platform.FindFirst(JoinPath(path, mask.Mask, PathDelim),
                                       saNormal | saReadOnly | saDirectory, data)) {
    do {
      if (data.Name.empty() || data.Name.front() == '.') continue;
      if (data.Attributes & ffDirectory) {
        AddDirectory(data.Name, target);
        if (recurse && allNames) subDirs.push_back(data.Name);
        continue;
      }
      const std::string diskPath = JoinPath(path, data.Name, PathDelim);
      if (mask.LoadArchives && TryLoadArchive(diskPath, mask.Priority) != TArchiveResult::NotLoaded)
        continue;
      MountFile(diskPath, data.Name, target, mask, data.Size);
    } while (search->FindNext(data));
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
  for (const std::string& name : subDirs) {
    TDirEntry* child = AddDirectory(name, target);
    MountDirectory(JoinPath(path, name, PathDelim), child, mask, true, depth + 1, visited);
  }
}

TFileSystem::TArchiveResult TFileSystem::TryLoadArchive(const std::string& diskPath,
                                                        int32_t priority) {
  auto reader = std::make_shared<TSystemFileReader>(diskPath, 1);
  try {
    reader->Open(fmRead);
  } catch (const EInOutError& error) {
    // Vanished or unreadable since the folder was listed: left out.
    ConsoleLog(1, error.what());
    return TArchiveResult::Unreadable;
  }
  uint8_t bytes[4];
  reader->ReadBuffer(bytes, sizeof bytes);
  reader->SetPosition(0);
  const uint32_t signature =
      bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) | (static_cast<uint32_t>(bytes[3]) << 24);
  for (auto it = FLoaders.rbegin(); it != FLoaders.rend(); ++it) {
    if ((*it)->GetSignature() != signature) continue;
    return (*it)->Load(reader, diskPath, priority) ? TArchiveResult::Loaded
                                                   : TArchiveResult::NotLoaded;
  }
  return TArchiveResult::NotLoaded;
}

void TFileSystem::MountFile(const std::string& diskPath, const std::string& name, TDirEntry* parent,
                            const TFileMaskInfo& mask, int64_t size) {
  if (OnFileFound) OnFileFound(this, JoinPath(parent->GetFullPath(), name, TreeDelim), diskPath);
  if (TFileEntry* existing = parent->FindChildFile(name)) {
    for (IFileReader* reader : existing->Readers) {
      auto* disk = dynamic_cast<TSystemFileReader*>(reader);
      if (disk && disk->FileName() == diskPath) return;  // mounted by an earlier scan
    }
  }
  auto node = std::make_unique<TFileEntry>(name);
  node->Priority = mask.Priority;
  node->Reader = std::make_shared<TSystemFileReader>(diskPath, 1);
  // The size the folder listing gave: the template reader is closed and would answer 0.
  node->Size = size;
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
    node.reset();
    return existing;
  }
  TFileEntry* added = node.get();
  added->Parent = parent;
  if (existing) {
    parent->IndexReplace(existing, added);
    added->ReplacedEntry = existing;
    existing->ReplacedBy = added;
  } else {
    parent->IndexAdd(added);
  }
  parent->Files.push_back(std::move(node));
  if (added->Reader && added->Reader->GetEntry() != added) added->Reader->SetEntry(added);
  return added;
}

std::string FileNameMask(const std::string& fileName) {
  std::string mask = fileName;
  for (char& c : mask)
    if (c == '[' || c == ']' || c == '*' || c == '\\') c = '?';
  return mask;
}
