#include "FileTreeU.h"

#include <algorithm>

#include "AssertU.h"
#include "StringUtilsU.h"

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

namespace {
// Of two same-kind nodes whose names fold alike, whether a is the better answer to a lookup of
// name: the exact name, else the first in byte order.
bool BetterMatch(const TEntry* a, const TEntry* b, std::string_view name) {
  if (b->Name == name) return false;
  return a->Name == name || a->Name < b->Name;
}
}  // namespace

TEntry* TDirEntry::FindChild(std::string_view name) {
  auto range = Range(name);
  TEntry* found = nullptr;
  // A directory wins over a file of the same name, as it does when files are added.
  for (auto it = range.first; it != range.second; ++it) {
    if (it->first.IsDirectory) return it->second;
    if (!found || BetterMatch(it->second, found, name)) found = it->second;
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
  TEntry* found = nullptr;
  for (auto it = range.first; it != range.second; ++it) {
    if (!it->first.IsDirectory && (!found || BetterMatch(it->second, found, name)))
      found = it->second;
  }
  return static_cast<TFileEntry*>(found);
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
    const bool aDir = a.second->IsDirectory(), bDir = b.second->IsDirectory();
    if (aDir != bDir) return aDir;
    return a.first < b.first;
  });
  NeedsSort = false;
  return Index;
}

bool SafeNamePart(std::string_view part) {
  return !part.empty() && part != "." && part != ".." &&
         part.find_first_of(std::string_view("/\\\0", 3)) == std::string_view::npos;
}

void VisitTree(TDirEntry& dir, const TTreeVisitor& visit) {
  struct TLevel {
    TDirEntry* Dir;
    size_t Next;        // the child visited next
    size_t PathLength;  // of the folder's own path
  };
  std::vector<TLevel> levels{{&dir, 0, 0}};
  std::string path;
  while (!levels.empty()) {
    TLevel& level = levels.back();
    const auto& children = level.Dir->SortedIndex();
    if (level.Next >= children.size()) {
      levels.pop_back();
      continue;
    }
    TEntry* node = children[level.Next++].second;
    path.resize(level.PathLength);
    if (levels.size() > 1) path += '/';
    path += node->Name;
    const TWalkStep step = visit(*node, path);
    if (step == TWalkStep::Stop) return;
    if (step == TWalkStep::Continue && node->IsDirectory())
      levels.push_back({static_cast<TDirEntry*>(node), 0, path.size()});
  }
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

// A reader attaches through its node, so the reader unit needs no knowledge of the tree.
void TFileReader::SetEntry(TFileEntry* fileNode) {
  if (fileNode == FEntry) return;
  // The field changes before the node hears of it, so a node that calls back into SetEntry
  // finds nothing left to do.
  if (TFileEntry* previous = FEntry) {
    FEntry = nullptr;
    previous->DetachReader(this);
  }
  FEntry = fileNode;
  if (fileNode) fileNode->AttachReader(this);
}
