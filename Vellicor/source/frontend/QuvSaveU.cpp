#include "QuvSaveU.h"

#include <sys/stat.h>

#include <string_view>

#include "ArchivePathU.h"
#include "ExceptionsU.h"
#include "SafeFileU.h"
#include "StringUtilsU.h"

std::optional<TFileStamp> StampOf(const std::string& diskFile) {
  struct stat info {};
  if (::stat(diskFile.c_str(), &info) != 0) return std::nullopt;
  TFileStamp stamp;
  stamp.Device = uint64_t(info.st_dev);
  stamp.Inode = uint64_t(info.st_ino);
  stamp.Size = int64_t(info.st_size);
  stamp.ModifiedNs = int64_t(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec;
  return stamp;
}

TQuvSaveTarget SaveTargetOf(const std::string& path) {
  const size_t cut = path.find_last_of("/\\");
  const std::string folder = cut == std::string::npos ? std::string() : path.substr(0, cut);
  TQuvSaveTarget target;
  std::string archive, inner;
  if (!folder.empty() && ResolveArchivePath(folder, path, archive, inner)) {
    target.DiskFile = archive;
    target.InnerPath = inner;
  } else {
    target.DiskFile = path;
  }
  return target;
}

void SaveQuvBytes(const TQuvSaveTarget& target, const std::vector<uint8_t>& bytes) {
  if (target.InArchive())
    throw EInOutError(Format("Cannot save \"%s\" inside \"%s\": archives cannot be written yet",
                             target.InnerPath.c_str(), target.DiskFile.c_str()));
  WriteFileAtomically(target.DiskFile,
                      std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}
