#include "HpiFileReaderU.h"
#include "ByteOrderU.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "AssertU.h"
#include "ConsoleU.h"
#include "HpiChunkU.h"
#include "HpiFormatU.h"

namespace {

// Keeps the archive reader open for the length of one decode, whatever way it ends.
class TArchiveOpenGuard {
 public:
  explicit TArchiveOpenGuard(IFileReader& reader) : FReader(reader) { FReader.Open(fmRead); }
  ~TArchiveOpenGuard() { FReader.Close(); }

 private:
  IFileReader& FReader;
};

uint32_t ChunkCount(int32_t fileSize) {
  const uint32_t size = static_cast<uint32_t>(fileSize);
  return size / HpiChunkDataSize + (size % HpiChunkDataSize != 0 ? 1 : 0);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// THpiFileReader

THpiFileReader::THpiFileReader(IFileReaderRef archiveReader, uint32_t key, int32_t fileSize,
                               uint32_t dataStart)
    : FArchiveReader(std::move(archiveReader)),
      FDataStart(dataStart),
      FFileSize(fileSize),
      FKey(key) {}

THpiFileReader::~THpiFileReader() {
  CloseOnDestroy();
}

void THpiFileReader::CheckMode(uint8_t mode) {
  if (mode != 0 && mode != fmRead) throw Exception("Writing to HPI files is not yet supported");
}

void THpiFileReader::SetPosition(int64_t position) {
  FPosition = position;
  if (FArchiveReader) FArchiveReader->SetPosition(int64_t(FDataStart) + position);
}

int64_t THpiFileReader::Read(void* buffer, int64_t count) {
  if (!FArchiveReader) return -1;
  // The archive goes on past this file; a read must not hand out the next file's bytes.
  const int64_t left = int64_t(FFileSize) - FPosition;
  if (FPosition < 0 || left <= 0 || count <= 0) return 0;
  count = std::min(count, left);
  const int64_t where = int64_t(FDataStart) + FPosition;
  if (FArchiveReader->GetPosition() != where) FArchiveReader->SetPosition(where);
  const int64_t done = FArchiveReader->Read(buffer, count);
  if (done > 0) FPosition += done;
  return done;
}

int64_t THpiFileReader::Write(const void* buffer, int64_t count) {
  if (!FArchiveReader) return -1;
  FArchiveReader->SetPosition(int64_t(FDataStart) + FPosition);
  return FArchiveReader->Write(buffer, count);
}

int64_t THpiFileReader::Seek(int64_t offset, int origin) {
  switch (origin) {
    case soBeginning:
      FPosition = offset;
      break;
    case soCurrent:
      FPosition += offset;
      break;
    case soEnd:
      FPosition = int64_t(FFileSize) + offset;
      break;
    default:
      break;
  }
  return FPosition;
}

void THpiFileReader::DoOpen(uint8_t mode) {
  CheckMode(mode);
  if (FArchiveReader) FArchiveReader->Open(fmRead);
  FPosition = 0;
}

void THpiFileReader::DoClose() {
  FPosition = 0;
  if (FArchiveReader) FArchiveReader->Close();
}

void THpiFileReader::Assign(IFileReader& source) {
  TFileReader::Assign(source);
  if (auto* hpi = dynamic_cast<THpiFileReader*>(&source)) {
    FArchiveReader = hpi->FArchiveReader;
    FDataStart = hpi->FDataStart;
    FFileSize = hpi->FFileSize;
    Compression = hpi->Compression;
    FKey = hpi->FKey;
  }
}

IFileReaderRef THpiFileReader::Clone() {
  auto clone = std::make_shared<THpiFileReader>();
  clone->Assign(*this);
  return clone;
}

bool THpiFileReader::SameFile(IFileReader& other) {
  auto* hpi = dynamic_cast<THpiFileReader*>(&other);
  if (!hpi || !FArchiveReader || !hpi->FArchiveReader) return false;
  return FArchiveReader->SameFile(*hpi->FArchiveReader);
}

// ---------------------------------------------------------------------------------------------
// TBufferedHpiFileReader

TBufferedHpiFileReader::~TBufferedHpiFileReader() {
  CloseOnDestroy();
}

int64_t TBufferedHpiFileReader::GetPosition() {
  return FBuffer ? FBuffer->GetPosition() : FPendingPosition;
}

void TBufferedHpiFileReader::SetPosition(int64_t position) {
  if (FBuffer)
    FBuffer->SetPosition(position);
  else
    FPendingPosition = position;
}

int64_t TBufferedHpiFileReader::GetSize() {
  return FBuffer ? FBuffer->GetSize() : FFileSize;
}

int64_t TBufferedHpiFileReader::Read(void* buffer, int64_t count) {
  if (!FBuffer && !FArchiveReader && FFileSize != 0) return -1;
  EnsureDecoded();
  return FBuffer->Read(buffer, count);
}

int64_t TBufferedHpiFileReader::Write(const void* buffer, int64_t count) {
  if (GetReadOnly()) return -1;
  if (!FBuffer && !FArchiveReader && FFileSize != 0) return -1;
  EnsureDecoded();
  return FBuffer->Write(buffer, count);
}

int64_t TBufferedHpiFileReader::Seek(int64_t offset, int origin) {
  if (!FBuffer && !FArchiveReader && FFileSize != 0) return -1;
  EnsureDecoded();
  return FBuffer->Seek(offset, origin);
}

void TBufferedHpiFileReader::DoOpen(uint8_t mode) {
  CheckMode(mode);
  FPendingPosition = 0;
  if (FBuffer) FBuffer->SetPosition(0);
}

void TBufferedHpiFileReader::DoClose() {
  FPendingPosition = 0;
  if (FBuffer) FBuffer->SetPosition(0);
}

void TBufferedHpiFileReader::DecodeFile() {
  auto buffer = std::make_unique<TMemoryStream>();
  const int64_t pending = FPendingPosition;
  if (FFileSize > 0) {
    if (!FArchiveReader) throw EReadError("Stream read error");
    TArchiveOpenGuard guard(*FArchiveReader);
    std::vector<uint8_t> data;
    DecodeChunkedFile(*FArchiveReader, FDataStart, FFileSize, FKey, data);
    buffer->SetSize(int64_t(data.size()));
    if (!data.empty()) std::memcpy(buffer->Memory(), data.data(), data.size());
  }
  buffer->SetPosition(pending);
  FBuffer = std::move(buffer);
  ++FDecodeCount;
}

std::vector<uint32_t> ReadChunkSizes(IFileReader& archive, uint32_t dataStart, int32_t fileSize,
                                     uint32_t key) {
  if (fileSize <= 0) return {};
  // Every count and size below must be backed by bytes of the archive before it sizes
  // anything, so a lying FileSize or chunk table cannot make us allocate.
  const int64_t archiveSize = archive.GetSize();
  const uint32_t count = ChunkCount(fileSize);
  const int64_t tableEnd = int64_t(dataStart) + int64_t(count) * 4;
  if (tableEnd > archiveSize) throw EReadError("Stream read error");
  std::vector<uint8_t> table(size_t(count) * 4);
  archive.SetPosition(dataStart);
  HpiReadAndDecrypt(archive, table.data(), dataStart, uint32_t(table.size()), key);
  std::vector<uint32_t> sizes(count);
  int64_t end = tableEnd;
  for (uint32_t i = 0; i < count; ++i) {
    sizes[i] = ByteOrder::LoadU32(&table[size_t(i) * 4]);
    end += sizes[i];
  }
  if (end > archiveSize) throw EReadError("Stream read error");
  return sizes;
}

void DecodeChunkedFile(IFileReader& archive, uint32_t dataStart, int32_t fileSize, uint32_t key,
                       std::vector<uint8_t>& data) {
  const std::vector<uint32_t> sizes = ReadChunkSizes(archive, dataStart, fileSize, key);
  if (sizes.empty()) return;
  std::vector<uint8_t> chunk(*std::max_element(sizes.begin(), sizes.end()));
  int64_t position = int64_t(dataStart) + int64_t(sizes.size()) * 4;
  for (const uint32_t size : sizes) {
    HpiReadAndDecrypt(archive, chunk.data(), uint32_t(position), size, key);
    if (DecodeChunk(chunk.data(), size, data) == 0)
      RaiseLogged<EZetaHpiLoadError>(LogLevel::Warning, "HPI Decompression error");
    position += size;
  }
}

std::vector<uint8_t> ReadArchivedFile(const THpiFileReader& file, IFileReader& archive) {
  std::vector<uint8_t> data;
  if (dynamic_cast<const TBufferedHpiFileReader*>(&file)) {
    DecodeChunkedFile(archive, file.DataStart(), file.FileSize(), file.Key(), data);
    return data;
  }
  // Stored bytes; the loader made sure that the archive holds them.
  const int64_t size = std::max<int32_t>(file.FileSize(), 0);
  if (int64_t(file.DataStart()) + size > archive.GetSize()) throw EReadError("Stream read error");
  data.resize(size_t(size));
  archive.SetPosition(file.DataStart());
  archive.ReadBuffer(data.data(), size);
  return data;
}

void TBufferedHpiFileReader::Assign(IFileReader& source) {
  THpiFileReader::Assign(source);
  auto* chunked = dynamic_cast<TBufferedHpiFileReader*>(&source);
  VASSERT(chunked != nullptr);
  if (!chunked) return;
  const int64_t position = chunked->GetPosition();
  chunked->Open(fmRead);
  struct TCloseSource {
    IFileReader& Source;
    ~TCloseSource() { Source.Close(); }
  } closeSource{source};
  chunked->EnsureDecoded();
  auto buffer = std::make_unique<TMemoryStream>();
  const int64_t size = chunked->FBuffer->GetSize();
  buffer->SetSize(size);
  if (size > 0) std::memcpy(buffer->Memory(), chunked->FBuffer->Memory(), size_t(size));
  buffer->SetPosition(position);
  chunked->FBuffer->SetPosition(position);
  FBuffer = std::move(buffer);
}

IFileReaderRef TBufferedHpiFileReader::Clone() {
  auto clone = std::make_shared<TBufferedHpiFileReader>();
  clone->Assign(*this);
  return clone;
}
