#include "FrontendTestUtilsU.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>

#include <unistd.h>

namespace fs = std::filesystem;

TScratchDir::TScratchDir() {
  static std::atomic<int> counter{0};
  FPath = fs::temp_directory_path() /
          ("vellicor-frontend-" + std::to_string(getpid()) + "-" + std::to_string(counter++));
  fs::remove_all(FPath);
  fs::create_directories(FPath);
}

TScratchDir::~TScratchDir() {
  std::error_code ignored;
  fs::permissions(FPath, fs::perms::owner_all, fs::perm_options::add, ignored);
  fs::remove_all(FPath, ignored);
}

std::vector<std::string> TScratchDir::List() const {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(FPath)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

TDecodedImage DecodeWithMagick(const std::string& fileName) {
  TDecodedImage image;
  const std::string command = "convert '" + fileName + "' txt:- 2>&1";
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
  if (!pipe) {
    ADD_FAILURE() << "cannot run ImageMagick";
    return image;
  }
  std::string text;
  char buffer[4096];
  size_t got;
  while ((got = fread(buffer, 1, sizeof buffer, pipe.get())) > 0) text.append(buffer, got);
  // "# ImageMagick pixel enumeration: W,H,..." then "x,y: (...)  #RRGGBB..." per pixel.
  size_t lineStart = 0;
  bool header = false;
  while (lineStart < text.size()) {
    size_t lineEnd = text.find('\n', lineStart);
    if (lineEnd == std::string::npos) lineEnd = text.size();
    const std::string line = text.substr(lineStart, lineEnd - lineStart);
    lineStart = lineEnd + 1;
    int a, b;
    if (sscanf(line.c_str(), "# ImageMagick pixel enumeration: %d,%d", &a, &b) == 2) {
      image.Width = a;
      image.Height = b;
      image.Pixels.assign(size_t(a) * b, TRGBColor{1, 2, 3});
      header = true;
      continue;
    }
    const size_t hash = line.find('#');
    if (!header || hash == std::string::npos || sscanf(line.c_str(), "%d,%d:", &a, &b) != 2)
      continue;
    unsigned rgb = 0;
    if (sscanf(line.c_str() + hash + 1, "%6x", &rgb) != 1 || a < 0 || b < 0 || a >= image.Width ||
        b >= image.Height)
      continue;
    image.Pixels[size_t(b) * image.Width + a] = {uint8_t(rgb >> 16), uint8_t(rgb >> 8),
                                                 uint8_t(rgb)};
  }
  if (!header) ADD_FAILURE() << "ImageMagick could not decode " << fileName << ":\n" << text;
  return image;
}

std::vector<uint8_t> ReadFileBytes(const std::string& fileName) {
  std::ifstream in(fileName, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFileBytes(const std::string& fileName, const std::vector<uint8_t>& bytes) {
  std::ofstream out(fileName, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

uint32_t Le32(const std::vector<uint8_t>& bytes, size_t at) {
  return bytes[at] | (bytes[at + 1] << 8) | (bytes[at + 2] << 16) | (uint32_t(bytes[at + 3]) << 24);
}

uint16_t Le16(const std::vector<uint8_t>& bytes, size_t at) {
  return uint16_t(bytes[at] | (bytes[at + 1] << 8));
}
