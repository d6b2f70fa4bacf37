#include "MemoryImagesU.h"

#include <algorithm>

#include "ImageLoaderU.h"

namespace {

void FillFrame(TImageFrame& frame, const TFrameSpec& spec) {
  frame.Width = spec.Width;
  frame.Height = spec.Height;
  frame.XOffset = spec.XOffset;
  frame.YOffset = spec.YOffset;
  frame.SubFrameCount = int32_t(spec.SubFrames.size());
  if (spec.Corrupt) return;
  auto rows = std::make_shared<TPixelRows>();
  for (int32_t y = 0; y < spec.Height; ++y) {
    TPixelRow row(size_t(spec.Width));
    for (int32_t x = 0; x < spec.Width; ++x) row[size_t(x)] = spec.Index(x, y);
    rows->push_back(std::move(row));
  }
  // As a format's load leaves a frame: index rows that the model turns into colours on demand.
  frame.Pixels = rows;
  frame.PalettePixels = rows;
  frame.Loaded = true;
  frame.Converted = false;
  frame.WantTrueColour = true;
  frame.BytesPerPixel = 4;
  frame.RowBytes = 4 * spec.Width;
  for (size_t j = 0; j < spec.SubFrames.size(); ++j) {
    frame.SubFrames.push_back(frame.CreateSubFrame(int32_t(j)));
    FillFrame(*frame.SubFrames.back(), spec.SubFrames[j]);
    frame.MaxSubXOffset = std::max(frame.MaxSubXOffset, spec.SubFrames[j].XOffset);
    frame.MaxSubYOffset = std::max(frame.MaxSubYOffset, spec.SubFrames[j].YOffset);
  }
}

}  // namespace

TMemoryFile::TMemoryFile(const std::string& name) {
  Manager.TrueColour = true;
  Manager.Palette = Palette;
  Manager.TransparentIndex = TransparentIndex;
  Images = Manager.CreateClass(name);
}

TImage* TMemoryFile::AddImage(const std::string& name, const std::vector<TFrameSpec>& frames) {
  TImage* image = Images->AddImage(name, int32_t(frames.size()));
  for (size_t i = 0; i < frames.size(); ++i) {
    image->Frames.push_back(image->CreateFrame(int32_t(i)));
    FillFrame(*image->Frames.back(), frames[i]);
    image->MaxXOffset = std::max(image->MaxXOffset, frames[i].XOffset);
    image->MaxYOffset = std::max(image->MaxYOffset, frames[i].YOffset);
  }
  return image;
}
