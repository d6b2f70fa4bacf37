// Writes the seed corpus of hpi_fuzz: small archives in every storage form the reader accepts.
#include <cstdio>
#include <filesystem>
#include <string>

#include "HpiBuilderU.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: hpi_fuzz_seeds CORPUS_DIR\n");
    return 2;
  }
  std::filesystem::create_directories(argv[1]);
  const THpiFileOptions forms[] = {
      {0, {}, false},
      {1, {THpiChunkKind::Stored}, false},
      {1, {THpiChunkKind::LZ77}, false},
      {2, {THpiChunkKind::ZLib}, true},
      {1, {THpiChunkKind::Plain}, false},
      {1, {THpiChunkKind::LZ77, THpiChunkKind::Stored}, true},
  };
  int n = 0;
  for (uint32_t key : {0u, 0x7du}) {
    for (const THpiFileOptions& form : forms) {
      THpiBuilder builder;
      builder.HeaderKey = key;
      builder.DataBeforeDirectory = (n % 2) == 1;
      std::vector<uint8_t> data(300 + 40 * n);
      for (size_t i = 0; i < data.size(); ++i) data[i] = uint8_t((i / 5) * 7 + n);
      builder.AddFile("anims/units/a.quv", data, form);
      builder.AddFile("anims/b.quv", std::vector<uint8_t>(data.begin(), data.begin() + 17), form);
      builder.AddFile("x", {}, form);
      builder.AddDirectory("empty");
      builder.WriteFile(std::string(argv[1]) + "/seed" + std::to_string(n++) + ".hpi");
    }
  }
  return 0;
}
