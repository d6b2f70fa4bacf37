// quvgen: writes the sample sprite files into a folder, or (--synthetic FILE IMAGES FRAMES
// [WIDTH HEIGHT]) one synthetic Quv file for benchmarks.
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <fstream>
#include <string>

#include "QuvSamplesU.h"

int main(int argc, char** argv) {
  if (argc >= 5 && std::string(argv[1]) == "--synthetic") {
    const int width = argc >= 7 ? std::atoi(argv[5]) : 32,
              height = argc >= 7 ? std::atoi(argv[6]) : 32;
    const std::vector<uint8_t> file =
        MakeSyntheticQuv(std::atoi(argv[3]), std::atoi(argv[4]), width, height);
    std::ofstream out(argv[2], std::ios::binary);
    out.write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
    return out ? 0 : 1;
  }
  if (argc != 2) {
    std::fprintf(
        stderr,
        "usage: quvgen OUTPUT_FOLDER | quvgen --synthetic FILE IMAGES FRAMES [WIDTH HEIGHT]\n");
    return 2;
  }
  try {
    for (const auto& path : WriteSampleFiles(argv[1])) std::printf("%s\n", path.c_str());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  return 0;
}
