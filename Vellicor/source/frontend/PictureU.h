#pragma once
// Plain pictures for the image-file encoders: palette indices (one byte per pixel) or colours
// (red, green, blue, alpha), rows top-down and back to back, no padding.
#include <cstdint>
#include <vector>

#include "ImageManagerU.h"

struct TPicture {
  TPicture() = default;
  // Every pixel fill (each byte of it). Raises EBitmapError when a side is below 0 or the
  // pixels would exceed TBitmap::MaxBytes.
  TPicture(int32_t width, int32_t height, int32_t bytesPerPixel, uint8_t fill = 0);

  int32_t Width = 0;
  int32_t Height = 0;
  int32_t BytesPerPixel = 1;
  std::vector<uint8_t> Pixels;

  uint8_t* Row(int32_t y) { return Pixels.data() + size_t(y) * size_t(Width) * BytesPerPixel; }
  const uint8_t* Row(int32_t y) const {
    return Pixels.data() + size_t(y) * size_t(Width) * BytesPerPixel;
  }
};

// Copies source (same bytes per pixel) with its top-left corner at (x, y); what falls outside
// is clipped.
void PlacePicture(TPicture& target, const TPicture& source, int64_t x, int64_t y);

// Every pixel an n x n block (nearest neighbour); n of 1 returns the picture itself.
TPicture ScalePicture(TPicture source, int32_t n);

// The picture at width x height (each at least 1), nearest neighbour: every target pixel takes
// the source pixel under its centre.
TPicture ResizePicture(const TPicture& source, int32_t width, int32_t height);

struct TPictureSize {
  int32_t Width = 0;
  int32_t Height = 0;
  bool operator==(const TPictureSize&) const = default;
};

// The size a width x height picture takes in a side x side square, keeping its proportions: a
// picture that fits is enlarged by the largest whole factor that still fits (so every pixel stays
// an equal block), a larger one shrunk until its longer side is side (each side at least 1).
TPictureSize FitIntoSquare(int32_t width, int32_t height, int32_t side);
// The picture scaled (nearest neighbour) to FitIntoSquare's size.
TPicture FitPicture(TPicture source, int32_t side);

// An index picture in colours: each pixel its palette colour with alpha 255, the transparent
// index (0, 0, 0, 0); a transparent index below 0 leaves every pixel opaque.
TPicture IndicesToRgba(const TPicture& indices, const TPalette& palette, int transparentIndex);

// side as a picture side; raises EBitmapError when it is below 0 or past INT32_MAX.
int32_t CheckedPictureSide(int64_t side);
