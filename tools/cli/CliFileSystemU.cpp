#include "CliFileSystemU.h"
#include "ByteOrderU.h"

#include <fnmatch.h>

#include <cstdint>
#include <filesystem>
#include <fstream>

#include "ExceptionsU.h"
#include "LowLevelIO.h"
#include "StringUtilsU.h"

std::vector<TCliLoaderFactory>& CliLoaderFactories() {
  static std::vector<TCliLoaderFactory> factories;
  return factories;
}

TCliLoader::TCliLoader(TCliLoaderFactory factory) {
  CliLoaderFactories().push_back(std::move(factory));
}

std::unique_ptr<TFileSystem> MakeCliFileSystem() {
  auto fileSystem = std::make_unique<TFileSystem>();
  fileSystem->Initialize();
  for (const TCliLoaderFactory& factory : CliLoaderFactories())
    fileSystem->RegisterLoader(factory(fileSystem.get()));
  return fileSystem;
}

namespace {

namespace fs = std::filesystem;

// True when the file's first four bytes are the signature of a registered loader.
bool LooksLikeArchive(const TFileSystem& fileSystem, const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  uint8_t bytes[4] = {};
  if (!in.read(reinterpret_cast<char*>(bytes), sizeof bytes)) return false;
  const uint32_t signature = ByteOrder::LoadU32(bytes);
  for (const auto& loader : fileSystem.Loaders()) {
    if (loader->GetSignature() == signature) return true;
  }
  return false;
}

// The archives below folder that match mask, as (folder relative to the root, file name).
std::vector<std::pair<std::string, std::string>> FindArchives(const TFileSystem& fileSystem,
                                                              const fs::path& folder,
                                                              const std::string& mask) {
  std::vector<std::pair<std::string, std::string>> archives;
  std::error_code error;
  // Links to folders are not followed here, so this walk cannot loop.
  fs::recursive_directory_iterator it(folder, fs::directory_options::skip_permission_denied, error);
  for (; !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
    const std::string name = it->path().filename().string();
    if (name.empty() || name.front() == '.') {
      if (it->is_directory(error)) it.disable_recursion_pending();
      continue;
    }
    if (!it->is_regular_file(error) || it->file_size(error) < 4) continue;
    if (::fnmatch(mask.c_str(), name.c_str(), FNM_CASEFOLD) != 0) continue;
    if (!LooksLikeArchive(fileSystem, it->path())) continue;
    archives.emplace_back(it->path().parent_path().lexically_relative(folder).string(), name);
  }
  return archives;
}

}  // namespace

void MountCliFolder(TFileSystem& fileSystem, const std::string& folder, const std::string& mask) {
  // An absolute, normalised path: the file system refuses paths that climb with "..".
  std::error_code error;
  fs::path absolute = fs::absolute(folder, error);
  if (error) absolute = folder;
  const std::string path = absolute.lexically_normal().string();
  if (!Platform().DirectoryUsable(path))
    throw EInOutError(Format("Cannot read directory \"%s\"", folder.c_str()));
  const std::string fileMask = mask.empty() ? "*" : mask;
  const size_t known = fileSystem.ScanDirs().size();
  // Every file as a plain file first: asking the loaders while scanning would fail the whole
  // mount on any file shorter than a signature.
  fileSystem.AddSearchPath("", JoinPath(path, "*", PathDelim), sdCheckUsable,
                           {TFileMaskInfo{fileMask, 0, false}});
  if (fileSystem.ScanDirs().size() == known)
    throw EInOutError(Format("Invalid search path, contains \"..\": %s", path.c_str()));
  fileSystem.Rescan(true);
  fileSystem.ClearScanDirs();
  if (fileSystem.Loaders().empty()) return;
  // Then each archive the way the viewer mounts one: its folder with the archive's name as the
  // mask. Its content joins the root; a declined archive stays the plain file it already is.
  for (const auto& [relative, name] : FindArchives(fileSystem, path, fileMask)) {
    const bool top = relative.empty() || relative == ".";
    fileSystem.AddSearchPath(top ? std::string() : relative,
                             top ? path : JoinPath(path, relative, PathDelim), sdCheckUsable,
                             {TFileMaskInfo{name, 0, true}});
  }
  fileSystem.Rescan(true);
  fileSystem.ClearScanDirs();
}
