#pragma once
// A frame's pixels as every user of them gets them: the view, the clipboard, the thumbnails and
// every export writer. Palette indices, rows top-down, with the palette they are drawn in and
// the index that means an empty pixel; the other forms are made from these.
#include <cstdint>

#include "BitmapU.h"
#include "ImageManagerU.h"
#include "PictureU.h"

class TFramePixels {
 public:
  // indices: one byte per pixel.
  TFramePixels(TPicture indices, const TPalette& palette, uint8_t transparentIndex);

  int32_t Width() const { return FIndices.Width; }
  int32_t Height() const { return FIndices.Height; }
  const TPicture& Indices() const { return FIndices; }
  const TPalette& Palette() const { return FPalette; }
  uint8_t TransparentIndex() const { return FTransparentIndex; }
  // The index at (x, y); the transparent index outside the frame.
  uint8_t IndexAt(int32_t x, int32_t y) const;
  // The colour that stands for an empty pixel where a picture has no transparency.
  TRGBColor TransparentColor() const;

  // Red, green, blue, alpha per pixel: each its palette colour, opaque; with clearEmpty the
  // transparent index becomes (0, 0, 0, 0).
  TPicture Rgba(bool clearEmpty = true) const;
  // A 24-bit bitmap of the palette colours whose transparent colour is TransparentColor().
  TBitmap Bitmap() const;

 private:
  TPicture FIndices;
  TPalette FPalette;
  uint8_t FTransparentIndex;
};
