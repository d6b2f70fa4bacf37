#include "QuvSourceU.h"

#include <filesystem>

#include "ArchivePathU.h"
#include "CliFileSystemU.h"
#include "StringUtilsU.h"

TQuvSource::~TQuvSource() {
  // The collections hold readers on the file system's nodes.
  Images = nullptr;
  Manager.reset();
  FileSystem.reset();
}

TQuvSource OpenQuvSource(const std::string& path, uint8_t transparentIndex) {
  TQuvSource source;
  source.Path = path;
  source.FileSystem = MakeCliFileSystem();
  const std::string diskPath = ToDiskPath(path);
  source.FileName = ExtractFileName(diskPath);
  // A path that runs through an archive file names a file inside it: the archive is mounted
  // and the file read by its inner path.
  std::string archiveFile, innerPath;
  const bool inArchive =
      ResolveArchivePath(ExtractFileDir(diskPath), diskPath, archiveFile, innerPath);
  // Search paths may not climb with "..": the folder is taken as a full path.
  std::string folder = ExtractFileDir(inArchive ? archiveFile : diskPath);
  folder = std::filesystem::absolute(folder.empty() ? "." : folder).lexically_normal().string();
  if (inArchive) {
    source.FileName = innerPath;
    source.FileSystem->AddSearchPath("", folder, sdCheckUsable,
                                     {{FileNameMask(ExtractFileName(archiveFile)), 1, true}});
  } else {
    source.FileSystem->AddSearchPath("", folder, sdCheckUsable,
                                     {{FileNameMask(source.FileName), 1, false}});
  }
  source.FileSystem->Rescan(true);

  source.Manager = std::make_unique<TQuvManager>();
  source.Manager->FileSystem = source.FileSystem.get();
  source.Manager->TransparentIndex = transparentIndex;
  source.Manager->Initialize();
  source.Images = static_cast<TQuvImages*>(source.Manager->GetClass(source.FileName));
  return source;
}
