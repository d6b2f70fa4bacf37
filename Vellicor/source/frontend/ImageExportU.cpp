#include "ImageExportU.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "FrameExportU.h"
#include "GifWriterU.h"
#include "PngWriterU.h"
#include "StringUtilsU.h"

#ifndef VELLICOR_VERSION_TEXT
#define VELLICOR_VERSION_TEXT "0"
#endif

namespace {

constexpr const char* FormatNames[] = {"bmp", "png", "png8", "gif", "apng", "sheet"};

// The palette the image's frames are drawn with (the view's copy of the process palette).
const TPalette& PaletteOf(const TFrontEndImage& image) {
  const TImageClass* images = image.Image ? image.Image->ImageClass : nullptr;
  return images && images->Manager ? images->Manager->Palette : Palette;
}

// The index of its empty pixels (the view's copy of the process one).
uint8_t EmptyIndexOf(const TImageFrame& frame) {
  const TImageClass* images = frame.Image ? frame.Image->ImageClass : nullptr;
  return images && images->Manager ? images->Manager->TransparentIndex : TransparentIndex;
}

uint8_t EmptyIndexOf(const TFrontEndImage& image) {
  const TImageClass* images = image.Image ? image.Image->ImageClass : nullptr;
  return images && images->Manager ? images->Manager->TransparentIndex : TransparentIndex;
}

int32_t CheckedSide(int64_t side) {
  if (side < 0 || side > INT32_MAX)
    throw EBitmapError(Format("Picture side of %lld pixels is too large", (long long)side));
  return int32_t(side);
}

void WriteFile(TFrontEndImage& image, const std::string& folder, const std::string& name,
               const void* data, size_t size) {
  const std::string fileName = JoinPath(folder, name, PathDelim);
  WriteWholeFile(fileName, data, size);
  if (image.Owner->OnFileWritten) image.Owner->OnFileWritten(fileName);
}

// The frames first..last (clamped to the image) that exist.
std::vector<std::pair<int32_t, TFrontEndImageFrame*>> FramesInRange(TFrontEndImage& image,
                                                                    int32_t first, int32_t last) {
  std::vector<std::pair<int32_t, TFrontEndImageFrame*>> frames;
  for (int32_t i = std::max(first, 0); i < image.FrameCount && i <= last; ++i)
    if (TFrontEndImageFrame* frame = image.GetFrame(i)) frames.emplace_back(i, frame);
  return frames;
}

// The frame's pixels on the canvas, unscaled.
TPicture OnCanvas(const TFrontEndImageFrame& frame, const THotSpotCanvas& canvas) {
  TPicture picture(canvas.Width, canvas.Height, 1, EmptyIndexOf(*frame.Frame));
  PlacePicture(picture, FrameIndices(frame), int64_t(canvas.HotX) - frame.Frame->XOffset,
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

// Colour rows keep their indices beside them; rows of colours alone have no indices to give.
static const TPixelRowsRef& IndexRows(const TImageFrame& source) {
  static const TPixelRowsRef none;
  return source.Converted ? source.PalettePixels
                          : (source.BytesPerPixel == 1 ? source.Pixels : none);
}

TPicture FrameIndices(const TFrontEndImageFrame& frame) {
  const TImageFrame& source = *frame.Frame;
  TPicture picture(std::max(0, source.Width), std::max(0, source.Height), 1, EmptyIndexOf(source));
  const TPixelRowsRef& rows = IndexRows(source);
  if (!rows) return picture;
  const size_t width = size_t(picture.Width);
  for (int32_t y = 0; y < picture.Height && size_t(y) < rows->size(); ++y) {
    const TPixelRow& row = (*rows)[size_t(y)];
    // Rows a failed load never delivered stay empty.
    if (row.size() >= width && width > 0) std::memcpy(picture.Row(y), row.data(), width);
  }
  return picture;
}

uint8_t FrameIndexAt(const TFrontEndImageFrame& frame, int32_t x, int32_t y) {
  const TImageFrame& source = *frame.Frame;
  const TPixelRowsRef& rows = IndexRows(source);
  if (!rows || x < 0 || y < 0 || x >= source.Width || size_t(y) >= rows->size())
    return EmptyIndexOf(source);
  const TPixelRow& row = (*rows)[size_t(y)];
  return size_t(x) < row.size() ? row[size_t(x)] : EmptyIndexOf(source);
}

THotSpotCanvas CommonCanvas(TFrontEndImage& image, int32_t first, int32_t last) {
  THotSpotCanvas canvas;
  image.ExportOrigin(first, last, canvas.HotX, canvas.HotY);
  int64_t width = 1, height = 1;
  for (const auto& [index, frame] : FramesInRange(image, first, last)) {
    const TImageFrame& source = *frame->Frame;
    width = std::max(width, int64_t(canvas.HotX) - source.XOffset + std::max(0, source.Width));
    height = std::max(height, int64_t(canvas.HotY) - source.YOffset + std::max(0, source.Height));
  }
  canvas.Width = CheckedSide(width);
  canvas.Height = CheckedSide(height);
  return canvas;
}

void ExportFramePicture(TFrontEndImage& image, const std::string& fileName,
                        TFrontEndImageFrame* frame, int32_t padX, int32_t padY) {
  const TFrontEndImages& owner = *image.Owner;
  const uint8_t empty = EmptyIndexOf(image);
  TPicture picture = FrameIndices(*frame);
  if (owner.AutoPad) {
    // Only left and top grow, as in the BMP export: the hot spot lands on (padX, padY).
    const int64_t dx = int64_t(padX) - frame->Frame->XOffset;
    const int64_t dy = int64_t(padY) - frame->Frame->YOffset;
    TPicture padded(CheckedSide(std::max<int64_t>(0, picture.Width + dx)),
                    CheckedSide(std::max<int64_t>(0, picture.Height + dy)), 1, empty);
    PlacePicture(padded, picture, dx, dy);
    picture = std::move(padded);
  }
  picture = ScalePicture(std::move(picture), owner.FormatOptions.Scale);
  const TPalette& palette = PaletteOf(image);
  const std::vector<uint8_t> file = owner.FormatOptions.Format == efPng8
                                        ? EncodePng8(picture, palette, empty)
                                        : EncodePng(IndicesToRgba(picture, palette, empty));
  WriteWholeFile(fileName, file.data(), file.size());
  if (owner.OnFileWritten) owner.OnFileWritten(fileName);
}

void ExportAnimation(TFrontEndImage& image, int32_t first, int32_t last,
                     const std::string& folder) {
  const auto frames = FramesInRange(image, first, last);
  if (frames.empty()) return;
  const TExportFormatOptions& options = image.Owner->FormatOptions;
  const THotSpotCanvas canvas = CommonCanvas(image, first, last);
  const int32_t scale = std::max(1, options.Scale);
  const int32_t width = CheckedSide(int64_t(canvas.Width) * scale);
  const int32_t height = CheckedSide(int64_t(canvas.Height) * scale);
  const char* extension = options.Format == efGif ? ".gif" : ".apng";
  const std::string name = image.ExportName() + extension;
  if (PlannedOnly({JoinPath(folder, name, PathDelim)})) return;
  const TPalette& palette = PaletteOf(image);
  const uint8_t empty = EmptyIndexOf(image);
  std::vector<uint8_t> file;
  if (options.Format == efGif) {
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
  WriteFile(image, folder, name, file.data(), file.size());
}

void ExportSheet(TFrontEndImage& image, int32_t first, int32_t last, const std::string& folder) {
  const auto frames = FramesInRange(image, first, last);
  if (frames.empty()) return;
  const TExportFormatOptions& options = image.Owner->FormatOptions;
  const THotSpotCanvas canvas = CommonCanvas(image, first, last);
  const int64_t scale = std::max(1, options.Scale);
  const int64_t count = int64_t(frames.size());
  const int64_t columns = options.Columns > 0 ? std::min<int64_t>(options.Columns, count)
                                              : int64_t(std::ceil(std::sqrt(double(count)) - 1e-9));
  const int64_t rows = (count + columns - 1) / columns;
  const int64_t cellW = canvas.Width * scale, cellH = canvas.Height * scale;
  const std::string name = image.ExportName();
  const std::string sheetName = name + "_sheet.png";
  const std::string atlasName = name + "_sheet.json";
  if (PlannedOnly({JoinPath(folder, sheetName, PathDelim), JoinPath(folder, atlasName, PathDelim)}))
    return;
  const uint8_t empty = EmptyIndexOf(image);
  TPicture sheet(CheckedSide(columns * cellW), CheckedSide(rows * cellH), 1, empty);
  nlohmann::ordered_json atlas;
  nlohmann::ordered_json& entries = atlas["frames"] = nlohmann::ordered_json::array();
  for (int64_t k = 0; k < count; ++k) {
    const auto& [index, frame] = frames[size_t(k)];
    const TImageFrame& source = *frame->Frame;
    const int64_t cellX = (k % columns) * cellW, cellY = (k / columns) * cellH;
    const int64_t ownX = (int64_t(canvas.HotX) - source.XOffset) * scale;
    const int64_t ownY = (int64_t(canvas.HotY) - source.YOffset) * scale;
    PlacePicture(sheet, ScalePicture(FrameIndices(*frame), int32_t(scale)), cellX + ownX,
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
  const std::vector<uint8_t> png = EncodePng(IndicesToRgba(sheet, PaletteOf(image), empty));
  const std::string json = atlas.dump(2) + "\n";
  WriteFile(image, folder, sheetName, png.data(), png.size());
  WriteFile(image, folder, atlasName, json.data(), json.size());
}

void ExportImageFiles(TFrontEndImage& image, int32_t first, int32_t last, bool subFrames,
                      const std::string& folder) {
  const TExportFormat format = image.Owner->FormatOptions.Format;
  if (format == efGif || format == efApng) return ExportAnimation(image, first, last, folder);
  if (format == efSheet) return ExportSheet(image, first, last, folder);
  if (subFrames)
    image.ExportImageSubFrameRange(first, last, SubFrameNameFormatOf(format), folder, 0, INT32_MAX);
  else
    image.ExportFrameRange(first, last, FrameNameFormatOf(format), folder);
}
