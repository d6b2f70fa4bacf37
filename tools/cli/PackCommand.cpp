// vellicor-cli pack OUT.quv SOURCE... [--palette FILE] [--transparent-index N] [--raw] [--strict]
// [--force]: builds a Quv file back from exported pictures, each source one image, in the order
// given.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "CliCommandU.h"
#include "CliPaletteU.h"
#include "ImageLoaderU.h"
#include "QuvPackU.h"
#include "SafeFileU.h"

namespace {

struct TPackCommandOptions {
  std::string Out;
  std::vector<std::string> Sources;
  TCliPalette Palette;
  TPackOptions Pack;
  bool Force = false;
};

void RunPack(const TPackCommandOptions& options) {
  CheckOverwrite(options.Out, options.Force);
  InstallCliPalette(options.Palette);
  TQuvPacker packer(Palette, TransparentIndex, options.Pack);
  // Every source is read before the file is written: a bad one leaves nothing behind.
  for (const std::string& argument : options.Sources) packer.Add(ParsePackSource(argument));
  for (const std::string& warning : packer.Warnings())
    std::fprintf(stderr, "%s\n", warning.c_str());
  const std::vector<uint8_t> file = packer.Build();
  TAtomicFile out(options.Out);
  out.Write(file.data(), file.size());
  out.Commit();
  size_t frames = 0;
  for (const TQuvImageModel& image : packer.Images()) frames += image.Frames.size();
  std::printf("%zu image%s, %zu frame%s written to %s\n", packer.Images().size(),
              packer.Images().size() == 1 ? "" : "s", frames, frames == 1 ? "" : "s",
              options.Out.c_str());
}

}  // namespace

static TCliCommand packCommand(42, [](CLI::App& app) {
  auto options = std::make_shared<TPackCommandOptions>();
  CLI::App* command = app.add_subcommand(
      "pack",
      "Build a Quv file from exported pictures. Each SOURCE is one image: a sprite sheet's "
      "atlas NAME_sheet.json; a folder of frame files NAME_FRAME.png or .bmp with NAME_Data.txt "
      "beside them (or that text file itself); or NAME=FILE.png for a one-frame image. "
      "NAME=SOURCE names the image of any source");
  command->add_option("OUT", options->Out, "Quv file to write")->required();
  command->add_option("SOURCE", options->Sources, "sources, one image each")->required();
  AddPaletteOptions(command, options->Palette);
  command->add_flag("--raw", options->Pack.Raw, "write raw rows instead of run-length rows");
  command->add_flag("--strict", options->Pack.Strict,
                    "refuse colours that have no exact palette entry");
  command->add_flag("--force", options->Force, "replace an existing OUT");
  command->callback([options] { RunPack(*options); });
});
