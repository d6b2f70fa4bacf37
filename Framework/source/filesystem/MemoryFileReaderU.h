#pragma once
// A file reader over bytes held in memory, e.g. a file built by a test or handed to a fuzzer.
// Clones share the bytes and keep positions of their own.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "FileReaderU.h"

class TFileSystem;
class TFileEntry;

class TMemoryFileReader : public TFileReader {
 public:
  using TBytes = std::shared_ptr<const std::vector<uint8_t>>;

  explicit TMemoryFileReader(TBytes bytes, uint8_t readOnly = 1);
  explicit TMemoryFileReader(std::vector<uint8_t> bytes);
  ~TMemoryFileReader() override;

  int64_t GetPosition() override { return FOpen ? FPosition : 0; }  // 0 while closed
  void SetPosition(int64_t position) override;
  int64_t GetSize() override;  // 0 while closed
  void SetSize(int64_t size) override {}
  int64_t Read(void* buffer, int64_t count) override;                       // -1 while closed
  int64_t Write(const void* buffer, int64_t count) override { return -1; }  // always refused
  int64_t Seek(int64_t offset, int origin) override;                        // -1 while closed

  void Assign(IFileReader& source) override;
  IFileReaderRef Clone() override;
  // True when other is a memory reader over the same bytes.
  bool SameFile(IFileReader& other) override;

  const TBytes& Bytes() const { return FBytes; }

 protected:
  void DoOpen(uint8_t mode) override;
  void DoClose() override;

 private:
  TBytes FBytes;
  int64_t FPosition = 0;
  bool FOpen = false;
};

// Adds a file node named name (a tree path; missing folders are made) whose template reader
// serves the bytes, so that fileSystem.OpenFile(name) reads them. Returns the node.
TFileEntry* AddMemoryFile(TFileSystem& fileSystem, const std::string& name,
                          TMemoryFileReader::TBytes bytes, int32_t priority = 0);
