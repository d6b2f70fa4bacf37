#include "GifWriterU.h"

#include <gif_lib.h>

#include <algorithm>

#include "BitmapU.h"

namespace {

int WriteBytes(GifFileType* gif, const GifByteType* data, int length) {
  auto* out = static_cast<std::vector<uint8_t>*>(gif->UserData);
  out->insert(out->end(), data, data + length);
  return length;
}

}  // namespace

uint16_t TGifEncoder::DelayCentiseconds(int32_t delayMs) {
  return uint16_t(
      std::clamp((int64_t(delayMs) + 5) / 10, int64_t(MinDelayMs / 10), int64_t(65535)));
}

TGifEncoder::TGifEncoder(int32_t width, int32_t height, const TPalette& palette,
                         uint8_t transparentIndex, int32_t delayMs)
    : FWidth(std::clamp(width, 1, 65535)),
      FHeight(std::clamp(height, 1, 65535)),
      FTransparent(transparentIndex),
      FDelay(DelayCentiseconds(delayMs)) {
  if (width > 65535 || height > 65535)
    throw EBitmapError(Format("Picture of %d x %d pixels is too large for GIF", width, height));
  int error = 0;
  FGif = EGifOpen(&FBytes, WriteBytes, &error);
  if (!FGif) throw EBitmapError(Format("GIF encoding failed: %s", GifErrorString(error)));
  try {
    Start(palette);
  } catch (...) {
    EGifCloseFile(FGif, nullptr);
    FGif = nullptr;
    throw;
  }
}

void TGifEncoder::Start(const TPalette& palette) {
  EGifSetGifVersion(FGif, true);
  GifColorType colours[256];
  for (int i = 0; i < 256; ++i) colours[i] = {palette[i][0], palette[i][1], palette[i][2]};
  ColorMapObject* map = GifMakeMapObject(256, colours);
  if (!map) throw EBitmapError("GIF encoding failed: no memory");
  const int status = EGifPutScreenDesc(FGif, FWidth, FHeight, 8, FTransparent, map);
  GifFreeMapObject(map);
  Check(status, "screen");
  // The Netscape extension: loop forever.
  static const GifByteType netscape[] = "NETSCAPE2.0";
  static const GifByteType loop[] = {1, 0, 0};
  Check(EGifPutExtensionLeader(FGif, APPLICATION_EXT_FUNC_CODE), "loop");
  Check(EGifPutExtensionBlock(FGif, 11, netscape), "loop");
  Check(EGifPutExtensionBlock(FGif, 3, loop), "loop");
  Check(EGifPutExtensionTrailer(FGif), "loop");
}

TGifEncoder::~TGifEncoder() {
  if (FGif) EGifCloseFile(FGif, nullptr);
}

void TGifEncoder::Check(int status, const char* what) {
  if (status == GIF_OK) return;
  const int error = FGif ? FGif->Error : 0;
  throw EBitmapError(Format("GIF encoding failed (%s): %s", what, GifErrorString(error)));
}

void TGifEncoder::AddFrame(const TPicture& indices) {
  if (!FGif) throw EBitmapError("GIF encoding failed: already finished");
  if (std::max(indices.Width, 1) != FWidth || std::max(indices.Height, 1) != FHeight)
    throw EBitmapError("Animation frames differ in size");
  GraphicsControlBlock control{};
  control.DisposalMode = DISPOSE_BACKGROUND;
  control.UserInputFlag = false;
  control.DelayTime = FDelay;
  control.TransparentColor = FTransparent;
  GifByteType extension[4];
  EGifGCBToExtension(&control, extension);
  Check(EGifPutExtension(FGif, GRAPHICS_EXT_FUNC_CODE, 4, extension), "frame");
  Check(EGifPutImageDesc(FGif, 0, 0, FWidth, FHeight, false, nullptr), "frame");
  if (indices.Width <= 0 || indices.Height <= 0) {
    GifPixelType empty = FTransparent;
    Check(EGifPutLine(FGif, &empty, 1), "pixels");
  } else {
    for (int32_t y = 0; y < FHeight; ++y)
      Check(EGifPutLine(FGif, const_cast<GifPixelType*>(indices.Row(y)), FWidth), "pixels");
  }
  ++FFrames;
}

std::vector<uint8_t> TGifEncoder::Finish() {
  if (FFrames == 0) AddFrame(TPicture(FWidth, FHeight, 1, FTransparent));
  int error = 0;
  const int status = EGifCloseFile(FGif, &error);
  FGif = nullptr;
  if (status != GIF_OK)
    throw EBitmapError(Format("GIF encoding failed: %s", GifErrorString(error)));
  return std::move(FBytes);
}
