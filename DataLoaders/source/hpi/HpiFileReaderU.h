#pragma once
// Readers of the files inside an HPI archive: a window onto the archive for stored files, and a
// reader that decodes every chunk of a chunked file into memory on first use.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "FileReaderU.h"
#include "StreamsU.h"

// A file stored as is: reads pass straight to the archive at DataStart + Position.
class THpiFileReader : public TFileReader {
 public:
  THpiFileReader() = default;
  THpiFileReader(IFileReaderRef archiveReader, uint32_t key, int32_t fileSize, uint32_t dataStart);
  ~THpiFileReader() override;

  int64_t GetPosition() override { return FPosition; }
  void SetPosition(int64_t position) override;
  int64_t GetSize() override { return FFileSize; }
  void SetSize(int64_t size) override {}
  // Stops at FileSize; -1 without an archive reader.
  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, int origin) override;

  void Assign(IFileReader& source) override;
  IFileReaderRef Clone() override;
  bool SameFile(IFileReader& other) override;

  const IFileReaderRef& ArchiveReader() const { return FArchiveReader; }
  uint8_t Compression = 0;  // the file record's CompressionFlag, for information
  uint32_t DataStart() const { return FDataStart; }
  int32_t FileSize() const { return FFileSize; }
  uint32_t Key() const { return FKey; }

 protected:
  void DoOpen(uint8_t mode) override;
  void DoClose() override;
  // Raises "Writing to HPI files is not yet supported" for a mode other than 0 or read.
  static void CheckMode(uint8_t mode);

  int64_t FPosition = 0;
  IFileReaderRef FArchiveReader;
  uint32_t FDataStart = 0;
  int32_t FFileSize = 0;
  uint32_t FKey = 0;
};

// The whole content of an archived file (stored or chunked), read through archive: an open
// reader of the same archive file as file's own. The reader file itself is left as it was, so
// several threads, each with an archive reader of its own, can read files side by side.
// Raises what reading the file through its own reader would raise.
std::vector<uint8_t> ReadArchivedFile(const THpiFileReader& file, IFileReader& archive);

// The stored sizes of a chunked file's chunks (each with its header), from the chunk table at
// dataStart, through an open archive reader. EReadError "Stream read error" when the table or
// the chunks it counts would run past the archive's end.
std::vector<uint32_t> ReadChunkSizes(IFileReader& archive, uint32_t dataStart, int32_t fileSize,
                                     uint32_t key);

// Decodes every chunk of a chunked file into data (appended) through an open archive reader.
void DecodeChunkedFile(IFileReader& archive, uint32_t dataStart, int32_t fileSize, uint32_t key,
                       std::vector<uint8_t>& data);

// A file split into chunks: the first Read or Seek decodes every chunk into Buffer, which then
// serves all reads for the reader's life. Clones copy the decoded bytes instead of decoding.
class TBufferedHpiFileReader : public THpiFileReader {
 public:
  using THpiFileReader::THpiFileReader;
  ~TBufferedHpiFileReader() override;

  int64_t GetPosition() override;
  void SetPosition(int64_t position) override;
  int64_t GetSize() override;
  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, int origin) override;

  void Assign(IFileReader& source) override;  // source must be a chunked HPI reader
  IFileReaderRef Clone() override;

  bool Decoded() const { return FBuffer != nullptr; }
  // How many times this reader decoded its chunks (a clone counts none of its own).
  int32_t DecodeCount() const { return FDecodeCount; }

 protected:
  void DoOpen(uint8_t mode) override;
  void DoClose() override;

 private:
  // Fills Buffer from the archive. On failure Buffer stays absent, so the next read decodes
  // again and fails the same way instead of serving bytes that were never decoded.
  void DecodeFile();
  void EnsureDecoded() {
    if (!FBuffer) DecodeFile();
  }

  std::unique_ptr<TMemoryStream> FBuffer;
  int64_t FPendingPosition = 0;
  int32_t FDecodeCount = 0;
};
