#include "HpiChunkU.h"
#include "ByteOrderU.h"

#include <zlib.h>

#include <cstring>

#include "ConsoleU.h"
#include "HpiFormatU.h"
#include "Lz77U.h"

size_t DecompressZLib(const uint8_t* input, uint32_t inputSize, uint8_t* output,
                      size_t outputSize) {
  z_stream stream{};
  stream.next_in = const_cast<Bytef*>(input);
  stream.avail_in = inputSize;
  stream.next_out = output;
  stream.avail_out = static_cast<uInt>(outputSize);
  // zlib only compares the first character of the version it is asked for.
  if (inflateInit_(&stream, "1.1.4", static_cast<int>(sizeof(z_stream))) != Z_OK) return 0;
  const bool ended = inflate(&stream, Z_FINISH) == Z_STREAM_END;
  if (inflateEnd(&stream) != Z_OK) return 0;
  return ended ? stream.total_out : 0;
}

size_t DecodeChunk(uint8_t* chunk, size_t chunkSize, std::vector<uint8_t>& output) {
  if (chunkSize < 4 || std::memcmp(chunk, "SQSH", 4) != 0) {
    if (chunkSize > HpiChunkDataSize)
      throw ERangeError(
          Format("HPI chunk of %zu bytes holds more than %zu bytes", chunkSize, HpiChunkDataSize));
    output.insert(output.end(), chunk, chunk + chunkSize);
    return chunkSize;
  }
  if (chunkSize < HpiChunkHeaderSize)
    throw ERangeError(Format("HPI chunk of %zu bytes is too short for its header", chunkSize));
  THpiChunkHeader header;
  header.Signature = ByteOrder::LoadU32(chunk);
  header.Marker = chunk[4];
  header.CompressionMethod = chunk[5];
  header.Encrypted = chunk[6];
  header.CompressedSize = ByteOrder::LoadU32(chunk + 7);
  header.DecompressedSize = ByteOrder::LoadU32(chunk + 11);
  header.Checksum = ByteOrder::LoadU32(chunk + 15);
  uint8_t* payload = chunk + HpiChunkHeaderSize;
  const size_t payloadSize = chunkSize - HpiChunkHeaderSize;
  if (header.CompressedSize > payloadSize)
    throw ERangeError(Format("HPI chunk claims %u payload bytes but holds %zu",
                             header.CompressedSize, payloadSize));
  // Every chunk stands for at most one 64 KiB piece of its file, so a larger claim is a lie that
  // must not size a buffer.
  if (header.DecompressedSize > HpiChunkDataSize)
    throw ERangeError(Format("HPI chunk claims to decompress to %u bytes, more than %zu",
                             header.DecompressedSize, HpiChunkDataSize));
  if (header.Encrypted) {
    for (uint32_t i = 0; i < header.CompressedSize; ++i)
      payload[i] = static_cast<uint8_t>((payload[i] - i) ^ i);
  }
  const size_t base = output.size();
  output.resize(base + header.DecompressedSize);
  uint8_t* target = output.data() + base;
  size_t result = 0;
  switch (header.CompressionMethod) {
    case cmStored:
      if (payloadSize < header.DecompressedSize)
        RaiseLogged<EZetaHpiLoadError>(LogLevel::Warning, "HPI Decompression error");
      if (header.DecompressedSize) std::memcpy(target, payload, header.DecompressedSize);
      result = header.DecompressedSize;
      break;
    case cmLZ77:
      result = DecompressLZ77(payload, payloadSize, target, header.DecompressedSize);
      break;
    case cmZLib:
      result = DecompressZLib(payload, header.CompressedSize, target, header.DecompressedSize);
      break;
    default:
      RaiseLogged<EZetaHpiLoadError>(LogLevel::Warning,
                                     "Unknown Chunk compression in Zeta HPI file");
  }
  if (result != header.DecompressedSize)
    RaiseLogged<EZetaHpiLoadError>(LogLevel::Warning, "HPI Decompression error");
  return result;
}
