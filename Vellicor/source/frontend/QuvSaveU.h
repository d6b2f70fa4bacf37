#pragma once
// Where an edited Quv file is written back: its disk file, or its entry inside the archive it
// was opened from ("data/units.hpi/anims/tank.quv"). Shared by the viewer and the command-line
// tool, which open files through QuvDocumentU.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The identity of a disk file when it was read, to tell whether it changed since.
struct TFileStamp {
  uint64_t Device = 0;
  uint64_t Inode = 0;
  int64_t Size = 0;
  int64_t ModifiedNs = 0;  // since the epoch
  bool operator==(const TFileStamp&) const = default;
};

// The stamp of a disk file (links followed); nullopt when it is missing or cannot be examined.
std::optional<TFileStamp> StampOf(const std::string& diskFile);

// Where a Quv path is written: the disk file, or the archive on disk and the entry inside it.
struct TQuvSaveTarget {
  std::string DiskFile;   // the Quv file, or the archive
  std::string InnerPath;  // the entry inside the archive, '/' between parts; "" on disk
  bool InArchive() const { return !InnerPath.empty(); }
  // As the user names it: the disk file, joined with the inner path.
  std::string ShownPath() const;
};

// Resolves path as OpenQuvDocument does: a path that runs through an existing file names the
// entry inside that archive. Raises "Can not find file path "%s"." for a path whose folder part
// is neither folder nor file.
TQuvSaveTarget SaveTargetOf(const std::string& path);

// Writes the bytes as the target's file: a disk file atomically, an archive entry by rewriting
// the archive (the entry keeps its storage; a new entry gets LZ77 chunks). Raises Exception
// "Cannot save "PATH": REASON" (the system's reason for a disk that refuses the write), leaving
// the old file or archive as it was.
void SaveQuvBytes(const TQuvSaveTarget& target, const std::vector<uint8_t>& bytes);
