#pragma once
// The commands and options of vellicor-cli as its manual page and its bash completion list them,
// read from the option definitions themselves, so that neither falls behind the program. The
// build asks the tool for both (--dump-commands) and fills them into the installed files.
#include <CLI/CLI.hpp>
#include <string>

// "man": the body of the manual page's COMMANDS section (roff). "bash": the completion's table,
// the shell functions _vellicor_cli_command (sub-commands, options and options taking a value
// of a command path) and _vellicor_cli_choices (the values an option names). Raises Exception
// for any other form.
std::string CliReference(const CLI::App& app, const std::string& form);
