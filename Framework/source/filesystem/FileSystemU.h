#pragma once
// The virtual file system: one in-memory tree of named entries under "<Root>", filled by
// scanning disk folders and by archive loaders. Names compare without regard to case; the tree's
// path separator is the backslash (paths given with '/' are accepted and converted).
#include <bitset>
#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "ExceptionsU.h"
#include "FileReaderU.h"
#include "SubSystemU.h"

class TDirEntry;
class TFileEntry;
class TFileSystem;

// "Library file loader "%s" was not passed a valid FileSystem object"; base of archive errors.
class ELibLoaderError : public Exception {
 public:
  using Exception::Exception;
};
// "'%s' is an invalid mask at (%d)"
class EMaskException : public Exception {
 public:
  using Exception::Exception;
};

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

  // Child names in AnsiCompareText order (a file that replaced a same-named one stands in its
  // place). Sorted lazily: adding sets NeedsSort; the first call after that sorts.
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

struct TFileMaskInfo {
  std::string Mask;
  int32_t Priority = 0;
  bool LoadArchives = false;
};

// Scan-directory flags.
enum TScanDirFlags : uint8_t {
  sdCheckUsable = 1,      // check that the directory is usable before scanning
  sdRemoveAfterScan = 2,  // remove this scan directory after the next rescan
};

struct TScanDir {
  TFileSystem* FileSystem = nullptr;
  // Disk path, or a macro ("<Root>..."). Separators are '/', one trailing separator removed.
  // Disk paths on this platform are case-sensitive, so the letter case is kept.
  std::string Path;
  std::string MountPoint;  // tree path, upper-cased, backslashes, no leading separator; "" = root
  bool Changed = true;
  std::vector<TFileMaskInfo> Masks;  // masks upper-cased
  uint8_t Flags = 0;
};

// A compiled mask of the system's own matcher: "*" any run of characters, "?" one character,
// "[set]" one character of the set (ranges "a-z"), "[!set]" one character not in it; letters a
// to z match without regard to case. Characters are UTF-8 sequences.
class TMask {
 public:
  // EMaskException "'%s' is an invalid mask at (%d)" for more than 30 star wildcards, an
  // unclosed or empty set, or a hyphen with no character before it (1-based byte position).
  explicit TMask(const std::string& mask);
  bool Matches(std::string_view name) const;

  static constexpr int MaxStars = 30;

 private:
  enum class TKind : uint8_t { Star, Any, Literal, Set };
  struct TToken {
    TKind Kind;
    char Literal = 0;  // upper-cased byte
    bool Negate = false;
    int32_t SetIndex = -1;
  };
  struct TSet {
    std::bitset<128> Ascii;                           // upper-cased ASCII members
    std::vector<std::pair<uint32_t, uint32_t>> Wide;  // other code point ranges
    bool Contains(uint32_t codePoint) const;
  };
  bool MatchOne(const TToken& token, std::string_view name, size_t& pos) const;

  std::vector<TToken> FTokens;
  std::vector<TSet> FSets;
};

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

// Archive loaders register with a file system and are picked by their 4-byte signature.
class TLibLoader {
 public:
  // Assertion report and ELibLoaderError when fileSystem is null; className names the loader
  // in that message.
  explicit TLibLoader(TFileSystem* fileSystem, const char* className = "TLibLoader");
  virtual ~TLibLoader() = default;

  // The first four bytes of the archives this loader reads, little-endian.
  virtual uint32_t GetSignature() const = 0;
  // True when the loader took the archive (at least one file node inserted).
  virtual bool Load(IFileReaderRef reader, const std::string& fileName, int32_t priority) = 0;

  TDirEntry* GetRoot();  // assertion report and ELibLoaderError without a file system
  TDirEntry* AddDirectory(const std::string& name, TDirEntry* parent);
  TFileEntry* AddFile(std::unique_ptr<TFileEntry>& node, TDirEntry* parent);

  TFileSystem* FileSystem;
};

class TFileSystem : public TSubSystem {
 public:
  // (file system, macro name, the path after the macro, the scan directory, scan itself?)
  // -> the path to scan.
  using TMacroHandler =
      std::function<std::string(TFileSystem* fileSystem, const std::string& name,
                                const std::string& rest, TScanDir& scanDir, bool& scanSelf)>;
  using TFileFoundEvent = std::function<void(TFileSystem* sender, const std::string& treePath,
                                             const std::string& diskPath)>;

  TFileSystem() = default;
  ~TFileSystem() override;

  std::string GetName() const override { return "File system"; }
  bool Initialize() override;  // registers "<Root>" and "<CD_DIRS>", then Rescan(true)
  void Finalize() override;    // Clear, frees the loaders

  void RegisterLoader(std::unique_ptr<TLibLoader> loader);  // ignored if the signature is taken
  const std::vector<std::unique_ptr<TLibLoader>>& Loaders() const { return FLoaders; }
  void RegisterMacro(const std::string& name, TMacroHandler handler);

  void AddSearchPath(const std::string& mountPoint, const std::string& path, uint8_t flags,
                     const std::vector<TFileMaskInfo>& masks);
  void Rescan(bool onlyChanged = true);
  void ClearScanDirs();
  void Clear();  // frees the tree, the scan directories and the macros
  const std::vector<std::unique_ptr<TScanDir>>& ScanDirs() const { return FScanDirs; }

  TDirEntry* GetRoot();                            // made on first need
  TDirEntry* Root() const { return FRoot.get(); }  // null while nothing was mounted

  // Paths are relative to start (null = the root); '\\' and '/' both separate, a leading
  // separator is ignored and an empty path names start itself.
  TEntry* FindEntry(const std::string& path, TDirEntry* start = nullptr);
  TFileEntry* FindFile(const std::string& path, TDirEntry* start = nullptr);
  TDirEntry* FindDirectory(const std::string& path, TDirEntry* start = nullptr);
  TDirEntry* ForceDirectory(const std::string& path, TDirEntry* start = nullptr);
  IFileReaderRef OpenFile(const std::string& path, uint8_t mode = fmRead);

  // First match in a directory (given by tree path or node) or null when nothing matches.
  TFindHandleRef FindFirst(uint8_t attributes, const std::string& directory,
                           const std::string& mask, TFindData& data);
  TFindHandleRef FindFirst(uint8_t attributes, TDirEntry* directory, const std::string& mask,
                           TFindData& data);

  // An empty name gives parent; an existing child directory is returned; else a new one.
  TDirEntry* AddDirectory(const std::string& name, TDirEntry* parent);
  // Null when parent or node is missing, the name is empty, or a same-named directory stands
  // there (node is left to the caller). A same-named file of equal or higher priority wins:
  // node is freed and the existing node returned. Otherwise node moves into parent.
  TFileEntry* AddFile(std::unique_ptr<TFileEntry>& node, TDirEntry* parent);

  TFileFoundEvent OnFileFound;

  // Sub-directory mounting stops descending below this many levels.
  static constexpr int MaxScanDepth = 128;

 private:
  struct TDirId {
    uint64_t Device;
    uint64_t Inode;
    bool operator<(const TDirId& other) const {
      return Device != other.Device ? Device < other.Device : Inode < other.Inode;
    }
  };
  void ScanOne(TScanDir& scanDir);
  void MountDirectory(const std::string& path, TDirEntry* target, const TFileMaskInfo& mask,
                      bool recurse, int depth, std::set<TDirId>& visited);
  void MountFile(const std::string& diskPath, const std::string& name, TDirEntry* parent,
                 const TFileMaskInfo& mask, int64_t size);
  enum class TArchiveResult { Loaded, NotLoaded, Unreadable };
  TArchiveResult TryLoadArchive(const std::string& diskPath, int32_t priority);

  std::vector<std::unique_ptr<TScanDir>> FScanDirs;
  std::vector<std::pair<std::string, TMacroHandler>> FMacros;
  std::vector<std::unique_ptr<TLibLoader>> FLoaders;
  std::unique_ptr<TDirEntry> FRoot;
};

// The application's default file system (used by image managers that have none of their own).
extern TFileSystem* DefaultFileSystem;

// The system's own mask matcher (see TMask). Raises EMaskException for an invalid mask.
bool MatchesMask(const std::string& name, const std::string& mask);

// A mask that finds one file by its name: characters the mask language gives a meaning stand
// for themselves only as "any one character", so a name like "tank[1].quv" still mounts.
std::string FileNameMask(const std::string& fileName);
