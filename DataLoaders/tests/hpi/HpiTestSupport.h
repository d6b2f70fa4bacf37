#pragma once
// Shared helpers of the HPI tests: archives written to a private temporary folder, mounted into
// a file system of their own, and read back whole.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "ArchiveLoadersU.h"
#include "ConsoleU.h"
#include "FileSystemU.h"
#include "HpiBuilderU.h"
#include "Hpi_Zeta_LoaderU.h"
#include "TempDirU.h"

namespace hpitest {

inline std::vector<uint8_t> Pattern(size_t size, uint32_t seed = 1) {
  std::vector<uint8_t> data(size);
  uint32_t x = seed * 2654435761u + 12345;
  for (size_t i = 0; i < size; ++i) {
    x = x * 1103515245u + 12345u;
    // Runs and repeats so that the compressors have something to find.
    data[i] = (i / 7) % 3 == 0 ? uint8_t(x >> 24) : uint8_t(i / 13);
  }
  return data;
}

inline uint32_t GetU32(const std::vector<uint8_t>& bytes, size_t at) {
  return bytes[at] | (uint32_t(bytes[at + 1]) << 8) | (uint32_t(bytes[at + 2]) << 16) |
         (uint32_t(bytes[at + 3]) << 24);
}
inline void SetU32(std::vector<uint8_t>& bytes, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = uint8_t(v >> (8 * i));
}

inline std::vector<uint8_t> ReadAll(IFileReader& reader) {
  std::vector<uint8_t> data(size_t(std::max<int64_t>(reader.GetSize(), 0)));
  reader.SetPosition(0);
  if (!data.empty()) reader.ReadBuffer(data.data(), int64_t(data.size()));
  return data;
}

// A temporary folder per test, a console that records messages, and helpers to mount archives.
class HpiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Log.Initialize();
    Console = &Log;
  }
  void TearDown() override {
    Console = nullptr;
    Log.Finalize();
  }

  std::string WriteBytes(const std::string& name, const std::vector<uint8_t>& bytes) {
    const std::filesystem::path path = Dir / name;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return path.string();
  }

  // A file system with an HPI loader, as the main window makes it.
  std::unique_ptr<TFileSystem> MakeFileSystem() {
    auto fs = std::make_unique<TFileSystem>();
    RegisterArchiveLoaders(*fs);
    return fs;
  }

  // Mounts one archive file: its folder searched with its own name as the mask.
  TArchiveAnswer Mount(TFileSystem& fs, const std::string& archivePath, int32_t priority = 0) {
    return fs.MountArchive(archivePath, priority);
  }

  std::vector<uint8_t> ReadFile(TFileSystem& fs, const std::string& innerPath) {
    IFileReaderRef reader = fs.OpenFile(innerPath, fmRead);
    if (!reader) throw std::runtime_error("not found: " + innerPath);
    std::vector<uint8_t> data = ReadAll(*reader);
    reader->Close();
    return data;
  }

  TTempDir Temp{"hpi"};
  const std::filesystem::path Dir = Temp.Path();
  TConsole Log;
};

}  // namespace hpitest
