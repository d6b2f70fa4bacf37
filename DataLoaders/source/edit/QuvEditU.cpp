#include "QuvEditU.h"

#include <algorithm>
#include <limits>
#include <memory>
#include <utility>

#include "QuvManagerU.h"
#include "QuvWriterU.h"
#include "StreamsU.h"
#include "StringUtilsU.h"

namespace {

// The indices of a frame's rows: the palette rows when the frame was turned into colours.
const TPixelRowsRef& IndexRows(TImageFrame& frame) {
  return frame.Converted ? frame.PalettePixels : frame.Pixels;
}

TQuvFrameModel ReadFrame(TImageFrame& frame) {
  TQuvFrameModel model;
  model.Width = frame.Width;
  model.Height = frame.Height;
  model.XOffset = frame.XOffset;
  model.YOffset = frame.YOffset;
  if (auto* quv = dynamic_cast<TQuvFrame*>(&frame)) model.Compression = quv->Compression;
  if (frame.SubFrameCount > 0) {
    for (int32_t i = 0; i < frame.SubFrameCount; ++i) {
      TImageFrame* part = frame.GetSubFrame(i);
      if (part) model.SubFrames.push_back(ReadFrame(*part));
    }
    return model;
  }
  const size_t width = static_cast<size_t>(std::max(frame.Width, 0));
  model.Pixels.assign(width * static_cast<size_t>(std::max(frame.Height, 0)), 0);
  const TPixelRowsRef& rows = IndexRows(frame);
  const size_t rowCount = rows ? std::min(rows->size(), static_cast<size_t>(frame.Height)) : 0;
  // Row by row: a short row (never in a whole frame) leaves the rest of its pixels 0.
  for (size_t y = 0; y < rowCount; ++y) {
    const TPixelRow& row = (*rows)[y];
    std::copy_n(row.begin(), std::min(row.size(), width), model.Pixels.begin() + y * width);
  }
  return model;
}

// Moves a frame's hot spot and, with it, every sub-frame's, so the picture stays as it is.
void MoveHotSpot(TQuvFrameModel& frame, int32_t dx, int32_t dy) {
  frame.XOffset += dx;
  frame.YOffset += dy;
  for (TQuvFrameModel& part : frame.SubFrames) MoveHotSpot(part, dx, dy);
}

// Checks every offset of a frame and its sub-frames after a move by dx, dy.
void CheckMove(const TQuvImageModel& image, size_t index, const TQuvFrameModel& frame, int64_t dx,
               int64_t dy) {
  CheckOffsets(image, index, frame.XOffset + dx, frame.YOffset + dy);
  for (const TQuvFrameModel& part : frame.SubFrames) CheckMove(image, index, part, dx, dy);
}

// The box of the pixels other than transparent among width x height rows, relative to the hot
// spot at (x, y).
template <class FPixel>
std::optional<TVisibleBox> BoxOf(int32_t width, int32_t height, int32_t x, int32_t y,
                                 uint8_t transparent, FPixel pixel) {
  int32_t left = width, top = height, right = -1, bottom = -1;
  for (int32_t row = 0; row < height; ++row)
    for (int32_t column = 0; column < width; ++column)
      if (pixel(column, row) != transparent) {
        left = std::min(left, column), right = std::max(right, column);
        top = std::min(top, row), bottom = std::max(bottom, row);
      }
  if (right < 0) return std::nullopt;
  return TVisibleBox{left - x, top - y, right - x, bottom - y};
}

// A composed frame's box, from its composition by the reader's own code.
std::optional<TVisibleBox> ComposedBox(const TQuvFrameModel& frame, uint8_t transparent) {
  TQuvManager manager;
  manager.TransparentIndex = transparent;
  std::unique_ptr<TImageClass> collection = manager.CreateClass("composed.quv");
  FillCollection(static_cast<TQuvImages&>(*collection), {{"composed", {frame}}});
  TImageFrame& composed = *collection->Images.front()->GetFrame(0);
  const TPixelRowsRef& rows = IndexRows(composed);
  return BoxOf(composed.Width, composed.Height, composed.XOffset, composed.YOffset, transparent,
               [&](int32_t column, int32_t row) -> uint8_t {
                 if (!rows || static_cast<size_t>(row) >= rows->size()) return transparent;
                 const TPixelRow& line = (*rows)[static_cast<size_t>(row)];
                 return static_cast<size_t>(column) < line.size() ? line[column] : transparent;
               });
}

// Where frame's visible box goes relative to its hot spot under a preset that places it by the
// box alone: the hot spot's move.
std::pair<int64_t, int64_t> PresetMove(TOffsetPreset preset, const TVisibleBox& box) {
  const int64_t middle = box.Left + (int64_t{box.Right} - box.Left + 1) / 2;
  if (preset == TOffsetPreset::BottomCentre) return {middle, box.Bottom};
  return {middle, box.Top + (int64_t{box.Bottom} - box.Top + 1) / 2};
}

const char* PresetEditName(TOffsetPreset preset) {
  switch (preset) {
    case TOffsetPreset::Centre:
      return "Centre Offsets";
    case TOffsetPreset::BottomCentre:
      return "Bottom-Centre Offsets";
    case TOffsetPreset::Previous:
      break;
  }
  return "Offsets from Previous Frame";
}

}  // namespace

void CheckOffsets(const TQuvImageModel& image, size_t frame, int64_t x, int64_t y) {
  constexpr int64_t low = std::numeric_limits<int16_t>::min();
  constexpr int64_t high = std::numeric_limits<int16_t>::max();
  if (x < low || x > high || y < low || y > high)
    throw EQuvEditError(
        Format("Frame %zu of \xE2\x80\x98%s\xE2\x80\x99 cannot have its hot spot at "
               "%lld,%lld: offsets lie between -32768 and 32767",
               frame, image.Name.c_str(), static_cast<long long>(x), static_cast<long long>(y)));
}

EQuvFrameReadError::EQuvFrameReadError(std::string imageName, int32_t frame, std::string reason)
    : EImageFileError(Format("Frame %d of \xE2\x80\x98%s\xE2\x80\x99 cannot be read: %s", frame,
                             imageName.c_str(), reason.c_str())),
      ImageName(std::move(imageName)),
      Frame(frame),
      Reason(std::move(reason)) {}

TQuvContent ReadQuvContent(TImageClass& collection, uint8_t transparentIndex) {
  TQuvContent content;
  content.TransparentIndex = transparentIndex;
  for (const std::unique_ptr<TImage>& image : collection.Images) {
    TQuvImageModel model;
    model.Name = image->Name;
    for (int32_t i = 0; i < image->FrameCount; ++i) {
      TImageFrame* frame = nullptr;
      try {
        frame = image->GetFrame(i);
      } catch (const EImageFileError& error) {  // the reader's errors of a damaged frame
        throw EQuvFrameReadError(image->Name, i, error.what());
      } catch (const EStreamError& error) {
        throw EQuvFrameReadError(image->Name, i, error.what());
      } catch (const ERangeError& error) {
        throw EQuvFrameReadError(image->Name, i, error.what());
      }
      if (!frame) throw EQuvFrameReadError(image->Name, i, "the frame is missing");
      if (frame->LoadFailed) throw EQuvFrameReadError(image->Name, i, frame->LoadError);
      model.Frames.push_back(ReadFrame(*frame));
    }
    content.Images.push_back(std::move(model));
  }
  return content;
}

std::vector<uint8_t> EncodeQuvContent(const TQuvContent& content) {
  return EncodeQuvFile(content.Images, KeepCompression, content.TransparentIndex);
}

void ApplyEdit(TQuvContent& content, const TQuvEdit& edit) {
  auto& images = content.Images;
  const auto first = images.begin() + static_cast<std::ptrdiff_t>(edit.First);
  images.erase(first, first + static_cast<std::ptrdiff_t>(edit.Before.size()));
  images.insert(images.begin() + static_cast<std::ptrdiff_t>(edit.First), edit.After.begin(),
                edit.After.end());
}

void RevertEdit(TQuvContent& content, const TQuvEdit& edit) {
  auto& images = content.Images;
  const auto first = images.begin() + static_cast<std::ptrdiff_t>(edit.First);
  images.erase(first, first + static_cast<std::ptrdiff_t>(edit.After.size()));
  images.insert(images.begin() + static_cast<std::ptrdiff_t>(edit.First), edit.Before.begin(),
                edit.Before.end());
}

size_t FindImage(const TQuvContent& content, const std::string& name) {
  for (size_t i = 0; i < content.Images.size(); ++i)
    if (LowerCase(content.Images[i].Name) == LowerCase(name)) return i;
  throw EQuvEditError(Format("There is no image \xE2\x80\x98%s\xE2\x80\x99", name.c_str()));
}

// The frames an operation works on, checked against the image; every frame for an empty list.
std::vector<size_t> ResolveFrames(const TQuvContent& content, size_t image,
                                  const TFrameList& frames) {
  if (image >= content.Images.size())
    throw EQuvEditError(Format("There is no image number %zu", image));
  const TQuvImageModel& model = content.Images[image];
  std::vector<size_t> result;
  if (frames.empty()) {
    for (size_t i = 0; i < model.Frames.size(); ++i) result.push_back(i);
    return result;
  }
  for (int32_t frame : frames) {
    if (frame < 0 || static_cast<size_t>(frame) >= model.Frames.size())
      throw EQuvEditError(Format("\xE2\x80\x98%s\xE2\x80\x99 has no frame %d (it has %zu)",
                                 model.Name.c_str(), frame, model.Frames.size()));
    result.push_back(static_cast<size_t>(frame));
  }
  std::sort(result.begin(), result.end());
  result.erase(std::unique(result.begin(), result.end()), result.end());
  return result;
}

TQuvEdit ImageEdit(const TQuvContent& content, size_t image, std::string name) {
  TQuvEdit edit;
  edit.Name = std::move(name);
  edit.First = image;
  edit.Before = {content.Images[image]};
  edit.After = edit.Before;
  return edit;
}

TQuvEdit SetOffsets(const TQuvContent& content, size_t image, const TFrameList& frames,
                    std::optional<int32_t> x, std::optional<int32_t> y) {
  const std::vector<size_t> chosen = ResolveFrames(content, image, frames);
  TQuvEdit edit = ImageEdit(content, image, "Set Offsets");
  TQuvImageModel& model = edit.After.front();
  for (size_t i : chosen) {
    TQuvFrameModel& frame = model.Frames[i];
    const int64_t dx = x ? int64_t{*x} - frame.XOffset : 0;
    const int64_t dy = y ? int64_t{*y} - frame.YOffset : 0;
    CheckMove(model, i, frame, dx, dy);
    MoveHotSpot(frame, static_cast<int32_t>(dx), static_cast<int32_t>(dy));
  }
  return edit;
}

TQuvEdit ShiftOffsets(const TQuvContent& content, size_t image, const TFrameList& frames,
                      int32_t dx, int32_t dy) {
  const std::vector<size_t> chosen = ResolveFrames(content, image, frames);
  TQuvEdit edit = ImageEdit(content, image, "Shift Offsets");
  TQuvImageModel& model = edit.After.front();
  for (size_t i : chosen) {
    CheckMove(model, i, model.Frames[i], dx, dy);
    MoveHotSpot(model.Frames[i], dx, dy);
  }
  return edit;
}

void MoveFrameHotSpot(const TQuvImageModel& image, size_t index, TQuvFrameModel& frame, int64_t dx,
                      int64_t dy) {
  CheckMove(image, index, frame, dx, dy);
  MoveHotSpot(frame, static_cast<int32_t>(dx), static_cast<int32_t>(dy));
}

std::optional<TVisibleBox> VisibleBox(const TQuvFrameModel& frame, uint8_t transparentIndex) {
  if (!frame.SubFrames.empty()) return ComposedBox(frame, transparentIndex);
  const size_t width = static_cast<size_t>(std::max(frame.Width, 0));
  if (frame.Pixels.size() < width * static_cast<size_t>(std::max(frame.Height, 0)))
    return std::nullopt;
  return BoxOf(
      frame.Width, frame.Height, frame.XOffset, frame.YOffset, transparentIndex,
      [&](int32_t column, int32_t row) {
        return frame.Pixels[static_cast<size_t>(row) * width + static_cast<size_t>(column)];
      });
}

TQuvEdit ApplyOffsetPreset(const TQuvContent& content, size_t image, const TFrameList& frames,
                           TOffsetPreset preset) {
  const std::vector<size_t> chosen = ResolveFrames(content, image, frames);
  TQuvEdit edit = ImageEdit(content, image, PresetEditName(preset));
  TQuvImageModel& model = edit.After.front();
  if (preset != TOffsetPreset::Previous) {
    for (size_t i : chosen) {
      const std::optional<TVisibleBox> box = VisibleBox(model.Frames[i], content.TransparentIndex);
      if (!box) continue;
      const auto [dx, dy] = PresetMove(preset, *box);
      MoveFrameHotSpot(model, i, model.Frames[i], dx, dy);
    }
    return edit;
  }
  // Frames in order, each placed by the one before it as that one has just been placed.
  std::optional<TVisibleBox> previous;
  size_t next = 0;  // the next of the chosen frames
  for (size_t i = 0; next < chosen.size(); ++i) {
    const bool place = chosen[next] == i;
    if (place) ++next;
    std::optional<TVisibleBox> box = VisibleBox(model.Frames[i], content.TransparentIndex);
    if (!box) continue;
    if (place && previous) {
      const int64_t dx = int64_t{box->Left} - previous->Left;
      const int64_t dy = int64_t{box->Top} - previous->Top;
      MoveFrameHotSpot(model, i, model.Frames[i], dx, dy);
      box = TVisibleBox{previous->Left, previous->Top, static_cast<int32_t>(box->Right - dx),
                        static_cast<int32_t>(box->Bottom - dy)};
    }
    previous = box;
  }
  return edit;
}

std::optional<TOffsetPreset> OffsetPresetNamed(const std::string& name) {
  if (name == "centre") return TOffsetPreset::Centre;
  if (name == "bottom-centre") return TOffsetPreset::BottomCentre;
  if (name == "previous") return TOffsetPreset::Previous;
  return std::nullopt;
}
