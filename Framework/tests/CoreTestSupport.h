#pragma once
// Shared fixtures of the framework tests: a scratch folder under /tmp and a process-wide
// console that records what it logs.
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "ConsoleU.h"

class TTempDir {
 public:
  TTempDir() {
    std::string pattern = "/tmp/vellicor-core-XXXXXX";
    if (mkdtemp(pattern.data())) FPath = pattern;
  }
  ~TTempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(FPath, ignored);
  }
  TTempDir(const TTempDir&) = delete;
  TTempDir& operator=(const TTempDir&) = delete;

  const std::string& Path() const { return FPath; }
  std::string File(const std::string& name) const { return FPath + "/" + name; }
  std::string Write(const std::string& name, const std::string& bytes) const {
    std::ofstream out(File(name), std::ios::binary);
    out << bytes;
    return File(name);
  }
  std::string Read(const std::string& name) const {
    std::ifstream in(File(name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

 private:
  std::string FPath;
};

// Installs a fresh console as the process-wide one and records every message it logs.
class TScopedConsole {
 public:
  TScopedConsole() : FPrevious(Console) {
    FConsole.Initialize();
    FConsole.OnLog = [this](const std::string& text, uint8_t level) {
      Logged.emplace_back(level, text);
    };
    Console = &FConsole;
  }
  ~TScopedConsole() { Console = FPrevious; }
  TScopedConsole(const TScopedConsole&) = delete;
  TScopedConsole& operator=(const TScopedConsole&) = delete;

  TConsole* operator->() { return &FConsole; }
  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const auto& entry : Logged) texts.push_back(entry.second);
    return texts;
  }

  std::vector<std::pair<uint8_t, std::string>> Logged;

 private:
  TConsole FConsole;
  TConsole* FPrevious;
};
