// vellicor-cli find DIR PATTERN [--images] [--json]: mounts a folder as ls does and finds files
// by name, and with --images Quv files by the names of their images.
#include <nlohmann/json.hpp>

#include <cstdio>
#include <memory>
#include <string>

#include "CliCommandU.h"
#include "GameFolderU.h"
#include "GameSearchU.h"
#include "ImageNameIndexU.h"

namespace {

struct TFindOptions {
  std::string Folder;
  std::string Pattern;
  bool Images = false;
  bool Json = false;
};

std::string JoinNames(const std::vector<std::string>& names) {
  std::string joined;
  for (const std::string& name : names) joined += (joined.empty() ? "" : ",") + name;
  return joined;
}

void PrintText(const std::vector<TGameSearchResult>& results, bool images) {
  for (const TGameSearchResult& result : results) {
    std::string line = result.Path + '\t' + result.Origin;
    if (images && !result.Images.empty()) line += '\t' + JoinNames(result.Images);
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), stdout);
  }
}

// [{"path", "origin", "open", "images": [...]}], as nlohmann's dump(2) writes it.
void PrintJson(const std::vector<TGameSearchResult>& results) {
  nlohmann::ordered_json json = nlohmann::ordered_json::array();
  for (const TGameSearchResult& result : results)
    json.push_back({{"path", result.Path},
                    {"origin", result.Origin},
                    {"open", result.OpenPath},
                    {"images", result.Images}});
  const std::string text =
      json.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + '\n';
  std::fwrite(text.data(), 1, text.size(), stdout);
}

void Find(const TFindOptions& options) {
  TGameFolder game(options.Folder);
  const TGameSearch search(game);
  std::shared_ptr<TImageNameIndex> index;
  if (options.Images) {
    index = TImageNameIndex::Build(game);
    // A file that cannot be read is named and the search goes on without it.
    for (const TImageNameRecord& record : index->Records())
      if (!record.Error.empty())
        std::fprintf(stderr, "%s (from %s)\n", record.Error.c_str(),
                     game.OriginName(*record.File).c_str());
  }
  const std::vector<TGameSearchResult> results = search.Find(options.Pattern, index.get());
  if (options.Json)
    PrintJson(results);
  else
    PrintText(results, options.Images);
  std::fflush(stdout);
  CliExitCode() = results.empty() ? 1 : 0;
}

}  // namespace

static TCliCommand findCommand(22, [](CLI::App& app) {
  auto options = std::make_shared<TFindOptions>();
  CLI::App* command = app.add_subcommand(
      "find",
      "Mount a folder as ls does and find files by name (a part of the path, or a mask with "
      "* ? [ ] matched against the file name, or the whole path when it holds a \"/\"; letter "
      "case does not matter): one file a line, PATH<TAB>ORIGIN, and with --images "
      "<TAB>IMAGE,IMAGE... when image names match. Exit status 0 when something is found, "
      "1 when nothing is, 2 on an error");
  command->add_option("DIR", options->Folder, "folder to mount")->required();
  command->add_option("PATTERN", options->Pattern, "part of a name, or a mask")->required();
  command->add_flag("--images", options->Images,
                    "also find Quv files by the names of their images (read from the headers "
                    "of every *.quv file; one that cannot be read is named on standard error)");
  command->add_flag("--json", options->Json,
                    "a JSON array of {\"path\", \"origin\", \"open\", \"images\"} instead");
  command->callback([options] {
    try {
      Find(*options);
    } catch (const std::exception& error) {
      std::fflush(stdout);
      std::fprintf(stderr, "%s\n", error.what());
      CliExitCode() = 2;
    }
  });
});
