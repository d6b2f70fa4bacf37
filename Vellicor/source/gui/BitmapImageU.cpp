#include "BitmapImageU.h"

#include <QGuiApplication>
#include <QPalette>

#include "ImageLoaderU.h"

QImage FrameImage(const TFramePixels& pixels, bool transparent) {
  if (pixels.Width() <= 0 || pixels.Height() <= 0) return QImage();
  const TPicture rgba = pixels.Rgba(transparent);
  // A new image in the format the canvas draws fastest: nothing refers to rgba afterwards.
  return QImage(rgba.Pixels.data(), rgba.Width, rgba.Height, rgba.Width * 4,
                transparent ? QImage::Format_RGBA8888 : QImage::Format_RGBX8888)
      .convertToFormat(transparent ? QImage::Format_ARGB32 : QImage::Format_RGB32);
}

QColor ColorFromSetting(uint32_t colour) {
  if (colour & 0x80000000u) {
    // The system colours that can sensibly stand behind a picture; the rest take the window's.
    const QPalette palette = QGuiApplication::palette();
    switch (colour & 0xFF) {
      case 1:   // desktop
      case 12:  // application workspace
        return palette.color(QPalette::Dark);
      case 5:  // window
        return palette.color(QPalette::Base);
      case 6:  // window frame
      case 7:  // menu text
      case 8:  // window text
        return palette.color(QPalette::WindowText);
      case 13:  // highlight
        return palette.color(QPalette::Highlight);
      case 15:  // button face
        return palette.color(QPalette::Button);
      default:
        return palette.color(QPalette::Window);
    }
  }
  return QColor(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
}

const QImage& TFrameImageCache::Opaque(TFrontEndImageFrame* frame) {
  TEntry& entry = FEntries[frame];
  if (entry.Opaque.isNull()) entry.Opaque = FrameImage(frame->GetPixels(), false);
  return entry.Opaque;
}

const QImage& TFrameImageCache::Transparent(TFrontEndImageFrame* frame) {
  TEntry& entry = FEntries[frame];
  if (entry.Transparent.isNull()) entry.Transparent = FrameImage(frame->GetPixels(), true);
  return entry.Transparent;
}
