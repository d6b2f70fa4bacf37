#pragma once
// A game install as the game sees it: a disk folder with its sub-folders and every archive in
// them merged into one tree, where each file says which archive or folder provides it and which
// copies of the same name it hides.
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "FileSystemU.h"

// Mounts a disk folder and its sub-folders at the root of the tree, taking the files that match
// mask. Archives among them stay listed as files of their folders, and the loaders merge their
// content into the root; of same-named files the first met stands. Raises EInOutError naming
// the folder when it cannot be read.
void MountFolderTree(TFileSystem& fileSystem, const std::string& folder,
                     const std::string& mask = "*");

// Where a file's bytes come from.
struct TFileOrigin {
  std::string DiskPath;  // the archive, or the disk file itself
  bool InArchive = false;
  std::string InnerPath;  // inside the archive, '/' between names; empty for a disk file
};

// Each thread that reads files of a mounted tree keeps one of these: the archives it opened,
// open for its next files.
class TGameReadCache {
 public:
  TGameReadCache();
  ~TGameReadCache();
  IFileReader& Archive(const std::string& diskPath);

 private:
  std::map<std::string, IFileReaderRef> FArchives;
};

class TGameFolder {
 public:
  // Mounts folder (MountFolderTree, with mask) into a file system of its own that keeps hidden
  // copies.
  explicit TGameFolder(const std::string& folder, const std::string& mask = "*");
  ~TGameFolder();
  TGameFolder(const TGameFolder&) = delete;
  TGameFolder& operator=(const TGameFolder&) = delete;

  const std::string& Folder() const { return FFolder; }  // absolute, normalised
  TFileSystem& FileSystem() { return *FFileSystem; }
  TDirEntry& Root() { return *FFileSystem->GetRoot(); }

  static TFileOrigin OriginOf(const TFileEntry& file);
  // As a user reads it, relative to the game folder: "base.hpi", "mods/extra.ufo" for a file
  // of an archive, the folder with a trailing '/' ("units/", "./" for the game folder itself)
  // for a disk file.
  std::string OriginName(const TFileEntry& file) const;
  // Every archive the game's files come from (hidden copies' too), by disk path, each with its
  // OriginName. Gathered once, as the folder is mounted.
  const std::map<std::string, std::string>& Archives() const { return FArchives; }
  // The copies file hides, the next in line first (those the game would take if the ones above
  // were gone).
  static std::vector<const TFileEntry*> HiddenCopies(const TFileEntry& file);
  // What the viewer opens for the file: its disk path, or the archive's joined with the inner
  // path.
  static std::string OpenPathOf(const TFileEntry& file);
  // The whole file. Any thread may call it while the tree stays as it is, each with a cache of
  // its own: only the node's description is read, never its readers' state. Raises what
  // reading the file raises, naming it.
  static std::vector<uint8_t> ReadFile(const TFileEntry& file, TGameReadCache& cache);

 private:
  std::string FFolder;
  std::unique_ptr<TFileSystem> FFileSystem;
  std::map<std::string, std::string> FArchives;
};
