#pragma once
// Frames' pixels as Qt images, made once per frame and kept with it, so that showing a frame
// converts no pixels.
#include <QColor>
#include <QImage>
#include <cstdint>
#include <unordered_map>

#include "FramePixelsU.h"

class TFrontEndImageFrame;

// The pixels in their palette colours: opaque (RGB32), or with every pixel of the transparent
// index fully transparent (ARGB32), told by index as the exports tell them. Null when empty.
QImage FrameImage(const TFramePixels& pixels, bool transparent);

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
