#include "HpiFormatU.h"

#include "StreamsU.h"

uint32_t HpiDeriveKey(uint32_t headerKey) {
  if (headerKey == 0) return 0;
  // Unsigned arithmetic wraps: every seed gives a key, and only the low byte is ever used.
  return ~((headerKey * 4u) | (headerKey >> 6));
}

void HpiDecrypt(uint8_t* buffer, uint32_t position, uint32_t count, uint32_t key) {
  if (key == 0) return;
  for (uint32_t i = 0; i < count; ++i) {
    const uint32_t t = (position + i) ^ key;
    buffer[i] = static_cast<uint8_t>(~buffer[i] ^ t);
  }
}

void HpiReadAndDecrypt(IFileReader& reader, uint8_t* buffer, uint32_t position, uint32_t count,
                       uint32_t key) {
  const int64_t size = reader.GetSize();
  if (int64_t(position) + int64_t(count) > size) throw EReadError("Stream read error");
  reader.SetPosition(position);
  reader.ReadBuffer(buffer, count);
  HpiDecrypt(buffer, position, count, key);
}
