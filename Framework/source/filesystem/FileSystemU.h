#pragma once
// The virtual file system: one in-memory tree of named entries under "<Root>", filled by
// scanning disk folders and by archive loaders. Names compare without regard to case; the tree's
// path separator is the backslash (paths given with '/' are accepted and converted).
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
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
  TEntry(std::string name, TDirEntry* parent);
  TEntry(const TEntry&) = delete;
  TEntry& operator=(const TEntry&) = delete;
  virtual ~TEntry() = default;

  // The names of the ancestors below the root and this node's name, joined by the backslash.
  std::string GetFullPath() const;
  virtual void Assign(const TEntry& source);  // copies the name

  std::string Name;
  TDirEntry* Parent = nullptr;
};

class TDirEntry : public TEntry {
 public:
  // With a parent, the new node is added to it and owned by it.
  static TDirEntry* Create(std::string name, TDirEntry* parent);
  TDirEntry(std::string name, TDirEntry* parent) : TEntry(std::move(name), parent) {}
  ~TDirEntry() override;

  TEntry* FindChild(const std::string& name);  // by the sorted index, letter case ignored
  TDirEntry* FindChildDir(const std::string& name);
  TFileEntry* FindChildFile(const std::string& name);
  int32_t SubDirCount() const { return static_cast<int32_t>(Dirs.size()); }
  int32_t ChildCount() const { return static_cast<int32_t>(Index.size()); }

  // Index of child names (a file that replaced a same-named one stands in its place). Sorted
  // lazily: adding sets NeedsSort; the first lookup after that sorts.
  const std::vector<std::pair<std::string, TEntry*>>& SortedIndex();

  bool NeedsSort = false;
  std::vector<std::unique_ptr<TFileEntry>> Files;  // owned file children, in the order added
  std::vector<std::unique_ptr<TDirEntry>> Dirs;    // owned directory children
  std::vector<std::pair<std::string, TEntry*>> Index;
};

class TFileEntry : public TEntry {
 public:
  TFileEntry(std::string name, TDirEntry* parent = nullptr) : TEntry(std::move(name), parent) {}
  ~TFileEntry() override;  // detaches every attached reader

  // Copies priority and size, then assigns the template reader in place (when SameFile says
  // so) or replaces it with a clone of the other's.
  void Assign(const TEntry& source) override;
  // A clone of the template reader, opened with mode; null without a template reader.
  IFileReaderRef OpenReader(uint8_t mode);

  void AttachReader(IFileReader* reader);
  void DetachReader(IFileReader* reader);

  bool Destroying = false;
  int32_t Priority = 0;
  int64_t Size = 0;
  std::vector<IFileReader*> Readers;  // readers attached to this node (not owned)
  IFileReaderRef Reader;              // the template reader (owned)
  TFileEntry* ReplacedEntry = nullptr;  // the same-named node this one replaced
  TFileEntry* ReplacedBy = nullptr;     // the same-named node that replaced this one
};

struct TFileMaskInfo {
  std::string Mask;
  int32_t Priority = 0;
  bool LoadArchives = false;
};

// Scan-directory flags.
enum TScanDirFlags : uint8_t {
  sdCheckUsable = 1,  // check that the directory is usable before scanning
  sdRemoveAfterScan = 2,  // remove this scan directory after the next rescan
};

struct TScanDir {
  TFileSystem* FileSystem = nullptr;
  std::string Path;        // disk path, separators normalised, no leading tree separator
  std::string MountPoint;  // tree path, upper-cased; empty = the root
  bool Changed = true;
  std::vector<TFileMaskInfo> Masks;  // masks upper-cased
  uint8_t Flags = 0;
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
  TFindHandle(uint8_t attributes, std::string mask, TDirEntry* directory);
  bool FindNext(TFindData& data);  // false at the end

  uint8_t Attributes;
  int32_t NextIndex = 0;
  std::string Mask;
  TDirEntry* Directory;
};
using TFindHandleRef = std::shared_ptr<TFindHandle>;

// Archive loaders register with a file system and are picked by their 4-byte signature.
class TLibLoader {
 public:
  explicit TLibLoader(TFileSystem* fileSystem);  // ELibLoaderError when fileSystem is null
  virtual ~TLibLoader() = default;

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
  using TMacroHandler = std::function<std::string(TFileSystem* fileSystem, const std::string& name,
                                                  const std::string& rest, TScanDir& scanDir,
                                                  bool& scanSelf)>;
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

  TDirEntry* GetRoot();                   // made on first need
  TDirEntry* Root() const { return FRoot.get(); }  // null while nothing was mounted

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

 private:
  void MountDirectory(const TScanDir& scanDir, const std::string& path, TDirEntry* target,
                      const TFileMaskInfo& mask, bool recurse, int depth);

  std::vector<std::unique_ptr<TScanDir>> FScanDirs;
  std::vector<std::pair<std::string, TMacroHandler>> FMacros;
  std::vector<std::unique_ptr<TLibLoader>> FLoaders;
  std::unique_ptr<TDirEntry> FRoot;
};

// The application's default file system (used by image managers that have none of their own).
extern TFileSystem* DefaultFileSystem;

// The system's own mask matcher: "*", "?", sets "[a-z]" and "[!...]", letters a to z without
// regard to case. Raises EMaskException "'%s' is an invalid mask at (%d)".
bool MatchesMask(const std::string& name, const std::string& mask);
