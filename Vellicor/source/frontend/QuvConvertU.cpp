#include "QuvConvertU.h"

#include <algorithm>
#include <filesystem>
#include <memory>

#include "ExceptionsU.h"
#include "FrameExportU.h"
#include "ImageExportU.h"
#include "QuvSourceU.h"
#include "SafeFileU.h"
#include "StringUtilsU.h"

namespace fs = std::filesystem;

void ApplyExportSettings(const TConvertSettings& settings, TFrontEndImages& frontEnd) {
  frontEnd.ReleaseWrittenFrames = true;
  frontEnd.ExportPixelFormat = settings.BmpFormat;
  frontEnd.AutoPad = settings.AutoPad;
  frontEnd.AutoPadUsingSelectedFrames = settings.SelectedOrigin;
}

std::vector<TFrontEndImage*> ChosenImages(const std::vector<std::string>& names,
                                          TFrontEndImages& frontEnd) {
  std::vector<TFrontEndImage*> images;
  if (names.empty())
    for (int32_t i = 0; i < frontEnd.ImageCount; ++i) images.push_back(frontEnd.GetImage(i));
  else
    for (const std::string& name : names) {
      // Names compare without regard to case: "ball" and "BALL" export one image once.
      TFrontEndImage* image = frontEnd.GetImage(name);
      if (std::find(images.begin(), images.end(), image) == images.end()) images.push_back(image);
    }
  return images;
}

void PrepareExportFolder(const std::string& folder) {
  std::error_code error;
  fs::create_directories(folder, error);
  if (!fs::is_directory(folder))
    throw EInOutError(Format("Cannot create folder \"%s\"%s%s", folder.c_str(), error ? ": " : "",
                             error ? error.message().c_str() : ""));
}

void RaiseExportFailures(const TExportPlan& plan) {
  if (plan.Failures().empty()) return;
  std::string text;
  for (const std::string& failure : plan.Failures()) text += (text.empty() ? "" : "\n") + failure;
  throw EImageFileError(text);
}

void ExportQuvFile(const TConvertSettings& settings, TQuvDocument& quv, const std::string& out,
                   int64_t& written) {
  TFrontEndImages& frontEnd = *quv.FrontEnd;
  ApplyExportSettings(settings, frontEnd);
  frontEnd.FormatOptions = settings.Format;
  const std::vector<TFrontEndImage*> images = ChosenImages(settings.ImageNames, frontEnd);
  PrepareExportFolder(out);
  frontEnd.OnFileWritten = [&written](const std::string&) { ++written; };
  TExportPlan plan;
  for (TFrontEndImage* image : images)
    ExportImageFiles(plan, *image, settings.Format.Format, settings.FirstFrame, settings.LastFrame,
                     settings.SubFrames, out);
  RaiseExportFailures(plan);
}

TConvertReport ConvertQuvFiles(const std::vector<std::string>& inputs, bool recursive,
                               const TConvertSettings& settings, const std::string& out,
                               const TConvertControl& control) {
  // The mirrored folders are made below the output folder without following a link.
  const auto tree = std::make_shared<TOutputTree>(out);
  const TConvertBatch batch = CollectConvertItems(inputs, recursive);
  return RunConvertJobs(batch, control, [&settings, &out, tree] {
    // Each thread mounts each folder and archive once, for its files in a row.
    auto sources = std::make_shared<TQuvSources>(settings.Palette, settings.TransparentIndex);
    return TConvertFunction(
        [&settings, &out, sources, tree](const TConvertItem& item, int64_t& written) {
          tree->Folder(item.OutFolder);
          const std::unique_ptr<TQuvDocument> quv =
              item.Container.empty() ? sources->OpenFile(item.Source)
                                     : sources->Open(item.Container, item.InArchive, item.Inner);
          ExportQuvFile(settings, *quv, (fs::path(out) / item.OutFolder).string(), written);
        });
  });
}
