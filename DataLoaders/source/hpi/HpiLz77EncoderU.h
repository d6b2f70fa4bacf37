#pragma once
// Compressor for the LZ77 variant of HPI chunks: greedy matching over the 4096-byte ring window
// through hash chains, literals and 2..17-byte back-references, closed by the end marker.
#include <cstddef>
#include <cstdint>
#include <vector>

std::vector<uint8_t> CompressLZ77(const uint8_t* data, size_t size);
