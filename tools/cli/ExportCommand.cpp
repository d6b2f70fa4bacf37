// vellicor-cli export PATH --out DIR ... and vellicor-cli framedata PATH --image NAME --out FILE
// ...: the viewer's bitmap and frame-data exports without windows. The palette is --palette
// FILE, else "palette.pal" in the current folder, else the built-in one.
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

#include "CliCommandU.h"
#include "CliPaletteU.h"
#include "FrameExportU.h"
#include "ImageLoaderU.h"
#include "QuvSourceU.h"
#include "StringUtilsU.h"

namespace {

namespace fs = std::filesystem;

// Opens the file as a view does; its frames are drawn with the palette installed here.
TQuvSource OpenQuv(const std::string& path) {
  TQuvSource source = OpenQuvSource(path, TransparentIndex);
  source.Manager->Palette = Palette;
  return source;
}

struct TRange {
  int32_t First = 0;
  int32_t Last = INT32_MAX;
};

// "FIRST-LAST" or "N", 0-based and inclusive.
TRange ParseRange(const std::string& text) {
  TRange range;
  const size_t dash = text.find('-');
  int64_t first = 0, last = 0;
  const bool ok = dash == std::string::npos ? TryStrToInt(text, first) && (last = first, true)
                                            : TryStrToInt(text.substr(0, dash), first) &&
                                                  TryStrToInt(text.substr(dash + 1), last);
  if (!ok || first < 0 || last < first || last > INT32_MAX)
    throw Exception(Format(
        "Invalid frame range \"%s\": expected FIRST-LAST with 0 <= FIRST <= LAST", text.c_str()));
  range.First = int32_t(first);
  range.Last = int32_t(last);
  return range;
}

// Progress on a terminal only: "images done/total, frames done/total" on one stderr line.
class TProgress {
 public:
  TProgress(int32_t images, int64_t files) : FEnabled(isatty(2)), FImages(images), FFiles(files) {}
  ~TProgress() { Finish(); }
  // Ends the progress line, so that what follows starts on a line of its own.
  void Finish() {
    if (FEnabled && FShown) std::fputc('\n', stderr);
    FShown = false;
  }
  void ImageDone() {
    ++FImagesDone;
    Show();
  }
  void FileDone() {
    ++FFilesDone;
    if (FFilesDone % 16 == 0 || FFilesDone == FFiles) Show();
  }
  int64_t FilesDone() const { return FFilesDone; }

 private:
  void Show() {
    if (!FEnabled) return;
    std::fprintf(stderr, "\rimages %d/%d, frames %lld/%lld", FImagesDone, FImages,
                 (long long)FFilesDone, (long long)FFiles);
    std::fflush(stderr);
    FShown = true;
  }
  bool FEnabled;
  bool FShown = false;
  int32_t FImages, FImagesDone = 0;
  int64_t FFiles, FFilesDone = 0;
};

// How many files an export of these frames makes (sub-frame counts come from the headers).
int64_t CountFiles(const TFrontEndImage& image, TRange range, bool subFrames) {
  int64_t files = 0;
  for (int64_t i = range.First; i < image.FrameCount && i <= range.Last; ++i) {
    if (!subFrames) {
      ++files;
      continue;
    }
    const TImage& source = *image.Image;
    if (size_t(i) < source.Frames.size() && source.Frames[size_t(i)])
      files += std::max(0, source.Frames[size_t(i)]->SubFrameCount);
  }
  return files;
}

void PrepareFolder(const std::string& folder) {
  std::error_code error;
  fs::create_directories(folder, error);
  if (!fs::is_directory(folder))
    throw EInOutError(Format("Cannot create folder \"%s\"%s%s", folder.c_str(), error ? ": " : "",
                             error ? error.message().c_str() : ""));
}

struct TCommonOptions {
  std::string Path;
  std::string Out;
  std::string Frames;
  bool AutoPad = true;
  bool NoAutoPad = false;
  bool SelectedOrigin = false;
  int32_t Bits = 24;
  std::string PaletteFile;
};

void ApplyOptions(const TCommonOptions& options, TFrontEndImages& frontEnd) {
  TPixelFormat format = pf24bit;
  PixelFormatFromBits(options.Bits, format);
  frontEnd.ExportPixelFormat = format;
  frontEnd.AutoPad = !options.NoAutoPad;
  frontEnd.AutoPadUsingSelectedFrames = options.SelectedOrigin;
}

void AddCommonOptions(CLI::App* command, TCommonOptions& options) {
  command->add_option("PATH", options.Path, "Quv file")->required();
  command->add_option("--frames", options.Frames,
                      "0-based inclusive frame range FIRST-LAST (default: all frames)");
  auto* autopad = command->add_flag("--autopad", options.AutoPad,
                                    "pad frames on the left and top so hot spots line up "
                                    "(default)");
  auto* noAutopad = command->add_flag("--no-autopad", options.NoAutoPad, "do not pad frames");
  autopad->excludes(noAutopad);
  command->add_flag("--selected-origin", options.SelectedOrigin,
                    "pad to the image's largest offsets instead of those of the frames exported");
  command->add_option("--bits", options.Bits, "bits per pixel of the BMP files (default 24)")
      ->check(CLI::IsMember({1, 4, 8, 15, 16, 24, 32}));
  command->add_option("--palette", options.PaletteFile,
                      "raw 1024-byte palette (default: palette.pal here, else built in)");
}

struct TExportOptions : TCommonOptions {
  std::vector<std::string> ImageNames;
  bool SubFrames = false;
};

void RunExport(const TExportOptions& options) {
  const TRange range = options.Frames.empty() ? TRange{} : ParseRange(options.Frames);
  InstallCliPalette(options.PaletteFile);
  TQuvSource quv = OpenQuv(options.Path);
  TFrontEndImages frontEnd(quv.Images);
  ApplyOptions(options, frontEnd);

  // Every name is checked before the first file is written.
  std::vector<TFrontEndImage*> images;
  if (options.ImageNames.empty())
    for (int32_t i = 0; i < quv.Images->ImageCount; ++i) images.push_back(frontEnd.GetImage(i));
  else
    for (const std::string& name : options.ImageNames) images.push_back(frontEnd.GetImage(name));
  PrepareFolder(options.Out);

  int64_t files = 0;
  for (TFrontEndImage* image : images) files += CountFiles(*image, range, options.SubFrames);
  TProgress progress(int32_t(images.size()), files);
  frontEnd.OnFileWritten = [&progress](const std::string&) { progress.FileDone(); };
  for (TFrontEndImage* image : images) {
    if (options.SubFrames)
      image->ExportImageSubFrameRange(range.First, range.Last, SubFrameNameFormat, options.Out, 0,
                                      INT32_MAX);
    else
      image->ExportFrameRange(range.First, range.Last, FrameNameFormat, options.Out);
    progress.ImageDone();
  }
  progress.Finish();
  const int64_t written = progress.FilesDone();
  std::printf("%lld file%s written to %s\n", (long long)written, written == 1 ? "" : "s",
              options.Out.c_str());
}

struct TFrameDataOptions : TCommonOptions {
  std::string ImageName;
  int32_t Type = 0;
  std::string SubFrameFolder;
};

void RunFrameData(const TFrameDataOptions& options) {
  const TRange range = options.Frames.empty() ? TRange{} : ParseRange(options.Frames);
  InstallCliPalette(options.PaletteFile);
  TQuvSource quv = OpenQuv(options.Path);
  TFrontEndImages frontEnd(quv.Images);
  ApplyOptions(options, frontEnd);
  frontEnd.FrameDataExportType = uint8_t(options.Type);
  frontEnd.ExportFrameWhenExportFrameData = !options.SubFrameFolder.empty();
  TFrontEndImage* image = frontEnd.GetImage(options.ImageName);
  if (!options.SubFrameFolder.empty()) PrepareFolder(options.SubFrameFolder);

  const int64_t files = 1 + (options.SubFrameFolder.empty() ? 0 : CountFiles(*image, range, true));
  TProgress progress(1, files);
  frontEnd.OnFileWritten = [&progress](const std::string&) { progress.FileDone(); };
  image->WriteFramesData(range.First, range.Last, image->DefaultNameSource(),
                         options.SubFrameFolder, options.Out);
  progress.ImageDone();
}

}  // namespace

static TCliCommand exportCommand(40, [](CLI::App& app) {
  auto options = std::make_shared<TExportOptions>();
  CLI::App* command = app.add_subcommand(
      "export",
      "Export frames (or sub-frames) of the named images, or of every image, as BMP files named "
      "IMAGE_FRAME.bmp or IMAGE_FRAME_SUBFRAME.bmp");
  AddCommonOptions(command, *options);
  command->add_option("--out", options->Out, "folder for the BMP files")->required();
  command->add_option("--image", options->ImageNames, "image to export (repeatable; default all)");
  command->add_flag("--subframes", options->SubFrames,
                    "export the sub-frames of each frame in range instead of the frames");
  command->callback([options] { RunExport(*options); });
});

static TCliCommand frameDataCommand(41, [](CLI::App& app) {
  auto options = std::make_shared<TFrameDataOptions>();
  CLI::App* command = app.add_subcommand(
      "framedata", "Write an image's frame data (offsets, sizes, BMP names) as a text file");
  AddCommonOptions(command, *options);
  command->add_option("--image", options->ImageName, "image")->required();
  command->add_option("--out", options->Out, "text file to write")->required();
  command
      ->add_option("--type", options->Type,
                   "0 offsets, 1 offsets and sizes, 2 also BMP names (default 0)")
      ->check(CLI::Range(0, 2));
  command->add_option("--write-subframes", options->SubFrameFolder,
                      "also write the sub-frame bitmaps into this folder");
  command->callback([options] { RunFrameData(*options); });
});
