#pragma once
// Turning picture pixels back into palette indices: an indexed picture whose palette is the
// process palette keeps its indices; any other pixel takes the entry of exactly its colour, or
// the nearest entry (squared distance in RGB) when no entry has it, and such pixels are counted.
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "ImageManagerU.h"
#include "PictureReaderU.h"

class TColourMapper {
 public:
  TColourMapper(const TPalette& palette, uint8_t transparentIndex);

  // Whether the picture's indices are the palette's own (its palette equals the process
  // palette entry for entry).
  bool KeepsIndices(const TPicture& picture) const;

  // The w x h pixels at (x, y) of the picture as palette indices, row by row into out. Pixels of
  // alpha below 128 become the transparent index; so does the transparent colour in a picture
  // without transparency (a BMP keeps it as a colour). Opaque pixels of a picture with
  // transparency never become transparent. Returns how many pixels had no exact entry.
  int64_t Map(const TPicture& picture, int32_t x, int32_t y, int32_t w, int32_t h,
              std::vector<uint8_t>& out);

  uint8_t TransparentIndex() const { return FTransparent; }

 private:
  uint8_t Lookup(uint32_t rgb, bool opaqueOnly, bool& exact);

  TPalette FPalette;
  uint8_t FTransparent;
  // Per colour (0xRRGGBB) the index, with bit 8 set when the match was exact; one map for
  // pictures with transparency and one for those without, whose answers differ for the
  // transparent colour.
  std::unordered_map<uint32_t, uint16_t> FCache[2];
};
