#pragma once
// A file written under a temporary name beside its target and renamed into place by Commit, so
// that a failure leaves neither a partial file nor a changed target. Without Commit the
// temporary file is removed.
#include <cstdint>
#include <string>

class TAtomicFile {
 public:
  // Raises EInOutError naming target when the temporary file cannot be made.
  explicit TAtomicFile(const std::string& target);
  ~TAtomicFile();
  TAtomicFile(const TAtomicFile&) = delete;
  TAtomicFile& operator=(const TAtomicFile&) = delete;

  void Write(const void* data, size_t size);
  void WriteAt(int64_t position, const void* data, size_t size);
  int64_t Position() const { return FPosition; }
  void Commit();

 private:
  [[noreturn]] void Fail(int error);
  std::string FTarget, FTemp;
  int FFd = -1;
  int64_t FPosition = 0;
};

// Refuses (Exception) to replace an existing file unless force is given.
void CheckOverwrite(const std::string& target, bool force);
