// Mounts the fuzz input as an HPI archive and reads every file in it: no input may crash, hang
// or exhaust memory; errors are the expected answer to damaged archives.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "FileSystemU.h"
#include "Hpi_Zeta_LoaderU.h"
#include "MemoryFileReaderU.h"

namespace {

// A small archive may rightly hold files that inflate a thousandfold, and every file keeps its
// decoded bytes; reading stops after this much so one input cannot take the run's memory.
constexpr int64_t ReadBudget = int64_t(256) << 20;

void ReadFile(TFileEntry& file, int64_t& budget) {
  try {
    IFileReaderRef reader = file.OpenReader(fmRead);
    if (!reader) return;
    uint8_t buffer[4096];
    budget -= std::max<int64_t>(reader->GetSize(), 0);
    while (reader->Read(buffer, sizeof buffer) > 0) {
    }
    reader->Seek(0, soBeginning);
    reader->Read(buffer, 1);
    reader->Close();
  } catch (const std::exception&) {
  }
}

void ReadEvery(TDirEntry& root) {
  int64_t budget = ReadBudget;
  VisitTree(root, [&budget](TEntry& node, const std::string&) {
    if (budget <= 0) return TWalkStep::Stop;
    if (node.IsDirectory()) return TWalkStep::Continue;
    ReadFile(static_cast<TFileEntry&>(node), budget);
    return TWalkStep::Continue;
  });
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
