#pragma once
// Shared fixtures of the framework tests: the scratch folder and a process-wide console that
// records what it logs.
#include <string>
#include <utility>
#include <vector>

#include "ConsoleU.h"
#include "TempDirU.h"

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
