#pragma once
// A fresh folder under the system's temporary folder, removed again with everything in it.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

class TTempDir {
 public:
  TTempDir() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "vellicor-shell-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) std::abort();
    FPath = pattern;
  }
  ~TTempDir() {
    std::error_code ec;
    std::filesystem::permissions(FPath, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(FPath, ec);
  }
  TTempDir(const TTempDir&) = delete;
  TTempDir& operator=(const TTempDir&) = delete;

  const std::string& Path() const { return FPath; }
  std::string operator/(const std::string& name) const { return FPath + "/" + name; }

 private:
  std::string FPath;
};

inline std::string ReadText(const std::string& fileName) {
  std::ifstream in(fileName, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

inline void WriteText(const std::string& fileName, const std::string& text) {
  std::filesystem::create_directories(std::filesystem::path(fileName).parent_path());
  std::ofstream(fileName, std::ios::binary) << text;
}

// Sets an environment variable for the life of the object and puts the old value back.
class TScopedEnv {
 public:
  TScopedEnv(const char* name, const std::string& value) : FName(name) {
    if (const char* old = std::getenv(name)) {
      FHadOld = true;
      FOld = old;
    }
    ::setenv(name, value.c_str(), 1);
  }
  ~TScopedEnv() {
    if (FHadOld)
      ::setenv(FName, FOld.c_str(), 1);
    else
      ::unsetenv(FName);
  }

 private:
  const char* FName;
  bool FHadOld = false;
  std::string FOld;
};
