#include "BmpWriterU.h"

#include <cstring>

#include "ByteOrderU.h"

namespace {

constexpr uint32_t FileHeaderSize = 14;
constexpr uint32_t InfoHeaderSize = 40;
constexpr uint32_t BI_RGB = 0;
constexpr uint32_t BI_BITFIELDS = 3;

using ByteOrder::PutU16;
using ByteOrder::PutU32;

}  // namespace

std::vector<uint8_t> EncodeBmp(const TBitmap& bitmap) {
  const TPixelFormat format = bitmap.PixelFormat();
  const bool masks = format == pf16bit;
  const uint32_t tableEntries = format <= pf8bit ? uint32_t(bitmap.ColorTable().size()) : 0;
  const uint32_t pixelOffset =
      FileHeaderSize + InfoHeaderSize + (masks ? 12 : 0) + 4 * tableEntries;
  // TBitmap::SetSize keeps the storage below 1 GiB, so these sums fit in 32 bits.
  const uint32_t imageSize = uint32_t(bitmap.Stride()) * uint32_t(bitmap.Height());
  std::vector<uint8_t> file(size_t(pixelOffset) + imageSize);
  uint8_t* p = file.data();

  *p++ = 'B';
  *p++ = 'M';
  PutU32(p, pixelOffset + imageSize);
  PutU32(p, 0);  // two reserved words
  PutU32(p, pixelOffset);

  PutU32(p, InfoHeaderSize);
  PutU32(p, uint32_t(bitmap.Width()));
  PutU32(p, uint32_t(bitmap.Height()));  // positive: rows stored bottom-up
  PutU16(p, 1);                          // planes
  PutU16(p, format == pf15bit ? 16 : uint16_t(PixelFormatBits(format)));
  PutU32(p, masks ? BI_BITFIELDS : BI_RGB);
  PutU32(p, imageSize);
  PutU32(p, 0);  // horizontal resolution: not given
  PutU32(p, 0);  // vertical resolution: not given
  PutU32(p, tableEntries);
  PutU32(p, 0);  // every colour is important

  if (masks) {
    PutU32(p, 0xF800);
    PutU32(p, 0x07E0);
    PutU32(p, 0x001F);
  }
  for (uint32_t i = 0; i < tableEntries; ++i) {
    const TRGBColor c = bitmap.ColorTable()[i];
    *p++ = c.B;
    *p++ = c.G;
    *p++ = c.R;
    *p++ = 0;
  }
  // The bitmap keeps the file's row layout top-down: only the row order is reversed.
  for (int32_t y = bitmap.Height() - 1; y >= 0; --y) {
    std::memcpy(p, bitmap.ScanLine(y), size_t(bitmap.Stride()));
    p += bitmap.Stride();
  }
  return file;
}
