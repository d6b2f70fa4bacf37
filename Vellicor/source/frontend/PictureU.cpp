#include "PictureU.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "BitmapU.h"

TPicture::TPicture(int32_t width, int32_t height, int32_t bytesPerPixel, uint8_t fill)
    : Width(width), Height(height), BytesPerPixel(bytesPerPixel) {
  if (width < 0 || height < 0 || int64_t(width) * height * bytesPerPixel > TBitmap::MaxBytes)
    throw EBitmapError(Format("Picture of %d x %d pixels is too large", width, height));
  Pixels.assign(size_t(width) * size_t(height) * size_t(bytesPerPixel), fill);
}

void PlacePicture(TPicture& target, const TPicture& source, int64_t x, int64_t y) {
  const int64_t left = std::max<int64_t>(0, x);
  const int64_t right = std::min<int64_t>(target.Width, x + source.Width);
  const int64_t top = std::max<int64_t>(0, y);
  const int64_t bottom = std::min<int64_t>(target.Height, y + source.Height);
  if (left >= right) return;
  const size_t bpp = size_t(target.BytesPerPixel);
  for (int64_t row = top; row < bottom; ++row)
    std::memcpy(target.Row(int32_t(row)) + size_t(left) * bpp,
                source.Row(int32_t(row - y)) + size_t(left - x) * bpp, size_t(right - left) * bpp);
}

TPicture ScalePicture(TPicture source, int32_t n) {
  if (n <= 1) return source;
  TPicture scaled(int32_t(std::min<int64_t>(int64_t(source.Width) * n, INT32_MAX)),
                  int32_t(std::min<int64_t>(int64_t(source.Height) * n, INT32_MAX)),
                  source.BytesPerPixel);
  const size_t bpp = size_t(source.BytesPerPixel);
  const size_t rowBytes = size_t(scaled.Width) * bpp;
  for (int32_t y = 0; y < source.Height; ++y) {
    const uint8_t* in = source.Row(y);
    uint8_t* out = scaled.Row(y * n);
    for (int32_t x = 0; x < source.Width; ++x, in += bpp)
      for (int32_t k = 0; k < n; ++k, out += bpp) std::memcpy(out, in, bpp);
    for (int32_t k = 1; k < n; ++k) std::memcpy(scaled.Row(y * n + k), scaled.Row(y * n), rowBytes);
  }
  return scaled;
}

TPicture ResizePicture(const TPicture& source, int32_t width, int32_t height) {
  TPicture target(width, height, source.BytesPerPixel);
  if (source.Width <= 0 || source.Height <= 0) return target;
  const size_t bpp = size_t(source.BytesPerPixel);
  // The source column under each target column's centre, worked out once for every row.
  std::vector<size_t> columns(static_cast<size_t>(width));
  for (int32_t x = 0; x < width; ++x)
    columns[size_t(x)] = size_t((2 * int64_t(x) + 1) * source.Width / (2 * int64_t(width))) * bpp;
  for (int32_t y = 0; y < height; ++y) {
    const uint8_t* in =
        source.Row(int32_t((2 * int64_t(y) + 1) * source.Height / (2 * int64_t(height))));
    uint8_t* out = target.Row(y);
    for (const size_t column : columns) {
      std::memcpy(out, in + column, bpp);
      out += bpp;
    }
  }
  return target;
}

TPictureSize FitIntoSquare(int32_t width, int32_t height, int32_t side) {
  if (width <= 0 || height <= 0 || side <= 0) return {};
  const int64_t longer = std::max(width, height);
  if (longer <= side) {
    const int32_t factor = int32_t(side / longer);
    return {width * factor, height * factor};
  }
  // Rounded to the nearest whole pixel.
  const auto shrink = [&](int64_t length) {
    return int32_t(std::max<int64_t>(1, (2 * length * side + longer) / (2 * longer)));
  };
  return {shrink(width), shrink(height)};
}

TPicture FitPicture(TPicture source, int32_t side) {
  const TPictureSize size = FitIntoSquare(source.Width, source.Height, side);
  if (size.Width >= source.Width && size.Width > 0) {
    const int32_t factor = size.Width / source.Width;
    return ScalePicture(std::move(source), factor);
  }
  return ResizePicture(source, size.Width, size.Height);
}

TPicture IndicesToRgba(const TPicture& indices, const TPalette& palette, int transparentIndex) {
  TPicture colours(indices.Width, indices.Height, 4);
  uint32_t table[256];
  for (int i = 0; i < 256; ++i) {
    const uint8_t rgba[4] = {palette[i][0], palette[i][1], palette[i][2], 255};
    std::memcpy(&table[i], rgba, 4);
  }
  if (transparentIndex >= 0 && transparentIndex < 256) table[transparentIndex] = 0;
  uint8_t* out = colours.Pixels.data();
  for (const uint8_t index : indices.Pixels) {
    std::memcpy(out, &table[index], 4);
    out += 4;
  }
  return colours;
}

int32_t CheckedPictureSide(int64_t side) {
  if (side < 0 || side > INT32_MAX)
    throw EBitmapError(Format("Picture side of %lld pixels is too large", (long long)side));
  return int32_t(side);
}
