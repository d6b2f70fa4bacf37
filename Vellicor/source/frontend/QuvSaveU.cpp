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
  return TFileStamp{uint64_t(info.st_dev), uint64_t(info.st_ino), int64_t(info.st_size),
                    int64_t(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec};
}

TQuvSaveTarget SaveTargetOf(const std::string& path) {
  const std::string diskPath = ToDiskPath(path);
  TQuvSaveTarget target;
  if (!ResolveArchivePath(ExtractFileDir(diskPath), diskPath, target.DiskFile, target.InnerPath))
    target = {diskPath, ""};
  return target;
}

void SaveQuvBytes(const TQuvSaveTarget& target, const std::vector<uint8_t>& bytes) {
  if (target.InArchive())
    throw EInOutError(Format("Cannot save \"%s\" inside the archive \"%s\": not yet",
                             target.InnerPath.c_str(), target.DiskFile.c_str()));
  WriteFileAtomically(target.DiskFile,
                      std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}
