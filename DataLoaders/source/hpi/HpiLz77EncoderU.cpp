#include "HpiLz77EncoderU.h"

#include <algorithm>
#include <array>

namespace {

constexpr size_t WindowSize = 4096;
constexpr size_t WindowMask = WindowSize - 1;
constexpr size_t MinMatch = 3;
constexpr size_t MaxMatch = 17;
constexpr size_t HashBits = 14;
constexpr int MaxChainSteps = 48;
constexpr int64_t NoPosition = -1;

// The decoder writes input byte p into window slot (p + 1) mod 4096; slot 0 as a reference
// start is the end marker, so a byte that lives in slot 0 cannot begin a match.
uint32_t SlotOf(size_t position) {
  return uint32_t((position + 1) & WindowMask);
}

uint32_t Hash3(const uint8_t* p) {
  const uint32_t v = p[0] | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16);
  return (v * 2654435761u) >> (32 - HashBits);
}

class TItemWriter {
 public:
  explicit TItemWriter(std::vector<uint8_t>& out) : FOut(out) {}

  void Literal(uint8_t b) {
    Flag(false);
    FOut.push_back(b);
  }
  void Reference(uint32_t slot, size_t length) {
    Flag(true);
    const uint32_t word = (slot << 4) | uint32_t(length - 2);
    FOut.push_back(uint8_t(word));
    FOut.push_back(uint8_t(word >> 8));
  }
  void End() { Reference(0, 2); }

 private:
  // Each flag byte precedes the eight items it describes, bit 0 first.
  void Flag(bool reference) {
    if (FBit == 8) {
      FFlagPos = FOut.size();
      FOut.push_back(0);
      FBit = 0;
    }
    if (reference) FOut[FFlagPos] |= uint8_t(1u << FBit);
    ++FBit;
  }

  std::vector<uint8_t>& FOut;
  size_t FFlagPos = 0;
  int FBit = 8;
};

}  // namespace

std::vector<uint8_t> CompressLZ77(const uint8_t* data, size_t size) {
  std::vector<uint8_t> out;
  out.reserve(size + size / 8 + 4);
  TItemWriter writer(out);
  std::vector<int64_t> head(size_t(1) << HashBits, NoPosition);
  std::array<int64_t, WindowSize> prev;
  prev.fill(NoPosition);
  auto insert = [&](size_t p) {
    if (p + MinMatch > size) return;
    const uint32_t h = Hash3(data + p);
    prev[p & WindowMask] = head[h];
    head[h] = int64_t(p);
  };

  size_t p = 0;
  while (p < size) {
    size_t bestLength = 0;
    size_t bestPosition = 0;
    if (p + MinMatch <= size) {
      const size_t limit = std::min(MaxMatch, size - p);
      int64_t candidate = head[Hash3(data + p)];
      for (int steps = 0; candidate != NoPosition && steps < MaxChainSteps; ++steps) {
        const size_t q = size_t(candidate);
        if (p - q >= WindowSize) break;
        if (SlotOf(q) != 0) {
          size_t length = 0;
          while (length < limit && data[q + length] == data[p + length]) ++length;
          if (length > bestLength) {
            bestLength = length;
            bestPosition = q;
            if (length == limit) break;
          }
        }
        const int64_t next = prev[q & WindowMask];
        if (next >= candidate) break;  // the chain slot was reused by a newer position
        candidate = next;
      }
    }
    if (bestLength >= MinMatch) {
      writer.Reference(SlotOf(bestPosition), bestLength);
      for (size_t i = 0; i < bestLength; ++i) insert(p + i);
      p += bestLength;
    } else {
      writer.Literal(data[p]);
      insert(p);
      ++p;
    }
  }
  writer.End();
  return out;
}
