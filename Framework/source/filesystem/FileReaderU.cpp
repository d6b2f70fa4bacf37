#include "FileReaderU.h"

#include <algorithm>
#include <cstring>

#include "LowLevelIO.h"
#include "StringUtilsU.h"

TFileReader::~TFileReader() {
  SetEntry(nullptr);
}

void TFileReader::Open(uint8_t mode) {
  if (++FOpenCount != 1) return;
  try {
    DoOpen(mode);
  } catch (...) {
    // A failed open leaves the reader closed rather than counted open without a file.
    FOpenCount = 0;
    throw;
  }
  FReadOnly = mode;
}

void TFileReader::Close() {
  --FOpenCount;
  if (FOpenCount == 0) DoClose();
  if (FOpenCount < 0) FOpenCount = 0;
}

void TFileReader::CloseOnDestroy() {
  if (FOpenCount <= 0) return;
  FOpenCount = 0;
  DoClose();
}

void TFileReader::Assign(IFileReader& source) {
  SetEntry(source.GetEntry());
  FReadOnly = source.GetReadOnly();
}

TSystemFileReader::TSystemFileReader(std::string fileName, uint8_t readOnly)
    : FFileName(std::move(fileName)) {
  FReadOnly = readOnly;
}

TSystemFileReader::~TSystemFileReader() {
  CloseOnDestroy();
}

int64_t TSystemFileReader::GetPosition() {
  return FHandle ? FPosition : 0;
}

void TSystemFileReader::SetPosition(int64_t position) {
  // As a seek of the file: a position before the start is refused.
  if (FHandle && position >= 0) FPosition = position;
}

int64_t TSystemFileReader::GetSize() {
  return FHandle ? FSize : 0;
}

int64_t TSystemFileReader::Read(void* buffer, int64_t count) {
  if (!FHandle || count < 0) return -1;
  auto* out = static_cast<uint8_t*>(buffer);
  int64_t done = 0;
  while (done < count) {
    const int64_t offset = FPosition - FBlockStart;
    if (offset >= 0 && offset < FBlockLength) {
      const int64_t n = std::min(count - done, FBlockLength - offset);
      std::memcpy(out + done, FBlock.data() + offset, static_cast<size_t>(n));
      done += n;
      FPosition += n;
      continue;
    }
    const int64_t left = count - done;
    if (left >= ReadAheadSize) {
      const int64_t n = FHandle->ReadAt(FPosition, out + done, left);
      if (n < 0) return done > 0 ? done : -1;
      done += n;
      FPosition += n;
      break;
    }
    // A small file needs no block larger than itself.
    const int64_t wanted = std::clamp<int64_t>(FSize, 1, ReadAheadSize);
    if (static_cast<int64_t>(FBlock.size()) < wanted) FBlock.resize(static_cast<size_t>(wanted));
    const int64_t n =
        FHandle->ReadAt(FPosition, FBlock.data(), static_cast<int64_t>(FBlock.size()));
    FBlockStart = FPosition;
    FBlockLength = std::max<int64_t>(n, 0);
    if (n < 0) return done > 0 ? done : -1;
    if (n == 0) break;  // the end of the file
  }
  return done;
}

int64_t TSystemFileReader::Write(const void* buffer, int64_t count) {
  if (!FHandle || FReadOnly) return -1;
  FBlockLength = 0;  // the block may hold bytes this write replaces
  FHandle->SetPosition(FPosition);
  const int64_t written = FHandle->Write(buffer, count);
  if (written > 0) {
    FPosition += written;
    FSize = std::max(FSize, FPosition);
  }
  return written;
}

int64_t TSystemFileReader::Seek(int64_t offset, int origin) {
  if (!FHandle) return -1;
  int64_t base = 0;
  if (origin == soCurrent) base = FPosition;
  if (origin == soEnd) base = FSize;
  int64_t target = 0;
  if (__builtin_add_overflow(base, offset, &target) || target < 0) return -1;
  FPosition = target;
  return FPosition;
}

void TSystemFileReader::Assign(IFileReader& source) {
  TFileReader::Assign(source);
  if (auto* disk = dynamic_cast<TSystemFileReader*>(&source)) FFileName = disk->FFileName;
}

IFileReaderRef TSystemFileReader::Clone() {
  auto clone = std::make_shared<TSystemFileReader>(FFileName, FReadOnly);
  clone->Assign(*this);
  return clone;
}

bool TSystemFileReader::SameFile(IFileReader& other) {
  auto* disk = dynamic_cast<TSystemFileReader*>(&other);
  if (!disk || FReadOnly || disk->FReadOnly) return false;
  return AnsiCompareText(FFileName, disk->FFileName) == 0;
}

void TSystemFileReader::DoOpen(uint8_t mode) {
  const uint8_t flags = FReadOnly ? (hfRead | hfShareRead) : (hfReadWrite | hfShareRead);
  FHandle = std::make_unique<TFileStream>(FFileName, flags);
  FPosition = 0;
  FSize = std::max<int64_t>(FHandle->GetSize(), 0);
  FBlockLength = 0;
}

void TSystemFileReader::DoClose() {
  FHandle.reset();
  FBlockLength = 0;
  FPosition = 0;
  // The block is kept: a reader that opens again reads into the same memory.
}
