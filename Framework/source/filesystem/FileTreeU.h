#pragma once
// The nodes of the virtual file system's tree: directories, files (each with the readers
// attached to it) and searches over one directory. Names compare without regard to case; only
// the files of one disk folder may differ in case alone, and then the exact name is found first.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "FileMaskU.h"
#include "FileReaderU.h"

class TDirEntry;
class TFileEntry;
class TFileSystem;

class TEntry {
 public:
  // Records the parent; the node joins it only through TDirEntry::AddChild, TDirEntry::Create
  // or TFileSystem::AddFile/AddDirectory.
  TEntry(std::string name, TDirEntry* parent);
  TEntry(const TEntry&) = delete;
  TEntry& operator=(const TEntry&) = delete;
  virtual ~TEntry() = default;

  // The names of the ancestors below the root and this node's name, joined by the backslash.
  std::string GetFullPath() const;
  virtual void Assign(const TEntry& source);  // copies the name
  virtual bool IsDirectory() const { return false; }

  std::string Name;
  TDirEntry* Parent = nullptr;
};

class TDirEntry : public TEntry {
 public:
  // Makes a directory node; with a parent, the node is added to it and owned by it (without one
  // the caller owns it).
  static TDirEntry* Create(std::string name, TDirEntry* parent);
  TDirEntry(std::string name, TDirEntry* parent) : TEntry(std::move(name), parent) {}
  ~TDirEntry() override;

  bool IsDirectory() const override { return true; }

  // Name lookups ignore letter case as AnsiCompareText does (its folding, FoldCase) and take
  // constant time on average: the index keeps a hash of the folded names beside the sorted list.
  // Files whose names differ in case alone (those of one disk folder) are told apart: the one of
  // the exact name, else the first in byte order, so that the answer never hangs on the order
  // they were added in.
  TEntry* FindChild(std::string_view name);
  TDirEntry* FindChildDir(std::string_view name);
  TFileEntry* FindChildFile(std::string_view name);
  int32_t SubDirCount() const { return static_cast<int32_t>(Dirs.size()); }
  int32_t ChildCount() const { return static_cast<int32_t>(FLookup.size()); }

  // Adds a node of either kind and takes ownership; any other kind is an assertion report
  // ("Attempting to add an unknown Entry type to file system") and null.
  TEntry* AddChild(std::unique_ptr<TEntry> node);
  // Frees a file node of this directory, putting the node it replaced back in its place.
  void FreeFile(TFileEntry* node);

  // Child names in AnsiCompareText order, names it calls equal in byte order (a file that
  // replaced a same-named one stands in its place). Sorted lazily: adding sets NeedsSort; the first
  // call after that sorts.
  const std::vector<std::pair<std::string, TEntry*>>& SortedIndex();

  bool NeedsSort = false;
  std::vector<std::unique_ptr<TFileEntry>> Files;  // owned file children, in the order added
  std::vector<std::unique_ptr<TDirEntry>> Dirs;    // owned directory children
  // The sorted list behind SortedIndex(); stale while NeedsSort is set.
  std::vector<std::pair<std::string, TEntry*>> Index;

 private:
  friend class TFileSystem;
  void IndexAdd(TEntry* node);
  void IndexReplace(TEntry* oldNode, TEntry* newNode);
  void IndexRemove(TEntry* node);

  // Keys are the names folded by FoldCase: names equal under that folding are exactly the names
  // AnsiCompareText calls equal. A key carries its hash, so walking a bucket touches no
  // other name; lookups fold into a stack buffer and allocate nothing for ordinary names.
  struct TKey {
    size_t Hash;
    std::string Name;
    bool IsDirectory;  // kept here so that a lookup by kind needs no visit to the node
  };
  struct TProbe {
    size_t Hash;
    std::string_view Name;
  };
  struct TKeyHash {
    using is_transparent = void;
    size_t operator()(const TKey& key) const noexcept { return key.Hash; }
    size_t operator()(const TProbe& key) const noexcept { return key.Hash; }
  };
  struct TKeyEqual {
    using is_transparent = void;
    template <class A, class B>
    bool operator()(const A& a, const B& b) const noexcept {
      return a.Hash == b.Hash && a.Name == b.Name;
    }
  };
  using TLookup = std::unordered_multimap<TKey, TEntry*, TKeyHash, TKeyEqual>;
  std::pair<TLookup::iterator, TLookup::iterator> Range(std::string_view name);
  TLookup FLookup;
};

class TFileEntry : public TEntry {
 public:
  // The parent is only recorded: TFileSystem::AddFile places the node.
  explicit TFileEntry(std::string name, TDirEntry* parent = nullptr)
      : TEntry(std::move(name), parent) {}
  ~TFileEntry() override;  // detaches every attached reader without being called back

  // Copies the name, priority and size, then assigns the template reader in place (when
  // SameFile says so) or replaces it with a clone of the other's.
  void Assign(const TEntry& source) override;
  // A clone of the template reader, opened with mode; null without a template reader.
  IFileReaderRef OpenReader(uint8_t mode);

  // Called by TFileReader::SetEntry. A node without a template reader is freed by its
  // directory as soon as its last attached reader detaches.
  void AttachReader(IFileReader* reader);
  void DetachReader(IFileReader* reader);

  bool Destroying = false;
  int32_t Priority = 0;
  int64_t Size = 0;
  std::vector<IFileReader*> Readers;    // readers attached to this node (not owned)
  IFileReaderRef Reader;                // the template reader (owned)
  TFileEntry* ReplacedEntry = nullptr;  // the same-named node this one replaced
  TFileEntry* ReplacedBy = nullptr;     // the same-named node that replaced this one

 private:
  bool FAssigning = false;  // while set, losing the last reader does not free the node
};

// A name from an archive may hold anything; only a plain name may become part of a disk path or
// of an archive's inner path: not empty, not "." or "..", no separator.
bool SafeNamePart(std::string_view part);

// What a tree walk's visitor answers for each node.
enum class TWalkStep : uint8_t {
  Continue,      // go on, into a folder's content too
  SkipChildren,  // go on, leaving this folder's content out
  Stop,          // end the walk
};
using TTreeVisitor = std::function<TWalkStep(TEntry& node, const std::string& path)>;

// Visits every node below dir depth-first in listing order (each folder's SortedIndex, a folder
// just before its content) with its path below dir, "/" between names. The path is one buffer
// that grows and shrinks with the walk, and the walk keeps its own stack: a tree as deep as an
// archive's directory makes it costs no call depth. The visitor must not change the tree.
void VisitTree(TDirEntry& dir, const TTreeVisitor& visit);

// Result of a tree search.
struct TFindData {
  uint8_t Kind = 0;  // 0 directory, 1 file
  std::string Name;
  int64_t Size = 0;  // file size, or a directory's child count
  TDirEntry* Dir = nullptr;
  TFileEntry* File = nullptr;
};
enum TFindKind : uint8_t { fkDirectory = 0, fkFile = 1 };
enum TFindAttributes : uint8_t { faFiles = 1, faDirectories = 2 };

class TFindHandle {
 public:
  // An empty mask means "*". EMaskException for an invalid mask.
  TFindHandle(uint8_t attributes, std::string mask, TDirEntry* directory);
  bool FindNext(TFindData& data);  // false at the end

  uint8_t Attributes;
  int32_t NextIndex = 0;
  std::string Mask;
  TDirEntry* Directory;

 private:
  TMask FMatcher;
};
using TFindHandleRef = std::shared_ptr<TFindHandle>;
