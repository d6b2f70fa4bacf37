#pragma once
// PNG encoding (libpng) of TPictures into memory: 8-bit RGBA, 8-bit indexed with a transparency
// chunk, and animated PNG (APNG: acTL, fcTL and fdAT chunks around libpng's image data).
#include <cstdint>
#include <string>
#include <vector>

#include "ImageManagerU.h"
#include "PictureReaderU.h"
#include "PictureU.h"

// The deflate level of every PNG written: the fast end, so that a frame's PNG costs little
// more than its BMP (sprites are small and mostly runs, so the files stay small too).
inline constexpr int PngCompressionLevel = 1;

// A picture of 4 bytes per pixel as an RGBA PNG file, with the texts as tEXt chunks before the
// image data (keys of 1 to 79 Latin-1 characters; texts without NUL).
std::vector<uint8_t> EncodePng(const TPicture& rgba, const std::vector<TPictureText>& texts = {});
// A picture of palette indices as an indexed PNG: all 256 palette entries in order, and a tRNS
// chunk that makes the transparent index (and only it) transparent.
std::vector<uint8_t> EncodePng8(const TPicture& indices, const TPalette& palette,
                                uint8_t transparentIndex);

// An animated PNG of equal-sized RGBA frames, each shown for delayMs (at most 65535), looping
// forever. Each frame replaces the whole canvas; the first is also the still image.
class TApngEncoder {
 public:
  TApngEncoder(int32_t width, int32_t height, int32_t delayMs);
  // Raises EBitmapError for a frame of another size.
  void AddFrame(const TPicture& rgba);
  std::vector<uint8_t> Finish();

 private:
  int32_t FWidth, FHeight;
  uint16_t FDelay;
  uint32_t FSequence = 0;
  uint32_t FFrames = 0;
  std::vector<uint8_t> FHeader;  // signature and IHDR of the first frame
  std::vector<uint8_t> FBody;    // fcTL and image data of every frame
};
