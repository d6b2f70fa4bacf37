#pragma once
// The front end's bitmaps as Qt images. A 24-bit bitmap is shown through a QImage laid over its
// own rows, so displaying a frame copies no pixels; the transparent version is made once per
// frame and kept with it.
#include <QColor>
#include <QImage>
#include <cstdint>
#include <unordered_map>

#include "BitmapU.h"

class TFrontEndImageFrame;

// The bitmap's picture over its own memory (24 and 32 bits; other formats are converted into a
// copy). Valid while the bitmap lives and keeps its size and format.
QImage BitmapImage(const TBitmap& bitmap);
// A copy in which every pixel of the bitmap's transparent colour is fully transparent.
QImage TransparentBitmapImage(const TBitmap& bitmap);

// A colour as the settings hold it (0x00BBGGRR, or 0x80000000 | a system-colour index).
QColor ColorFromSetting(uint32_t colour);

// The images of each frame object, made on first use. Frame objects live as long as their
// window's front end, and so must this cache.
class TFrameImageCache {
 public:
  const QImage& Opaque(TFrontEndImageFrame* frame);
  const QImage& Transparent(TFrontEndImageFrame* frame);
  void Clear() { FEntries.clear(); }
  void Forget(const TFrontEndImageFrame* frame) { FEntries.erase(frame); }
  size_t Count() const { return FEntries.size(); }

 private:
  struct TEntry {
    QImage Opaque;
    QImage Transparent;
  };
  std::unordered_map<const TFrontEndImageFrame*, TEntry> FEntries;
};
