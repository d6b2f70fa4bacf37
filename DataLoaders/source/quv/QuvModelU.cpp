#include "QuvModelU.h"

#include <algorithm>
#include <memory>

#include "QuvManagerU.h"

namespace {

TPixelRowsRef RowsOf(const std::vector<uint8_t>& pixels, int32_t width, int32_t height) {
  auto rows = std::make_shared<TPixelRows>(static_cast<size_t>(height));
  for (int32_t y = 0; y < height; ++y) {
    auto first = pixels.begin() + static_cast<std::ptrdiff_t>(y) * width;
    (*rows)[static_cast<size_t>(y)].assign(first, first + width);
  }
  return rows;
}

void FillFrame(TQuvFrame& frame, const TQuvFrameModel& model, uint8_t transparent) {
  frame.Width = model.Width;
  frame.Height = model.Height;
  frame.XOffset = model.XOffset;
  frame.YOffset = model.YOffset;
  frame.Compression = model.Compression;
  if (model.SubFrames.empty()) {
    frame.SetImageData({model.Width, model.Height, 1, model.Width,
                        RowsOf(model.Pixels, model.Width, model.Height)});
    return;
  }
  frame.Pixels = std::make_shared<TPixelRows>(
      static_cast<size_t>(model.Height), TPixelRow(static_cast<size_t>(model.Width), transparent));
  for (const TQuvFrameModel& part : model.SubFrames) {
    auto& subFrame = static_cast<TQuvFrame&>(*frame.AddSubFrame());
    FillFrame(subFrame, part, transparent);
    frame.MaxSubXOffset = std::max(frame.MaxSubXOffset, subFrame.XOffset);
    frame.MaxSubYOffset = std::max(frame.MaxSubYOffset, subFrame.YOffset);
    ComposeSubFrame(frame, subFrame);
  }
  frame.SetImageData({frame.Width, frame.Height, 1, frame.Width, frame.Pixels});
}

}  // namespace

void FillCollection(TQuvImages& collection, const std::vector<TQuvImageModel>& images) {
  const uint8_t transparent = collection.Manager ? collection.Manager->TransparentIndex : 0;
  for (const TQuvImageModel& model : images) {
    TImage* image = collection.AddImage(model.Name, static_cast<int32_t>(model.Frames.size()));
    if (!image) continue;
    for (size_t i = 0; i < model.Frames.size(); ++i) {
      auto& frame = static_cast<TQuvFrame&>(*image->GetFrame(static_cast<int32_t>(i)));
      FillFrame(frame, model.Frames[i], transparent);
      image->MaxXOffset = std::max(image->MaxXOffset, frame.XOffset);
      image->MaxYOffset = std::max(image->MaxYOffset, frame.YOffset);
    }
  }
}
