#include "StreamsU.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <stdexcept>

#include "LowLevelIO.h"

namespace {

constexpr int64_t CopyStep = 61440;
// No stream of this system comes near this; anything larger is a bogus size, refused before
// the allocator sees it.
constexpr int64_t MaxMemoryStreamSize = int64_t{1} << 34;

[[noreturn]] void RaiseOutOfMemory() {
  throw EOutOfMemoryError("Out of memory while expanding memory stream");
}

}  // namespace

void IStream::ReadBuffer(void* buffer, int64_t count) {
  if (count == 0) return;
  if (count < 0 || Read(buffer, count) != count) throw EReadError("Stream read error");
}

void IStream::WriteBuffer(const void* buffer, int64_t count) {
  if (count == 0) return;
  if (count < 0 || Write(buffer, count) != count) throw EWriteError("Stream write error");
}

int64_t IStream::CopyFrom(IStream& source, int64_t count) {
  if (count == 0) {
    source.SetPosition(0);
    count = source.GetSize();
  }
  if (count <= 0) return 0;
  std::vector<uint8_t> buffer(static_cast<size_t>(std::min(count, CopyStep)));
  int64_t copied = 0;
  while (copied < count) {
    const int64_t step = std::min(count - copied, CopyStep);
    source.ReadBuffer(buffer.data(), step);
    WriteBuffer(buffer.data(), step);
    copied += step;
  }
  return copied;
}

void TMemoryStream::Reserve(int64_t capacity) {
  if (capacity < 0 || capacity > MaxMemoryStreamSize) RaiseOutOfMemory();
  if (capacity <= static_cast<int64_t>(FData.size())) return;
  const int64_t rounded = (capacity + GrowStep - 1) / GrowStep * GrowStep;
  try {
    FData.resize(static_cast<size_t>(rounded));
  } catch (const std::bad_alloc&) {
    RaiseOutOfMemory();
  } catch (const std::length_error&) {
    RaiseOutOfMemory();
  }
}

void TMemoryStream::SetPosition(int64_t position) {
  FPosition = position;
}

void TMemoryStream::SetSize(int64_t size) {
  if (size < 0 || size > MaxMemoryStreamSize) RaiseOutOfMemory();
  Reserve(size);
  if (size > FSize) std::memset(FData.data() + FSize, 0, static_cast<size_t>(size - FSize));
  FSize = size;
  if (FPosition > size) FPosition = size;
}

int64_t TMemoryStream::Read(void* buffer, int64_t count) {
  if (FPosition < 0 || count <= 0 || FPosition >= FSize) return 0;
  const int64_t available = std::min(count, FSize - FPosition);
  std::memcpy(buffer, FData.data() + FPosition, static_cast<size_t>(available));
  FPosition += available;
  return available;
}

int64_t TMemoryStream::Write(const void* buffer, int64_t count) {
  if (FPosition < 0 || count <= 0) return 0;
  if (count > MaxMemoryStreamSize || FPosition > MaxMemoryStreamSize - count) RaiseOutOfMemory();
  const int64_t end = FPosition + count;
  if (end > static_cast<int64_t>(FData.size())) {
    // Grow by at least a quarter so that many small writes stay linear; the capacity is still
    // a whole number of steps.
    const int64_t current = static_cast<int64_t>(FData.size());
    Reserve(std::max(end, std::min(current + current / 4, MaxMemoryStreamSize)));
  }
  // A write behind the end leaves no stale bytes in the gap.
  if (FPosition > FSize)
    std::memset(FData.data() + FSize, 0, static_cast<size_t>(FPosition - FSize));
  std::memcpy(FData.data() + FPosition, buffer, static_cast<size_t>(count));
  FPosition = end;
  if (end > FSize) FSize = end;
  return count;
}

int64_t TMemoryStream::Seek(int64_t offset, int origin) {
  int64_t base = 0;
  switch (origin) {
    case soBeginning:
      break;
    case soCurrent:
      base = FPosition;
      break;
    case soEnd:
      base = FSize;
      break;
    default:
      return FPosition;
  }
  int64_t target = 0;
  if (!__builtin_add_overflow(base, offset, &target)) FPosition = target;
  return FPosition;
}

void TMemoryStream::Clear() {
  std::vector<uint8_t>().swap(FData);
  FSize = 0;
  FPosition = 0;
}

TFileStream::TFileStream(const std::string& path, uint8_t handleFlags)
    : FHandle(Platform().FileOpen(path, handleFlags)) {
  if (!FHandle) throw EInOutError("Unable to open file \"" + path + "\":");
}

int64_t TFileStream::GetPosition() {
  return FHandle->Seek(0, soCurrent);
}
void TFileStream::SetPosition(int64_t position) {
  FHandle->SetPosition(position);
}
int64_t TFileStream::GetSize() {
  return FHandle->Size();
}
int64_t TFileStream::Read(void* buffer, int64_t count) {
  return FHandle->Read(buffer, count);
}
int64_t TFileStream::Write(const void* buffer, int64_t count) {
  return FHandle->Write(buffer, count);
}
int64_t TFileStream::Seek(int64_t offset, int origin) {
  return FHandle->Seek(offset, origin);
}
int64_t TFileStream::ReadAt(int64_t position, void* buffer, int64_t count) {
  return FHandle->ReadAt(position, buffer, count);
}
