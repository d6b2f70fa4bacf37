#include "TempDirU.h"

#include <stdlib.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

TTempDir::TTempDir(const std::string& tag) {
  std::string pattern = (fs::temp_directory_path() / ("vellicor-" + tag + "-XXXXXX")).string();
  // Without a scratch folder no test can mean anything.
  if (!::mkdtemp(pattern.data())) std::abort();
  FPath = pattern;
}

TTempDir::~TTempDir() {
  std::error_code ignored;
  for (auto it = fs::recursive_directory_iterator(FPath, ignored);
       it != fs::recursive_directory_iterator(); it.increment(ignored)) {
    if (it->is_directory(ignored) && !it->is_symlink(ignored))
      fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
  }
  fs::permissions(FPath, fs::perms::owner_all, fs::perm_options::add, ignored);
  fs::remove_all(FPath, ignored);
}

std::string TTempDir::Write(const std::string& name, const std::string& bytes) const {
  const fs::path path = FPath / name;
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
  return path.string();
}

std::string TTempDir::Read(const std::string& name) const {
  std::ifstream in(FPath / name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> TTempDir::List() const {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(FPath)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}
