// vellicor-cli hpi pack OUT.hpi FOLDER [--compression none|lz77|zlib] [--key K] [--level N]
// [--force]: an archive of a folder's whole tree. Joins the "hpi" command of HpiCommand.cpp.
#include <cstdio>
#include <memory>
#include <string>

#include "CliCommandU.h"
#include "ExceptionsU.h"
#include "HpiPackU.h"
#include "SafeFileU.h"
#include "StringUtilsU.h"

namespace {

struct THpiPackCommandOptions {
  std::string Out;
  std::string Folder;
  std::string Compression = "zlib";
  uint32_t Key = 0;
  int Level = 6;
  bool Force = false;
};

// The reader multiplies the key by 4 in signed 32 bits and refuses what overflows.
constexpr uint32_t MaxHeaderKey = 0x1FFFFFFF;

void RunHpiPack(const THpiPackCommandOptions& options) {
  if (options.Key > MaxHeaderKey)
    throw Exception(Format("--key 0x%08X is too large: readers take keys up to 0x%08X", options.Key,
                           MaxHeaderKey));
  CheckOverwrite(options.Out, options.Force);
  THpiPackOptions pack;
  pack.Compression = options.Compression == "none"   ? THpiPackCompression::None
                     : options.Compression == "lz77" ? THpiPackCompression::LZ77
                                                     : THpiPackCompression::ZLib;
  pack.HeaderKey = options.Key;
  pack.ZLibLevel = options.Level;
  const THpiPackTree root = ScanHpiFolder(options.Folder);
  const THpiPackResult result = WriteHpiArchive(root, options.Out, pack);
  std::printf("%lld files (%lld bytes) packed into %s (%lld bytes)\n", (long long)result.Files,
              (long long)result.Bytes, options.Out.c_str(), (long long)result.ArchiveBytes);
}

}  // namespace

// After the "hpi" command exists (order 40).
static TCliCommand hpiPackCommand(45, [](CLI::App& app) {
  auto options = std::make_shared<THpiPackCommandOptions>();
  CLI::App* hpi = app.get_subcommand("hpi");
  hpi->description("List, unpack or pack an HPI archive");
  CLI::App* pack = hpi->add_subcommand(
      "pack",
      "Write an archive of a folder's whole tree, names as on disk, files in 65,536-byte "
      "chunks. Files of 2 GiB or more, names an archive cannot hold (a backslash, names equal "
      "but for case), symbolic links that leave the folder and folders of more than 65,535 "
      "entries are refused before anything is written");
  pack->add_option("OUT", options->Out, "archive to write")->required();
  pack->add_option("FOLDER", options->Folder, "folder to pack")->required();
  pack->add_option("--compression", options->Compression, "none, lz77 or zlib (default zlib)")
      ->check(CLI::IsMember({"none", "lz77", "zlib"}));
  pack->add_option("--key", options->Key, "header key scrambling the archive (default 0: none)");
  pack->add_option("--level", options->Level, "zlib level 1 to 9 (default 6)")
      ->check(CLI::Range(1, 9));
  pack->add_flag("--force", options->Force, "replace an existing OUT");
  pack->callback([options] { RunHpiPack(*options); });
});
