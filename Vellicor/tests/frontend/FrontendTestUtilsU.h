#pragma once
// Shared helpers of the front-end tests: the scratch folder, the sample sprites in colours,
// and outside decoders (ImageMagick, Pillow) to read back the files we write.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "BitmapU.h"
#include "QuvSamplesU.h"
#include "TempDirU.h"

// A picture as ImageMagick decodes it.
struct TDecodedImage {
  int32_t Width = 0;
  int32_t Height = 0;
  std::vector<TRGBColor> Pixels;  // row by row, top row first
  TRGBColor At(int32_t x, int32_t y) const { return Pixels[size_t(y) * Width + x]; }
};

// Decodes the file with ImageMagick's "convert file txt:-"; fails the current test on error.
TDecodedImage DecodeWithMagick(const std::string& fileName);

// The vellicor-cli built beside the test program (empty when the program's own path is unknown).
std::filesystem::path CliPath();

std::vector<uint8_t> ReadFileBytes(const std::string& fileName);
void WriteFileBytes(const std::string& fileName, const std::vector<uint8_t>& bytes);
uint32_t Le32(const std::vector<uint8_t>& bytes, size_t at);
uint16_t Le16(const std::vector<uint8_t>& bytes, size_t at);

// Runs a shell command; its standard output, and its exit status through exitCode.
std::string RunShell(const std::string& command, int* exitCode = nullptr);

// A Python with Pillow, or "".
const std::string& PillowPython();

// What Pillow sees in a file: per frame its RGBA pixels (and for indexed pictures the
// indices), durations, loop count, palette and transparency table.
struct TPillowImage {
  std::string Format, Mode;
  int32_t Width = 0, Height = 0, Frames = 0;
  int32_t Loop = -1;
  std::vector<int32_t> Durations;
  std::vector<std::vector<uint8_t>> Rgba;  // per frame, 4 bytes per pixel
  std::vector<uint8_t> Indices, Palette, Transparency;
};
// Decodes the file with Pillow (PillowPython() must not be empty).
TPillowImage DecodeWithPillow(const std::string& fileName);

// Sample palette indices in the built-in palette's colours, the sample transparent index as
// (0, 0, 0, 0).
std::vector<uint8_t> ToRgba(const std::vector<uint8_t>& indices);
// Transparent pixels may come back with any colour: compare them by alpha alone.
std::vector<uint8_t> ClearTransparent(std::vector<uint8_t> rgba);
// The sample sprite of that name.
const TSampleImage& Sprite(const std::string& name);
