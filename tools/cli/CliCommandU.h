#pragma once
// Each command of vellicor-cli lives in its own file and registers itself here, so commands can
// be added without touching main.
#include <CLI/CLI.hpp>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "ExceptionsU.h"
#include "StringUtilsU.h"

// A registrar adds its sub-command to the application. The sub-command's callback does the
// work; errors are raised as exceptions, which main reports on standard error with exit 1.
using TCliRegistrar = std::function<void(CLI::App& app)>;

struct TCliCommand {
  TCliCommand(int order, TCliRegistrar registrar);
};

struct TCliRegistration {
  int Order;
  TCliRegistrar Registrar;
};
std::vector<TCliRegistration>& CliRegistrations();

// Exit status a command may set for itself (0 unless set).
int& CliExitCode();

// Refuses (Exception) to replace an existing file, or a link standing at its name, unless force
// is given.
inline void CheckOverwrite(const std::string& target, bool force) {
  std::error_code error;
  if (!force && std::filesystem::exists(std::filesystem::symlink_status(target, error)))
    throw Exception(Format("\"%s\" exists; --force replaces it", target.c_str()));
}
