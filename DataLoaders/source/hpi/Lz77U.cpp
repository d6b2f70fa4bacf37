#include "Lz77U.h"

#include <array>

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

size_t DecompressLZ77(const uint8_t* input, size_t inputSize, uint8_t* output, size_t outputSize) {
  // Zeroed so that a reference to a slot that was never written yields defined bytes.
  std::array<uint8_t, Lz77WindowSize> window{};
  constexpr unsigned WindowMask = Lz77WindowSize - 1;
  size_t inPos = 0;
  size_t outPos = 0;
  unsigned windowPos = 1;
  unsigned mask = 1;
  if (inPos >= inputSize) InputOverrun(inputSize);
  unsigned flags = input[inPos++];
  for (;;) {
    if (flags & mask) {
      if (inputSize - inPos < 2) InputOverrun(inputSize);
      const unsigned word = input[inPos] | (unsigned(input[inPos + 1]) << 8);
      inPos += 2;
      unsigned offset = word >> 4;
      if (offset == 0) return outPos;
      const unsigned count = (word & 15) + 2;
      if (outputSize - outPos < count) OutputOverrun(outputSize);
      for (unsigned i = 0; i < count; ++i) {
        const uint8_t b = window[offset];
        output[outPos++] = b;
        window[windowPos] = b;
        offset = (offset + 1) & WindowMask;
        windowPos = (windowPos + 1) & WindowMask;
      }
    } else {
      if (inPos >= inputSize) InputOverrun(inputSize);
      if (outPos >= outputSize) OutputOverrun(outputSize);
      const uint8_t b = input[inPos++];
      output[outPos++] = b;
      window[windowPos] = b;
      windowPos = (windowPos + 1) & WindowMask;
    }
    mask <<= 1;
    if (mask == 256) {
      mask = 1;
      if (inPos >= inputSize) InputOverrun(inputSize);
      flags = input[inPos++];
    }
  }
}
