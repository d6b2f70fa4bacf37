#include "ColourMapU.h"

namespace {

uint32_t RgbOf(const TPaletteEntry& e) {
  return uint32_t(e[0]) << 16 | uint32_t(e[1]) << 8 | e[2];
}

}  // namespace

TColourMapper::TColourMapper(const TPalette& palette, uint8_t transparentIndex)
    : FPalette(palette), FTransparent(transparentIndex) {}

bool TColourMapper::KeepsIndices(const TPicture& picture) const {
  if (!picture.Indexed || picture.PaletteCount != 256) return false;
  for (size_t i = 0; i < 256; ++i) {
    const TPictureColour& c = picture.Palette[i];
    if (c.R != FPalette[i][0] || c.G != FPalette[i][1] || c.B != FPalette[i][2]) return false;
  }
  return true;
}

uint8_t TColourMapper::Lookup(uint32_t rgb, bool opaqueOnly, bool& exact) {
  auto& cache = FCache[opaqueOnly ? 1 : 0];
  if (auto found = cache.find(rgb); found != cache.end()) {
    exact = found->second & 0x100;
    return uint8_t(found->second);
  }
  // The transparent entry answers first for its colour unless opaque pixels must stay opaque;
  // among equal colours the lowest index wins.
  int best = -1;
  int64_t bestDistance = INT64_MAX;
  if (!opaqueOnly && RgbOf(FPalette[FTransparent]) == rgb) best = FTransparent, bestDistance = 0;
  for (int i = 0; i < 256 && bestDistance > 0; ++i) {
    if (opaqueOnly && i == FTransparent) continue;
    const TPaletteEntry& e = FPalette[size_t(i)];
    const int64_t dr = int64_t(e[0]) - int64_t(rgb >> 16),
                  dg = int64_t(e[1]) - int64_t(rgb >> 8 & 255),
                  db = int64_t(e[2]) - int64_t(rgb & 255);
    const int64_t distance = dr * dr + dg * dg + db * db;
    if (distance < bestDistance) best = i, bestDistance = distance;
  }
  exact = bestDistance == 0;
  cache.emplace(rgb, uint16_t(best | (exact ? 0x100 : 0)));
  return uint8_t(best);
}

int64_t TColourMapper::Map(const TPicture& picture, int32_t x0, int32_t y0, int32_t w, int32_t h,
                           std::vector<uint8_t>& out) {
  out.resize(size_t(w) * size_t(h));
  const bool keep = KeepsIndices(picture);
  const bool opaqueOnly = picture.HasAlpha;
  int64_t moved = 0;
  size_t i = 0;
  for (int32_t y = y0; y < y0 + h; ++y) {
    for (int32_t x = x0; x < x0 + w; ++x, ++i) {
      if (keep) {
        out[i] = picture.Pixels[size_t(y) * size_t(picture.Width) + size_t(x)];
        continue;
      }
      const TPictureColour c = picture.At(x, y);
      if (c.A < 128) {
        out[i] = FTransparent;
        continue;
      }
      bool exact = true;
      out[i] = Lookup(uint32_t(c.R) << 16 | uint32_t(c.G) << 8 | c.B, opaqueOnly, exact);
      if (!exact) ++moved;
    }
  }
  return moved;
}
