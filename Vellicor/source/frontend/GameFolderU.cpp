#include "GameFolderU.h"

#include <filesystem>

#include "ArchiveLoadersU.h"
#include "ExceptionsU.h"
#include "HpiFileReaderU.h"
#include "LowLevelIO.h"
#include "SafeFileU.h"
#include "StringUtilsU.h"

void MountFolderTree(TFileSystem& fileSystem, const std::string& folder, const std::string& mask) {
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

// ---------------------------------------------------------------------------------------------

namespace {

// No sprite or archive entry comes near this; a disk file that claims more is refused rather
// than read whole.
constexpr size_t MaxGameFileSize = size_t(1) << 30;

const THpiFileReader* ArchivedReader(const TFileEntry& file) {
  return dynamic_cast<const THpiFileReader*>(file.Reader.get());
}

std::string ArchiveOf(const THpiFileReader& reader) {
  const auto* disk = dynamic_cast<const TSystemFileReader*>(reader.ArchiveReader().get());
  return disk ? disk->FileName() : std::string();
}

std::string SlashPath(const TEntry& entry) {
  std::string path = entry.GetFullPath();
  for (char& c : path)
    if (c == TreeDelim) c = '/';
  return path;
}

}  // namespace

TGameReadCache::TGameReadCache() = default;
TGameReadCache::~TGameReadCache() {
  for (auto& [path, reader] : FArchives) reader->Close();
}

IFileReader& TGameReadCache::Archive(const std::string& diskPath) {
  if (auto known = FArchives.find(diskPath); known != FArchives.end()) return *known->second;
  // Kept only once open: an archive that went since the mount raises here every time.
  auto opened = std::make_shared<TSystemFileReader>(diskPath, 1);
  opened->Open(fmRead);
  return *FArchives.emplace(diskPath, std::move(opened)).first->second;
}

TGameFolder::TGameFolder(const std::string& folder, const std::string& mask)
    : FFileSystem(MakeArchiveFileSystem()) {
  std::error_code error;
  std::filesystem::path absolute = std::filesystem::absolute(folder, error);
  if (error) absolute = folder;
  FFolder = absolute.lexically_normal().string();
  if (FFolder.size() > 1 && FFolder.back() == PathDelim) FFolder.pop_back();
  FFileSystem->KeepHiddenCopies = true;
  MountFolderTree(*FFileSystem, FFolder, mask);
  const auto note = [this](const TFileEntry& file) {
    const TFileOrigin origin = OriginOf(file);
    if (origin.InArchive && !FArchives.count(origin.DiskPath))
      FArchives.emplace(origin.DiskPath, OriginName(file));
  };
  VisitTree(*FFileSystem->GetRoot(), [&note](TEntry& node, const std::string&) {
    if (node.IsDirectory()) return TWalkStep::Continue;
    const auto& file = static_cast<const TFileEntry&>(node);
    note(file);
    for (const TFileEntry* copy = file.ReplacedEntry; copy; copy = copy->ReplacedEntry) note(*copy);
    return TWalkStep::Continue;
  });
}

TGameFolder::~TGameFolder() = default;

TFileOrigin TGameFolder::OriginOf(const TFileEntry& file) {
  TFileOrigin origin;
  if (const THpiFileReader* archived = ArchivedReader(file)) {
    origin.DiskPath = ArchiveOf(*archived);
    origin.InArchive = true;
    origin.InnerPath = SlashPath(file);
  } else if (const auto* disk = dynamic_cast<const TSystemFileReader*>(file.Reader.get())) {
    origin.DiskPath = disk->FileName();
  }
  return origin;
}

std::string TGameFolder::OriginName(const TFileEntry& file) const {
  const TFileOrigin origin = OriginOf(file);
  std::string shown = origin.InArchive ? origin.DiskPath : ExtractFileDir(origin.DiskPath);
  const std::string prefix = FFolder == "/" ? FFolder : FFolder + PathDelim;
  if (shown == FFolder)
    shown.clear();
  else if (shown.compare(0, prefix.size(), prefix) == 0)
    shown.erase(0, prefix.size());
  if (origin.InArchive) return shown;
  return shown.empty() ? "./" : shown + PathDelim;
}

std::vector<const TFileEntry*> TGameFolder::HiddenCopies(const TFileEntry& file) {
  std::vector<const TFileEntry*> copies;
  for (const TFileEntry* copy = file.ReplacedEntry; copy; copy = copy->ReplacedEntry)
    copies.push_back(copy);
  return copies;
}

std::string TGameFolder::OpenPathOf(const TFileEntry& file) {
  const TFileOrigin origin = OriginOf(file);
  if (!origin.InArchive) return origin.DiskPath;
  return origin.DiskPath + PathDelim + origin.InnerPath;
}

std::vector<uint8_t> TGameFolder::ReadFile(const TFileEntry& file, TGameReadCache& cache) {
  const TFileOrigin origin = OriginOf(file);
  if (origin.InArchive) {
    try {
      return ReadArchivedFile(*ArchivedReader(file), cache.Archive(origin.DiskPath));
    } catch (const Exception& error) {
      throw EReadError(Format("\"%s\" in \"%s\" cannot be read: %s", origin.InnerPath.c_str(),
                              origin.DiskPath.c_str(), error.what()));
    }
  }
  if (origin.DiskPath.empty())
    throw EInOutError(Format("\"%s\" cannot be opened", SlashPath(file).c_str()));
  const std::string bytes = ReadRegularFile(origin.DiskPath, MaxGameFileSize, TLinkPolicy::Refuse);
  return std::vector<uint8_t>(bytes.begin(), bytes.end());
}
