#pragma once
// Saving a Quv file's bytes where it was opened from: a disk file, replaced atomically, or a
// file inside an archive.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// What tells whether a disk file changed since it was read.
struct TFileStamp {
  uint64_t Device = 0, Inode = 0;
  int64_t Size = 0, ModifiedNs = 0;
  bool operator==(const TFileStamp&) const = default;
};
// The stamp of the file, or nothing when it cannot be looked at.
std::optional<TFileStamp> StampOf(const std::string& diskFile);

// Where a path's bytes go: the disk file, and the path inside it when it is an archive.
struct TQuvSaveTarget {
  std::string DiskFile;
  std::string InnerPath;
  bool InArchive() const { return !InnerPath.empty(); }
};
// Splits a path that may run through an archive ("data/units.hpi/anims/tank.quv"). Raises
// "Can not find file path "%s"." when a folder on the way is not there.
TQuvSaveTarget SaveTargetOf(const std::string& path);
// Writes the bytes to the target atomically. Raises, naming the file, when it cannot.
void SaveQuvBytes(const TQuvSaveTarget& target, const std::vector<uint8_t>& bytes);
