// Mounts the fuzz input as an HPI archive and reads every file in it: no input may crash, hang
// or exhaust memory; errors are the expected answer to damaged archives.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "FileSystemU.h"
#include "Hpi_Zeta_LoaderU.h"
#include "MemoryFileReaderU.h"

namespace {

void ReadEvery(TDirEntry& dir) {
  for (const auto& [name, node] : dir.SortedIndex()) {
    if (node->IsDirectory()) {
      ReadEvery(static_cast<TDirEntry&>(*node));
      continue;
    }
    try {
      IFileReaderRef reader = static_cast<TFileEntry*>(node)->OpenReader(fmRead);
      if (!reader) continue;
      uint8_t buffer[4096];
      while (reader->Read(buffer, sizeof buffer) > 0) {
      }
      reader->Seek(0, soBeginning);
      reader->Read(buffer, 1);
      reader->Close();
    } catch (const std::exception&) {
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TFileSystem fileSystem;
  auto loader = std::make_unique<THpiLoader>(&fileSystem);
  THpiLoader* hpi = loader.get();
  fileSystem.RegisterLoader(std::move(loader));
  auto reader = std::make_shared<TMemoryFileReader>(std::vector<uint8_t>(data, data + size));
  reader->Open(fmRead);
  fileSystem.GetRoot();
  try {
    hpi->Load(reader, "fuzz.hpi", 0);
  } catch (const std::exception&) {
  }
  if (TDirEntry* root = fileSystem.Root()) ReadEvery(*root);
  return 0;
}
