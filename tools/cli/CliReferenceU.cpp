#include "CliReferenceU.h"

#include <cstdio>
#include <string_view>
#include <vector>

#include "ExceptionsU.h"
#include "StringUtilsU.h"

namespace {

struct TCommand {
  std::string Path;  // "hpi pack"; empty for the program itself
  const CLI::App* App;
};

// The commands right below app, in the order they were added; hidden ones (no group) left out,
// as --help leaves them out.
std::vector<const CLI::App*> Subcommands(const CLI::App& app) {
  return app.get_subcommands([](const CLI::App* c) { return !c->get_group().empty(); });
}

// The program and every command below it, depth first.
void CollectCommands(const CLI::App& app, const std::string& path, std::vector<TCommand>& out) {
  out.push_back({path, &app});
  for (const CLI::App* sub : Subcommands(app))
    CollectCommands(*sub, path.empty() ? sub->get_name() : path + " " + sub->get_name(), out);
}

std::vector<const CLI::Option*> Positionals(const CLI::App& app) {
  return app.get_options([](const CLI::Option* o) { return !o->nonpositional(); });
}

// The named options a user may type, --help included; hidden ones (no group) left out.
std::vector<const CLI::Option*> NamedOptions(const CLI::App& app) {
  return app.get_options(
      [](const CLI::Option* o) { return o->nonpositional() && !o->get_group().empty(); });
}

bool TakesValue(const CLI::Option& option) {
  return option.get_items_expected_max() > 0;
}

std::string LongName(const CLI::Option& option) {
  return option.get_lnames().empty() ? "-" + option.get_snames().front()
                                     : "--" + option.get_lnames().front();
}

// The values an option names: the members of a set ("TEXT:{bmp,png}") or the numbers of a small
// range ("INT:INT in [0 - 2]").
std::vector<std::string> Choices(const CLI::Option& option) {
  const std::string type = option.get_type_name();
  const size_t open = type.find('{'), close = type.find('}');
  if (open != std::string::npos && close > open)
    return SplitString(std::string_view(type).substr(open + 1, close - open - 1), ',');
  const size_t range = type.find(" in [");
  long long first = 0, last = 0;
  std::vector<std::string> numbers;
  if (range != std::string::npos &&
      std::sscanf(type.c_str() + range, " in [%lld - %lld]", &first, &last) == 2 && last >= first &&
      last - first < 16)
    for (long long n = first; n <= last; ++n) numbers.push_back(std::to_string(n));
  return numbers;
}

std::string Join(const std::vector<std::string>& words, const std::string& separator) {
  std::string text;
  for (const std::string& word : words) text += (text.empty() ? "" : separator) + word;
  return text;
}

// ---- the manual page ----

// Text as roff prints it: backslashes and minus signs escaped, no line taken for a request.
std::string Roff(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == '\\')
      out += "\\e";
    else if (c == '-')
      out += "\\-";
    else
      out += c;
  }
  if (!out.empty() && (out[0] == '.' || out[0] == '\'')) out.insert(0, "\\&");
  return out;
}

std::string Bold(std::string_view text) {
  return "\\fB" + Roff(text) + "\\fR";
}
std::string Italic(std::string_view text) {
  return "\\fI" + Roff(text) + "\\fR";
}

// "path", "[mask]", "input ...", "[mask ...]".
std::string PositionalSynopsis(const CLI::Option& option) {
  std::string text = Italic(LowerCase(option.get_name()));
  if (option.get_expected_max() > 1) text += " ...";
  return option.get_required() ? text : "[" + text + "]";
}

// "--bits 1|4|8", "--frames frames", "--jobs n", "--json".
std::string OptionSynopsis(const CLI::Option& option) {
  std::string text = Bold(LongName(option));
  if (!TakesValue(option)) return text;
  const std::vector<std::string> choices = Choices(option);
  if (!choices.empty()) {
    std::vector<std::string> bold;
    for (const std::string& choice : choices) bold.push_back(Bold(choice));
    return text + " " + Join(bold, "|");
  }
  const std::string type = option.get_type_name().substr(0, option.get_type_name().find(':'));
  const bool number = type == "INT" || type == "UINT" || type == "FLOAT" || type == "NUMBER";
  return text + " " + Italic(number ? "n" : option.get_lnames().front());
}

void ManCommand(const TCommand& command, std::string& out) {
  const CLI::App& app = *command.App;
  std::string synopsis = Bold("vellicor-cli " + command.Path);
  bool optional = false;
  for (const CLI::Option* positional : Positionals(app))
    synopsis += " " + PositionalSynopsis(*positional);
  for (const CLI::Option* option : NamedOptions(app)) {
    if (option == app.get_help_ptr()) continue;
    if (option->get_required())
      synopsis += " " + OptionSynopsis(*option);
    else
      optional = true;
  }
  if (optional) synopsis += " [" + Italic("options") + "]";
  const std::string description = app.get_description();
  out += ".SS \"" + Roff(command.Path) + "\"\n" + synopsis + "\n.br\n" + Roff(description) +
         (description.ends_with('.') ? "\n" : ".\n");
  for (const CLI::Option* positional : Positionals(app))
    out += ".TP\n" + Italic(LowerCase(positional->get_name())) + "\n" +
           Roff(positional->get_description()) + "\n";
  for (const CLI::Option* option : NamedOptions(app))
    if (option != app.get_help_ptr())
      out += ".TP\n" + OptionSynopsis(*option) + "\n" + Roff(option->get_description()) + "\n";
}

std::string ManReference(const std::vector<TCommand>& commands) {
  std::string out;
  for (const TCommand& command : commands)
    if (!command.Path.empty() && Subcommands(*command.App).empty()) ManCommand(command, out);
  return out;
}

// ---- the bash completion ----

std::string BashReference(const std::vector<TCommand>& commands) {
  std::string table, choices;
  for (const TCommand& command : commands) {
    std::vector<std::string> subs, options, valued;
    for (const CLI::App* sub : Subcommands(*command.App)) subs.push_back(sub->get_name());
    for (const CLI::Option* option : NamedOptions(*command.App)) {
      std::vector<std::string> names;
      for (const std::string& name : option->get_snames()) names.push_back("-" + name);
      for (const std::string& name : option->get_lnames()) names.push_back("--" + name);
      options.insert(options.end(), names.begin(), names.end());
      if (!TakesValue(*option)) continue;
      valued.insert(valued.end(), names.begin(), names.end());
      const std::vector<std::string> values = Choices(*option);
      if (!values.empty())
        choices += "    \"" + command.Path + " " + LongName(*option) + "\") echo \"" +
                   Join(values, " ") + "\" ;;\n";
    }
    table += "    \"" + command.Path + "\")\n      commands=\"" + Join(subs, " ") +
             "\"\n      options=\"" + Join(options, " ") + "\"\n      valued=\"" +
             Join(valued, " ") + "\"\n      ;;\n";
  }
  return "# The sub-commands, options and options taking a value of the command path $1.\n"
         "_vellicor_cli_command() {\n  commands=\"\" options=\"\" valued=\"\"\n  case \"$1\" in\n" +
         table +
         "  esac\n}\n\n"
         "# The values option $2 of command path $1 accepts, where it names them.\n"
         "_vellicor_cli_choices() {\n  case \"$1 $2\" in\n" +
         choices + "  esac\n}\n";
}

}  // namespace

std::string CliReference(const CLI::App& app, const std::string& form) {
  std::vector<TCommand> commands;
  CollectCommands(app, "", commands);
  if (form == "man") return ManReference(commands);
  if (form == "bash") return BashReference(commands);
  throw Exception(Format("Unknown reference form \"%s\": expected man or bash", form.c_str()));
}
