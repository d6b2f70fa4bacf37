#include "ArchiveLoadersU.h"

#include "Hpi_Zeta_LoaderU.h"

void RegisterArchiveLoaders(TFileSystem& fileSystem) {
  // The dispatch asks the newest loader first: a loader for a more specific form of a format
  // goes after the general one.
  fileSystem.RegisterLoader(std::make_unique<THpiLoader>(&fileSystem));
}

std::unique_ptr<TFileSystem> MakeArchiveFileSystem() {
  auto fileSystem = std::make_unique<TFileSystem>();
  fileSystem->Initialize();
  RegisterArchiveLoaders(*fileSystem);
  return fileSystem;
}

bool IsArchiveFile(const std::string& diskPath) {
  TFileSystem fileSystem;
  RegisterArchiveLoaders(fileSystem);
  TLoaderBid bid;
  try {
    auto reader = std::make_shared<TSystemFileReader>(diskPath);
    reader->Open(fmRead);
    fileSystem.FindBidder(*reader, bid);
  } catch (const std::exception&) {
    return false;  // unreadable: not an archive to offer
  }
  return bid.Verdict >= TLoaderBid::bdOtherVersion;
}
