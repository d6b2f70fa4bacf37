// vellicor-cli edit PATH --image NAME [--frames FIRST-LAST] OPERATION [--out FILE]: one edit of
// the named images (hot spots, crops, a frame replaced from a picture, a rename, frames deleted),
// the file changed in place or written to FILE. Every image is edited before anything is
// written: a refusal leaves the file as it was.
#include <algorithm>
#include <climits>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "CliCommandU.h"
#include "CliFrameRangeU.h"
#include "CliPaletteU.h"
#include "ImageLoaderU.h"
#include "QuvEditU.h"
#include "QuvSaveU.h"
#include "QuvSourceU.h"
#include "StringUtilsU.h"

namespace {

struct TEditOptions {
  std::string Path;
  std::vector<std::string> Images;
  std::string Frames;
  std::string SetOffset;
  std::string ShiftOffset;
  std::string Preset;
  bool Crop = false;
  std::string Replace;
  std::string Rename;
  bool DeleteFrames = false;
  std::string Out;
  TCliPalette Palette;
};

// "X,Y" of an option.
std::pair<int32_t, int32_t> ParsePoint(const std::string& text, const char* option) {
  const size_t comma = text.find(',');
  int64_t x = 0, y = 0;
  if (comma == std::string::npos || !TryStrToInt(text.substr(0, comma), x) ||
      !TryStrToInt(text.substr(comma + 1), y) || x < INT32_MIN || x > INT32_MAX || y < INT32_MIN ||
      y > INT32_MAX)
    throw Exception(Format("Invalid %s \"%s\": expected X,Y", option, text.c_str()));
  return {int32_t(x), int32_t(y)};
}

// The frames of the range within the image; a range past its end names the first frame that is
// not there, which the edit refuses.
TFrameList FramesOf(const std::optional<TRange>& range, const TQuvImageModel& image) {
  if (!range) return {};
  const int64_t last = std::min<int64_t>(range->Last, int64_t(image.Frames.size()));
  TFrameList frames;
  for (int64_t i = range->First; i <= last; ++i) frames.push_back(int32_t(i));
  if (frames.empty()) frames.push_back(range->First);
  return frames;
}

// The images named, each once (names compare without regard to case).
std::vector<size_t> ChosenImages(const TQuvContent& content,
                                 const std::vector<std::string>& names) {
  std::vector<size_t> images;
  for (const std::string& name : names) {
    const size_t image = FindImage(content, name);
    if (std::find(images.begin(), images.end(), image) == images.end()) images.push_back(image);
  }
  return images;
}

// The options' operation on one image of the content.
TQuvEdit EditOf(const TEditOptions& options, const TQuvContent& content, size_t image,
                const TFrameList& frames, const std::optional<TFramePicture>& picture) {
  if (!options.SetOffset.empty()) {
    const auto [x, y] = ParsePoint(options.SetOffset, "--set-offset");
    return SetOffsets(content, image, frames, x, y);
  }
  if (!options.ShiftOffset.empty()) {
    const auto [dx, dy] = ParsePoint(options.ShiftOffset, "--shift-offset");
    return ShiftOffsets(content, image, frames, dx, dy);
  }
  if (!options.Preset.empty())
    return ApplyOffsetPreset(content, image, frames, *OffsetPresetNamed(options.Preset));
  if (options.Crop) return CropFrames(content, image, frames);
  if (picture) return ReplaceFrame(content, image, frames.front(), *picture, Palette);
  if (!options.Rename.empty()) return RenameImage(content, image, options.Rename);
  return DeleteFrames(content, image, frames);
}

void RunEdit(const TEditOptions& options) {
  const std::optional<TRange> range =
      options.Frames.empty() ? std::nullopt : std::optional(ParseRange(options.Frames));
  if (!options.Replace.empty() && (!range || range->First != range->Last))
    throw Exception("--replace replaces one frame: give it with --frames N");
  InstallCliPalette(options.Palette);
  std::optional<TFramePicture> picture;
  if (!options.Replace.empty()) picture = TFramePicture{ReadPicture(options.Replace), {}, {}};
  TQuvContent content;
  {
    const std::unique_ptr<TQuvDocument> quv = OpenQuvSource(options.Path);
    content = ReadDocumentContent(*quv, TransparentIndex);
  }
  std::string edited, names;
  for (const size_t image : ChosenImages(content, options.Images)) {
    names += (names.empty() ? "" : ", ") + content.Images[image].Name;
    const TQuvEdit edit =
        EditOf(options, content, image, FramesOf(range, content.Images[image]), picture);
    edited = edit.Name;
    ApplyEdit(content, edit);
  }
  const std::string out = options.Out.empty() ? options.Path : options.Out;
  const TQuvSaveTarget target = SaveTargetOf(out);
  // The file may have been found under another letter case: changing it in place must not
  // write a second file beside it.
  if (options.Out.empty() && !target.InArchive() && !StampOf(target.DiskFile))
    throw Exception(
        Format("\"%s\" was opened under another letter case; give its exact name", out.c_str()));
  SaveQuvBytes(target, EncodeQuvContent(content));
  std::printf("%s (%s) written to %s\n", edited.c_str(), names.c_str(), out.c_str());
}

// The operations: exactly one is given.
void AddOperations(CLI::App* command, TEditOptions& options) {
  std::vector<CLI::Option*> operations = {
      command->add_option("--set-offset", options.SetOffset, "put the hot spot at X,Y"),
      command->add_option("--shift-offset", options.ShiftOffset, "move the hot spot by DX,DY"),
      command
          ->add_option("--offset-preset", options.Preset,
                       "put the hot spot in the middle of the visible pixels (centre), the "
                       "middle of their last row (bottom-centre), or line the visible pixels up "
                       "on the previous frame's (previous)")
          ->check(CLI::IsMember({"centre", "bottom-centre", "previous"})),
      command->add_flag("--crop", options.Crop,
                        "cut frames to their visible pixels, which keep their place relative to "
                        "the hot spot"),
      command->add_option("--replace", options.Replace,
                          "replace one frame (--frames N) by a PNG or BMP picture, its colours "
                          "mapped to the palette; the hot spot stays"),
      command->add_option("--rename", options.Rename, "rename the image"),
      command->add_flag("--delete-frames", options.DeleteFrames,
                        "delete the frames (an image keeps at least one)"),
  };
  for (CLI::Option* a : operations)
    for (CLI::Option* b : operations)
      if (a != b) a->excludes(b);
}

}  // namespace

static TCliCommand editCommand(44, [](CLI::App& app) {
  auto options = std::make_shared<TEditOptions>();
  CLI::App* command = app.add_subcommand(
      "edit",
      "Edit the named images of a Quv file: set, shift or place hot spots, crop frames, replace "
      "a frame by a picture, rename an image or delete frames. The file is changed in place "
      "unless --out is given; a refused edit writes nothing");
  command->add_option("PATH", options->Path, "Quv file or archive path")->required();
  command->add_option("--image", options->Images, "image to edit (repeatable)")->required();
  CLI::Option* frames =
      command->add_option("--frames", options->Frames,
                          "0-based inclusive frame range FIRST-LAST (default: all frames)");
  AddOperations(command, *options);
  command->get_option("--rename")->excludes(frames);
  command->add_option("--out", options->Out, "Quv file to write instead of changing PATH");
  AddPaletteOptions(command, options->Palette);
  command->callback([command, options] {
    static const char* const names[] = {"--set-offset",   "--shift-offset", "--offset-preset",
                                        "--crop",         "--replace",      "--rename",
                                        "--delete-frames"};
    size_t given = 0;
    for (const char* name : names) given += command->get_option(name)->count() > 0 ? 1 : 0;
    if (given == 0)
      throw CLI::RequiredError(
          "one of --set-offset, --shift-offset, --offset-preset, --crop, --replace, --rename, "
          "--delete-frames");
    RunEdit(*options);
  });
});
