#include "FramePixelsU.h"

#include <utility>

TFramePixels::TFramePixels(TPicture indices, const TPalette& palette, uint8_t transparentIndex)
    : FIndices(std::move(indices)), FPalette(palette), FTransparentIndex(transparentIndex) {}

uint8_t TFramePixels::IndexAt(int32_t x, int32_t y) const {
  if (x < 0 || y < 0 || x >= Width() || y >= Height()) return FTransparentIndex;
  return FIndices.Row(y)[x];
}

TRGBColor TFramePixels::TransparentColor() const {
  const TPaletteEntry& entry = FPalette[FTransparentIndex];
  return {entry[0], entry[1], entry[2]};
}

TPicture TFramePixels::Rgba(bool clearEmpty) const {
  return IndicesToRgba(FIndices, FPalette, clearEmpty ? int(FTransparentIndex) : -1);
}

TBitmap TFramePixels::Bitmap() const {
  TBitmap bitmap;
  bitmap.Transparent = true;
  bitmap.TransparentColor = TransparentColor();
  bitmap.SetSize(Width(), Height());
  for (int32_t y = 0; y < Height(); ++y) {
    const uint8_t* in = FIndices.Row(y);
    uint8_t* out = bitmap.ScanLine(y);
    for (int32_t x = 0; x < Width(); ++x, out += 3) {
      const TPaletteEntry& entry = FPalette[in[x]];
      out[0] = entry[2];
      out[1] = entry[1];
      out[2] = entry[0];
    }
  }
  return bitmap;
}
