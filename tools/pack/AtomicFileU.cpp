#include "AtomicFileU.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "ExceptionsU.h"
#include "StringUtilsU.h"

TAtomicFile::TAtomicFile(const std::string& target) : FTarget(target) {
  const std::filesystem::path path(target);
  const std::string base = path.filename().string().substr(0, 180);
  for (int attempt = 0; attempt < 100 && FFd < 0; ++attempt) {
    FTemp = (path.parent_path() / Format(".%s.%d-%d.part", base.c_str(), int(getpid()), attempt))
                .string();
    FFd = ::open(FTemp.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (FFd < 0 && errno != EEXIST) break;
  }
  if (FFd < 0) Fail(errno);
}

TAtomicFile::~TAtomicFile() {
  if (FFd >= 0) {
    ::close(FFd);
    ::unlink(FTemp.c_str());
  }
}

void TAtomicFile::Fail(int error) {
  if (FFd >= 0) {
    ::close(FFd);
    ::unlink(FTemp.c_str());
    FFd = -1;
  }
  throw EInOutError(Format("Cannot write \"%s\": %s", FTarget.c_str(), std::strerror(error)));
}

void TAtomicFile::WriteAt(int64_t position, const void* data, size_t size) {
  const auto* p = static_cast<const uint8_t*>(data);
  while (size > 0) {
    const ssize_t written = ::pwrite(FFd, p, size, off_t(position));
    if (written < 0) {
      if (errno == EINTR) continue;
      Fail(errno);
    }
    p += written;
    size -= size_t(written);
    position += written;
  }
}

void TAtomicFile::Write(const void* data, size_t size) {
  WriteAt(FPosition, data, size);
  FPosition += int64_t(size);
}

void TAtomicFile::Commit() {
  const int closed = ::close(FFd);
  FFd = -1;
  if (closed != 0 || ::rename(FTemp.c_str(), FTarget.c_str()) != 0) {
    const int error = errno;
    ::unlink(FTemp.c_str());
    throw EInOutError(Format("Cannot write \"%s\": %s", FTarget.c_str(), std::strerror(error)));
  }
}

void CheckOverwrite(const std::string& target, bool force) {
  std::error_code error;
  if (!force && std::filesystem::exists(std::filesystem::symlink_status(target, error)))
    throw Exception(Format("\"%s\" exists; --force replaces it", target.c_str()));
}
