#pragma once
// The HPI archive loader: checks the archive header, unscrambles the directory and merges its
// tree into the virtual file system, giving each archived file a reader of its own.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "FileSystemU.h"
#include "HpiFileReaderU.h"
#include "HpiFormatU.h"

// Deeper nesting than this is taken for a directory that refers to itself.
constexpr int HpiMaxDirectoryDepth = 256;

enum THpiEntryKind : uint8_t { ekFile = 0, ekDirectory = 1 };

class THpiLoader;

class THpiLoaderImp {
 public:
  explicit THpiLoaderImp(THpiLoader* loader) : Loader(loader) {}
  virtual ~THpiLoaderImp() = default;

  // Stores the load's reader, file name and priority; answers false.
  virtual bool Load(IFileReaderRef reader, const std::string& fileName, int32_t priority);

  THpiLoader* Loader;
  std::string FileName;
  IFileReaderRef Reader;
  int32_t Priority = 0;
};

class THpiLoader_Zeta : public THpiLoaderImp {
 public:
  using THpiLoaderImp::THpiLoaderImp;

  // Reads the header after its first 8 bytes, the directory, and walks it under the root. True
  // when at least one file node of this archive was inserted.
  bool Load(IFileReaderRef reader, const std::string& fileName, int32_t priority) override;

  // A file entry whose data the archive cannot hold fails the load instead of being left out:
  // for a reader that must see every entry (a rewrite of the archive would lose it).
  bool Strict = false;

  // Walks one directory record; true when a file node was inserted in it or below.
  bool ReadDirectory(TDirEntry* parent, const std::vector<uint8_t>& dir, uint32_t recordOffset,
                     uint32_t key);

 private:
  bool WalkDirectory(TDirEntry* parent, const std::vector<uint8_t>& dir, uint32_t recordOffset,
                     uint32_t key, int depth);
  bool AddFileEntry(TDirEntry* parent, const std::vector<uint8_t>& dir, std::string name,
                    uint32_t recordOffset, uint32_t key);

  // Walk state of one load: the directory records and entries already walked. A well-formed
  // directory reaches each of them once, which bounds the walk by the directory's size.
  std::vector<bool> FVisited;
  std::vector<bool> FEntryVisited;
  std::vector<uint32_t> FNameEnd;  // offset of the 0 that ends a name starting at each offset
};

class THpiLoader : public TLibLoader {
 public:
  explicit THpiLoader(TFileSystem* fileSystem);
  ~THpiLoader() override;

  uint32_t GetSignature() const override { return HpiSignature; }
  // "HAPI" and the one Version read here; a file that ends before its Version is still an
  // HPI archive, a broken one.
  TLoaderBid Bid(IFileReader& reader) const override;
  // Reads signature and Version; another Version is declined (false, nothing logged).
  bool Load(IFileReaderRef reader, const std::string& fileName, int32_t priority) override;

  std::unique_ptr<THpiLoader_Zeta> Imp;
};
