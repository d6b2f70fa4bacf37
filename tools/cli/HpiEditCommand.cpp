// vellicor-cli hpi add ARCHIVE SOURCE... [--to INNER-FOLDER] [--compression none|lz77|zlib],
// hpi rm ARCHIVE INNER-PATH... and hpi mv ARCHIVE FROM TO: an archive changed in place, in one
// atomic rewrite that copies every entry it does not touch as it is stored. Joins the "hpi"
// command of HpiCommand.cpp.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "ArchiveEditsU.h"
#include "CliCommandU.h"

namespace {

struct THpiEditOptions {
  std::string Archive;
  std::vector<std::string> Paths;  // add: disk sources; rm: inner paths
  std::string Folder;              // add: --to
  std::string Compression = "lz77";
  std::string From, To;  // mv
};

THpiPackCompression CompressionNamed(const std::string& name) {
  return name == "none"   ? THpiPackCompression::None
         : name == "zlib" ? THpiPackCompression::ZLib
                          : THpiPackCompression::LZ77;
}

void RunAdd(const THpiEditOptions& options) {
  TArchiveEdits edits(options.Archive);
  edits.SetCompression(CompressionNamed(options.Compression));
  int files = 0;
  for (const std::string& source : options.Paths)
    files += edits.AddFromDisk(source, options.Folder);
  edits.Save();
  std::printf("%d %s added to %s\n", files, files == 1 ? "file" : "files", options.Archive.c_str());
}

void RunRemove(const THpiEditOptions& options) {
  TArchiveEdits edits(options.Archive);
  for (const std::string& path : options.Paths) edits.Delete(path);
  edits.Save();
  std::printf("%zu %s removed from %s\n", options.Paths.size(),
              options.Paths.size() == 1 ? "entry" : "entries", options.Archive.c_str());
}

void RunMove(const THpiEditOptions& options) {
  TArchiveEdits edits(options.Archive);
  edits.Rename(options.From, options.To);
  edits.Save();
  std::printf("%s moved to %s in %s\n", options.From.c_str(), options.To.c_str(),
              options.Archive.c_str());
}

}  // namespace

// After the "hpi" command exists (order 40).
static TCliCommand hpiEditCommand(46, [](CLI::App& app) {
  auto options = std::make_shared<THpiEditOptions>();
  CLI::App* hpi = app.get_subcommand("hpi");
  hpi->description("List, unpack, pack or change an HPI archive");
  constexpr const char* InPlace =
      " The archive is rewritten under a temporary name and renamed over the old one; entries "
      "not changed keep their stored bytes. Names that would leave the archive (\"..\", \".\", "
      "empty parts, absolute paths) are refused, and on any error nothing is written";

  CLI::App* add = hpi->add_subcommand(
      "add", std::string("Put disk files and folders into an archive: a folder goes in by its "
                         "name with everything below it (symbolic links that leave it are "
                         "refused), a file by its name; a file already there is replaced and "
                         "keeps its storage.") +
                 InPlace);
  add->add_option("ARCHIVE", options->Archive, "HPI archive to change")->required();
  add->add_option("SOURCE", options->Paths, "files and folders to add")->required();
  add->add_option("--to", options->Folder, "folder inside the archive (default: its root)");
  add->add_option("--compression", options->Compression,
                  "none, lz77 or zlib, for new entries (default lz77)")
      ->check(CLI::IsMember({"none", "lz77", "zlib"}));
  add->callback([options] { RunAdd(*options); });

  CLI::App* rm = hpi->add_subcommand(
      "rm", std::string("Remove files and folders (with everything below them) from an "
                        "archive.") +
                InPlace);
  rm->add_option("ARCHIVE", options->Archive, "HPI archive to change")->required();
  rm->add_option("INNER-PATH", options->Paths, "entries to remove, \"/\" between names")
      ->required();
  rm->callback([options] { RunRemove(*options); });

  CLI::App* mv = hpi->add_subcommand(
      "mv", std::string("Rename or move a file or folder inside an archive; missing folders "
                        "of TO are made, an existing TO is refused.") +
                InPlace);
  mv->add_option("ARCHIVE", options->Archive, "HPI archive to change")->required();
  mv->add_option("FROM", options->From, "entry to move, \"/\" between names")->required();
  mv->add_option("TO", options->To, "its new path")->required();
  mv->callback([options] { RunMove(*options); });
});
