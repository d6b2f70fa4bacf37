#include "AtomicFileU.h"

#include <filesystem>
#include <system_error>

#include "SafeFileU.h"

namespace {

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

}  // namespace

bool WriteFileAtomically(const std::string& fileName, std::string_view content,
                         std::string* error) {
  try {
    WriteFileAtomically(ResolveTarget(fileName).string(), content, TDurability::Synced);
    return true;
  } catch (const std::exception& e) {
    if (error) *error = e.what();
    return false;
  }
}

bool ReadWholeFile(const std::string& fileName, std::string& content, size_t maxSize) {
  try {
    content = ReadRegularFile(fileName, maxSize);
    return true;
  } catch (const std::exception&) {
    return false;
  }
}
