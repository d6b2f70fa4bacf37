#include "ArchivePathU.h"

#include "ExceptionsU.h"
#include "LowLevelIO.h"
#include "StringUtilsU.h"

bool ResolveArchivePath(const std::string& path, const std::string& innerPath,
                        std::string& archiveFile, std::string& innerOut) {
  archiveFile.clear();
  std::string rest = NormalizePath(path, PathDelim);
  std::string prefix;
  // An absolute path starts at the file-system root, which is a folder.
  if (!rest.empty() && rest.front() == PathDelim) {
    prefix = std::string(1, PathDelim);
    rest.erase(0, 1);
  }
  TPlatformTable& platform = Platform();
  while (!rest.empty()) {
    const size_t cut = rest.find(PathDelim);
    const std::string part = rest.substr(0, cut);
    rest = cut == std::string::npos ? std::string() : rest.substr(cut + 1);
    if (part.empty()) continue;  // doubled separators
    prefix =
        prefix.empty() || prefix.back() == PathDelim ? prefix + part : prefix + PathDelim + part;
    if (platform.DirectoryExists(prefix)) continue;
    if (platform.FileExists(prefix)) {
      archiveFile = prefix;
      innerOut = JoinPath(ToTreePath(rest), ExtractFileName(innerPath), TreeDelim);
      return true;
    }
    throw Exception(Format("Can not find file path \"%s\".", path.c_str()));
  }
  return false;
}
