// vellicor-cli ls DIR [MASK] [--origin] [--hidden]: mounts a folder (sub-folders and archives
// included) into a fresh virtual file system and prints its tree, one path a line; with
// --origin each file says which archive or folder provides it, and --hidden adds the copies of
// the same name that it hides.
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

// As PrintTree, each file line followed by a tab and its origin; with hidden, each copy it
// hides on a line of its own below it, marked.
void PrintTreeWithOrigins(TGameFolder& game, bool hidden) {
  VisitTree(game.Root(), [&game, hidden](TEntry& node, const std::string& path) {
    if (node.IsDirectory()) {
      std::printf("%s/\n", path.c_str());
      return TWalkStep::Continue;
    }
    const auto& file = static_cast<const TFileEntry&>(node);
    std::printf("%s\t%" PRId64 "\t%s\n", path.c_str(), file.Size, game.OriginName(file).c_str());
    if (hidden) {
      for (const TFileEntry* copy : TGameFolder::HiddenCopies(file))
        std::printf("%s\t%" PRId64 "\t%s\t(hidden)\n", path.c_str(), copy->Size,
                    game.OriginName(*copy).c_str());
    }
    return TWalkStep::Continue;
  });
}

struct TLsOptions {
  std::string Folder;
  std::string Mask = "*";
  bool Origin = false;
  bool Hidden = false;
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
  command->add_flag("--origin", options->Origin,
                    "after each file's size a tab and its origin: the archive (\"mods/extra.ufo\") "
                    "or the folder (\"units/\", \"./\") that provides it");
  command->add_flag("--hidden", options->Hidden,
                    "as --origin, and below each file the copies of the same name it hides, "
                    "next in line first, each as PATH<TAB>SIZE<TAB>ORIGIN<TAB>(hidden)");
  command->callback([options] {
    if (options->Origin || options->Hidden) {
      TGameFolder game(options->Folder, options->Mask);
      PrintTreeWithOrigins(game, options->Hidden);
    } else {
      std::unique_ptr<TFileSystem> fileSystem = MakeArchiveFileSystem();
      MountFolderTree(*fileSystem, options->Folder, options->Mask);
      if (TDirEntry* root = fileSystem->Root()) PrintTree(*root);
    }
    std::fflush(stdout);
  });
});
