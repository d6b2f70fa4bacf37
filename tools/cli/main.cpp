// vellicor-cli: the command-line face of the data side.
#include <algorithm>
#include <cstdio>
#include <exception>

#include "CliCommandU.h"
#include "CliReferenceU.h"
#include "MapFileU.h"
#include "VellicorVersion.h"

std::vector<TCliRegistration>& CliRegistrations() {
  static std::vector<TCliRegistration> registrations;
  return registrations;
}

TCliCommand::TCliCommand(int order, TCliRegistrar registrar) {
  CliRegistrations().push_back({order, std::move(registrar)});
}

int& CliExitCode() {
  static int code = 0;
  return code;
}

int main(int argc, char** argv) {
  // Assertion reports name unit, routine and line from the map beside the program when there
  // is one.
  LoadProgramMapFile();
  CLI::App app{"vellicor-cli: list, unpack and export Quv sprite files and HPI archives"};
  app.require_subcommand(1);
  app.set_version_flag("--version", "vellicor-cli " VELLICOR_VERSION_STRING);
  auto& registrations = CliRegistrations();
  std::stable_sort(registrations.begin(), registrations.end(),
                   [](const auto& a, const auto& b) { return a.Order < b.Order; });
  for (auto& registration : registrations) registration.Registrar(app);
  // Hidden: the build writes the manual page's command list and the bash completion from it.
  app.add_option_function<std::string>(
         "--dump-commands",
         [&app](const std::string& form) {
           std::fputs(CliReference(app, form).c_str(), stdout);
           throw CLI::Success();
         },
         "print the commands and options for the manual page (man) or the completion (bash)")
      ->group("");
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  return CliExitCode();
}
