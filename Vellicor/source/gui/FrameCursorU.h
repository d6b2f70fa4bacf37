#pragma once
// Where a view stands in its document: the image shown, the frame whose sub-frames step while
// sub-frames are viewed, and the frame or sub-frame drawn; and the frames the file holds damaged,
// each noted once with the reason.
#include <QObject>
#include <QString>
#include <cstdint>
#include <map>
#include <string>
#include <utility>

#include "ImageManagerU.h"

class TImage;
class TImageClass;
struct TQuvDocument;
class TFrontEndImages;
class TFrontEndImage;
class TFrontEndImageFrame;

class TFrameCursor : public QObject {
  Q_OBJECT
 public:
  explicit TFrameCursor(QObject* parent = nullptr) : QObject(parent) {}

  void SetDocument(TQuvDocument* document) { FDocument = document; }
  TQuvDocument* Document() const { return FDocument; }
  TImageClass* Collection() const;
  TFrontEndImages* FrontEnd() const;
  // The colours the document's frames are decoded through, and its empty index.
  const TPalette& Palette() const;
  uint8_t TransparentIndex() const;

  TFrontEndImage* Image() const { return FImage; }
  QString ImageName() const;
  // The frame whose sub-frames step (viewing sub-frames), else the frame the image started at.
  TFrontEndImageFrame* Frame() const { return FFrame; }
  TFrontEndImageFrame* Shown() const { return FShown; }  // drawn: a frame or a sub-frame
  bool Ready() const { return FReady; }                  // an image is shown and steps
  bool SubFrameMode() const { return FSubFrameMode; }

  void SetImage(TFrontEndImage* image) { FImage = image; }
  void SetFrame(TFrontEndImageFrame* frame) { FFrame = frame; }
  void SetShown(TFrontEndImageFrame* frame) { FShown = frame; }
  void SetReady(bool ready) { FReady = ready; }
  void SetSubFrameMode(bool on) { FSubFrameMode = on; }
  void Clear();  // no image: nothing shown

  // Frame `index` of the current image, read on its first request. A frame the file holds
  // damaged comes back as far as it was read, its error noted (frameErrorNoted); null when not
  // even that is there.
  TFrontEndImageFrame* FetchFrame(int index);
  // A frame (or sub-frame) whose frame could not be read: it is not drawn, the canvas says why.
  static bool IsDamaged(const TFrontEndImageFrame* frame);
  QString FrameErrorAt(const TImage* image, int index) const;
  QString DamageOf(const TFrontEndImageFrame* frame) const;
  // The frame before this one (the sub-frame before, viewing sub-frames), the last before the
  // first; none when there is only one.
  TFrontEndImageFrame* OnionFrame(TFrontEndImageFrame* frame);

 signals:
  // "Frame 4 of ‘tank’ cannot be read: ...", once per frame the file holds damaged.
  void frameErrorNoted(const QString& sentence);

 private:
  void NoteFrameError(int index, const std::string& message);

  TQuvDocument* FDocument = nullptr;  // the view's
  TFrontEndImage* FImage = nullptr;
  TFrontEndImageFrame* FFrame = nullptr;
  TFrontEndImageFrame* FShown = nullptr;
  bool FReady = false;
  bool FSubFrameMode = false;
  std::map<std::pair<const TImage*, int>, QString> FFrameErrors;  // by image and frame index
};
