#include "ThumbnailU.h"

#include <algorithm>

#include "ImageLoaderU.h"
#include "PngWriterU.h"
#include "StringUtilsU.h"

namespace {

void CheckFrameSize(const TImageFrame& frame, const TImageClass& images) {
  const int64_t pixels = int64_t(frame.Width) * frame.Height;
  const char* image = frame.Image ? frame.Image->Name.c_str() : "";
  if (pixels <= 0)
    throw EImageFileError(
        Format("The first frame of \"%s\" in %s is empty", image, images.Name.c_str()));
  if (pixels > MaxThumbnailFramePixels)
    throw EImageFileError(
        Format("The first frame of \"%s\" in %s is too large for a thumbnail "
               "(%d x %d pixels)",
               image, images.Name.c_str(), frame.Width, frame.Height));
}

}  // namespace

TPicture ThumbnailIndices(TImageClass& images, int32_t side) {
  TFrontEndImages frontEnd(&images);
  TFrontEndImage* image = frontEnd.GetImage(0);
  if (!image) throw EImageFileError(Format("%s holds no image", images.Name.c_str()));
  // Frame headers are read with the file, pixels only on the frame's first fetch.
  const std::vector<std::unique_ptr<TImageFrame>>& headers = image->Image->Frames;
  if (!headers.empty() && headers.front()) CheckFrameSize(*headers.front(), images);
  TFrontEndImageFrame* frame = image->GetFrame(0);
  if (!frame || !frame->Frame)
    throw EImageFileError(
        Format("%s holds no frame of \"%s\"", images.Name.c_str(), image->Name.c_str()));
  // Sub-frames may have grown the canvas.
  CheckFrameSize(*frame->Frame, images);
  return FitPicture(frame->GetPixels().Indices(), std::clamp(side, 1, MaxThumbnailSize));
}

std::vector<uint8_t> ThumbnailPng(TImageClass& images, int32_t side) {
  return EncodePng(IndicesToRgba(ThumbnailIndices(images, side), Palette, TransparentIndex));
}
