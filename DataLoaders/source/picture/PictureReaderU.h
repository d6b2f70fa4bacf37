#pragma once
// Pictures read back from the files the exports write: PNG (through libpng) and BMP (a reader of
// our own for the uncompressed forms). Every size is checked against the limits of a Quv frame
// and against what the file can back before anything is allocated.
#include <array>
#include <cstdint>
#include <span>
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

// A text chunk of a PNG file (tEXt): its keyword and its text.
struct TPictureText {
  std::string Key;
  std::string Text;
  bool operator==(const TPictureText&) const = default;
};

// A picture a pack source gives (named apart from the encoders' TPicture: both live in one
// program).
struct TSourcePicture {
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
  std::vector<TPictureText> Texts;  // a PNG's text chunks before its image data, in file order

  TPictureColour At(int32_t x, int32_t y) const;
};

// Decodes a PNG or BMP by its first bytes; name is used in messages. Raises Exception with a
// message naming the file for anything that is not a usable picture.
TSourcePicture DecodePicture(std::span<const uint8_t> bytes, const std::string& name);
TSourcePicture DecodePng(std::span<const uint8_t> bytes, const std::string& name);
TSourcePicture DecodeBmp(std::span<const uint8_t> bytes, const std::string& name);
// Reads the file (a regular file of at most PictureMaxFileSize bytes: a fifo or a folder is
// refused with its reason, never waited on) and decodes it.
TSourcePicture ReadPicture(const std::string& fileName);

// Raises the "too large" errors shared by both readers: sides 1 to PictureMaxSide, at most
// PictureMaxPixels, and decodedBytes at most what the file can back (backedBytes).
void CheckPictureSize(const std::string& name, int64_t width, int64_t height, int64_t decodedBytes,
                      int64_t backedBytes);
