#include "FrameCursorU.h"

#include <algorithm>

#include "ImageLoaderU.h"
#include "LoadMessagesU.h"
#include "QtStringU.h"
#include "QuvDocumentU.h"

TImageClass* TFrameCursor::Collection() const {
  return FDocument ? FDocument->Images : nullptr;
}

TFrontEndImages* TFrameCursor::FrontEnd() const {
  return FDocument ? FDocument->FrontEnd.get() : nullptr;
}

const TPalette& TFrameCursor::Palette() const {
  return FDocument->Manager->Palette;
}

uint8_t TFrameCursor::TransparentIndex() const {
  return FDocument->Manager->TransparentIndex;
}

QString TFrameCursor::ImageName() const {
  return FImage ? FromStd(FImage->Name) : QString();
}

void TFrameCursor::Clear() {
  FFrame = nullptr;
  FShown = nullptr;
  FImage = nullptr;
  FReady = false;
}

TFrontEndImageFrame* TFrameCursor::FetchFrame(int index) {
  try {
    return FImage->GetFrame(index);
  } catch (const std::exception& error) {
    if (!IsDataError(error)) throw;
    NoteFrameError(index, error.what());
  }
  try {
    return FImage->GetFrame(index);  // as far as it was read
  } catch (const std::exception& error) {
    if (!IsDataError(error)) throw;
    return nullptr;
  }
}

void TFrameCursor::NoteFrameError(int index, const std::string& message) {
  QString& noted = FFrameErrors[{FImage->Image, index}];
  if (!noted.isEmpty()) return;
  noted = FromStd(FrameErrorSentence(index, FImage->Name, message));
  emit frameErrorNoted(noted);
}

bool TFrameCursor::IsDamaged(const TFrontEndImageFrame* frame) {
  return frame && frame->Frame && frame->Frame->TopFrame()->LoadFailed;
}

QString TFrameCursor::FrameErrorAt(const TImage* image, int index) const {
  const auto noted = FFrameErrors.find({image, index});
  return noted == FFrameErrors.end() ? QString() : noted->second;
}

QString TFrameCursor::DamageOf(const TFrontEndImageFrame* frame) const {
  if (!IsDamaged(frame)) return QString();
  const TImageFrame* top = frame->Frame->TopFrame();
  const QString noted = FrameErrorAt(top->Image, top->Index);
  if (!noted.isEmpty()) return noted;
  return FromStd(FrameErrorSentence(top->Index, top->Image ? top->Image->Name : "", ""));
}

TFrontEndImageFrame* TFrameCursor::OnionFrame(TFrontEndImageFrame* frame) {
  const TImageFrame* data = frame->Frame;
  if (data->ParentFrame) {
    if (!FFrame || FFrame->SubFrameCount < 2) return nullptr;
    const int count = FFrame->SubFrameCount;
    const int index = std::clamp(data->Index, 0, count - 1);
    TFrontEndImageFrame* previous = FFrame->GetSubFrame((index + count - 1) % count);
    return previous && previous->Frame ? previous : nullptr;
  }
  if (!FImage || FImage->FrameCount < 2) return nullptr;
  const int count = FImage->FrameCount;
  const int index = std::clamp(data->Index, 0, count - 1);
  TFrontEndImageFrame* previous = FetchFrame((index + count - 1) % count);
  return previous && previous->Frame && !IsDamaged(previous) ? previous : nullptr;
}
