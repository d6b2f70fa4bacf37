#include "FileReaderU.h"

#include "FileSystemU.h"
#include "LowLevelIO.h"
#include "StringUtilsU.h"

TFileReader::~TFileReader() {
  SetEntry(nullptr);
}

void TFileReader::SetEntry(TFileEntry* fileNode) {
  if (fileNode == FEntry) return;
  // The field changes before the node hears of it, so a node that calls back into SetEntry
  // finds nothing left to do.
  if (TFileEntry* previous = FEntry) {
    FEntry = nullptr;
    previous->DetachReader(this);
  }
  FEntry = fileNode;
  if (fileNode) fileNode->AttachReader(this);
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
  return FHandle ? FHandle->GetPosition() : 0;
}

void TSystemFileReader::SetPosition(int64_t position) {
  if (FHandle) FHandle->SetPosition(position);
}

int64_t TSystemFileReader::GetSize() {
  return FHandle ? FHandle->GetSize() : 0;
}

int64_t TSystemFileReader::Read(void* buffer, int64_t count) {
  return FHandle ? FHandle->Read(buffer, count) : -1;
}

int64_t TSystemFileReader::Write(const void* buffer, int64_t count) {
  if (!FHandle || FReadOnly) return -1;
  return FHandle->Write(buffer, count);
}

int64_t TSystemFileReader::Seek(int64_t offset, int origin) {
  return FHandle ? FHandle->Seek(offset, origin) : -1;
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
}

void TSystemFileReader::DoClose() {
  FHandle.reset();
}
