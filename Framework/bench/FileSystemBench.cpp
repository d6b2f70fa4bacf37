// Virtual file system speed on a folder of 10,000 files: mounting against a raw listing of the
// same folder, and name lookups in another letter case against a plain hash-map lookup.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <unordered_map>
#include <vector>

#include <unistd.h>

#include <cstring>

#include "FileSystemU.h"
#include "LowLevelIO.h"
#include "StringUtilsU.h"
#include "TempDirU.h"

namespace {

constexpr int FileCount = 10000;

// A scratch folder of FileCount small files named "sprite_00000.quv" and so on.
class TBenchFolder {
 public:
  TBenchFolder() {
    for (int i = 0; i < FileCount; ++i) {
      const std::string name = Format("sprite_%05d.quv", i);
      std::ofstream(Path + "/" + name, std::ios::binary) << "QUV";
      Names.push_back(name);
    }
    // Lookups come in a shuffled order, the same for the tree and the baseline.
    std::mt19937 random(7);
    std::shuffle(Names.begin(), Names.end(), random);
    for (const std::string& name : Names) OtherCase.push_back(UpperCase(name));
  }
  TTempDir Temp{"fsbench"};
  const std::string Path = Temp.Path().string();
  std::vector<std::string> Names;
  std::vector<std::string> OtherCase;
};

TBenchFolder& Folder() {
  static TBenchFolder folder;
  return folder;
}

std::unique_ptr<TFileSystem> Mount() {
  auto fs = std::make_unique<TFileSystem>();
  fs->AddSearchPath("", Folder().Path, sdCheckUsable, {TFileMaskInfo{"*", 0, false}});
  fs->Rescan();
  return fs;
}

void BM_ListFolderRaw(benchmark::State& state) {
  const std::string pattern = Folder().Path + "/*";
  for (auto _ : state) {
    int count = 0;
    TFindFileData data;
    if (auto search = Platform().FindFirst(pattern, saNormal | saReadOnly | saDirectory, data)) {
      do {
        benchmark::DoNotOptimize(data.Name.data());
        ++count;
      } while (search->FindNext(data));
    }
    if (count != FileCount) state.SkipWithError("listing incomplete");
  }
  state.SetItemsProcessed(state.iterations() * FileCount);
}
BENCHMARK(BM_ListFolderRaw)->Unit(benchmark::kMillisecond);

void BM_MountFolder(benchmark::State& state) {
  for (auto _ : state) {
    auto fs = Mount();
    if (fs->GetRoot()->ChildCount() != FileCount) state.SkipWithError("mount incomplete");
  }
  state.SetItemsProcessed(state.iterations() * FileCount);
}
BENCHMARK(BM_MountFolder)->Unit(benchmark::kMillisecond);

// The first listing after a mount sorts the index.
void BM_MountAndListSorted(benchmark::State& state) {
  for (auto _ : state) {
    auto fs = Mount();
    int count = 0;
    TFindData data;
    if (auto handle = fs->FindFirst(faFiles, fs->GetRoot(), "*", data)) {
      do ++count;
      while (handle->FindNext(data));
    }
    if (count != FileCount) state.SkipWithError("listing incomplete");
  }
  state.SetItemsProcessed(state.iterations() * FileCount);
}
BENCHMARK(BM_MountAndListSorted)->Unit(benchmark::kMillisecond);

void BM_LookupOtherCase(benchmark::State& state) {
  auto fs = Mount();
  const auto& names = Folder().OtherCase;
  size_t i = 0;
  for (auto _ : state) {
    TFileEntry* node = fs->FindFile(names[i]);
    if (!node) state.SkipWithError("lookup failed");
    benchmark::DoNotOptimize(node);
    if (++i == names.size()) i = 0;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_LookupOtherCase);

// Baseline: the same number of entries in a hash map, looked up by their stored spelling.
void BM_LookupHashMapBaseline(benchmark::State& state) {
  std::unordered_map<std::string, int> map;
  const auto& names = Folder().Names;
  for (size_t k = 0; k < names.size(); ++k) map.emplace(names[k], static_cast<int>(k));
  size_t i = 0;
  for (auto _ : state) {
    auto it = map.find(names[i]);
    if (it == map.end()) state.SkipWithError("lookup failed");
    benchmark::DoNotOptimize(it);
    if (++i == names.size()) i = 0;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_LookupHashMapBaseline);

// Opening a file through the tree, against opening the same disk file directly.
void BM_OpenFileThroughTree(benchmark::State& state) {
  auto fs = Mount();
  const auto& names = Folder().OtherCase;
  size_t i = 0;
  for (auto _ : state) {
    IFileReaderRef reader = fs->OpenFile(names[i]);
    if (!reader) state.SkipWithError("open failed");
    benchmark::DoNotOptimize(reader.get());
    if (++i == names.size()) i = 0;
  }
}
BENCHMARK(BM_OpenFileThroughTree);

void BM_OpenFileDirectBaseline(benchmark::State& state) {
  const auto& names = Folder().Names;
  size_t i = 0;
  for (auto _ : state) {
    TSystemFileReader reader(Folder().Path + "/" + names[i]);
    reader.Open(fmRead);
    benchmark::DoNotOptimize(&reader);
    if (++i == names.size()) i = 0;
  }
}
BENCHMARK(BM_OpenFileDirectBaseline);

// A 4 MB disk file read as the format readers read: a 2-byte length, then that many bytes,
// over and over. Through the disk reader's read-ahead block, against a system read per call and
// a plain copy of the same bytes.
const std::string& ReadFile() {
  static const std::string path = [] {
    const std::string file = "/tmp/vellicor-readbench-" + std::to_string(::getpid()) + ".bin";
    std::vector<char> bytes(4 << 20);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = char(i % 61);
    std::ofstream(file, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
    std::atexit([] { std::remove(ReadFile().c_str()); });
    return file;
  }();
  return path;
}

template <class TReadAll>
void ReadInSmallSteps(benchmark::State& state, TReadAll readAll) {
  std::vector<uint8_t> out(64);
  for (auto _ : state) benchmark::DoNotOptimize(readAll(out.data()));
  state.SetBytesProcessed(state.iterations() * (int64_t(4) << 20));
}

void BM_DiskReaderSmallReads(benchmark::State& state) {
  ReadInSmallSteps(state, [](uint8_t* out) {
    TSystemFileReader reader(ReadFile());
    reader.Open(fmRead);
    int64_t total = 0;
    for (int64_t n; (n = reader.Read(out, 2 + total % 60)) > 0;) total += n;
    return total;
  });
}
BENCHMARK(BM_DiskReaderSmallReads)->Unit(benchmark::kMillisecond);

void BM_DiskHandleSmallReadsBaseline(benchmark::State& state) {
  ReadInSmallSteps(state, [](uint8_t* out) {
    IFileHandleRef handle = Platform().FileOpen(ReadFile(), hfRead | hfShareRead);
    int64_t total = 0;
    for (int64_t n; (n = handle->Read(out, 2 + total % 60)) > 0;) total += n;
    return total;
  });
}
BENCHMARK(BM_DiskHandleSmallReadsBaseline)->Unit(benchmark::kMillisecond);

void BM_MemcpyOfTheFileBaseline(benchmark::State& state) {
  std::vector<uint8_t> bytes(4 << 20, 7), copy(bytes.size());
  for (auto _ : state) {
    std::memcpy(copy.data(), bytes.data(), bytes.size());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * int64_t(bytes.size()));
}
BENCHMARK(BM_MemcpyOfTheFileBaseline)->Unit(benchmark::kMillisecond);

}  // namespace
