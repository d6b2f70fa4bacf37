#include "BitmapImageU.h"

#include <QGuiApplication>
#include <QPalette>

#include "ImageExportU.h"
#include "ImageLoaderU.h"

QImage BitmapImage(const TBitmap& bitmap) {
  if (bitmap.Width() <= 0 || bitmap.Height() <= 0) return QImage();
  switch (bitmap.PixelFormat()) {
    case pf24bit:
      return QImage(bitmap.ScanLine(0), bitmap.Width(), bitmap.Height(), bitmap.Stride(),
                    QImage::Format_BGR888);
    case pf32bit:  // B, G, R, 0: a little-endian 0x00RRGGBB word
      return QImage(bitmap.ScanLine(0), bitmap.Width(), bitmap.Height(), bitmap.Stride(),
                    QImage::Format_RGB32);
    default: {
      TBitmap copy = bitmap;
      copy.SetPixelFormat(pf24bit);
      return QImage(copy.ScanLine(0), copy.Width(), copy.Height(), copy.Stride(),
                    QImage::Format_BGR888)
          .copy();
    }
  }
}

QImage TransparentBitmapImage(const TBitmap& bitmap) {
  QImage image = BitmapImage(bitmap).convertToFormat(QImage::Format_ARGB32);
  const TRGBColor key = bitmap.TransparentColor;
  const QRgb keyRgb = qRgb(key.R, key.G, key.B);
  for (int y = 0; y < image.height(); ++y) {
    auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < image.width(); ++x)
      if (row[x] == keyRgb) row[x] = 0;
  }
  return image;
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
  if (entry.Opaque.isNull()) entry.Opaque = BitmapImage(frame->GetBitmap());
  return entry.Opaque;
}

namespace {

// The frame's picture with the pixels of its collection's transparent index fully transparent:
// told by index, as the exports tell them, so that another entry of the same colour stays.
// Rows of colours alone have no indices: their transparent colour tells.
QImage TransparentFrameImage(TFrontEndImageFrame& frame) {
  const TBitmap& bitmap = frame.GetBitmap();
  const TImageFrame& source = *frame.Frame;
  const bool indexed = source.Converted ? bool(source.PalettePixels) : source.BytesPerPixel == 1;
  const TImageClass* images = source.Image ? source.Image->ImageClass : nullptr;
  if (!indexed || !images || !images->Manager) return TransparentBitmapImage(bitmap);
  QImage image = BitmapImage(bitmap).convertToFormat(QImage::Format_ARGB32);
  const TPicture indices = FrameIndices(frame);
  if (indices.Width != image.width() || indices.Height != image.height())
    return TransparentBitmapImage(bitmap);
  const uint8_t empty = images->Manager->TransparentIndex;
  for (int y = 0; y < image.height(); ++y) {
    auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
    const uint8_t* index = indices.Row(y);
    for (int x = 0; x < image.width(); ++x)
      if (index[x] == empty) row[x] = 0;
  }
  return image;
}

}  // namespace

const QImage& TFrameImageCache::Transparent(TFrontEndImageFrame* frame) {
  TEntry& entry = FEntries[frame];
  if (entry.Transparent.isNull()) entry.Transparent = TransparentFrameImage(*frame);
  return entry.Transparent;
}
