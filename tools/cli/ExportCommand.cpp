// vellicor-cli export PATH --out DIR ..., vellicor-cli convert INPUT... --out DIR ... and
// vellicor-cli framedata PATH --image NAME --out FILE ...: the viewer's exports (BMP, PNG,
// indexed PNG, GIF, APNG, sprite sheets) and frame-data files without windows. The palette is
// --palette FILE, else "palette.pal" in the current folder, else the built-in one (CliPaletteU).
#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

#include "CliCommandU.h"
#include "CliFrameRangeU.h"
#include "CliPaletteU.h"
#include "ConvertReportU.h"
#include "FrameExportU.h"
#include "GifWriterU.h"
#include "ImageExportU.h"
#include "ImageLoaderU.h"
#include "QuvConvertU.h"
#include "QuvSourceU.h"
#include "StringUtilsU.h"

namespace {

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

struct TCommonOptions {
  std::string Path;
  std::string Out;
  std::string Frames;
  bool AutoPad = true;
  bool NoAutoPad = false;
  bool SelectedOrigin = false;
  int32_t Bits = 24;
  TCliPalette Palette;
};

// The padding, pixel format and palette of the options (the palette installed already).
TConvertSettings SettingsOf(const TCommonOptions& options) {
  TConvertSettings settings;
  PixelFormatFromBits(options.Bits, settings.BmpFormat);
  settings.AutoPad = !options.NoAutoPad;
  settings.SelectedOrigin = options.SelectedOrigin;
  settings.Palette = Palette;
  settings.TransparentIndex = TransparentIndex;
  return settings;
}

void AddCommonOptions(CLI::App* command, TCommonOptions& options, bool withPath = true) {
  if (withPath) command->add_option("PATH", options.Path, "Quv file")->required();
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
  AddPaletteOptions(command, options.Palette);
}

struct TExportOptions : TCommonOptions {
  std::vector<std::string> ImageNames;
  bool SubFrames = false;
  std::string Format = "bmp";
  int32_t Scale = 1;
  int32_t Columns = 0;
  int32_t Speed = TExportFormatOptions::DefaultSpeed;
};

void AddFormatOptions(CLI::App* command, TExportOptions& options) {
  command->add_option("--image", options.ImageNames, "image to export (repeatable; default all)");
  command->add_flag("--subframes", options.SubFrames,
                    "export the sub-frames of each frame in range instead of the frames (bmp, "
                    "png, png8)");
  command
      ->add_option("--format", options.Format,
                   "bmp, png (RGBA), png8 (indexed), gif, apng (one animation per image) or "
                   "sheet (PNG sheet and JSON atlas per image); default bmp")
      ->check(CLI::IsMember({"bmp", "png", "png8", "gif", "apng", "sheet"}, CLI::ignore_case));
  command
      ->add_option("--scale", options.Scale,
                   "every pixel an N x N block, 1 to 16 (not for bmp; default 1)")
      ->check(CLI::Range(1, TExportFormatOptions::MaxScale));
  command
      ->add_option("--columns", options.Columns, "columns of a sprite sheet (default near square)")
      ->check(CLI::PositiveNumber);
  command
      ->add_option("--speed", options.Speed,
                   "milliseconds per frame of animations and atlas durations (default 67)")
      ->check(CLI::Range(1, 65535));
}

// The format options, checked against each other before anything is read.
TExportFormatOptions FormatOptionsOf(const TExportOptions& options) {
  TExportFormatOptions format;
  ExportFormatFromName(options.Format, format.Format);
  if (options.SubFrames && !IsFrameFormat(format.Format))
    throw Exception(Format("--subframes works with bmp, png and png8, not %s",
                           ExportFormatName(format.Format)));
  if (format.Format == efBmp && options.Scale != 1)
    throw Exception("--scale works with png, png8, gif, apng and sheet, not bmp");
  format.Scale = options.Scale;
  format.Columns = options.Columns;
  format.SpeedMs = options.Speed;
  return format;
}

// GIF cannot show a frame for less than TGifEncoder::MinDelayMs: say so rather than write a
// slower animation than asked for without a word.
void NoteGifSpeed(const TExportFormatOptions& format) {
  if (format.Format == efGif && format.SpeedMs < TGifEncoder::MinDelayMs)
    std::fprintf(stderr, "Note: GIF frames last at least %d ms; --speed %d is written as %d ms\n",
                 TGifEncoder::MinDelayMs, format.SpeedMs, TGifEncoder::MinDelayMs);
}

// Everything a conversion of each file takes from the options.
TConvertSettings ConvertSettingsOf(const TExportOptions& options, const TRange& range) {
  TConvertSettings settings = SettingsOf(options);
  settings.Format = FormatOptionsOf(options);
  settings.ImageNames = options.ImageNames;
  settings.FirstFrame = range.First;
  settings.LastFrame = range.Last;
  settings.SubFrames = options.SubFrames;
  return settings;
}

void RunExport(const TExportOptions& options) {
  const TRange range = options.Frames.empty() ? TRange{} : ParseRange(options.Frames);
  const TExportFormatOptions formatOptions = FormatOptionsOf(options);
  NoteGifSpeed(formatOptions);
  InstallCliPalette(options.Palette);
  const std::unique_ptr<TQuvDocument> quv = OpenQuvSource(options.Path);
  TFrontEndImages& frontEnd = *quv->FrontEnd;
  ApplyExportSettings(SettingsOf(options), frontEnd);
  frontEnd.FormatOptions = formatOptions;

  const std::vector<TFrontEndImage*> images = ChosenImages(options.ImageNames, frontEnd);
  PrepareExportFolder(options.Out);

  int64_t files = 0;
  for (TFrontEndImage* image : images)
    files += IsFrameFormat(formatOptions.Format) ? CountFiles(*image, range, options.SubFrames)
                                                 : FilesPerImage(formatOptions.Format);
  TProgress progress(int32_t(images.size()), files);
  frontEnd.OnFileWritten = [&progress](const std::string&) { progress.FileDone(); };
  TExportPlan plan;
  for (TFrontEndImage* image : images) {
    ExportImageFiles(plan, *image, formatOptions.Format, range.First, range.Last, options.SubFrames,
                     options.Out);
    progress.ImageDone();
  }
  progress.Finish();
  const int64_t written = progress.FilesDone();
  std::printf("%lld file%s written to %s\n", (long long)written, written == 1 ? "" : "s",
              options.Out.c_str());
  std::fflush(stdout);
  RaiseExportFailures(plan);
}

struct TFrameDataOptions : TCommonOptions {
  std::string ImageName;
  int32_t Type = 0;
  std::string SubFrameFolder;
};

void RunFrameData(const TFrameDataOptions& options) {
  const TRange range = options.Frames.empty() ? TRange{} : ParseRange(options.Frames);
  InstallCliPalette(options.Palette);
  const std::unique_ptr<TQuvDocument> quv = OpenQuvSource(options.Path);
  TFrontEndImages& frontEnd = *quv->FrontEnd;
  ApplyExportSettings(SettingsOf(options), frontEnd);
  frontEnd.FrameDataExportType = uint8_t(options.Type);
  frontEnd.ExportFrameWhenExportFrameData = !options.SubFrameFolder.empty();
  TFrontEndImage* image = frontEnd.GetImage(options.ImageName);
  if (!options.SubFrameFolder.empty()) PrepareExportFolder(options.SubFrameFolder);

  const int64_t files = 1 + (options.SubFrameFolder.empty() ? 0 : CountFiles(*image, range, true));
  TProgress progress(1, files);
  frontEnd.OnFileWritten = [&progress](const std::string&) { progress.FileDone(); };
  TExportPlan plan;
  image->WriteFramesData(plan, range.First, range.Last, image->DefaultNameSource(),
                         options.SubFrameFolder, options.Out);
  progress.ImageDone();
  progress.Finish();
  RaiseExportFailures(plan);
}

}  // namespace

static TCliCommand exportCommand(40, [](CLI::App& app) {
  auto options = std::make_shared<TExportOptions>();
  CLI::App* command = app.add_subcommand(
      "export",
      "Export frames (or sub-frames) of the named images, or of every image, as files named "
      "IMAGE_FRAME.bmp|png or IMAGE_FRAME_SUBFRAME.bmp|png, or as IMAGE.gif, IMAGE.apng or "
      "IMAGE_sheet.png with IMAGE_sheet.json");
  AddCommonOptions(command, *options);
  command->add_option("--out", options->Out, "folder for the files")->required();
  AddFormatOptions(command, *options);
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

namespace {

struct TConvertOptions : TExportOptions {
  std::vector<std::string> Inputs;
  bool Recursive = false;
  int32_t Jobs = 0;
};

void RunConvert(const TConvertOptions& options) {
  const TRange range = options.Frames.empty() ? TRange{} : ParseRange(options.Frames);
  NoteGifSpeed(FormatOptionsOf(options));
  InstallCliPalette(options.Palette);
  const TConvertSettings settings = ConvertSettingsOf(options, range);
  TConvertProgressBar bar;
  TConvertControl control;
  control.Jobs = options.Jobs;
  control.OnProgress = [&bar](size_t done, size_t total, const std::string& name) {
    bar.Show(done, total, name);
  };
  const TConvertReport report =
      ConvertQuvFiles(options.Inputs, options.Recursive, settings, options.Out, control);
  bar.Finish();
  PrintConvertReport(report, options.Out);
  if (!report.Failures.empty()) CliExitCode() = 1;
}

}  // namespace

static TCliCommand convertCommand(42, [](CLI::App& app) {
  auto options = std::make_shared<TConvertOptions>();
  CLI::App* command = app.add_subcommand(
      "convert",
      "Convert Quv files, folders of them, HPI archives or archive paths in one go, on every "
      "core; the output mirrors the sources: DIR/<folder or archive>/<inner folders>/<file>/");
  command->add_option("INPUT", options->Inputs, "Quv files, folders, HPI archives, archive paths")
      ->required();
  AddCommonOptions(command, *options, false);
  command->add_option("--out", options->Out, "folder the mirrored output goes into")->required();
  AddFormatOptions(command, *options);
  command->add_flag("--recursive", options->Recursive, "take the sub-folders of folders too");
  command->add_option("--jobs", options->Jobs, "files converted at once (default: the core count)")
      ->check(CLI::PositiveNumber);
  command->callback([options] { RunConvert(*options); });
});
