// Speed of the HPI reader: LZ77 against a plain copy, zlib chunks against a bare inflate, mounting
// a large archive, and a second opening of a chunked file against its first. Speed of a rewrite:
// one entry put into a 48 MB archive against zip -r of the same files.
#include <benchmark/benchmark.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "ArchiveLoadersU.h"
#include "HpiBuilderU.h"
#include "HpiChunkU.h"
#include "HpiLz77EncoderU.h"
#include "HpiRewriteU.h"
#include "Hpi_Zeta_LoaderU.h"
#include "Lz77U.h"
#include "SafeFileU.h"
#include "TempDirU.h"

namespace {

// Sprite-like bytes: runs of a background index broken by short noisy rows.
std::vector<uint8_t> SpriteBytes(size_t size) {
  std::vector<uint8_t> data(size);
  uint32_t x = 12345;
  for (size_t i = 0; i < size; ++i) {
    x = x * 1103515245u + 12345u;
    const size_t column = i % 200;
    data[i] = column < 60 || column > 140 ? 9 : uint8_t(16 + ((x >> 24) & 31));
  }
  return data;
}

// Archives written for the run, removed when the program ends.
std::string TempPath(const std::string& name) {
  static const TTempDir folder("hpibench");
  return folder.File(name);
}

void Mount(TFileSystem& fs, const std::string& archive) {
  RegisterArchiveLoaders(fs);
  fs.MountArchive(archive, 0);
}

void BM_Lz77Decode(benchmark::State& state) {
  const std::vector<uint8_t> data = SpriteBytes(65536);
  const std::vector<uint8_t> packed = CompressLZ77(data.data(), data.size());
  std::vector<uint8_t> out(data.size());
  for (auto _ : state) {
    benchmark::DoNotOptimize(DecompressLZ77(packed.data(), packed.size(), out.data(), out.size()));
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(data.size()));
}
BENCHMARK(BM_Lz77Decode);

void BM_MemcpyBaseline(benchmark::State& state) {
  const std::vector<uint8_t> data = SpriteBytes(65536);
  std::vector<uint8_t> out(data.size());
  for (auto _ : state) {
    std::memcpy(out.data(), data.data(), data.size());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(data.size()));
}
BENCHMARK(BM_MemcpyBaseline);

void BM_ZLibChunkDecode(benchmark::State& state) {
  const std::vector<uint8_t> data = SpriteBytes(65536);
  std::vector<uint8_t> chunk =
      THpiBuilder::MakeChunk(data.data(), data.size(), THpiChunkKind::ZLib, false);
  std::vector<uint8_t> out;
  out.reserve(data.size());
  for (auto _ : state) {
    out.clear();
    benchmark::DoNotOptimize(DecodeChunk(chunk.data(), chunk.size(), out));
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(data.size()));
}
BENCHMARK(BM_ZLibChunkDecode);

void BM_PlainInflateBaseline(benchmark::State& state) {
  const std::vector<uint8_t> data = SpriteBytes(65536);
  const std::vector<uint8_t> chunk =
      THpiBuilder::MakeChunk(data.data(), data.size(), THpiChunkKind::ZLib, false);
  const uint8_t* payload = chunk.data() + HpiChunkHeaderSize;
  const size_t payloadSize = chunk.size() - HpiChunkHeaderSize;
  std::vector<uint8_t> out(data.size());
  for (auto _ : state) {
    z_stream stream{};
    stream.next_in = const_cast<Bytef*>(payload);
    stream.avail_in = uInt(payloadSize);
    stream.next_out = out.data();
    stream.avail_out = uInt(out.size());
    inflateInit(&stream);
    benchmark::DoNotOptimize(inflate(&stream, Z_FINISH));
    inflateEnd(&stream);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(data.size()));
}
BENCHMARK(BM_PlainInflateBaseline);

// 10,000 small files in 100 folders of 10 sub-folders each.
const std::string& LargeArchive() {
  static const std::string path = [] {
    THpiBuilder builder;
    builder.HeaderKey = 0x2a;
    const std::vector<uint8_t> data = SpriteBytes(64);
    for (int i = 0; i < 10000; ++i)
      builder.AddFile("d" + std::to_string(i % 100) + "/s" + std::to_string(i % 10) + "/f" +
                          std::to_string(i) + ".quv",
                      data, THpiFileOptions{uint8_t(i % 3 == 0 ? 0 : 1), {THpiChunkKind::LZ77}});
    const std::string file = TempPath("large.hpi");
    builder.WriteFile(file);
    return file;
  }();
  return path;
}

size_t CountEntries(TFileSystem& fs, TDirEntry* dir) {
  size_t count = 0;
  TFindData data;
  TFindHandleRef handle = fs.FindFirst(faFiles | faDirectories, dir, "*", data);
  while (handle) {
    ++count;
    if (data.Kind == fkDirectory) count += CountEntries(fs, data.Dir);
    if (!handle->FindNext(data)) break;
  }
  return count;
}

void BM_MountAndList10000Files(benchmark::State& state) {
  const std::string& archive = LargeArchive();
  for (auto _ : state) {
    TFileSystem fs;
    Mount(fs, archive);
    benchmark::DoNotOptimize(CountEntries(fs, fs.GetRoot()));
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * 10000);
}
BENCHMARK(BM_MountAndList10000Files)->Unit(benchmark::kMillisecond);

const std::string& QuvSizedArchive() {
  static const std::string path = [] {
    THpiBuilder builder;
    builder.HeaderKey = 0x2a;
    builder.AddFile("anims/unit.quv", SpriteBytes(300000),
                    THpiFileOptions{1, {THpiChunkKind::LZ77}});
    const std::string file = TempPath("quvsized.hpi");
    builder.WriteFile(file);
    return file;
  }();
  return path;
}

void ReadWhole(TFileSystem& fs, std::vector<uint8_t>& buffer) {
  IFileReaderRef reader = fs.OpenFile("anims\\unit.quv");
  buffer.resize(size_t(reader->GetSize()));
  reader->ReadBuffer(buffer.data(), int64_t(buffer.size()));
  reader->Close();
}

// The first opening of a chunked file decodes it (the mount itself is not timed).
void BM_FirstOpenOfChunkedFile(benchmark::State& state) {
  std::vector<uint8_t> buffer;
  for (auto _ : state) {
    state.PauseTiming();
    auto fs = std::make_unique<TFileSystem>();
    Mount(*fs, QuvSizedArchive());
    state.ResumeTiming();
    ReadWhole(*fs, buffer);
    state.PauseTiming();
    fs.reset();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_FirstOpenOfChunkedFile)->Unit(benchmark::kMicrosecond);

// Later openings copy the template reader's decoded bytes.
void BM_SecondOpenOfChunkedFile(benchmark::State& state) {
  TFileSystem fs;
  Mount(fs, QuvSizedArchive());
  std::vector<uint8_t> buffer;
  ReadWhole(fs, buffer);
  for (auto _ : state) ReadWhole(fs, buffer);
}
BENCHMARK(BM_SecondOpenOfChunkedFile)->Unit(benchmark::kMicrosecond);

// 48 files of 1 MB of noise in zlib chunks, scrambled, beside one Quv-sized file: a 48 MB archive,
// and the same files in a folder.
const std::string& BigArchive() {
  static const std::string path = [] {
    namespace fs = std::filesystem;
    THpiBuilder builder;
    builder.HeaderKey = 0x2f6b3c1d;
    const THpiFileOptions zlib{2, {THpiChunkKind::ZLib}, false, 1};
    uint32_t x = 7;
    for (int i = 0; i < 48; ++i) {
      std::vector<uint8_t> data(1000000);
      for (uint8_t& byte : data) byte = uint8_t((x = x * 1103515245u + 12345u) >> 24);
      const std::string name = "maps/r" + std::to_string(i) + ".bin";
      fs::create_directories(fs::path(TempPath("big/" + name)).parent_path());
      WriteFileAtomically(TempPath("big/" + name),
                          {reinterpret_cast<const char*>(data.data()), data.size()});
      builder.AddFile(name, std::move(data), zlib);
    }
    builder.AddFile("anims/x.quv", SpriteBytes(300000), zlib);
    const std::string file = TempPath("big.hpi");
    builder.WriteFile(file);
    return file;
  }();
  return path;
}

void BM_PutOneEntryInto48MbArchive(benchmark::State& state) {
  const std::string& archive = BigArchive();
  THpiChange put;
  put.Path = "anims/x.quv";
  put.Data = SpriteBytes(300001);
  for (auto _ : state) RewriteHpiArchive(archive, {put});
  state.SetBytesProcessed(int64_t(state.iterations()) *
                          int64_t(std::filesystem::file_size(archive)));
}
BENCHMARK(BM_PutOneEntryInto48MbArchive)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_ZipOf48MbFolderBaseline(benchmark::State& state) {
  BigArchive();
  const std::string command =
      "cd '" + TempPath("big") + "' && rm -f ../big.zip && zip -q -r ../big.zip .";
  for (auto _ : state)
    if (std::system(command.c_str()) != 0) state.SkipWithError("zip -r failed");
}
BENCHMARK(BM_ZipOf48MbFolderBaseline)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
