#pragma once
// Animated GIF encoding (giflib) of palette-index pictures into memory: the palette as the
// global colour table, one transparent index, looping forever.
#include <cstdint>
#include <vector>

#include "ImageManagerU.h"
#include "PictureU.h"

struct GifFileType;

class TGifEncoder {
 public:
  // delayMs is rounded to GIF's 10 ms steps, and is at least MinDelayMs.
  TGifEncoder(int32_t width, int32_t height, const TPalette& palette, uint8_t transparentIndex,
              int32_t delayMs);
  TGifEncoder(const TGifEncoder&) = delete;
  TGifEncoder& operator=(const TGifEncoder&) = delete;
  ~TGifEncoder();

  // One frame covering the whole canvas; its transparent pixels show the background, not the
  // previous frame. Raises EBitmapError for a frame of another size.
  void AddFrame(const TPicture& indices);
  std::vector<uint8_t> Finish();

  // Browsers and players show a delay of 0 or 1 hundredth as 100 ms: 2 hundredths is the
  // shortest delay that plays as written.
  static constexpr int32_t MinDelayMs = 20;
  // The GIF delay, in hundredths of a second, for a delay in milliseconds.
  static uint16_t DelayCentiseconds(int32_t delayMs);

 private:
  void Start(const TPalette& palette);  // screen and loop
  void Check(int status, const char* what);

  GifFileType* FGif = nullptr;
  std::vector<uint8_t> FBytes;
  int32_t FWidth, FHeight;
  uint8_t FTransparent;
  uint16_t FDelay;
  int32_t FFrames = 0;
};
