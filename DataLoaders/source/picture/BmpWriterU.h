#pragma once
// BMP encoding of a TBitmap: file header, 40-byte information header, colour table (1, 4 and 8
// bits) or bit masks (16 bits, 5-6-5), then the rows bottom-up, each padded to 4 bytes.
// 15-bit pictures are stored as 5-5-5 words without masks, 32-bit ones with an unused fourth
// byte.
#include <cstdint>
#include <vector>

#include "BitmapU.h"

// The complete file image of the bitmap in its own pixel format.
std::vector<uint8_t> EncodeBmp(const TBitmap& bitmap);
