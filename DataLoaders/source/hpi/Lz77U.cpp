#include "Lz77U.h"

#include <cstddef>
#include <cstring>

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
size_t DecompressLZ77(const uint8_t* input, size_t inputSize, uint8_t* output, size_t outputSize) {
  constexpr size_t WindowMask = Lz77WindowSize - 1;
  size_t inPos = 0;
  size_t outPos = 0;
  // The flag byte with a marker bit above it: when only the marker is left, eight items are done.
  const auto nextFlags = [&]() -> unsigned {
    if (inPos >= inputSize) InputOverrun(inputSize);
    return input[inPos++] | 0x100u;
  };
  unsigned flags = nextFlags();
  for (;;) {
    if (flags == 0x100u && inputSize - inPos >= 8 && outputSize - outPos >= 8) {
      // Eight literals in a row: one copy.
      std::memcpy(output + outPos, input + inPos, 8);
      inPos += 8;
      outPos += 8;
      flags = nextFlags();
      continue;
    }
    if (flags & 1) {
      if (inputSize - inPos < 2) InputOverrun(inputSize);
      const unsigned word = input[inPos] | (unsigned(input[inPos + 1]) << 8);
      inPos += 2;
      const size_t offset = word >> 4;
      if (offset == 0) return outPos;
      const size_t count = (word & 15) + 2;
      if (outputSize - outPos < count) OutputOverrun(outputSize);
      size_t distance = (outPos + 1 - offset) & WindowMask;
      if (distance == 0) distance = Lz77WindowSize;  // the slot about to be written again
      uint8_t* out = output + outPos;
      if (distance > outPos) {
        for (size_t i = 0; i < count; ++i, ++out)
          *out = outPos + i >= distance ? out[-static_cast<ptrdiff_t>(distance)] : 0;
      } else if (distance >= 16 && outputSize - outPos >= 17) {
        // Runs that do not overlap what they produce: a fixed-size copy, the bytes past count
        // being written again by what follows.
        std::memcpy(out, out - distance, 16);
        out[16] = out[16 - static_cast<ptrdiff_t>(distance)];
      } else if (distance >= count) {
        std::memcpy(out, out - distance, count);
      } else {
        // The run repeats bytes it is producing: byte by byte.
        for (size_t i = 0; i < count; ++i)
          out[i] = out[static_cast<ptrdiff_t>(i) - static_cast<ptrdiff_t>(distance)];
      }
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
