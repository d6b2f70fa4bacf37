// Writes the seed corpus of quv_fuzz: the sample files and a few small synthetic ones.
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "QuvSamplesU.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: quv_fuzz_seeds CORPUS_FOLDER\n");
    return 2;
  }
  const std::filesystem::path folder = argv[1];
  std::filesystem::create_directories(folder);
  auto files = SampleFiles();
  files.emplace_back("synthetic_rle.quv", MakeSyntheticQuv(2, 3, 9, 4, 1));
  files.emplace_back("synthetic_raw.quv", MakeSyntheticQuv(1, 2, 5, 3, 0));
  for (const auto& [name, bytes] : files) {
    std::ofstream out(folder / name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out) return 1;
  }
  return 0;
}
