#pragma once

// Little-endian loads and stores for the on-disk formats (Quv, HPI, BMP), which all store their
// integers least significant byte first whatever the machine's own order.

#include <cstdint>

namespace ByteOrder {

inline uint16_t LoadU16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
inline int16_t LoadI16(const uint8_t* p) {
  return static_cast<int16_t>(LoadU16(p));
}
inline uint32_t LoadU32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline int32_t LoadI32(const uint8_t* p) {
  return static_cast<int32_t>(LoadU32(p));
}

inline void StoreU16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
inline void StoreU32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

// Stores at p and moves p past the value: for headers written field after field.
inline void PutU16(uint8_t*& p, uint16_t v) {
  StoreU16(p, v);
  p += 2;
}
inline void PutU32(uint8_t*& p, uint32_t v) {
  StoreU32(p, v);
  p += 4;
}

}  // namespace ByteOrder
