#pragma once
// One chunk of a chunked HPI file: the "SQSH" header, the payload's index-keyed scrambling and
// the two decompressors behind it.
#include <cstddef>
#include <cstdint>
#include <vector>

constexpr uint32_t HpiChunkSignature = 0x48535153;  // "SQSH"
constexpr size_t HpiChunkHeaderSize = 19;
constexpr size_t HpiChunkDataSize = 65536;  // what every chunk but a file's last one holds

enum THpiChunkMethod : uint8_t { cmStored = 0, cmLZ77 = 1, cmZLib = 2 };

#pragma pack(push, 1)
struct THpiChunkHeader {
  uint32_t Signature;
  uint8_t Marker;
  uint8_t CompressionMethod;
  uint8_t Encrypted;
  uint32_t CompressedSize;
  uint32_t DecompressedSize;
  uint32_t Checksum;
};
#pragma pack(pop)
static_assert(sizeof(THpiChunkHeader) == HpiChunkHeaderSize);

// Decodes a chunk (already unscrambled with the archive key), appends its bytes to output and
// returns their number. A chunk without "SQSH" is its own output. The payload's index-keyed
// scrambling is undone in place, so chunk is changed. Raises EZetaHpiLoadError for an unknown
// method or a failed decompression, ERangeError for a header or payload that the chunk cannot back.
size_t DecodeChunk(uint8_t* chunk, size_t chunkSize, std::vector<uint8_t>& output);

// One zlib inflate of input into output; 0 when zlib fails or the stream does not end there.
size_t DecompressZLib(const uint8_t* input, uint32_t inputSize, uint8_t* output, size_t outputSize);
