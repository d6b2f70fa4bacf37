#pragma once
// What the pieces of an HPI archive share: the header's signature and record sizes, the errors
// of a damaged archive, and the position-keyed scrambling that covers both the directory and
// the files' data.
#include <cstdint>

#include "FileSystemU.h"

class EHpiLoadError : public ELibLoaderError {
 public:
  using ELibLoaderError::ELibLoaderError;
};
class EZetaHpiLoadError : public EHpiLoadError {
 public:
  using EHpiLoadError::EHpiLoadError;
};

constexpr uint32_t HpiSignature = 0x49504148;  // "HAPI"
constexpr uint32_t HpiZetaVersion = 0x00010000;
constexpr uint32_t HpiHeaderSize = 20;
constexpr uint32_t HpiDirRecordSize = 8;
constexpr uint32_t HpiEntrySize = 9;
constexpr uint32_t HpiFileRecordSize = 9;

// The scrambling key from the header's seed (32-bit wrapping arithmetic; 0 stays 0).
uint32_t HpiDeriveKey(uint32_t headerKey);
// Undoes the scrambling of bytes that were read from the given file position.
void HpiDecrypt(uint8_t* buffer, uint32_t position, uint32_t count, uint32_t key);
// Reads count bytes at position and undoes the position-keyed XOR; EReadError "Stream read
// error" when the range is not inside the reader.
void HpiReadAndDecrypt(IFileReader& reader, uint8_t* buffer, uint32_t position, uint32_t count,
                       uint32_t key);
