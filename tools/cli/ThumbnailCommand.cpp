// vellicor-cli thumbnail INPUT OUTPUT --size N: the picture file managers show for Quv files and
// HPI archives, run by the installed thumbnailer entry on whatever file it meets.
#include <csignal>
#include <exception>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <unistd.h>

#include "BatchConvertU.h"
#include "CliCommandU.h"
#include "CliPaletteU.h"
#include "ImageLoaderU.h"
#include "QuvSourceU.h"
#include "SafeFileU.h"
#include "StringUtilsU.h"
#include "ThumbnailU.h"

namespace {

// Reading is bounded by what the file holds; this is the last guard, and it fires before
// anything is written.
constexpr unsigned DeadlineSeconds = 10;

void GiveUp(int) {
  static const char message[] = "Thumbnail given up after 10 seconds\n";
  [[maybe_unused]] const ssize_t written = ::write(2, message, sizeof message - 1);
  ::_exit(1);
}

// The Quv file a thumbnail shows: the input itself, or the first Quv file (in name order) of an
// archive (told by its first bytes) or of a folder inside one.
std::string QuvFileOf(const std::string& input) {
  std::error_code error;
  if (std::filesystem::is_directory(ToDiskPath(input), error))
    throw EInOutError(Format("\"%s\" is a folder, not a file", input.c_str()));
  const TConvertBatch batch = CollectConvertItems({input}, true);
  if (!batch.Failures.empty()) throw EInOutError(batch.Failures.front().Reason);
  if (batch.Items.empty()) throw EImageFileError(Format("\"%s\" holds no Quv file", input.c_str()));
  return batch.Items.front().Source;
}

struct TThumbnailOptions {
  std::string Input;
  std::string Output;
  int32_t Size = 0;
  TCliPalette Palette;
};

void RunThumbnail(const TThumbnailOptions& options) {
  std::signal(SIGALRM, GiveUp);
  ::alarm(DeadlineSeconds);
  // The desktop runs thumbnailers from any folder: the built-in palette, never a palette.pal
  // that happens to lie there.
  InstallBuiltInPalette(options.Palette);
  std::vector<uint8_t> png;
  try {
    png = ThumbnailPng(*OpenQuvSource(QuvFileOf(options.Input))->Images, options.Size);
  } catch (const std::exception& e) {
    // The desktop logs what thumbnailers say: name the file it asked about.
    throw Exception(Format("No thumbnail of \"%s\": %s", options.Input.c_str(), e.what()));
  }
  ::alarm(0);
  // A thumbnail service may create the output, keep it open and read the picture back through
  // its descriptor: an existing file gets the picture in place, not a new file renamed over it.
  ReplaceFileContent(options.Output,
                     std::string_view(reinterpret_cast<const char*>(png.data()), png.size()));
}

}  // namespace

static TCliCommand thumbnailCommand(50, [](CLI::App& app) {
  auto options = std::make_shared<TThumbnailOptions>();
  CLI::App* command = app.add_subcommand(
      "thumbnail",
      "Write the first frame of the first image (in name order) of a Quv file, or of the first "
      "Quv file of an HPI archive, as a PNG of at most N x N pixels with a transparent "
      "background");
  command->add_option("INPUT", options->Input, "Quv file, HPI archive or archive path")->required();
  command->add_option("OUTPUT", options->Output, "PNG file to write")->required();
  command
      ->add_option(
          "--size", options->Size,
          Format("longest side in pixels, 1 to 65535; at most %d are drawn", MaxThumbnailSize))
      ->required()
      ->check(CLI::Range(1, 65535));
  AddTransparentIndexOption(command, options->Palette);
  command->callback([options] { RunThumbnail(*options); });
});
