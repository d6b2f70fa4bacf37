#pragma once
// Shared helpers of the front-end tests: a scratch folder and an outside decoder (ImageMagick)
// to read back the BMP files we write.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "BitmapU.h"

// A fresh folder under the system's temporary folder, removed with everything in it.
class TScratchDir {
 public:
  TScratchDir();
  ~TScratchDir();
  const std::filesystem::path& Path() const { return FPath; }
  std::string File(const std::string& name) const { return (FPath / name).string(); }
  // File names in the folder, sorted.
  std::vector<std::string> List() const;

 private:
  std::filesystem::path FPath;
};

// A picture as ImageMagick decodes it.
struct TDecodedImage {
  int32_t Width = 0;
  int32_t Height = 0;
  std::vector<TRGBColor> Pixels;  // row by row, top row first
  TRGBColor At(int32_t x, int32_t y) const { return Pixels[size_t(y) * Width + x]; }
};

// Decodes the file with ImageMagick's "convert file txt:-"; fails the current test on error.
TDecodedImage DecodeWithMagick(const std::string& fileName);

std::vector<uint8_t> ReadFileBytes(const std::string& fileName);
void WriteFileBytes(const std::string& fileName, const std::vector<uint8_t>& bytes);
uint32_t Le32(const std::vector<uint8_t>& bytes, size_t at);
uint16_t Le16(const std::vector<uint8_t>& bytes, size_t at);
