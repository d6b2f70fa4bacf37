#pragma once
// Each command of vellicor-cli lives in its own file and registers itself here, so commands can
// be added without touching main.
#include <CLI/CLI.hpp>
#include <functional>
#include <string>
#include <vector>

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
