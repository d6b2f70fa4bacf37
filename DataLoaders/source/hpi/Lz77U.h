#pragma once
// The LZ77 variant of HPI chunks (compression method 1): a 4096-byte ring window whose first
// written slot is 1, one flag byte per eight items (least significant bit first), and
// back-references of 2 to 17 bytes addressed by window slot; slot 0 marks the end.
#include <cstddef>
#include <cstdint>

constexpr size_t Lz77WindowSize = 4096;

// Decodes input into output and returns the bytes written when the end marker is met. Input
// that runs out before the end marker, or output that would pass outputSize, raises
// ERangeError. Window slots not yet written read as zero.
size_t DecompressLZ77(const uint8_t* input, size_t inputSize, uint8_t* output, size_t outputSize);
