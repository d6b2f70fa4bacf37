#include "QuvSaveU.h"

#include <sys/stat.h>

#include <cstring>
#include <string_view>

#include "ArchivePathU.h"
#include "HpiRewriteU.h"
#include "SafeFileU.h"
#include "StringUtilsU.h"

std::optional<TFileStamp> StampOf(const std::string& diskFile) {
  struct stat info {};
  if (::stat(diskFile.c_str(), &info) != 0) return std::nullopt;
  return TFileStamp{uint64_t(info.st_dev), uint64_t(info.st_ino), int64_t(info.st_size),
                    int64_t(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec};
}

std::string TQuvSaveTarget::ShownPath() const {
  return InArchive() ? JoinPath(DiskFile, InnerPath, PathDelim) : DiskFile;
}

TQuvSaveTarget SaveTargetOf(const std::string& path) {
  TQuvSaveTarget target;
  const std::string diskPath = ToDiskPath(path);
  std::string inner;
  if (!ResolveArchivePath(ExtractFileDir(diskPath), diskPath, target.DiskFile, inner)) {
    target.DiskFile = diskPath;
    return target;
  }
  target.InnerPath = ToDiskPath(inner);
  return target;
}

void SaveQuvBytes(const TQuvSaveTarget& target, const std::vector<uint8_t>& bytes) {
  try {
    if (target.InArchive()) {
      THpiChange change;
      change.Path = target.InnerPath;
      change.Data = bytes;
      RewriteHpiArchive(target.DiskFile, {change});
    } else {
      WriteFileAtomically(
          target.DiskFile,
          std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    }
  } catch (const EDiskFileError& error) {
    const std::string reason = error.Code ? std::strerror(error.Code) : error.what();
    throw Exception(Format("Cannot save \"%s\": %s", target.ShownPath().c_str(), reason.c_str()));
  } catch (const std::exception& error) {
    throw Exception(Format("Cannot save \"%s\": %s", target.ShownPath().c_str(), error.what()));
  }
}
