#pragma once
// Byte streams: the interface every reader extends, a growable memory stream and a stream over
// an operating-system file handle.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ExceptionsU.h"

class EStreamError : public Exception {
 public:
  using Exception::Exception;
};
class EReadError : public EStreamError {  // "Stream read error"
 public:
  using EStreamError::EStreamError;
};
class EWriteError : public EStreamError {  // "Stream write error"
 public:
  using EStreamError::EStreamError;
};
class EOutOfMemoryError : public EStreamError {  // "Out of memory while expanding memory stream"
 public:
  using EStreamError::EStreamError;
};

enum TSeekOrigin : int { soBeginning = 0, soCurrent = 1, soEnd = 2 };

// Positions and sizes are 64-bit here so that no arithmetic on file offsets can wrap; the file
// formats themselves still limit offsets to what their fields hold.
class IStream {
 public:
  virtual ~IStream() = default;

  virtual int64_t GetPosition() = 0;
  virtual void SetPosition(int64_t position) = 0;
  virtual int64_t GetSize() = 0;
  virtual void SetSize(int64_t size) = 0;
  // Count read; -1 when the stream has nothing open.
  virtual int64_t Read(void* buffer, int64_t count) = 0;
  // Count written; -1 when refused.
  virtual int64_t Write(const void* buffer, int64_t count) = 0;
  virtual int64_t Seek(int64_t offset, int origin) = 0;

  // Read exactly count bytes or raise EReadError "Stream read error"; count 0 does nothing.
  virtual void ReadBuffer(void* buffer, int64_t count);
  // Write exactly count bytes or raise EWriteError "Stream write error".
  virtual void WriteBuffer(const void* buffer, int64_t count);
  // Copies count bytes from source (count 0: all of source from its start), at most 61440 bytes
  // per step. Returns the bytes copied.
  virtual int64_t CopyFrom(IStream& source, int64_t count);
};
using IStreamRef = std::shared_ptr<IStream>;

// Stream base class on a reference-counted object.
class TStream : public IStream {};

// One growable block of bytes, growing in steps of 8192 bytes.
class TMemoryStream : public TStream {
 public:
  TMemoryStream() = default;

  int64_t GetPosition() override { return FPosition; }
  void SetPosition(int64_t position) override;
  int64_t GetSize() override { return FSize; }
  void SetSize(int64_t size) override;  // "Out of memory while expanding memory stream"
  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, int origin) override;

  uint8_t* Memory() { return FData.data(); }
  const uint8_t* Memory() const { return FData.data(); }
  void Clear();

  static constexpr int64_t GrowStep = 8192;

 private:
  void Reserve(int64_t capacity);

  std::vector<uint8_t> FData;  // capacity = FData.size(), contents = first FSize bytes
  int64_t FSize = 0;
  int64_t FPosition = 0;
};

class IFileHandle;

// A stream over an operating-system file, opened through the platform table with handle flags.
class TFileStream : public TStream {
 public:
  TFileStream(const std::string& path, uint8_t handleFlags);  // EInOutError when it cannot open

  int64_t GetPosition() override;
  void SetPosition(int64_t position) override;
  int64_t GetSize() override;
  void SetSize(int64_t size) override {}
  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, int origin) override;
  // Reads at an absolute position without a separate seek.
  int64_t ReadAt(int64_t position, void* buffer, int64_t count);

 private:
  std::shared_ptr<IFileHandle> FHandle;
};
