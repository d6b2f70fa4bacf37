// quvgen: writes the sample sprite files into a folder.
#include <cstdio>
#include <exception>

#include "QuvSamplesU.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: quvgen OUTPUT_FOLDER\n");
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
