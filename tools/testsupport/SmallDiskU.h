#pragma once
// A small tmpfs of its own for the tests of what happens when a disk runs full. Mounting needs
// the right to mount; where it is missing, Mounted() is false and Reason() says why, so a test
// can skip with that message.
#include <cstddef>
#include <filesystem>
#include <string>

#include "TempDirU.h"

class TSmallDisk {
 public:
  explicit TSmallDisk(size_t bytes = 64 * 1024);
  ~TSmallDisk();
  TSmallDisk(const TSmallDisk&) = delete;
  TSmallDisk& operator=(const TSmallDisk&) = delete;

  bool Mounted() const { return FMounted; }
  const std::string& Reason() const { return FReason; }
  const std::filesystem::path& Path() const { return FFolder.Path(); }
  std::string operator/(const std::string& name) const { return FFolder / name; }
  // Takes up all but about `room` bytes of the disk with a file of its own.
  void Fill(size_t room = 0);

 private:
  TTempDir FFolder{"disk"};
  bool FMounted = false;
  std::string FReason;
};
