#pragma once
// What the shell tests share: the scratch folder, whole-file text reads and writes, and a
// scoped environment variable.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "TempDirU.h"

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
