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
#include "FileTreeU.h"
#include "SubSystemU.h"

class TDirEntry;
class TFileEntry;
class TFileSystem;

// "Library file loader "%s" was not passed a valid FileSystem object"; base of archive errors.
class ELibLoaderError : public Exception {
 public:
  using Exception::Exception;
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
  // A file too short for a signature is a plain file instead of a failed scan: for mounting
  // whole folders of anything, where such files are common.
  sdShortFilesArePlain = 4,
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

// A loader's look at a file's first bytes: its own, or why not. Not enough bytes is simply no
// bid, never an error; an archive of the loader's own that is broken beyond its first bytes is
// still its own, and its Load raises the error.
struct TLoaderBid {
  enum TVerdict : uint8_t {
    bdOtherSignature,  // ordered by how much of the file the loader recognised
    bdTooShort,
    bdOtherVersion,
    bdMine,
  };
  TVerdict Verdict = bdOtherSignature;
  std::string Reason;  // why the file is not the loader's
  bool Mine() const { return Verdict == bdMine; }
};

// What became of one disk file offered to the loaders.
struct TArchiveAnswer {
  enum TKind : uint8_t {
    akMissing,     // the scan did not meet the file
    akUnreadable,  // it could not be opened, and was left out
    akNotMine,     // no loader bid on it (Reason says why): a plain file
    akNothingNew,  // a loader read it but added no file node: also a plain file
    akLoaded,      // a loader merged its content into the tree
  };
  TKind Kind = akMissing;
  std::string Reason;
};

// Archive loaders register with a file system and are picked by their 4-byte signature.
class TLibLoader {
 public:
  // Assertion report and ELibLoaderError when fileSystem is null; className names the loader
  // in that message.
  explicit TLibLoader(TFileSystem* fileSystem, const char* className = "TLibLoader");
  virtual ~TLibLoader() = default;

  // The first four bytes of the archives this loader reads, little-endian.
  virtual uint32_t GetSignature() const = 0;
  // Reads from the reader's position 0 (the caller sets it back): the signature check, which
  // loaders that know more of their header extend.
  virtual TLoaderBid Bid(IFileReader& reader) const;
  // Only for a file this loader bid on. True when the loader took the archive (at least one
  // file node inserted); a broken archive raises its error.
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

  // One disk file at the root, as the viewer mounts a file: the file of that exact name, or
  // when there is none its folder searched with the name as the only mask (letter case
  // ignored). Relative paths are taken against the current folder.
  void MountDiskFile(const std::string& diskPath, int32_t priority);
  // The files of one disk folder that match mask, not those of its sub-folders, at the root:
  // a rescan of that folder alone, the scan directories forgotten afterwards (the tree stays).
  void MountDiskFolder(const std::string& folder, const std::string& mask, int32_t priority);
  TArchiveAnswer MountArchive(const std::string& diskPath, int32_t priority);
  // The loaders' dispatch for one open file at position 0: the newest loader that bids on it
  // loads it. A refusal carries the reason of the loader that recognised the most.
  TArchiveAnswer OfferArchive(const IFileReaderRef& reader, const std::string& fileName,
                              int32_t priority);
  // The loaders' bids on one open file at position 0 (set back after each), newest loader
  // first: the loader that bids on it, with its bid; else null, and the refusal of the loader
  // that recognised the most.
  TLibLoader* FindBidder(IFileReader& reader, TLoaderBid& bid) const;
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
  // node is freed and the existing node returned. Otherwise node moves into parent. (Disk
  // folders are scanned with one exception: names of one folder that differ in case alone are
  // different files there, and both are kept.)
  TFileEntry* AddFile(std::unique_ptr<TFileEntry>& node, TDirEntry* parent);

  TFileFoundEvent OnFileFound;
  // Set before mounting: a copy that loses to a same-named file is kept below it (in its
  // ReplacedEntry chain, out of the index) instead of being freed, so that a browser can say
  // what each file hides. Lookups still find the standing copy alone.
  bool KeepHiddenCopies = false;

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
                      bool recurse, bool strict, int depth, std::set<TDirId>& visited);
  void MountFile(const std::string& diskPath, const std::string& name, TDirEntry* parent,
                 const TFileMaskInfo& mask, int64_t size);
  void KeepHiddenCopy(std::unique_ptr<TFileEntry>& node, TDirEntry* parent, TFileEntry* standing);
  // Moves node into parent, in the place of replaced when there is one.
  TFileEntry* PlaceFile(std::unique_ptr<TFileEntry>& node, TDirEntry* parent, TFileEntry* replaced);
  TArchiveAnswer TryLoadArchive(const std::string& diskPath, int32_t priority, bool strict);
  void AddFileSearchPath(const std::string& diskPath, int32_t priority, bool loadArchives);
  void RescanOnce();

  std::vector<std::unique_ptr<TScanDir>> FScanDirs;
  std::vector<std::pair<std::string, TMacroHandler>> FMacros;
  std::vector<std::unique_ptr<TLibLoader>> FLoaders;
  std::unique_ptr<TDirEntry> FRoot;
  // While MountArchive scans: the file it asked for, and what became of it.
  struct TArchiveWatch {
    std::string Name;
    TArchiveAnswer Answer;
  };
  TArchiveWatch* FWatch = nullptr;
};

// The application's default file system (used by image managers that have none of their own).
extern TFileSystem* DefaultFileSystem;
