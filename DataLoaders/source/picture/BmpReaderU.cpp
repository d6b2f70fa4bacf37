// BMP reading for the pack sources: the uncompressed forms the exports and common editors write
// (1, 4, 8, 16, 24 and 32 bits, colour tables, bit masks, rows bottom-up or top-down).
#include <cstring>

#include "ByteOrderU.h"
#include "ExceptionsU.h"
#include "PictureReaderU.h"
#include "StringUtilsU.h"

namespace {

constexpr size_t FileHeaderSize = 14;

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

// What the headers of a BMP file say, checked against the forms read and the file's size.
struct TBmpHeader {
  uint32_t PixelOffset = 0;
  uint32_t InfoSize = 0;
  bool Core = false;  // the 12-byte header of OS/2 files: 16-bit sides, 3-byte colours
  int64_t Width = 0;
  int64_t Height = 0;
  bool TopDown = false;
  uint32_t Bits = 0;
  uint32_t Compression = 0;
  int64_t Stride = 0;
};

class TBmpDecoder {
 public:
  TBmpDecoder(std::span<const uint8_t> bytes, const std::string& name)
      : FBytes(bytes), FName(name) {}

  TSourcePicture Decode() {
    const TBmpHeader header = ReadHeader();
    std::array<uint32_t, 4> masks = Masks(header);
    const TChannel red(masks[0]), green(masks[1]), blue(masks[2]), alpha(masks[3]);
    const std::array<TPictureColour, 256> table = ColourTable(header);
    TSourcePicture picture;
    picture.Width = int32_t(header.Width);
    picture.Height = int32_t(header.Height);
    picture.Pixels.resize(size_t(header.Width) * size_t(header.Height) * 4);
    for (int64_t y = 0; y < header.Height; ++y) {
      const int64_t stored = header.TopDown ? y : header.Height - 1 - y;
      const size_t row = header.PixelOffset + size_t(stored) * header.Stride;
      uint8_t* out = &picture.Pixels[size_t(y) * size_t(header.Width) * 4];
      for (int64_t x = 0; x < header.Width; ++x, out += 4) {
        TPictureColour c;
        const uint8_t* p = FBytes.data() + row;
        switch (header.Bits) {
          case 1:
            c = table[(p[x / 8] >> (7 - x % 8)) & 1];
            break;
          case 4:
            c = table[(p[x / 2] >> (x % 2 ? 0 : 4)) & 15];
            break;
          case 8:
            c = table[p[x]];
            break;
          case 24:
            c = {p[3 * x + 2], p[3 * x + 1], p[3 * x], 255};
            break;
          default: {
            const uint32_t v = header.Bits == 16 ? Get16(FBytes, row + 2 * size_t(x))
                                                 : Get32(FBytes, row + 4 * size_t(x));
            c = {red.Get(v, 0), green.Get(v, 0), blue.Get(v, 0), alpha.Get(v, 255)};
          }
        }
        out[0] = c.R, out[1] = c.G, out[2] = c.B, out[3] = c.A;
      }
    }
    picture.HasAlpha = alpha.Max != 0;
    return picture;
  }

 private:
  Exception Broken(const char* why) const {
    return Exception(Format("\"%s\" is not a usable BMP file: %s", FName.c_str(), why));
  }

  TBmpHeader ReadHeader() const {
    if (FBytes.size() < 26 || FBytes[0] != 'B' || FBytes[1] != 'M') throw Broken("no BMP header");
    TBmpHeader h;
    h.PixelOffset = Get32(FBytes, 10);
    h.InfoSize = Get32(FBytes, 14);
    if (h.InfoSize != 12 && h.InfoSize < 40) throw Broken("unknown information header");
    if (FileHeaderSize + uint64_t(h.InfoSize) > FBytes.size()) throw Broken("truncated header");
    h.Core = h.InfoSize == 12;
    h.Width = h.Core ? int64_t(Get16(FBytes, 18)) : int64_t(int32_t(Get32(FBytes, 18)));
    h.Height = h.Core ? int64_t(Get16(FBytes, 20)) : int64_t(int32_t(Get32(FBytes, 22)));
    h.Bits = h.Core ? Get16(FBytes, 24) : Get16(FBytes, 28);
    h.Compression = h.Core ? 0 : Get32(FBytes, 30);
    h.TopDown = h.Height < 0;
    if (h.TopDown) h.Height = -h.Height;
    if (h.Compression != 0 && h.Compression != 3 && h.Compression != 6)
      throw Broken("compressed BMP files are not read");
    if (h.Bits != 1 && h.Bits != 4 && h.Bits != 8 && h.Bits != 16 && h.Bits != 24 && h.Bits != 32)
      throw Broken("unsupported bits per pixel");
    if ((h.Compression == 3 || h.Compression == 6) && h.Bits != 16 && h.Bits != 32)
      throw Broken("bit masks need 16 or 32 bits per pixel");

    // The sides first: the header's numbers may be anything, and only checked sides keep the
    // row arithmetic below in range.
    CheckPictureSize(FName, h.Width, h.Height, 0, 0);
    h.Stride = ((h.Width * h.Bits + 31) / 32) * 4;
    const int64_t available = int64_t(FBytes.size()) - int64_t(h.PixelOffset);
    CheckPictureSize(FName, h.Width, h.Height, h.Stride * h.Height, available < 0 ? -1 : available);
    return h;
  }

  // Colour masks: in the header from version 2 on, else right behind a 40-byte header.
  std::array<uint32_t, 4> Masks(const TBmpHeader& h) const {
    std::array<uint32_t, 4> masks = {0, 0, 0, 0};
    if (h.Bits == 16) {
      masks[0] = 0x7C00, masks[1] = 0x03E0, masks[2] = 0x001F;
    } else if (h.Bits == 32) {
      masks[0] = 0xFF0000, masks[1] = 0xFF00, masks[2] = 0xFF;
    }
    if (h.Compression == 3 || h.Compression == 6) {
      const size_t at = FileHeaderSize + 40;
      const int count = h.Compression == 6 ? 4 : 3;
      if (at + 4 * size_t(count) > FBytes.size()) throw Broken("truncated bit masks");
      for (int i = 0; i < count; ++i) masks[size_t(i)] = Get32(FBytes, at + 4 * size_t(i));
    }
    return masks;
  }

  std::array<TPictureColour, 256> ColourTable(const TBmpHeader& h) const {
    std::array<TPictureColour, 256> table{};
    if (h.Bits > 8) return table;
    const uint32_t used = h.Core ? 0 : Get32(FBytes, 46);
    const uint32_t entries = used == 0 || used > (1u << h.Bits) ? (1u << h.Bits) : used;
    const size_t entrySize = h.Core ? 3 : 4;
    const size_t at = FileHeaderSize + h.InfoSize;
    for (uint32_t i = 0; i < entries; ++i) {
      const size_t p = at + entrySize * i;
      if (p + 3 > FBytes.size()) throw Broken("truncated colour table");
      table[i] = {FBytes[p + 2], FBytes[p + 1], FBytes[p], 255};
    }
    return table;
  }

  std::span<const uint8_t> FBytes;
  const std::string& FName;
};

}  // namespace

TSourcePicture DecodeBmp(std::span<const uint8_t> bytes, const std::string& name) {
  return TBmpDecoder(bytes, name).Decode();
}
