#include "Lz77U.h"

#include <cstddef>
#include <cstring>

#include "ByteOrderU.h"
#include "ExceptionsU.h"
#include "StringUtilsU.h"

namespace {

[[noreturn]] void InputOverrun(size_t inputSize) {
  throw ERangeError(Format("HPI LZ77 stream runs past the end of its %zu-byte payload", inputSize));
}

[[noreturn]] void OutputOverrun(size_t outputSize) {
  throw ERangeError(Format("HPI LZ77 stream decodes to more than %zu bytes", outputSize));
}

}  // namespace

// The ring window always holds the last 4096 bytes written: the slot an output byte went to is
// its output position plus one, modulo 4096. So a back-reference to a slot copies from the
// output itself, a fixed distance back, and no window needs to be kept. References that reach
// before the first byte of this output read slots never written, which hold zeros.
namespace {

// Copies one back-reference of count bytes (2 to 17) to output + outPos; the caller made sure
// the output has room for count bytes, and for 17 when hasSlack.
inline void CopyReference(uint8_t* output, size_t outPos, size_t offset, size_t count,
                          bool hasSlack) {
  size_t distance = (outPos + 1 - offset) & (Lz77WindowSize - 1);
  if (distance == 0) distance = Lz77WindowSize;  // the slot about to be written again
  uint8_t* out = output + outPos;
  const auto back = static_cast<ptrdiff_t>(distance);
  if (distance > outPos) {
    for (size_t i = 0; i < count; ++i)
      out[i] = outPos + i >= distance ? out[ptrdiff_t(i) - back] : 0;
  } else if (distance >= 16 && hasSlack) {
    // A run that does not overlap what it produces: a fixed-size copy, the bytes past count
    // being written again by what follows.
    std::memcpy(out, out - back, 16);
    out[16] = out[16 - back];
  } else if (distance >= count) {
    std::memcpy(out, out - back, count);
  } else {
    // The run repeats bytes it is producing: byte by byte.
    for (size_t i = 0; i < count; ++i) out[i] = out[ptrdiff_t(i) - back];
  }
}

}  // namespace

size_t DecompressLZ77(const uint8_t* input, size_t inputSize, uint8_t* output, size_t outputSize) {
  size_t inPos = 0;
  size_t outPos = 0;
  // The flag byte with a marker bit above it: when only the marker is left, eight items are done.
  const auto nextFlags = [&]() -> unsigned {
    if (inPos >= inputSize) InputOverrun(inputSize);
    return input[inPos++] | 0x100u;
  };
  // Eight items take at most 16 input bytes and give at most 8 x 17 output bytes; the fixed-size
  // copies may touch 8 bytes more on either side.
  constexpr size_t GroupInput = 16 + 8, GroupOutput = 8 * 17 + 8;
  unsigned flags = nextFlags();
  for (;;) {
    if (flags > 0xffu && inputSize - inPos >= GroupInput && outputSize - outPos >= GroupOutput) {
      // A whole group of eight items with room for any of them: no bound checks inside.
      while (flags != 1) {
        // The literals before the next reference (the marker bit ends the count): one copy.
        if (const unsigned literals = unsigned(__builtin_ctz(flags))) {
          std::memcpy(output + outPos, input + inPos, 8);
          inPos += literals;
          outPos += literals;
          flags >>= literals;
          continue;
        }
        const unsigned word = ByteOrder::LoadU16(input + inPos);
        inPos += 2;
        if ((word >> 4) == 0) return outPos;
        const size_t count = (word & 15) + 2;
        CopyReference(output, outPos, word >> 4, count, true);
        outPos += count;
        flags >>= 1;
      }
      flags = nextFlags();
      continue;
    }
    if (flags & 1) {
      if (inputSize - inPos < 2) InputOverrun(inputSize);
      const unsigned word = ByteOrder::LoadU16(input + inPos);
      inPos += 2;
      const size_t offset = word >> 4;
      if (offset == 0) return outPos;
      const size_t count = (word & 15) + 2;
      if (outputSize - outPos < count) OutputOverrun(outputSize);
      CopyReference(output, outPos, offset, count, outputSize - outPos >= 17);
      outPos += count;
    } else {
      if (inPos >= inputSize) InputOverrun(inputSize);
      if (outPos >= outputSize) OutputOverrun(outputSize);
      output[outPos++] = input[inPos++];
    }
    flags >>= 1;
    if (flags == 1) flags = nextFlags();
  }
}
