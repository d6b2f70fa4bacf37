#include "PictureReaderU.h"
#include "ByteOrderU.h"

#include <cstring>

#include "ExceptionsU.h"
#include "SafeFileU.h"
#include "StringUtilsU.h"

TPictureColour TSourcePicture::At(int32_t x, int32_t y) const {
  const size_t i = size_t(y) * size_t(Width) + size_t(x);
  if (Indexed) return Palette[Pixels[i]];
  const uint8_t* p = &Pixels[4 * i];
  return {p[0], p[1], p[2], p[3]};
}

void CheckPictureSize(const std::string& name, int64_t width, int64_t height, int64_t decodedBytes,
                      int64_t backedBytes) {
  if (width < 1 || height < 1)
    throw Exception(Format("\"%s\" has no pixels (%lld x %lld)", name.c_str(), (long long)width,
                           (long long)height));
  if (width > PictureMaxSide || height > PictureMaxSide)
    throw Exception(Format("\"%s\" is %lld x %lld pixels: a frame is at most %d pixels on a side",
                           name.c_str(), (long long)width, (long long)height, PictureMaxSide));
  if (width * height > PictureMaxPixels)
    throw Exception(Format("\"%s\" is %lld x %lld pixels: more than %lld pixels are not read",
                           name.c_str(), (long long)width, (long long)height,
                           (long long)PictureMaxPixels));
  if (decodedBytes > backedBytes)
    throw Exception(Format("\"%s\" is truncated: %lld x %lld pixels need more data than it holds",
                           name.c_str(), (long long)width, (long long)height));
}

TSourcePicture DecodePicture(std::span<const uint8_t> bytes, const std::string& name) {
  if (bytes.size() >= 2 && bytes[0] == 'B' && bytes[1] == 'M') return DecodeBmp(bytes, name);
  return DecodePng(bytes, name);
}

TSourcePicture ReadPicture(const std::string& fileName) {
  const std::string bytes = ReadRegularFile(fileName, PictureMaxFileSize);
  return DecodePicture(std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()),
                       fileName);
}

// ---- BMP ----

namespace {

uint32_t Get16(std::span<const uint8_t> b, size_t at) {
  return ByteOrder::LoadU16(b.data() + at);
}
uint32_t Get32(std::span<const uint8_t> b, size_t at) {
  return ByteOrder::LoadU32(b.data() + at);
}

// One colour channel given by a bit mask, scaled to 8 bits.
struct TChannel {
  uint32_t Mask = 0;
  int Shift = 0;
  uint32_t Max = 0;
  explicit TChannel(uint32_t mask) : Mask(mask) {
    if (!mask) return;
    while (!(mask & 1)) {
      mask >>= 1;
      ++Shift;
    }
    Max = mask;
  }
  uint8_t Get(uint32_t value, uint8_t none) const {
    if (!Max) return none;
    return uint8_t((uint64_t((value & Mask) >> Shift) * 255 + Max / 2) / Max);
  }
};

}  // namespace

TSourcePicture DecodeBmp(std::span<const uint8_t> b, const std::string& name) {
  const auto broken = [&](const char* why) {
    return Exception(Format("\"%s\" is not a usable BMP file: %s", name.c_str(), why));
  };
  if (b.size() < 26 || b[0] != 'B' || b[1] != 'M') throw broken("no BMP header");
  const uint32_t pixelOffset = Get32(b, 10);
  const uint32_t infoSize = Get32(b, 14);
  if (infoSize != 12 && infoSize < 40) throw broken("unknown information header");
  if (14 + uint64_t(infoSize) > b.size()) throw broken("truncated header");
  const bool core = infoSize == 12;
  const int64_t width = core ? int64_t(Get16(b, 18)) : int64_t(int32_t(Get32(b, 18)));
  int64_t height = core ? int64_t(Get16(b, 20)) : int64_t(int32_t(Get32(b, 22)));
  const uint32_t bits = core ? Get16(b, 24) : Get16(b, 28);
  const uint32_t compression = core ? 0 : Get32(b, 30);
  const bool topDown = height < 0;
  if (topDown) height = -height;
  if (compression != 0 && compression != 3 && compression != 6)
    throw broken("compressed BMP files are not read");
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
    throw broken("unsupported bits per pixel");
  if ((compression == 3 || compression == 6) && bits != 16 && bits != 32)
    throw broken("bit masks need 16 or 32 bits per pixel");

  // The sides first: the header's numbers may be anything, and only checked sides keep the
  // row arithmetic below in range.
  CheckPictureSize(name, width, height, 0, 0);
  const int64_t stride = ((width * bits + 31) / 32) * 4;
  const int64_t available = int64_t(b.size()) - int64_t(pixelOffset);
  CheckPictureSize(name, width, height, stride * height, available < 0 ? -1 : available);

  TSourcePicture picture;
  picture.Width = int32_t(width);
  picture.Height = int32_t(height);
  // Colour masks: in the header from version 2 on, else right behind a 40-byte header.
  uint32_t masks[4] = {0, 0, 0, 0};
  if (bits == 16) {
    masks[0] = 0x7C00, masks[1] = 0x03E0, masks[2] = 0x001F;
  } else if (bits == 32) {
    masks[0] = 0xFF0000, masks[1] = 0xFF00, masks[2] = 0xFF;
  }
  if (compression == 3 || compression == 6) {
    const size_t at = 14 + 40;
    const int count = compression == 6 ? 4 : 3;
    if (at + 4 * size_t(count) > b.size()) throw broken("truncated bit masks");
    for (int i = 0; i < count; ++i) masks[i] = Get32(b, at + 4 * size_t(i));
  }
  const TChannel red(masks[0]), green(masks[1]), blue(masks[2]), alpha(masks[3]);

  std::array<TPictureColour, 256> table{};
  if (bits <= 8) {
    const uint32_t used = core ? 0 : Get32(b, 46);
    const uint32_t entries = used == 0 || used > (1u << bits) ? (1u << bits) : used;
    const size_t entrySize = core ? 3 : 4;
    const size_t at = 14 + infoSize;
    for (uint32_t i = 0; i < entries; ++i) {
      const size_t p = at + entrySize * i;
      if (p + 3 > b.size()) throw broken("truncated colour table");
      table[i] = {b[p + 2], b[p + 1], b[p], 255};
    }
  }

  picture.Pixels.resize(size_t(width) * size_t(height) * 4);
  for (int64_t y = 0; y < height; ++y) {
    const uint8_t* row = b.data() + pixelOffset + size_t(topDown ? y : height - 1 - y) * stride;
    uint8_t* out = &picture.Pixels[size_t(y) * size_t(width) * 4];
    for (int64_t x = 0; x < width; ++x, out += 4) {
      TPictureColour c;
      switch (bits) {
        case 1:
          c = table[(row[x / 8] >> (7 - x % 8)) & 1];
          break;
        case 4:
          c = table[(row[x / 2] >> (x % 2 ? 0 : 4)) & 15];
          break;
        case 8:
          c = table[row[x]];
          break;
        case 24:
          c = {row[3 * x + 2], row[3 * x + 1], row[3 * x], 255};
          break;
        default: {
          const uint32_t v = bits == 16 ? Get16(b, size_t(row - b.data()) + 2 * size_t(x))
                                        : Get32(b, size_t(row - b.data()) + 4 * size_t(x));
          c = {red.Get(v, 0), green.Get(v, 0), blue.Get(v, 0), alpha.Get(v, 255)};
        }
      }
      out[0] = c.R, out[1] = c.G, out[2] = c.B, out[3] = c.A;
    }
  }
  picture.HasAlpha = alpha.Max != 0;
  return picture;
}
