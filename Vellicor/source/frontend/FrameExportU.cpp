#include "FrameExportU.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

#include "BmpWriterU.h"
#include "ImageLoaderU.h"
#include "LoadMessagesU.h"
#include "PngWriterU.h"
#include "StringUtilsU.h"

namespace {

int32_t DigitCount(int64_t n) {
  int32_t digits = 0;
  do {
    n /= 10;
    ++digits;
  } while (n != 0);
  return digits;
}

// Folder plus name; an empty folder means the current one.
std::string InFolder(const std::string& folder, const std::string& name) {
  return JoinPath(folder, name, PathDelim);
}

int32_t ClampToInt32(int64_t value) {
  return int32_t(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
}

}  // namespace

TPadOrigin FramePaddingOrigin(TImage& image, int32_t first, int32_t last, bool wholeImage) {
  if (wholeImage) {
    first = 0;
    last = INT32_MAX;
  }
  TPadOrigin origin;
  const int32_t end = int32_t(std::min<int64_t>(last, int64_t(image.FrameCount) - 1));
  for (int32_t i = std::max(first, 0); i <= end; ++i) {
    TImageFrame* frame = size_t(i) < image.Frames.size() ? image.Frames[size_t(i)].get() : nullptr;
    if (!frame) continue;
    // A frame without sub-frames has its final offsets in its header.
    // One that cannot be read is left out here and reported by the export that wants it.
    if (!frame->Composed && frame->SubFrameCount > 0) try {
        frame = image.GetFrame(i);
      } catch (const std::exception& error) {
        if (!IsDataError(error)) throw;
        continue;
      }
    if (!frame || frame->LoadFailed) continue;
    origin.X = std::max(origin.X, frame->XOffset);
    origin.Y = std::max(origin.Y, frame->YOffset);
  }
  return origin;
}

TPadOrigin SubFramePaddingOrigin(TImageFrame& frame, int32_t first, int32_t last, bool wholeFrame) {
  if (wholeFrame) {
    first = 0;
    last = INT32_MAX;
  }
  TPadOrigin origin;
  for (int32_t j = std::max(first, 0); j < frame.SubFrameCount && j <= last; ++j) {
    const TImageFrame* subFrame = frame.GetSubFrame(j);
    if (!subFrame) continue;
    origin.X = std::max(origin.X, subFrame->XOffset);
    origin.Y = std::max(origin.Y, subFrame->YOffset);
  }
  return origin;
}

TPadOrigin PaddingFor(const TImageFrame& frame, TPadOrigin origin) {
  return {ClampToInt32(std::max<int64_t>(0, int64_t(origin.X) - frame.XOffset)),
          ClampToInt32(std::max<int64_t>(0, int64_t(origin.Y) - frame.YOffset))};
}

std::string PadNumber(int32_t index, int32_t count) {
  std::string text = std::to_string(index);
  const int32_t digits = DigitCount(count);
  if (index >= 0 && int32_t(text.size()) < digits)
    text.insert(0, size_t(digits) - text.size(), '0');
  return text;
}

std::string FillNameFormat(std::string_view format, std::initializer_list<std::string_view> args) {
  std::string result;
  auto next = args.begin();
  for (size_t i = 0; i < format.size(); ++i) {
    if (format[i] == '%' && i + 1 < format.size()) {
      if (format[i + 1] == 's') {
        if (next != args.end()) result += *next++;
        ++i;
        continue;
      }
      if (format[i + 1] == '%') {
        result += '%';
        ++i;
        continue;
      }
    }
    result += format[i];
  }
  return result;
}

std::string FileNamePart(std::string_view name) {
  std::string part(name);
  std::replace(part.begin(), part.end(), '/', '_');
  std::replace(part.begin(), part.end(), '\\', '_');
  return part;
}

std::vector<std::string> DistinctFileNames(const std::vector<std::string>& wanted) {
  // Every wanted name is reserved first, so that a suffix never takes a name wanted later.
  std::unordered_set<std::string> taken;
  for (const std::string& name : wanted) taken.insert(FoldCase(name));
  std::unordered_set<std::string> kept;
  // Per wanted name, the suffix to try next: many images of one name stay linear.
  std::unordered_map<std::string, int64_t> nextSuffix;
  std::vector<std::string> names;
  names.reserve(wanted.size());
  for (const std::string& name : wanted) {
    const std::string key = FoldCase(name);
    if (kept.insert(key).second) {
      names.push_back(name);
      continue;
    }
    int64_t& suffix = nextSuffix.try_emplace(key, 2).first->second;
    std::string given;
    do given = name + "~" + std::to_string(suffix++);
    while (!taken.insert(FoldCase(given)).second);
    names.push_back(std::move(given));
  }
  return names;
}

// ---- TFrontEndImage: names ----

namespace {

// The name without its extension: from its last "." on, unless a drive colon follows that.
std::string WithoutExtension(const std::string& name) {
  const size_t dot = name.find_last_of('.');
  const size_t colon = name.find_last_of(':');
  if (dot == std::string::npos || (colon != std::string::npos && colon > dot)) return name;
  return name.substr(0, dot);
}

}  // namespace

const TExportFileNames& TFrontEndImages::ExportFileNames(const TImage* image) {
  const std::vector<std::unique_ptr<TImage>>& images = Images->Images;
  if (FExportNamesFor != images.size()) {
    // Every image at once, in file order: the names then hold for every export of the file.
    std::vector<std::string> stems, bases;
    for (const auto& each : images) {
      stems.push_back(FileNamePart(each->Name));
      bases.push_back(WithoutExtension(stems.back()));
    }
    stems = DistinctFileNames(stems);
    bases = DistinctFileNames(bases);
    FExportNames.clear();
    for (size_t i = 0; i < images.size(); ++i)
      FExportNames[images[i].get()] = {stems[i], bases[i] + ".txt"};
    FExportNamesFor = images.size();
  }
  const auto [entry, added] = FExportNames.try_emplace(image);
  if (added) {
    // Not one of the collection's images: it competes with none of them.
    const std::string part = FileNamePart(image->Name);
    entry->second = {part, WithoutExtension(part) + ".txt"};
  }
  return entry->second;
}

std::string TFrontEndImage::ExportName() const {
  return Owner->ExportFileNames(Image).Stem;
}

std::string TFrontEndImage::DataFileName() const {
  return Owner->ExportFileNames(Image).DataFile;
}

std::string TFrontEndImage::FrameFileName(int32_t frameIndex, int32_t subFrameIndex) const {
  const std::string frameNumber = PadNumber(frameIndex, FrameCount);
  const std::string name = ExportName();
  if (subFrameIndex < 0) return FillNameFormat(FrameNameFormat, {name, frameNumber});
  int32_t subFrameCount = 0;
  if (frameIndex >= 0 && frameIndex < FrameCount && Frames[size_t(frameIndex)])
    subFrameCount = Frames[size_t(frameIndex)]->SubFrameCount;
  else if (frameIndex >= 0 && size_t(frameIndex) < Image->Frames.size() &&
           Image->Frames[size_t(frameIndex)])
    subFrameCount = Image->Frames[size_t(frameIndex)]->SubFrameCount;
  return FillNameFormat(SubFrameNameFormat,
                        {name, frameNumber, PadNumber(subFrameIndex, subFrameCount)});
}

TFrameNameSource TFrontEndImage::DefaultNameSource() const {
  return [this](TImageFrame*, int32_t frameIndex, int32_t subFrameIndex) {
    return FrameFileName(frameIndex, subFrameIndex);
  };
}

// ---- TFrontEndImage: frame files ----

namespace {

// The frame's pixels as a 24-bit bitmap, padded on the left and top by padding, in the pixel
// format of the BMP file.
TBitmap BmpPicture(const TFramePixels& pixels, TPadOrigin padding, bool pad, TPixelFormat format) {
  TBitmap picture = pixels.Bitmap();
  if (pad) {
    // Only left and top grow, so the hot spot lands on the origin. Padding happens before any
    // colour reduction so the reduced table is chosen for the final picture.
    TBitmap padded;
    padded.Transparent = picture.Transparent;
    padded.TransparentColor = picture.TransparentColor;
    padded.SetSize(ClampToInt32(int64_t(picture.Width()) + padding.X),
                   ClampToInt32(int64_t(picture.Height()) + padding.Y));
    padded.Fill(picture.TransparentColor);
    // The background already is the transparent colour, so an opaque copy gives the same
    // picture as a transparent one.
    padded.Draw(padding.X, padding.Y, picture, false);
    picture = std::move(padded);
  }
  picture.SetPixelFormat(format);
  return picture;
}

// The frame's pixels as a PNG (RGBA, or indexed for efPng8) padded like the BMP, then scaled.
std::vector<uint8_t> PngPicture(const TFramePixels& pixels, TPadOrigin padding, bool pad,
                                int32_t scale, TExportFormat format) {
  TPicture picture = pixels.Indices();
  const uint8_t empty = pixels.TransparentIndex();
  if (pad) {
    TPicture padded(CheckedPictureSide(int64_t(picture.Width) + padding.X),
                    CheckedPictureSide(int64_t(picture.Height) + padding.Y), 1, empty);
    PlacePicture(padded, picture, padding.X, padding.Y);
    picture = std::move(padded);
  }
  picture = ScalePicture(std::move(picture), scale);
  return format == efPng8 ? EncodePng8(picture, pixels.Palette(), empty)
                          : EncodePng(IndicesToRgba(picture, pixels.Palette(), empty));
}

}  // namespace

TFrontEndImageFrame* TFrontEndImage::ExportedFrame(TExportPlan& plan, int32_t index) {
  try {
    TFrontEndImageFrame* frame = GetFrame(index);
    // A frame whose load failed raises its error here, whoever fetched it first.
    if (frame) frame->GetPixels();
    return frame;
  } catch (const std::exception& error) {
    if (!IsDataError(error)) throw;
    // The frame's own sentence, whichever fetch met the damage first.
    const TImageFrame* data =
        size_t(index) < Image->Frames.size() ? Image->Frames[size_t(index)].get() : nullptr;
    const std::string reason = data && data->LoadFailed ? data->LoadError : error.what();
    plan.FrameFailed(Owner->FileError(FrameErrorSentence(index, Name, reason)));
    return nullptr;
  }
}

void TFrontEndImage::ExportFrameBitmap(TExportPlan& plan, TExportFormat format,
                                       const std::string& fileName, TFrontEndImageFrame* frame,
                                       int32_t padX, int32_t padY) {
  if (plan.NamesOnly({fileName})) return;
  const TFramePixels* pixels = nullptr;
  try {
    pixels = &frame->GetPixels();
  } catch (const std::exception& error) {
    if (!IsDataError(error)) throw;
    plan.FrameFailed(Owner->FileError(error.what()));
    return;
  }
  const TPadOrigin padding = PaddingFor(*frame->Frame, {padX, padY});
  const std::vector<uint8_t> file =
      format == efBmp
          ? EncodeBmp(BmpPicture(*pixels, padding, Owner->AutoPad, Owner->ExportPixelFormat))
          : PngPicture(*pixels, padding, Owner->AutoPad, Owner->FormatOptions.Scale, format);
  plan.WriteFile(fileName, file.data(), file.size());
  if (Owner->OnFileWritten) Owner->OnFileWritten(fileName);
}

void TFrontEndImage::FrameRangeOrigin(int32_t first, int32_t last, int32_t& padX,
                                      int32_t& padY) const {
  const TPadOrigin origin =
      FramePaddingOrigin(*Image, first, last, Owner->AutoPadUsingSelectedFrames);
  padX = origin.X;
  padY = origin.Y;
}

void TFrontEndImage::Written(TFrontEndImageFrame* frame) {
  if (Owner->ReleaseWrittenFrames && frame) Owner->Images->ReleaseFrame(frame->Frame);
}

void TFrontEndImage::ExportOrigin(int32_t first, int32_t last, int32_t& padX, int32_t& padY) const {
  FrameRangeOrigin(first, last, padX, padY);
}

namespace {

void SubFrameRangeOrigin(TFrontEndImageFrame* frame, bool wholeFrame, int32_t first, int32_t last,
                         int32_t& padX, int32_t& padY) {
  const TPadOrigin origin = SubFramePaddingOrigin(*frame->Frame, first, last, wholeFrame);
  padX = origin.X;
  padY = origin.Y;
}

}  // namespace

void TFrontEndImage::ExportCurrentFrame(TExportPlan& plan, TExportFormat format,
                                        const std::string& fileName) {
  const TPadOrigin origin = FramePaddingOrigin(*Image, 0, INT32_MAX, true);
  if (TFrontEndImageFrame* frame = ExportedFrame(plan, CurrentFrame)) {
    ExportFrameBitmap(plan, format, fileName, frame, origin.X, origin.Y);
    Written(frame);
  }
}

void TFrontEndImage::ExportCurrentSubFrame(TExportPlan& plan, TExportFormat format,
                                           int32_t subFrameIndex, const std::string& fileName) {
  TFrontEndImageFrame* frame = ExportedFrame(plan, CurrentFrame);
  if (!frame) return;
  TFrontEndImageFrame* subFrame = frame->GetSubFrame(subFrameIndex);
  const TPadOrigin origin = SubFramePaddingOrigin(*frame->Frame, 0, INT32_MAX, true);
  ExportFrameBitmap(plan, format, fileName, subFrame, origin.X, origin.Y);
  Written(frame);
}

void TFrontEndImage::ExportFrameRange(TExportPlan& plan, TExportFormat format, int32_t first,
                                      int32_t last, const std::string& nameFormat,
                                      const std::string& folder) {
  first = std::max(first, 0);
  if (last < first) return;
  int32_t padX, padY;
  FrameRangeOrigin(first, last, padX, padY);
  const std::string name = ExportName();
  for (int32_t i = first; i < FrameCount && i <= last; ++i) {
    TFrontEndImageFrame* frame = ExportedFrame(plan, i);
    if (!frame) continue;
    ExportFrameBitmap(
        plan, format,
        InFolder(folder, FillNameFormat(nameFormat, {name, PadNumber(i, FrameCount)})), frame, padX,
        padY);
    Written(frame);
  }
}

void TFrontEndImage::ExportSubFrameRange(TExportPlan& plan, TExportFormat format, int32_t first,
                                         int32_t last, const std::string& nameFormat,
                                         const std::string& folder) {
  first = std::max(first, 0);
  if (last < first) return;
  TFrontEndImageFrame* frame = ExportedFrame(plan, CurrentFrame);
  if (!frame) return;
  int32_t padX, padY;
  SubFrameRangeOrigin(frame, Owner->AutoPadUsingSelectedFrames, first, last, padX, padY);
  const std::string name = ExportName();
  const std::string frameNumber = PadNumber(CurrentFrame, FrameCount);
  for (int32_t j = first; j < frame->SubFrameCount && j <= last; ++j)
    ExportFrameBitmap(
        plan, format,
        InFolder(folder, FillNameFormat(nameFormat,
                                        {name, frameNumber, PadNumber(j, frame->SubFrameCount)})),
        frame->GetSubFrame(j), padX, padY);
  Written(frame);
}

void TFrontEndImage::ExportImageSubFrameRange(TExportPlan& plan, TExportFormat format,
                                              int32_t firstFrame, int32_t lastFrame,
                                              const std::string& nameFormat,
                                              const std::string& folder, int32_t firstSubFrame,
                                              int32_t lastSubFrame) {
  firstFrame = std::max(firstFrame, 0);
  firstSubFrame = std::max(firstSubFrame, 0);
  if (lastFrame < firstFrame || lastSubFrame < firstSubFrame) return;
  const std::string name = ExportName();
  for (int32_t i = firstFrame; i < FrameCount && i <= lastFrame; ++i) {
    TFrontEndImageFrame* frame = ExportedFrame(plan, i);
    if (!frame) continue;
    int32_t padX, padY;
    SubFrameRangeOrigin(frame, Owner->AutoPadUsingSelectedFrames, firstSubFrame, lastSubFrame, padX,
                        padY);
    const std::string frameNumber = PadNumber(i, FrameCount);
    for (int32_t j = firstSubFrame; j < frame->SubFrameCount && j <= lastSubFrame; ++j)
      ExportFrameBitmap(
          plan, format,
          InFolder(folder, FillNameFormat(nameFormat,
                                          {name, frameNumber, PadNumber(j, frame->SubFrameCount)})),
          frame->GetSubFrame(j), padX, padY);
    Written(frame);
  }
}

// ---- TFrontEndImage: frame data ----

std::string TFrontEndImage::FrameDataLine(TExportPlan& plan, TFrontEndImageFrame* frame,
                                          int32_t padX, int32_t padY, const std::string& folder,
                                          bool writeBitmap, const TFrameNameSource& nameSource,
                                          int32_t subFrameIndex, int32_t frameIndex) {
  const TImageFrame* source = frame->Frame;
  const bool pad = Owner->AutoPad;
  const int64_t x = pad ? int64_t(padX) - source->XOffset : source->XOffset;
  const int64_t y = pad ? int64_t(padY) - source->YOffset : source->YOffset;
  std::string group = std::to_string(x) + "," + std::to_string(y);
  const uint8_t type = Owner->FrameDataExportType;
  if (type >= 1)
    group += "," + std::to_string(source->Width) + "," + std::to_string(source->Height);
  const bool named = type >= 2 && nameSource;
  if (named || writeBitmap) {
    const std::string bmpName = nameSource ? nameSource(frame->Frame, frameIndex, subFrameIndex)
                                           : FrameFileName(frameIndex, subFrameIndex);
    if (named) group += "," + bmpName;
    if (writeBitmap) ExportFrameBitmap(plan, efBmp, InFolder(folder, bmpName), frame, padX, padY);
  }
  return group;
}

std::string TFrontEndImage::FrameDataText(TExportPlan& plan, int32_t first, int32_t last,
                                          int32_t padX, int32_t padY,
                                          const TFrameNameSource& nameSource,
                                          const std::string& folder) {
  const uint8_t type = Owner->FrameDataExportType;
  std::string text = "Extended=" + std::to_string(type) + "\r\n";
  text += "XOffset,YOffset";
  if (type >= 1) text += ",Width,Height";
  if (type >= 2 && nameSource) text += ",ImageName";
  text += "\r\n";
  for (int32_t i = first; i < FrameCount && i <= last; ++i) {
    TFrontEndImageFrame* frame = ExportedFrame(plan, i);
    if (!frame) continue;
    std::string line = FrameDataLine(plan, frame, padX, padY, folder, false, nameSource, -1, i);
    for (int32_t j = 0; j < frame->SubFrameCount; ++j)
      line += "," + FrameDataLine(plan, frame->GetSubFrame(j), padX, padY, folder,
                                  Owner->ExportFrameWhenExportFrameData, nameSource, j, i);
    text += line + "\r\n";
    Written(frame);
  }
  return text;
}

void TFrontEndImage::WriteFrameData(TExportPlan& plan, const std::string& fileName,
                                    const std::string& folder, const TFrameNameSource& nameSource,
                                    int32_t frameIndex) {
  // An index outside the image gives a file with the header alone.
  const TPadOrigin origin = FramePaddingOrigin(*Image, 0, INT32_MAX, true);
  const std::string text =
      FrameDataText(plan, frameIndex, frameIndex, origin.X, origin.Y, nameSource, folder);
  if (plan.NamesOnly({fileName})) return;
  plan.WriteFile(fileName, text.data(), text.size());
  if (Owner->OnFileWritten) Owner->OnFileWritten(fileName);
}

void TFrontEndImage::WriteFramesData(TExportPlan& plan, int32_t first, int32_t last,
                                     const TFrameNameSource& nameSource, const std::string& folder,
                                     const std::string& fileName) {
  first = std::max(first, 0);
  if (last < first) return;
  int32_t padX, padY;
  FrameRangeOrigin(first, last, padX, padY);
  const std::string text = FrameDataText(plan, first, last, padX, padY, nameSource, folder);
  if (plan.NamesOnly({fileName})) return;
  plan.WriteFile(fileName, text.data(), text.size());
  if (Owner->OnFileWritten) Owner->OnFileWritten(fileName);
}

// ---- TFrontEndImages ----

void TFrontEndImages::ExportAllImages(TExportPlan& plan, TExportFormat format,
                                      const std::string& folder, const std::string& nameFormat) {
  for (int32_t i = Images->ImageCount - 1; i >= 0; --i)
    if (TFrontEndImage* image = GetImage(i))
      image->ExportFrameRange(plan, format, 0, image->FrameCount, nameFormat, folder);
}
