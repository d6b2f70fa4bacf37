#include "ColourMapU.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cstring>

// ---- TColourTable ----

size_t TColourTable::SlotOf(uint32_t rgb) const {
  const size_t mask = FKeys.size() - 1;
  // Fibonacci hashing: the top bits of the product spread neighbouring colours apart.
  size_t slot = size_t(uint32_t(rgb * 0x9E3779B1u) >> FShift);
  while (FKeys[slot] != 0 && FKeys[slot] != rgb + 1) slot = (slot + 1) & mask;
  return slot;
}

const uint8_t* TColourTable::Find(uint32_t rgb) const {
  if (FKeys.empty()) return nullptr;
  const size_t slot = SlotOf(rgb);
  return FKeys[slot] != 0 ? &FIndices[slot] : nullptr;
}

void TColourTable::Add(uint32_t rgb, uint8_t index) {
  if (2 * (FCount + 1) > FKeys.size()) Grow();
  const size_t slot = SlotOf(rgb);
  if (FKeys[slot] == 0) ++FCount;
  FKeys[slot] = rgb + 1;
  FIndices[slot] = index;
}

void TColourTable::Grow() {
  const std::vector<uint32_t> keys = std::move(FKeys);
  const std::vector<uint8_t> indices = std::move(FIndices);
  const size_t size = std::max<size_t>(1024, 2 * keys.size());
  FKeys.assign(size, 0);
  FIndices.assign(size, 0);
  FShift = 32 - std::countr_zero(size);
  for (size_t i = 0; i < keys.size(); ++i)
    if (keys[i] != 0) {
      const size_t slot = SlotOf(keys[i] - 1);
      FKeys[slot] = keys[i];
      FIndices[slot] = indices[i];
    }
}

// ---- TColourMapper ----

TColourMapper::TColourMapper(const TPalette& palette, uint8_t transparentIndex)
    : FPalette(palette), FTransparent(transparentIndex) {
  for (size_t i = 0; i < 256; ++i) {
    FRgb[i] = uint32_t(palette[i][0]) << 16 | uint32_t(palette[i][1]) << 8 | palette[i][2];
    for (size_t c = 0; c < 3; ++c) FChannels[c][i] = palette[i][c];
  }
  FBeyond[1][FTransparent] = 1 << 20;
}

bool TColourMapper::KeepsIndices(const TSourcePicture& picture) const {
  if (!picture.Indexed || picture.PaletteCount != 256) return false;
  for (size_t i = 0; i < 256; ++i) {
    const TPictureColour& c = picture.Palette[i];
    if (c.R != FPalette[i][0] || c.G != FPalette[i][1] || c.B != FPalette[i][2]) return false;
  }
  return true;
}

uint8_t TColourMapper::Nearest(uint32_t rgb, bool opaqueOnly) const {
  // The transparent entry answers first for its colour unless opaque pixels must stay opaque.
  if (!opaqueOnly && FRgb[FTransparent] == rgb) return FTransparent;
  const int32_t r = int32_t(rgb >> 16), g = int32_t(rgb >> 8 & 255), b = int32_t(rgb & 255);
  // Every distance and their least first, in one loop the compiler runs over several entries at
  // a time; then the first entry at that distance: among equal colours the lowest index wins.
  // The transparent entry, kept off opaque pixels, lies farther than any colour.
  const std::array<int32_t, 256>& beyond = FBeyond[opaqueOnly ? 1 : 0];
  std::array<int32_t, 256> distances;
  int32_t least = INT32_MAX;
  for (size_t i = 0; i < 256; ++i) {
    const int32_t dr = FChannels[0][i] - r, dg = FChannels[1][i] - g, db = FChannels[2][i] - b;
    distances[i] = dr * dr + dg * dg + db * db + beyond[i];
    least = std::min(least, distances[i]);
  }
  return uint8_t(std::find(distances.begin(), distances.end(), least) - distances.begin());
}

uint16_t TColourMapper::Answer(TPictureColour colour, bool opaqueOnly) {
  if (colour.A < 128) return FTransparent;
  const uint32_t rgb = uint32_t(colour.R) << 16 | uint32_t(colour.G) << 8 | colour.B;
  TColourTable& seen = FSeen[opaqueOnly ? 1 : 0];
  uint8_t index = 0;
  if (const uint8_t* found = seen.Find(rgb)) {
    index = *found;
  } else {
    index = Nearest(rgb, opaqueOnly);
    seen.Add(rgb, index);
  }
  // The nearest entry has distance 0 exactly when its colour is the pixel's.
  return uint16_t(index | (FRgb[index] == rgb ? 0 : 0x100));
}

int64_t TColourMapper::MapRow(const uint8_t* rgba, int32_t w, bool opaqueOnly, uint8_t* target) {
  // Art repeats a colour along a row: a pixel like the one before takes its answer.
  uint32_t last = 0;
  uint16_t answer = 0;
  int64_t moved = 0;
  for (int32_t x = 0; x < w; ++x, rgba += 4) {
    uint32_t pixel = 0;
    std::memcpy(&pixel, rgba, 4);
    if (x == 0 || pixel != last)
      answer = Answer({rgba[0], rgba[1], rgba[2], rgba[3]}, opaqueOnly), last = pixel;
    target[x] = uint8_t(answer);
    moved += answer >> 8;
  }
  return moved;
}

int64_t TColourMapper::Map(const TSourcePicture& picture, int32_t x0, int32_t y0, int32_t w,
                           int32_t h, std::vector<uint8_t>& out) {
  out.resize(size_t(w) * size_t(h));
  const bool keep = KeepsIndices(picture);
  const bool opaqueOnly = picture.HasAlpha;
  // An indexed picture's entries are mapped once; its pixels then only look their entry up.
  std::array<uint16_t, 256> entries{};
  if (picture.Indexed && !keep)
    for (size_t i = 0; i < 256; ++i) entries[i] = Answer(picture.Palette[i], opaqueOnly);
  int64_t moved = 0;
  uint8_t* target = out.data();
  for (int32_t y = y0; y < y0 + h; ++y, target += w) {
    const size_t first = size_t(y) * size_t(picture.Width) + size_t(x0);
    if (!picture.Indexed) {
      moved += MapRow(&picture.Pixels[4 * first], w, opaqueOnly, target);
    } else if (keep) {
      std::copy_n(&picture.Pixels[first], w, target);
    } else {
      for (int32_t x = 0; x < w; ++x) {
        const uint16_t answer = entries[picture.Pixels[first + size_t(x)]];
        target[x] = uint8_t(answer);
        moved += answer >> 8;
      }
    }
  }
  return moved;
}
