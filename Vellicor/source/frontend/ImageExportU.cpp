#include "ImageExportU.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "GifWriterU.h"
#include "PngWriterU.h"
#include "StringUtilsU.h"

#ifndef VELLICOR_VERSION_TEXT
#define VELLICOR_VERSION_TEXT "0"
#endif

namespace {

constexpr const char* FormatNames[] = {"bmp", "png", "png8", "gif", "apng", "sheet"};

void WriteFile(TExportPlan& plan, TFrontEndImage& image, const std::string& folder,
               const std::string& name, const void* data, size_t size) {
  const std::string fileName = JoinPath(folder, name, PathDelim);
  plan.WriteFile(fileName, data, size);
  if (image.Owner->OnFileWritten) image.Owner->OnFileWritten(fileName);
}

// The frames first..last (clamped to the image) that exist and can be read.
TExportedFrames FramesInRange(TExportPlan& plan, TFrontEndImage& image, int32_t first,
                              int32_t last) {
  TExportedFrames frames;
  for (int32_t i = std::max(first, 0); i < image.FrameCount && i <= last; ++i)
    if (TFrontEndImageFrame* frame = image.ExportedFrame(plan, i)) frames.emplace_back(i, frame);
  return frames;
}

// The frame's pixels on the canvas, unscaled.
TPicture OnCanvas(TFrontEndImageFrame& frame, const THotSpotCanvas& canvas) {
  const TFramePixels& pixels = frame.GetPixels();
  TPicture picture(canvas.Width, canvas.Height, 1, pixels.TransparentIndex());
  PlacePicture(picture, pixels.Indices(), int64_t(canvas.HotX) - frame.Frame->XOffset,
               int64_t(canvas.HotY) - frame.Frame->YOffset);
  return picture;
}

nlohmann::ordered_json Size(int64_t w, int64_t h) {
  return {{"w", w}, {"h", h}};
}

nlohmann::ordered_json Rect(int64_t x, int64_t y, int64_t w, int64_t h) {
  return {{"x", x}, {"y", y}, {"w", w}, {"h", h}};
}

}  // namespace

const char* ExportFormatName(TExportFormat format) {
  return format <= efSheet ? FormatNames[format] : "";
}

bool ExportFormatFromName(std::string_view name, TExportFormat& format) {
  for (int i = efBmp; i <= efSheet; ++i)
    if (AnsiCompareText(std::string(name), FormatNames[i]) == 0) {
      format = TExportFormat(i);
      return true;
    }
  return false;
}

const char* FrameNameFormatOf(TExportFormat format) {
  return format == efBmp ? FrameNameFormat : PngFrameNameFormat;
}

const char* SubFrameNameFormatOf(TExportFormat format) {
  return format == efBmp ? SubFrameNameFormat : PngSubFrameNameFormat;
}

THotSpotCanvas CommonCanvas(TFrontEndImage& image, int32_t first, int32_t last,
                            const TExportedFrames& frames) {
  THotSpotCanvas canvas;
  image.ExportOrigin(first, last, canvas.HotX, canvas.HotY);
  int64_t width = 1, height = 1;
  for (const auto& [index, frame] : frames) {
    const TImageFrame& source = *frame->Frame;
    width = std::max(width, int64_t(canvas.HotX) - source.XOffset + std::max(0, source.Width));
    height = std::max(height, int64_t(canvas.HotY) - source.YOffset + std::max(0, source.Height));
  }
  canvas.Width = CheckedPictureSide(width);
  canvas.Height = CheckedPictureSide(height);
  return canvas;
}

void ExportAnimation(TExportPlan& plan, TFrontEndImage& image, TExportFormat format, int32_t first,
                     int32_t last, const std::string& folder) {
  const TExportedFrames frames = FramesInRange(plan, image, first, last);
  if (frames.empty()) return;
  const TExportFormatOptions& options = image.Owner->FormatOptions;
  const THotSpotCanvas canvas = CommonCanvas(image, first, last, frames);
  const int32_t scale = std::max(1, options.Scale);
  const int32_t width = CheckedPictureSide(int64_t(canvas.Width) * scale);
  const int32_t height = CheckedPictureSide(int64_t(canvas.Height) * scale);
  const char* extension = format == efGif ? ".gif" : ".apng";
  const std::string name = image.ExportName() + extension;
  if (plan.NamesOnly({JoinPath(folder, name, PathDelim)})) return;
  const TPalette& palette = image.Owner->PixelPalette();
  const uint8_t empty = image.Owner->PixelTransparentIndex();
  std::vector<uint8_t> file;
  if (format == efGif) {
    TGifEncoder encoder(width, height, palette, empty, options.SpeedMs);
    for (const auto& [index, frame] : frames)
      encoder.AddFrame(ScalePicture(OnCanvas(*frame, canvas), scale));
    file = encoder.Finish();
  } else {
    TApngEncoder encoder(width, height, options.SpeedMs);
    for (const auto& [index, frame] : frames)
      encoder.AddFrame(
          IndicesToRgba(ScalePicture(OnCanvas(*frame, canvas), scale), palette, empty));
    file = encoder.Finish();
  }
  WriteFile(plan, image, folder, name, file.data(), file.size());
}

void ExportSheet(TExportPlan& plan, TFrontEndImage& image, int32_t first, int32_t last,
                 const std::string& folder) {
  const TExportedFrames frames = FramesInRange(plan, image, first, last);
  if (frames.empty()) return;
  const TExportFormatOptions& options = image.Owner->FormatOptions;
  const THotSpotCanvas canvas = CommonCanvas(image, first, last, frames);
  const int64_t scale = std::max(1, options.Scale);
  const int64_t count = int64_t(frames.size());
  const int64_t columns = options.Columns > 0 ? std::min<int64_t>(options.Columns, count)
                                              : int64_t(std::ceil(std::sqrt(double(count)) - 1e-9));
  const int64_t rows = (count + columns - 1) / columns;
  const int64_t cellW = canvas.Width * scale, cellH = canvas.Height * scale;
  const std::string name = image.ExportName();
  const std::string sheetName = name + "_sheet.png";
  const std::string atlasName = name + "_sheet.json";
  if (plan.NamesOnly(
          {JoinPath(folder, sheetName, PathDelim), JoinPath(folder, atlasName, PathDelim)}))
    return;
  const uint8_t empty = image.Owner->PixelTransparentIndex();
  TPicture sheet(CheckedPictureSide(columns * cellW), CheckedPictureSide(rows * cellH), 1, empty);
  nlohmann::ordered_json atlas;
  nlohmann::ordered_json& entries = atlas["frames"] = nlohmann::ordered_json::array();
  for (int64_t k = 0; k < count; ++k) {
    const auto& [index, frame] = frames[size_t(k)];
    const TImageFrame& source = *frame->Frame;
    const int64_t cellX = (k % columns) * cellW, cellY = (k / columns) * cellH;
    const int64_t ownX = (int64_t(canvas.HotX) - source.XOffset) * scale;
    const int64_t ownY = (int64_t(canvas.HotY) - source.YOffset) * scale;
    PlacePicture(sheet, ScalePicture(frame->GetPixels().Indices(), int32_t(scale)), cellX + ownX,
                 cellY + ownY);
    entries.push_back({
        {"filename", name + "_" + PadNumber(index, image.FrameCount)},
        {"frame", Rect(cellX, cellY, cellW, cellH)},
        {"rotated", false},
        {"trimmed", false},
        {"spriteSourceSize",
         Rect(ownX, ownY, std::max(0, source.Width) * scale, std::max(0, source.Height) * scale)},
        {"sourceSize", Size(cellW, cellH)},
        {"hotspot", {{"x", canvas.HotX * scale}, {"y", canvas.HotY * scale}}},
        {"pivot",
         {{"x", double(canvas.HotX) / canvas.Width}, {"y", double(canvas.HotY) / canvas.Height}}},
        {"duration", options.SpeedMs},
    });
  }
  atlas["meta"] = {
      {"app", "Vellicor"},    {"version", VELLICOR_VERSION_TEXT},
      {"image", sheetName},   {"size", Size(sheet.Width, sheet.Height)},
      {"format", "RGBA8888"}, {"scale", scale},
  };
  const std::vector<uint8_t> png =
      EncodePng(IndicesToRgba(sheet, image.Owner->PixelPalette(), empty));
  const std::string json = atlas.dump(2) + "\n";
  WriteFile(plan, image, folder, sheetName, png.data(), png.size());
  WriteFile(plan, image, folder, atlasName, json.data(), json.size());
}

void ExportImageFiles(TExportPlan& plan, TFrontEndImage& image, TExportFormat format, int32_t first,
                      int32_t last, bool subFrames, const std::string& folder) {
  if (format == efGif || format == efApng)
    return ExportAnimation(plan, image, format, first, last, folder);
  if (format == efSheet) return ExportSheet(plan, image, first, last, folder);
  if (subFrames)
    image.ExportImageSubFrameRange(plan, format, first, last, SubFrameNameFormatOf(format), folder,
                                   0, INT32_MAX);
  else
    image.ExportFrameRange(plan, format, first, last, FrameNameFormatOf(format), folder);
}
