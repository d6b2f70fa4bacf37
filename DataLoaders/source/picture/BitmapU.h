#pragma once
// A small device-independent bitmap: pixels in one of seven pixel formats, a colour table for
// the indexed formats, a transparent colour and a transparency switch.
//
// Storage follows the BMP file's own pixel layout so that encoding is a matter of copying rows:
// rows are kept top-down, each row padded to a multiple of 4 bytes (the padding is always zero),
// and the rows lie back to back in one block (Stride() bytes apart).
//   pf1bit  - 1 bit per pixel, most significant bit first, index into ColorTable()
//   pf4bit  - 4 bits per pixel, high nibble first, index into ColorTable()
//   pf8bit  - 1 byte per pixel, index into ColorTable()
//   pf15bit - 16-bit little-endian words, 0RRRRRGGGGGBBBBB
//   pf16bit - 16-bit little-endian words, RRRRRGGGGGGBBBBB
//   pf24bit - 3 bytes per pixel in the order B, G, R (a window can wrap it without copying,
//             e.g. as QImage::Format_BGR888 with bytesPerLine = Stride())
//   pf32bit - 4 bytes per pixel: B, G, R and an unused byte kept at 0
#include <atomic>
#include <cstdint>
#include <vector>

#include "ExceptionsU.h"

enum TPixelFormat : uint8_t { pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit };

// Bits per pixel as a user names them: 1, 4, 8, 15, 16, 24, 32.
int32_t PixelFormatBits(TPixelFormat format);
// The format of those bits per pixel; false for any other number.
bool PixelFormatFromBits(int32_t bits, TPixelFormat& format);

struct TRGBColor {
  uint8_t R = 0;
  uint8_t G = 0;
  uint8_t B = 0;
  friend bool operator==(const TRGBColor&, const TRGBColor&) = default;
};

// A bitmap too large to hold, or a size below zero.
class EBitmapError : public Exception {
 public:
  using Exception::Exception;
};

class TBitmap {
 public:
  // Pictures larger than this many bytes of pixel storage are refused.
  static constexpr int64_t MaxBytes = int64_t(1) << 30;

  TBitmap() = default;
  TBitmap(int32_t width, int32_t height, TPixelFormat format = pf24bit);

  int32_t Width() const { return FWidth; }
  int32_t Height() const { return FHeight; }
  TPixelFormat PixelFormat() const { return FFormat; }
  int32_t Stride() const { return FStride; }

  // New size, every pixel 0 (black, or colour-table entry 0). Raises EBitmapError when a side
  // is below 0 or the storage would exceed MaxBytes.
  void SetSize(int32_t width, int32_t height);
  // Converts the picture to another format (nothing happens when it is already in it).
  void SetPixelFormat(TPixelFormat format);

  uint8_t* ScanLine(int32_t y) { return FBits.data() + static_cast<size_t>(y) * FStride; }
  const uint8_t* ScanLine(int32_t y) const {
    return FBits.data() + static_cast<size_t>(y) * FStride;
  }
  const std::vector<uint8_t>& Bits() const { return FBits; }

  // Entries of the indexed formats (2, 16 or up to 256); empty for the others.
  const std::vector<TRGBColor>& ColorTable() const { return FColorTable; }
  // Replaces the table (indexed formats only; at most 1 << bits entries, at least one).
  void SetColorTable(std::vector<TRGBColor> table);

  TRGBColor GetPixel(int32_t x, int32_t y) const;
  // In an indexed format the pixel gets the nearest table entry.
  void SetPixel(int32_t x, int32_t y, TRGBColor color);
  void Fill(TRGBColor color);

  // Draws source with its top-left corner at (x, y); the parts outside this bitmap are clipped.
  // With transparent set, source pixels of source.TransparentColor are left out.
  void Draw(int32_t x, int32_t y, const TBitmap& source, bool transparent);

  TRGBColor TransparentColor;
  bool Transparent = false;

  // How many pixel-format conversions have run in this process (lets tests see that a path
  // converts nothing). Atomic because batch conversion exports on several threads.
  static inline std::atomic<int64_t> ConversionCount = 0;

 private:
  uint32_t ColorIndex(TRGBColor color) const;   // nearest table entry
  TRGBColor TableColor(uint32_t index) const {  // black for an index past the table
    return index < FColorTable.size() ? FColorTable[index] : TRGBColor{};
  }
  void ConvertFrom(const TBitmap& source);  // same size, this bitmap's format

  int32_t FWidth = 0;
  int32_t FHeight = 0;
  int32_t FStride = 0;
  TPixelFormat FFormat = pf24bit;
  std::vector<uint8_t> FBits;
  std::vector<TRGBColor> FColorTable;
};

// The 16 standard VGA colours, in their customary index order.
const std::vector<TRGBColor>& VgaColors();
// A table of at most maxColors colours that stands for the given colours (median cut); the
// colours themselves when there are no more than maxColors distinct ones.
std::vector<TRGBColor> ReduceColors(const std::vector<TRGBColor>& colors, size_t maxColors);
