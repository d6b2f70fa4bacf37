#pragma once
// Turning picture pixels back into palette indices: an indexed picture whose palette is the
// process palette keeps its indices; any other pixel takes the entry of exactly its colour, or
// the nearest entry (squared distance in RGB) when no entry has it, and such pixels are counted.
// The nearest entry is searched once per colour, not per pixel: a picture of millions of pixels
// costs by the colours it holds.
#include <array>
#include <cstdint>
#include <vector>

#include "ImageManagerU.h"
#include "PictureReaderU.h"

// The palette index of every colour met so far: open addressing on the colour, kept at most half
// full, so that a lookup is a probe or two.
class TColourTable {
 public:
  // The index stored for rgb (0xRRGGBB), or null when rgb has not been met.
  const uint8_t* Find(uint32_t rgb) const;
  void Add(uint32_t rgb, uint8_t index);

 private:
  // Where rgb is, or the empty slot where it goes.
  size_t SlotOf(uint32_t rgb) const;
  void Grow();

  std::vector<uint32_t> FKeys;  // colour + 1; 0 marks an empty slot
  std::vector<uint8_t> FIndices;
  size_t FCount = 0;
  int FShift = 32;  // 32 - log2 of the slot count
};

class TColourMapper {
 public:
  TColourMapper(const TPalette& palette, uint8_t transparentIndex);

  // Whether the picture's indices are the palette's own (its palette equals the process
  // palette entry for entry).
  bool KeepsIndices(const TSourcePicture& picture) const;

  // The w x h pixels at (x, y) of the picture as palette indices, row by row into out. Pixels of
  // alpha below 128 become the transparent index; so does the transparent colour in a picture
  // without transparency (a BMP keeps it as a colour). Opaque pixels of a picture with
  // transparency never become transparent. Returns how many pixels had no exact entry.
  int64_t Map(const TSourcePicture& picture, int32_t x, int32_t y, int32_t w, int32_t h,
              std::vector<uint8_t>& out);

  uint8_t TransparentIndex() const { return FTransparent; }

 private:
  // What a colour maps to: its index, with bit 8 set when that entry is not exactly the colour.
  uint16_t Answer(TPictureColour colour, bool opaqueOnly);
  // One row of w RGBA pixels into target; returns the pixels without an exact entry.
  int64_t MapRow(const uint8_t* rgba, int32_t w, bool opaqueOnly, uint8_t* target);
  uint8_t Nearest(uint32_t rgb, bool opaqueOnly) const;

  TPalette FPalette;
  std::array<uint32_t, 256> FRgb{};                     // the palette as 0xRRGGBB
  std::array<std::array<int32_t, 256>, 3> FChannels{};  // its red, green and blue apart
  // Added to an entry's distance: beyond any colour for the entries a search skips (the
  // transparent one for pictures with transparency), else 0.
  std::array<std::array<int32_t, 256>, 2> FBeyond{};
  uint8_t FTransparent;
  // The colours met: one table for pictures with transparency and one for those without, whose
  // answers differ for the transparent colour.
  TColourTable FSeen[2];
};
