#include "MemoryFileReaderU.h"

#include <algorithm>
#include <cstring>

#include "FileSystemU.h"
#include "StringUtilsU.h"

TMemoryFileReader::TMemoryFileReader(TBytes bytes, uint8_t readOnly) : FBytes(std::move(bytes)) {
  if (!FBytes) FBytes = std::make_shared<const std::vector<uint8_t>>();
  FReadOnly = readOnly;
}

TMemoryFileReader::TMemoryFileReader(std::vector<uint8_t> bytes)
    : TMemoryFileReader(std::make_shared<const std::vector<uint8_t>>(std::move(bytes))) {}

TMemoryFileReader::~TMemoryFileReader() {
  CloseOnDestroy();
}

void TMemoryFileReader::SetPosition(int64_t position) {
  if (FOpen) FPosition = std::max<int64_t>(position, 0);
}

int64_t TMemoryFileReader::GetSize() {
  return FOpen ? static_cast<int64_t>(FBytes->size()) : 0;
}

int64_t TMemoryFileReader::Read(void* buffer, int64_t count) {
  if (!FOpen) return -1;
  const int64_t size = static_cast<int64_t>(FBytes->size());
  if (count <= 0 || FPosition >= size) return 0;
  const int64_t n = std::min(count, size - FPosition);
  std::memcpy(buffer, FBytes->data() + FPosition, static_cast<size_t>(n));
  FPosition += n;
  return n;
}

int64_t TMemoryFileReader::Seek(int64_t offset, int origin) {
  if (!FOpen) return -1;
  int64_t base = 0;
  if (origin == soCurrent) base = FPosition;
  if (origin == soEnd) base = static_cast<int64_t>(FBytes->size());
  FPosition = std::max<int64_t>(base + offset, 0);
  return FPosition;
}

void TMemoryFileReader::Assign(IFileReader& source) {
  TFileReader::Assign(source);
  if (auto* memory = dynamic_cast<TMemoryFileReader*>(&source)) FBytes = memory->FBytes;
}

IFileReaderRef TMemoryFileReader::Clone() {
  auto clone = std::make_shared<TMemoryFileReader>(FBytes, FReadOnly);
  clone->Assign(*this);
  return clone;
}

bool TMemoryFileReader::SameFile(IFileReader& other) {
  auto* memory = dynamic_cast<TMemoryFileReader*>(&other);
  return memory && memory->FBytes == FBytes;
}

void TMemoryFileReader::DoOpen(uint8_t mode) {
  FOpen = true;
  FPosition = 0;
}

void TMemoryFileReader::DoClose() {
  FOpen = false;
}

TFileEntry* AddMemoryFile(TFileSystem& fileSystem, const std::string& name,
                          TMemoryFileReader::TBytes bytes, int32_t priority) {
  const std::string path = ToTreePath(name);
  TDirEntry* parent = fileSystem.GetRoot();
  const std::string folder = ExtractFileDir(path);
  if (!folder.empty()) parent = fileSystem.ForceDirectory(folder);
  auto node = std::make_unique<TFileEntry>(ExtractFileName(path));
  node->Priority = priority;
  node->Size = bytes ? static_cast<int64_t>(bytes->size()) : 0;
  node->Reader = std::make_shared<TMemoryFileReader>(std::move(bytes));
  return fileSystem.AddFile(node, parent);
}
