#pragma once
// Writing an edited Quv file back where it came from: a disk file replaced atomically, or the
// file inside an archive. And the stamp of a disk file, by which a view notices that someone
// else changed the file since it was opened.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct TFileStamp {
  uint64_t Device = 0, Inode = 0;
  int64_t Size = 0, ModifiedNs = 0;
  bool operator==(const TFileStamp&) const = default;
};
// None when the file is not there (or cannot be looked at).
std::optional<TFileStamp> StampOf(const std::string& diskFile);

// Where a path's bytes go: the disk file, and the path inside it when that file is an archive.
struct TQuvSaveTarget {
  std::string DiskFile;
  std::string InnerPath;
  bool InArchive() const { return !InnerPath.empty(); }
};
// "data/units.hpi/anims/tank.quv" -> the archive and "anims\tank.quv"; a plain disk path stays
// as it is. Raises "Can not find file path "%s"." for a folder part that leads nowhere.
TQuvSaveTarget SaveTargetOf(const std::string& path);

// Writes the file's bytes atomically: the old file stays whole when the write fails. Raises
// EDiskFileError (or EInOutError) with the reason.
void SaveQuvBytes(const TQuvSaveTarget& target, const std::vector<uint8_t>& bytes);
