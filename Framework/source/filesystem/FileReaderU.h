#pragma once
// The one interface through which every file is read, on disk or inside an archive, its base
// class with counted Open/Close and its file-node link, and the disk-file reader.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "StreamsU.h"

class TFileEntry;
class IFileReader;
using IFileReaderRef = std::shared_ptr<IFileReader>;

// Open mode: 1 = read (every caller of this system), 0 = no preference.
constexpr uint8_t fmRead = 1;

class IFileReader : public IStream {
 public:
  virtual void SetReadOnly(uint8_t flag) = 0;  // every reader of this system is read-only (1)
  virtual uint8_t GetReadOnly() const = 0;
  virtual void SetEntry(TFileEntry* fileNode) = 0;  // attaches to a node, detaching from the last
  virtual TFileEntry* GetEntry() const = 0;
  virtual void Open(uint8_t mode) = 0;  // counted: the first Open runs DoOpen
  virtual void Close() = 0;             // counted: the last Close runs DoClose; never below 0
  virtual bool IsOpen() const = 0;
  virtual void Assign(IFileReader& source) = 0;  // copy source's description into this reader
  virtual IFileReaderRef Clone() = 0;            // a new closed reader of the same class
  virtual bool SameFile(IFileReader& other) = 0;
};

class TFileReader : public IFileReader {
 public:
  TFileReader() = default;
  TFileReader(const TFileReader&) = delete;
  TFileReader& operator=(const TFileReader&) = delete;
  // Detaches from the file node. Derived classes call CloseOnDestroy() from their destructor,
  // while their DoClose can still run.
  ~TFileReader() override;

  void SetReadOnly(uint8_t flag) override { FReadOnly = flag; }
  uint8_t GetReadOnly() const override { return FReadOnly; }
  void SetEntry(TFileEntry* fileNode) override;
  TFileEntry* GetEntry() const override { return FEntry; }
  void Open(uint8_t mode) override;
  void Close() override;
  bool IsOpen() const override { return FOpenCount > 0; }
  void Assign(IFileReader& source) override;  // the owning node and the read-only flag

  int32_t OpenCount() const { return FOpenCount; }
  // Called by a file node that is being destroyed: forget it without touching it.
  void ForgetEntry() { FEntry = nullptr; }

 protected:
  virtual void DoOpen(uint8_t mode) = 0;
  virtual void DoClose() = 0;
  void CloseOnDestroy();  // closes once if open

  uint8_t FReadOnly = 1;
  TFileEntry* FEntry = nullptr;
  int32_t FOpenCount = 0;
};

// Reads a disk file through a TFileStream from the platform table. Reads are served from a
// read-ahead block of the file, so that the many small reads of the format readers cost few
// system calls; a read at least as large as the block goes straight to the file. The size is
// taken once when the file opens (and follows this reader's own writes).
class TSystemFileReader : public TFileReader {
 public:
  explicit TSystemFileReader(std::string fileName, uint8_t readOnly = 1);
  ~TSystemFileReader() override;

  int64_t GetPosition() override;  // 0 while closed
  void SetPosition(int64_t position) override;
  int64_t GetSize() override;  // 0 while closed
  void SetSize(int64_t size) override {}
  int64_t Read(void* buffer, int64_t count) override;         // -1 while closed
  int64_t Write(const void* buffer, int64_t count) override;  // -1 while closed or read-only
  int64_t Seek(int64_t offset, int origin) override;          // -1 while closed

  void Assign(IFileReader& source) override;
  IFileReaderRef Clone() override;
  // True only when other is a disk-file reader on the same path (letter case ignored) and
  // neither reader is read-only.
  bool SameFile(IFileReader& other) override;

  const std::string& FileName() const { return FFileName; }

  static constexpr int64_t ReadAheadSize = 64 * 1024;

 protected:
  void DoOpen(uint8_t mode) override;  // handle flags 66 read-only, else 72
  void DoClose() override;

 private:
  std::string FFileName;
  std::unique_ptr<TFileStream> FHandle;
  int64_t FPosition = 0;
  int64_t FSize = 0;
  // The read-ahead block: the file's bytes FBlockStart .. FBlockStart + FBlockLength - 1.
  std::vector<uint8_t> FBlock;
  int64_t FBlockStart = 0;
  int64_t FBlockLength = 0;
};
