#include "CliFileSystemU.h"

#include <filesystem>

#include "ExceptionsU.h"
#include "LowLevelIO.h"
#include "StringUtilsU.h"

void MountCliFolder(TFileSystem& fileSystem, const std::string& folder, const std::string& mask) {
  // An absolute, normalised path: the file system refuses paths that climb with "..".
  std::error_code error;
  std::filesystem::path absolute = std::filesystem::absolute(folder, error);
  if (error) absolute = folder;
  const std::string path = absolute.lexically_normal().string();
  if (!Platform().DirectoryUsable(path))
    throw EInOutError(Format("Cannot read directory \"%s\"", folder.c_str()));
  const std::string fileMask = mask.empty() ? "*" : mask;
  const std::string tree = JoinPath(path, "*", PathDelim);
  // Every file as a plain file first, archives included; then the loaders are offered every
  // file again, and their archives' content joins the root. A folder of anything holds files
  // too short for a signature: those are plain files, not a failed mount.
  for (const bool archives : {false, true}) {
    const size_t known = fileSystem.ScanDirs().size();
    fileSystem.AddSearchPath("", tree, uint8_t(sdCheckUsable | sdShortFilesArePlain),
                             {TFileMaskInfo{fileMask, 0, archives}});
    if (fileSystem.ScanDirs().size() == known)
      throw EInOutError(Format("Invalid search path, contains \"..\": %s", path.c_str()));
    fileSystem.Rescan(true);
    fileSystem.ClearScanDirs();
  }
}
