// quvgen: writes the sample sprite files into a folder, or synthetic Quv files of a chosen size
// (one file, or many spread over folders) for benchmarks.
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "QuvSamplesU.h"

namespace {

const char* const Usage =
    "usage: quvgen OUTPUT_FOLDER\n"
    "       quvgen --synthetic IMAGES FRAMES WIDTH HEIGHT FILE [--raw]\n"
    "       quvgen --tree FILES FOLDERS IMAGES FRAMES WIDTH HEIGHT FOLDER [--raw]\n"
    "--synthetic writes one file of IMAGES images of FRAMES frames (run-length rows unless\n"
    "--raw); --tree writes FILES such files (each with other pictures) round-robin into\n"
    "FOLDERS sub-folders d0, d1, ... of FOLDER.\n";

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

int32_t Number(const char* text) {
  char* end = nullptr;
  const long value = std::strtol(text, &end, 10);
  if (!end || *end || value < 1 || value > 1000000)
    throw std::runtime_error(std::string("not a count: ") + text);
  return int32_t(value);
}

std::vector<uint8_t> Synthetic(char** counts, bool raw, int32_t first) {
  return BuildQuvFile(SyntheticImages(Number(counts[0]), Number(counts[1]), Number(counts[2]),
                                      Number(counts[3]), raw ? 0 : 1, first));
}

}  // namespace

int main(int argc, char** argv) {
  try {
    const std::string mode = argc > 1 ? argv[1] : "";
    const bool raw = argc > 1 && std::string(argv[argc - 1]) == "--raw";
    const int args = argc - (raw ? 1 : 0);
    if (mode == "--synthetic" && args == 7) {
      WriteBytes(argv[6], Synthetic(argv + 2, raw, 0));
      return 0;
    }
    if (mode == "--tree" && args == 9) {
      const int32_t files = Number(argv[2]), folders = Number(argv[3]);
      for (int32_t i = 0; i < files; ++i) {
        const std::filesystem::path folder =
            std::filesystem::path(argv[8]) / ("d" + std::to_string(i % folders));
        std::filesystem::create_directories(folder);
        WriteBytes((folder / ("f" + std::to_string(i) + ".quv")).string(),
                   Synthetic(argv + 4, raw, i));
      }
      return 0;
    }
    if (argc != 2 || mode.rfind("--", 0) == 0) {
      std::fputs(Usage, stderr);
      return 2;
    }
    for (const auto& path : WriteSampleFiles(argv[1])) std::printf("%s\n", path.c_str());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  return 0;
}
