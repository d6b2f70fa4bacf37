#include "AtomicFileU.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace {

bool Fail(std::string* error, const std::string& what, int code) {
  if (error) *error = what + ": " + std::strerror(code);
  return false;
}

bool WriteAll(int fd, std::string_view content) {
  while (!content.empty()) {
    ssize_t written = ::write(fd, content.data(), content.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    content.remove_prefix(static_cast<size_t>(written));
  }
  return true;
}

// A symbolic link keeps pointing at the settings: replace the file it names, not the link.
std::filesystem::path ResolveTarget(const std::string& fileName) {
  std::error_code ec;
  std::filesystem::path path(fileName);
  if (std::filesystem::is_symlink(path, ec)) {
    auto resolved = std::filesystem::canonical(path, ec);
    if (!ec) return resolved;
  }
  return path;
}

void SyncFolder(const std::filesystem::path& folder) {
  int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);  // makes the rename itself durable; best effort
  ::close(fd);
}

}  // namespace

bool WriteFileAtomically(const std::string& fileName, std::string_view content,
                         std::string* error) {
  const std::filesystem::path target = ResolveTarget(fileName);
  const std::filesystem::path folder = target.parent_path();
  std::error_code ec;
  if (!folder.empty()) {
    std::filesystem::create_directories(folder, ec);
    if (ec) return Fail(error, "Cannot create folder \"" + folder.string() + "\"", ec.value());
  }
  const std::string temporary = target.string() + ".tmp";

  mode_t mode = 0666;  // narrowed by the umask, or the old file's mode below
  struct stat old {};
  if (::stat(target.c_str(), &old) == 0) mode = old.st_mode & 07777;

  int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode);
  if (fd < 0) return Fail(error, "Cannot create \"" + temporary + "\"", errno);
  bool ok = WriteAll(fd, content);
  int code = errno;
  if (ok && ::fsync(fd) != 0) {
    ok = false;
    code = errno;
  }
  if (::close(fd) != 0 && ok) {
    ok = false;
    code = errno;
  }
  if (ok && ::rename(temporary.c_str(), target.c_str()) != 0) {
    ok = false;
    code = errno;
  }
  if (!ok) {
    ::unlink(temporary.c_str());
    return Fail(error, "Cannot write \"" + target.string() + "\"", code);
  }
  SyncFolder(folder);
  return true;
}

bool ReadWholeFile(const std::string& fileName, std::string& content, size_t maxSize) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(fileName, ec)) return false;
  std::ifstream in(fileName, std::ios::binary);
  if (!in) return false;
  std::string data;
  char buffer[65536];
  while (in) {
    in.read(buffer, sizeof buffer);
    data.append(buffer, static_cast<size_t>(in.gcount()));
    if (data.size() > maxSize) return false;
  }
  if (in.bad()) return false;
  content = std::move(data);
  return true;
}
