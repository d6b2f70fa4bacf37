// The frame operations of QuvEditU.h: crops, frames from pictures, and frames duplicated,
// deleted and moved within an image.
#include <algorithm>
#include <iterator>

#include "QuvEditU.h"
#include "QuvManagerU.h"
#include "StringUtilsU.h"

namespace {

constexpr size_t MaxFrameCount = 65535;  // an image entry counts its frames in 16 bits

// Cuts a frame without sub-frames to the box (relative to its hot spot); the hot spot moves so
// that every pixel kept stays where it was relative to it.
void CutFrame(const TQuvImageModel& image, size_t index, TQuvFrameModel& frame,
              const TVisibleBox& box) {
  const int32_t left = frame.XOffset + box.Left, top = frame.YOffset + box.Top;
  const int32_t width = box.Right - box.Left + 1, height = box.Bottom - box.Top + 1;
  MoveFrameHotSpot(image, index, frame, -int64_t{left}, -int64_t{top});
  std::vector<uint8_t> pixels;
  pixels.reserve(static_cast<size_t>(width) * static_cast<size_t>(height));
  for (int32_t y = top; y < top + height; ++y) {
    const auto row = frame.Pixels.begin() + static_cast<std::ptrdiff_t>(y) * frame.Width + left;
    pixels.insert(pixels.end(), row, row + width);
  }
  frame.Pixels = std::move(pixels);
  frame.Width = width;
  frame.Height = height;
}

// The frames at the positions (sorted), in their order.
std::vector<TQuvFrameModel> FramesAt(const TQuvImageModel& image,
                                     const std::vector<size_t>& positions) {
  std::vector<TQuvFrameModel> frames;
  frames.reserve(positions.size());
  for (size_t i : positions) frames.push_back(image.Frames[i]);
  return frames;
}

// Removes the frames at the positions (sorted).
void EraseFrames(TQuvImageModel& image, const std::vector<size_t>& positions) {
  size_t next = 0, kept = 0;
  for (size_t i = 0; i < image.Frames.size(); ++i) {
    if (next < positions.size() && positions[next] == i) {
      ++next;
      continue;
    }
    if (kept != i) image.Frames[kept] = std::move(image.Frames[i]);
    ++kept;
  }
  image.Frames.resize(kept);
}

}  // namespace

void CheckFrameCount(const TQuvImageModel& image, size_t count) {
  if (count == 0)
    throw EQuvEditError(
        Format("\xE2\x80\x98%s\xE2\x80\x99 cannot be left without frames: an "
               "image keeps at least one",
               image.Name.c_str()));
  if (count > MaxFrameCount)
    throw EQuvEditError(
        Format("\xE2\x80\x98%s\xE2\x80\x99 cannot have %zu frames: an image "
               "holds at most %zu",
               image.Name.c_str(), count, MaxFrameCount));
}

TQuvFrameModel FrameOfPicture(const TFramePicture& picture, TColourMapper& mapper,
                              const TQuvImageModel& image, size_t frame, int32_t x, int32_t y) {
  const TSourcePicture& source = picture.Picture;
  const int64_t width = source.Width, height = source.Height;
  if (width < 1 || width > PictureMaxSide || height < 1 || height > PictureMaxSide)
    throw EQuvEditError(
        Format("Frame %zu of \xE2\x80\x98%s\xE2\x80\x99 cannot be %lld x %lld "
               "pixels: a side holds 1 to %d",
               frame, image.Name.c_str(), static_cast<long long>(width),
               static_cast<long long>(height), PictureMaxSide));
  if (width * height > QuvMaxFramePixels)
    throw EQuvEditError(
        Format("Frame %zu of \xE2\x80\x98%s\xE2\x80\x99 cannot hold %lld x %lld "
               "pixels: a frame holds at most %lld",
               frame, image.Name.c_str(), static_cast<long long>(width),
               static_cast<long long>(height), static_cast<long long>(QuvMaxFramePixels)));
  const size_t bytes = static_cast<size_t>(width * height) * (source.Indexed ? 1 : 4);
  if (source.Pixels.size() != bytes)
    throw EQuvEditError(
        Format("The picture for frame %zu of \xE2\x80\x98%s\xE2\x80\x99 holds "
               "%zu bytes of pixels, not the %zu of its size",
               frame, image.Name.c_str(), source.Pixels.size(), bytes));
  TQuvFrameModel model;
  model.Width = source.Width;
  model.Height = source.Height;
  const int64_t xOffset = picture.XOffset.value_or(x), yOffset = picture.YOffset.value_or(y);
  CheckOffsets(image, frame, xOffset, yOffset);
  model.XOffset = static_cast<int32_t>(xOffset);
  model.YOffset = static_cast<int32_t>(yOffset);
  model.Compression = 1;
  mapper.Map(source, 0, 0, source.Width, source.Height, model.Pixels);
  return model;
}

TQuvEdit CropFrames(const TQuvContent& content, size_t image, const TFrameList& frames) {
  const std::vector<size_t> chosen = ResolveFrames(content, image, frames);
  TQuvEdit edit = ImageEdit(content, image, "Crop Frames");
  TQuvImageModel& model = edit.After.front();
  for (size_t i : chosen) {
    TQuvFrameModel& frame = model.Frames[i];
    if (!frame.SubFrames.empty()) continue;
    const std::optional<TVisibleBox> box = VisibleBox(frame, content.TransparentIndex);
    if (box) CutFrame(model, i, frame, *box);
  }
  return edit;
}

TQuvEdit ReplaceFrame(const TQuvContent& content, size_t image, int32_t frame,
                      const TFramePicture& picture, const TPalette& palette) {
  const size_t index = ResolveFrames(content, image, {frame}).front();
  TQuvEdit edit = ImageEdit(content, image, "Replace Frame");
  TQuvImageModel& model = edit.After.front();
  TColourMapper mapper(palette, content.TransparentIndex);
  const TQuvFrameModel& old = model.Frames[index];
  model.Frames[index] = FrameOfPicture(picture, mapper, model, index, old.XOffset, old.YOffset);
  return edit;
}

TQuvEdit InsertFrames(const TQuvContent& content, size_t image, int32_t at,
                      const std::vector<TFramePicture>& pictures, const TPalette& palette) {
  ResolveFrames(content, image, {});
  TQuvEdit edit = ImageEdit(content, image, "Insert Frames");
  TQuvImageModel& model = edit.After.front();
  if (at < 0 || static_cast<size_t>(at) > model.Frames.size())
    throw EQuvEditError(
        Format("\xE2\x80\x98%s\xE2\x80\x99 has %zu frames: new frames go at 0 "
               "to %zu, not %d",
               model.Name.c_str(), model.Frames.size(), model.Frames.size(), at));
  if (pictures.empty())
    throw EQuvEditError(
        Format("No pictures to insert into \xE2\x80\x98%s\xE2\x80\x99", model.Name.c_str()));
  CheckFrameCount(model, model.Frames.size() + pictures.size());
  TColourMapper mapper(palette, content.TransparentIndex);
  std::vector<TQuvFrameModel> made;
  made.reserve(pictures.size());
  for (const TFramePicture& picture : pictures)
    made.push_back(
        FrameOfPicture(picture, mapper, model, static_cast<size_t>(at) + made.size(), 0, 0));
  model.Frames.insert(model.Frames.begin() + at, std::make_move_iterator(made.begin()),
                      std::make_move_iterator(made.end()));
  return edit;
}

TQuvEdit DuplicateFrames(const TQuvContent& content, size_t image, const TFrameList& frames) {
  const std::vector<size_t> chosen = ResolveFrames(content, image, frames);
  TQuvEdit edit = ImageEdit(content, image, "Duplicate Frames");
  TQuvImageModel& model = edit.After.front();
  if (chosen.empty()) return edit;
  CheckFrameCount(model, model.Frames.size() + chosen.size());
  std::vector<TQuvFrameModel> copies = FramesAt(model, chosen);
  model.Frames.insert(model.Frames.begin() + static_cast<std::ptrdiff_t>(chosen.back() + 1),
                      std::make_move_iterator(copies.begin()),
                      std::make_move_iterator(copies.end()));
  return edit;
}

TQuvEdit DeleteFrames(const TQuvContent& content, size_t image, const TFrameList& frames) {
  const std::vector<size_t> chosen = ResolveFrames(content, image, frames);
  TQuvEdit edit = ImageEdit(content, image, "Delete Frames");
  TQuvImageModel& model = edit.After.front();
  CheckFrameCount(model, model.Frames.size() - chosen.size());
  EraseFrames(model, chosen);
  return edit;
}

TQuvEdit MoveFrames(const TQuvContent& content, size_t image, const TFrameList& frames,
                    int32_t to) {
  const std::vector<size_t> chosen = ResolveFrames(content, image, frames);
  TQuvEdit edit = ImageEdit(content, image, "Move Frames");
  TQuvImageModel& model = edit.After.front();
  if (to < 0 || static_cast<size_t>(to) > model.Frames.size())
    throw EQuvEditError(
        Format("\xE2\x80\x98%s\xE2\x80\x99 has %zu frames: frames move to 0 to "
               "%zu, not %d",
               model.Name.c_str(), model.Frames.size(), model.Frames.size(), to));
  std::vector<TQuvFrameModel> moved = FramesAt(model, chosen);
  // The frame that was at `to` may move itself: the frames go before the first frame from `to`
  // on that stays.
  const auto staysBefore = std::lower_bound(chosen.begin(), chosen.end(), static_cast<size_t>(to));
  const size_t position =
      static_cast<size_t>(to) - static_cast<size_t>(staysBefore - chosen.begin());
  EraseFrames(model, chosen);
  model.Frames.insert(model.Frames.begin() + static_cast<std::ptrdiff_t>(position),
                      std::make_move_iterator(moved.begin()), std::make_move_iterator(moved.end()));
  return edit;
}
