#include "MemoryImagesU.h"

#include <algorithm>

#include "ImageLoaderU.h"

namespace {

void FillFrame(TImageFrame& frame, const TFrameDesc& desc) {
  frame.Width = desc.Width;
  frame.Height = desc.Height;
  frame.XOffset = desc.XOffset;
  frame.YOffset = desc.YOffset;
  frame.SubFrameCount = int32_t(desc.SubFrames.size());
  if (desc.Corrupt) return;
  auto rows = std::make_shared<TPixelRows>();
  for (int32_t y = 0; y < desc.Height; ++y) {
    TPixelRow row(size_t(desc.Width));
    for (int32_t x = 0; x < desc.Width; ++x) row[size_t(x)] = desc.Index(x, y);
    rows->push_back(std::move(row));
  }
  // As a format's load leaves a frame: index rows that the model turns into colours on demand.
  frame.Pixels = rows;
  frame.PalettePixels = rows;
  frame.Loaded = true;
  frame.Converted = false;
  frame.WantTrueColour = true;
  frame.BytesPerPixel = 4;
  frame.RowBytes = 4 * desc.Width;
  for (size_t j = 0; j < desc.SubFrames.size(); ++j) {
    frame.SubFrames.push_back(frame.CreateSubFrame(int32_t(j)));
    FillFrame(*frame.SubFrames.back(), desc.SubFrames[j]);
    frame.MaxSubXOffset = std::max(frame.MaxSubXOffset, desc.SubFrames[j].XOffset);
    frame.MaxSubYOffset = std::max(frame.MaxSubYOffset, desc.SubFrames[j].YOffset);
  }
}

}  // namespace

TMemoryFile::TMemoryFile(const std::string& name) {
  Manager.TrueColour = true;
  Manager.Palette = Palette;
  Manager.TransparentIndex = TransparentIndex;
  Images = Manager.CreateClass(name);
}

TImage* TMemoryFile::AddImage(const std::string& name, const std::vector<TFrameDesc>& frames) {
  TImage* image = Images->AddImage(name, int32_t(frames.size()));
  for (size_t i = 0; i < frames.size(); ++i) {
    image->Frames.push_back(image->CreateFrame(int32_t(i)));
    FillFrame(*image->Frames.back(), frames[i]);
    image->MaxXOffset = std::max(image->MaxXOffset, frames[i].XOffset);
    image->MaxYOffset = std::max(image->MaxYOffset, frames[i].YOffset);
  }
  return image;
}
