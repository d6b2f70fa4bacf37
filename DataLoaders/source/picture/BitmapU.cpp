#include "BitmapU.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <unordered_map>
#include <utility>

namespace {

int32_t StorageBits(TPixelFormat format) {
  return format == pf15bit ? 16 : PixelFormatBits(format);
}

bool IsIndexed(TPixelFormat format) {
  return format <= pf8bit;
}

uint32_t Pack(TRGBColor c) {
  return (uint32_t(c.R) << 16) | (uint32_t(c.G) << 8) | c.B;
}
TRGBColor Unpack(uint32_t v) {
  return {uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)};
}

// 5- and 6-bit channels widened so that full intensity stays full (31 -> 255, 63 -> 255).
uint8_t Widen5(uint32_t v) {
  return uint8_t((v << 3) | (v >> 2));
}
uint8_t Widen6(uint32_t v) {
  return uint8_t((v << 2) | (v >> 4));
}

uint16_t Encode15(TRGBColor c) {
  return uint16_t(((c.R >> 3) << 10) | ((c.G >> 3) << 5) | (c.B >> 3));
}
uint16_t Encode16(TRGBColor c) {
  return uint16_t(((c.R >> 3) << 11) | ((c.G >> 2) << 5) | (c.B >> 3));
}
TRGBColor Decode15(uint16_t w) {
  return {Widen5((w >> 10) & 31), Widen5((w >> 5) & 31), Widen5(w & 31)};
}
TRGBColor Decode16(uint16_t w) {
  return {Widen5((w >> 11) & 31), Widen6((w >> 5) & 63), Widen5(w & 31)};
}

int32_t Distance(TRGBColor a, TRGBColor b) {
  const int32_t dr = int32_t(a.R) - b.R, dg = int32_t(a.G) - b.G, db = int32_t(a.B) - b.B;
  return dr * dr + dg * dg + db * db;
}

uint32_t NearestIndex(const std::vector<TRGBColor>& table, TRGBColor c) {
  uint32_t best = 0;
  int32_t bestDistance = INT32_MAX;
  for (uint32_t i = 0; i < table.size(); ++i) {
    const int32_t d = Distance(table[i], c);
    if (d < bestDistance) {
      bestDistance = d;
      best = i;
      if (d == 0) break;
    }
  }
  return best;
}

bool IsBlackWhite(const std::vector<TRGBColor>& table) {
  return table.size() == 2 && table[0] == TRGBColor{0, 0, 0} &&
         table[1] == TRGBColor{255, 255, 255};
}

// Rec. 601 luma, in 1/1000 steps; white from the middle up.
bool IsLight(TRGBColor c) {
  return 299 * c.R + 587 * c.G + 114 * c.B >= 128000;
}

std::vector<TRGBColor> DefaultTable(TPixelFormat format) {
  switch (format) {
    case pf1bit:
      return {{0, 0, 0}, {255, 255, 255}};
    case pf4bit:
      return VgaColors();
    case pf8bit:
      return {{0, 0, 0}};
    default:
      return {};
  }
}

// One colour box of the median cut: a run of distinct colours with their pixel counts.
struct TColorBox {
  size_t Begin, End;
  int Channel;  // widest channel: 0 red, 1 green, 2 blue
  int32_t Range;
};

int ChannelOf(uint32_t packed, int channel) {
  return (packed >> (16 - 8 * channel)) & 255;
}

TColorBox MakeBox(const std::vector<std::pair<uint32_t, uint32_t>>& colors, size_t begin,
                  size_t end) {
  int lo[3] = {255, 255, 255}, hi[3] = {0, 0, 0};
  for (size_t i = begin; i < end; ++i)
    for (int ch = 0; ch < 3; ++ch) {
      lo[ch] = std::min(lo[ch], ChannelOf(colors[i].first, ch));
      hi[ch] = std::max(hi[ch], ChannelOf(colors[i].first, ch));
    }
  TColorBox box{begin, end, 0, hi[0] - lo[0]};
  for (int ch = 1; ch < 3; ++ch)
    if (hi[ch] - lo[ch] > box.Range) {
      box.Channel = ch;
      box.Range = hi[ch] - lo[ch];
    }
  return box;
}

std::string SizeText(int32_t width, int32_t height) {
  return std::to_string(width) + " x " + std::to_string(height);
}

}  // namespace

int32_t PixelFormatBits(TPixelFormat format) {
  static constexpr int32_t bits[] = {1, 4, 8, 15, 16, 24, 32};
  return bits[format];
}

bool PixelFormatFromBits(int32_t bits, TPixelFormat& format) {
  for (int f = pf1bit; f <= pf32bit; ++f)
    if (PixelFormatBits(TPixelFormat(f)) == bits) {
      format = TPixelFormat(f);
      return true;
    }
  return false;
}

const std::vector<TRGBColor>& VgaColors() {
  static const std::vector<TRGBColor> colors = {
      {0, 0, 0},     {128, 0, 0},     {0, 128, 0},     {128, 128, 0},  {0, 0, 128}, {128, 0, 128},
      {0, 128, 128}, {192, 192, 192}, {128, 128, 128}, {255, 0, 0},    {0, 255, 0}, {255, 255, 0},
      {0, 0, 255},   {255, 0, 255},   {0, 255, 255},   {255, 255, 255}};
  return colors;
}

std::vector<TRGBColor> ReduceColors(const std::vector<TRGBColor>& pixels, size_t maxColors) {
  std::unordered_map<uint32_t, uint32_t> counts;
  for (TRGBColor c : pixels) ++counts[Pack(c)];
  std::vector<std::pair<uint32_t, uint32_t>> colors(counts.begin(), counts.end());
  std::sort(colors.begin(), colors.end());
  std::vector<TRGBColor> table;
  if (colors.size() <= maxColors) {
    for (const auto& [packed, count] : colors) table.push_back(Unpack(packed));
    return table;
  }
  // Median cut: split the box with the widest channel at its pixel-weighted median until there
  // are enough boxes; each box stands for the weighted mean of its colours.
  std::vector<TColorBox> boxes{MakeBox(colors, 0, colors.size())};
  while (boxes.size() < maxColors) {
    auto widest = std::max_element(boxes.begin(), boxes.end(),
                                   [](const auto& a, const auto& b) { return a.Range < b.Range; });
    if (widest->Range == 0) break;
    TColorBox box = *widest;
    const int ch = box.Channel;
    std::sort(colors.begin() + box.Begin, colors.begin() + box.End,
              [ch](const auto& a, const auto& b) {
                return ChannelOf(a.first, ch) < ChannelOf(b.first, ch);
              });
    uint64_t total = 0;
    for (size_t i = box.Begin; i < box.End; ++i) total += colors[i].second;
    uint64_t running = 0;
    size_t split = box.Begin + 1;
    for (size_t i = box.Begin; i + 1 < box.End; ++i) {
      running += colors[i].second;
      split = i + 1;
      if (running * 2 >= total) break;
    }
    *widest = MakeBox(colors, box.Begin, split);
    boxes.push_back(MakeBox(colors, split, box.End));
  }
  for (const TColorBox& box : boxes) {
    uint64_t sum[3] = {0, 0, 0}, weight = 0;
    for (size_t i = box.Begin; i < box.End; ++i) {
      for (int ch = 0; ch < 3; ++ch)
        sum[ch] += uint64_t(ChannelOf(colors[i].first, ch)) * colors[i].second;
      weight += colors[i].second;
    }
    table.push_back({uint8_t((sum[0] + weight / 2) / weight),
                     uint8_t((sum[1] + weight / 2) / weight),
                     uint8_t((sum[2] + weight / 2) / weight)});
  }
  return table;
}

TBitmap::TBitmap(int32_t width, int32_t height, TPixelFormat format) : FFormat(format) {
  FColorTable = DefaultTable(format);
  SetSize(width, height);
}

void TBitmap::SetSize(int32_t width, int32_t height) {
  if (width < 0 || height < 0) throw EBitmapError("Invalid bitmap size " + SizeText(width, height));
  const int64_t stride = (int64_t(width) * StorageBits(FFormat) + 31) / 32 * 4;
  if (stride * height > MaxBytes)
    throw EBitmapError("Bitmap of " + SizeText(width, height) + " pixels is too large");
  FWidth = width;
  FHeight = height;
  FStride = int32_t(stride);
  FBits.assign(size_t(stride * height), 0);
}

void TBitmap::SetColorTable(std::vector<TRGBColor> table) {
  if (!IsIndexed(FFormat) || table.empty() ||
      table.size() > (size_t(1) << PixelFormatBits(FFormat)))
    throw EBitmapError("Invalid colour table");
  FColorTable = std::move(table);
}

TRGBColor TBitmap::GetPixel(int32_t x, int32_t y) const {
  const uint8_t* row = ScanLine(y);
  switch (FFormat) {
    case pf1bit:
      return TableColor((row[x >> 3] >> (7 - (x & 7))) & 1);
    case pf4bit:
      return TableColor((x & 1) ? row[x >> 1] & 15 : row[x >> 1] >> 4);
    case pf8bit:
      return TableColor(row[x]);
    case pf15bit:
      return Decode15(uint16_t(row[2 * x] | (row[2 * x + 1] << 8)));
    case pf16bit:
      return Decode16(uint16_t(row[2 * x] | (row[2 * x + 1] << 8)));
    case pf24bit:
      return {row[3 * x + 2], row[3 * x + 1], row[3 * x]};
    case pf32bit:
      return {row[4 * x + 2], row[4 * x + 1], row[4 * x]};
  }
  return {};
}

uint32_t TBitmap::ColorIndex(TRGBColor color) const {
  if (FFormat == pf1bit && IsBlackWhite(FColorTable)) return IsLight(color) ? 1 : 0;
  return NearestIndex(FColorTable, color);
}

namespace {

// Stores an already chosen index (indexed formats) or colour (the others) into a row.
inline void PutIndex(TPixelFormat format, uint8_t* row, int32_t x, uint32_t index) {
  switch (format) {
    case pf1bit: {
      const uint8_t bit = uint8_t(0x80 >> (x & 7));
      row[x >> 3] = index ? row[x >> 3] | bit : row[x >> 3] & ~bit;
      break;
    }
    case pf4bit:
      row[x >> 1] = (x & 1) ? (row[x >> 1] & 0xF0) | index : (row[x >> 1] & 0x0F) | (index << 4);
      break;
    default:
      row[x] = uint8_t(index);
  }
}

inline void PutColor(TPixelFormat format, uint8_t* row, int32_t x, TRGBColor c) {
  switch (format) {
    case pf15bit: {
      const uint16_t w = Encode15(c);
      row[2 * x] = uint8_t(w);
      row[2 * x + 1] = uint8_t(w >> 8);
      break;
    }
    case pf16bit: {
      const uint16_t w = Encode16(c);
      row[2 * x] = uint8_t(w);
      row[2 * x + 1] = uint8_t(w >> 8);
      break;
    }
    case pf24bit:
      row[3 * x] = c.B;
      row[3 * x + 1] = c.G;
      row[3 * x + 2] = c.R;
      break;
    case pf32bit:
      row[4 * x] = c.B;
      row[4 * x + 1] = c.G;
      row[4 * x + 2] = c.R;
      row[4 * x + 3] = 0;
      break;
    default:
      break;
  }
}

// Maps colours to the entries of a table, remembering each colour's answer.
class TIndexCache {
 public:
  template <class F>
  uint32_t Get(TRGBColor c, F&& lookup) {
    const uint32_t key = Pack(c);
    if (key == FLastKey) return FLastIndex;
    auto [it, inserted] = FMap.try_emplace(key, 0);
    if (inserted) it->second = lookup(c);
    FLastKey = key;
    FLastIndex = it->second;
    return FLastIndex;
  }

 private:
  std::unordered_map<uint32_t, uint32_t> FMap;
  uint32_t FLastKey = UINT32_MAX;
  uint32_t FLastIndex = 0;
};

}  // namespace

void TBitmap::SetPixel(int32_t x, int32_t y, TRGBColor color) {
  if (IsIndexed(FFormat))
    PutIndex(FFormat, ScanLine(y), x, ColorIndex(color));
  else
    PutColor(FFormat, ScanLine(y), x, color);
}

void TBitmap::Fill(TRGBColor color) {
  if (FWidth == 0 || FHeight == 0) return;
  // Fill the first row, then copy it: the padding stays zero.
  for (int32_t x = 0; x < FWidth; ++x) SetPixel(x, 0, color);
  for (int32_t y = 1; y < FHeight; ++y) std::memcpy(ScanLine(y), ScanLine(0), FStride);
}

void TBitmap::SetPixelFormat(TPixelFormat format) {
  if (format == FFormat) return;
  ++ConversionCount;
  TBitmap converted(0, 0, format);
  converted.SetSize(FWidth, FHeight);
  converted.ConvertFrom(*this);
  FFormat = format;
  FStride = converted.FStride;
  FBits.swap(converted.FBits);
  FColorTable.swap(converted.FColorTable);
}

void TBitmap::ConvertFrom(const TBitmap& source) {
  if (!IsIndexed(FFormat)) {
    for (int32_t y = 0; y < FHeight; ++y) {
      uint8_t* row = ScanLine(y);
      for (int32_t x = 0; x < FWidth; ++x) PutColor(FFormat, row, x, source.GetPixel(x, y));
    }
    return;
  }
  std::vector<TRGBColor> pixels;
  pixels.reserve(size_t(FWidth) * FHeight);
  for (int32_t y = 0; y < FHeight; ++y)
    for (int32_t x = 0; x < FWidth; ++x) pixels.push_back(source.GetPixel(x, y));
  if (FFormat == pf8bit) {
    // Keeps every colour when there are at most 256 (always so for a palette picture).
    std::vector<TRGBColor> table = ReduceColors(pixels, 256);
    if (table.empty()) table = DefaultTable(pf8bit);
    FColorTable = std::move(table);
  }
  TIndexCache cache;
  const auto lookup = [this](TRGBColor c) { return ColorIndex(c); };
  size_t i = 0;
  for (int32_t y = 0; y < FHeight; ++y) {
    uint8_t* row = ScanLine(y);
    for (int32_t x = 0; x < FWidth; ++x) PutIndex(FFormat, row, x, cache.Get(pixels[i++], lookup));
  }
}

void TBitmap::Draw(int32_t x, int32_t y, const TBitmap& source, bool transparent) {
  // Clip in 64 bits: positions far outside must not wrap.
  const int64_t left = std::max<int64_t>(0, x), top = std::max<int64_t>(0, y);
  const int64_t right = std::min<int64_t>(FWidth, int64_t(x) + source.FWidth);
  const int64_t bottom = std::min<int64_t>(FHeight, int64_t(y) + source.FHeight);
  if (left >= right || top >= bottom) return;
  const int32_t count = int32_t(right - left);
  const int32_t sx0 = int32_t(left - x);

  if (FFormat == pf24bit && source.FFormat == pf24bit) {
    const TRGBColor key = source.TransparentColor;
    for (int64_t dy = top; dy < bottom; ++dy) {
      const uint8_t* from = source.ScanLine(int32_t(dy - y)) + 3 * sx0;
      uint8_t* to = ScanLine(int32_t(dy)) + 3 * left;
      if (!transparent) {
        std::memcpy(to, from, size_t(count) * 3);
        continue;
      }
      for (int32_t i = 0; i < count; ++i, from += 3, to += 3)
        if (from[0] != key.B || from[1] != key.G || from[2] != key.R) {
          to[0] = from[0];
          to[1] = from[1];
          to[2] = from[2];
        }
    }
    return;
  }

  // The transparent colour as the source stores it, so that reduced formats still match it.
  TRGBColor key = source.TransparentColor;
  if (transparent && source.FWidth > 0 && source.FHeight > 0) {
    TBitmap probe(1, 1, source.FFormat);
    if (IsIndexed(source.FFormat)) probe.FColorTable = source.FColorTable;
    probe.SetPixel(0, 0, key);
    key = probe.GetPixel(0, 0);
  }
  TIndexCache cache;
  const auto lookup = [this](TRGBColor c) { return ColorIndex(c); };
  for (int64_t dy = top; dy < bottom; ++dy) {
    uint8_t* to = ScanLine(int32_t(dy));
    const int32_t sy = int32_t(dy - y);
    for (int32_t i = 0; i < count; ++i) {
      const TRGBColor c = source.GetPixel(sx0 + i, sy);
      if (transparent && c == key) continue;
      const int32_t dx = int32_t(left) + i;
      if (IsIndexed(FFormat))
        PutIndex(FFormat, to, dx, cache.Get(c, lookup));
      else
        PutColor(FFormat, to, dx, c);
    }
  }
}
