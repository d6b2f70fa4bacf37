#pragma once
// Pictures read back from the files the exports write: PNG (through libpng) and BMP (a reader of
// our own for the uncompressed forms). Every size is checked against the limits of a Quv frame
// and against what the file can back before anything is allocated.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

// A frame may not be wider or higher than this (its header holds 16 bits).
constexpr int32_t PictureMaxSide = 65535;
// No picture is decoded beyond this many pixels (a sheet of many frames fits easily).
constexpr int64_t PictureMaxPixels = int64_t{1} << 26;
// Files larger than this are not read at all.
constexpr int64_t PictureMaxFileSize = int64_t{1} << 30;

struct TPictureColour {
  uint8_t R = 0, G = 0, B = 0, A = 255;
  bool operator==(const TPictureColour&) const = default;
};

struct TPicture {
  int32_t Width = 0;
  int32_t Height = 0;
  // Indexed: one palette index per pixel, colours in Palette (PaletteCount entries, alpha from
  // tRNS). Otherwise four bytes R, G, B, A per pixel.
  bool Indexed = false;
  // Whether the file carries transparency at all (an alpha channel or tRNS); a BMP never does.
  bool HasAlpha = false;
  std::vector<uint8_t> Pixels;  // top row first
  std::array<TPictureColour, 256> Palette{};
  int32_t PaletteCount = 0;

  TPictureColour At(int32_t x, int32_t y) const;
};

// Decodes a PNG or BMP by its first bytes; name is used in messages. Raises Exception with a
// message naming the file for anything that is not a usable picture.
TPicture DecodePicture(const std::vector<uint8_t>& bytes, const std::string& name);
TPicture DecodePng(const std::vector<uint8_t>& bytes, const std::string& name);
TPicture DecodeBmp(const std::vector<uint8_t>& bytes, const std::string& name);
// Reads the file (at most PictureMaxFileSize bytes) and decodes it.
TPicture ReadPicture(const std::string& fileName);

// The whole file, refused past maxSize; raises EInOutError naming the file when it cannot be read.
std::vector<uint8_t> ReadWholeFile(const std::string& fileName, int64_t maxSize);

// Raises the "too large" errors shared by both readers: sides 1 to PictureMaxSide, at most
// PictureMaxPixels, and decodedBytes at most what the file can back (backedBytes).
void CheckPictureSize(const std::string& name, int64_t width, int64_t height, int64_t decodedBytes,
                      int64_t backedBytes);
