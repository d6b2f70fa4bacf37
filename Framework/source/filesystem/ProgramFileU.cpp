#include "ProgramFileU.h"

#include <unistd.h>

#include "StringUtilsU.h"

std::string ProgramFilePath() {
  std::string buffer(4096, '\0');
  const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
  if (length <= 0) return std::string();
  buffer.resize(static_cast<size_t>(length));
  return buffer;
}

std::string ProgramFileName() {
  return ExtractFileName(ProgramFilePath());
}
