// vellicor-cli ls DIR [MASK]: mounts a folder (sub-folders and archives included) into a fresh
// virtual file system and prints its tree, one path a line.
#include <cinttypes>
#include <cstdio>
#include <memory>
#include <string>

#include "ArchiveLoadersU.h"
#include "CliCommandU.h"
#include "GameFolderU.h"

namespace {

void PrintTree(TDirEntry& root) {
  VisitTree(root, [](TEntry& node, const std::string& path) {
    if (node.IsDirectory())
      std::printf("%s/\n", path.c_str());
    else
      std::printf("%s\t%" PRId64 "\n", path.c_str(), static_cast<TFileEntry&>(node).Size);
    return TWalkStep::Continue;
  });
}

struct TLsOptions {
  std::string Folder;
  std::string Mask = "*";
};

}  // namespace

static TCliCommand lsCommand(20, [](CLI::App& app) {
  auto options = std::make_shared<TLsOptions>();
  CLI::App* command = app.add_subcommand(
      "ls",
      "Mount a folder with its sub-folders (and the archives in them) and list the tree: "
      "one path a line, folders ending in \"/\", files followed by a tab and their size");
  command->add_option("DIR", options->Folder, "folder to mount")->required();
  command->add_option("MASK", options->Mask, "mask of the files to take (default \"*\")");
  command->callback([options] {
    std::unique_ptr<TFileSystem> fileSystem = MakeArchiveFileSystem();
    MountFolderTree(*fileSystem, options->Folder, options->Mask);
    if (TDirEntry* root = fileSystem->Root()) PrintTree(*root);
    std::fflush(stdout);
  });
});
