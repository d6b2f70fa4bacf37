#include "FramePlayerU.h"

#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QSlider>
#include <QSpinBox>
#include <QTimer>
#include <algorithm>

#include "AnimationPauseU.h"
#include "FrameCursorU.h"
#include "FrameInfoPanelU.h"
#include "ImageLoaderU.h"
#include "PaintBoxU.h"
#include "SettingsModelU.h"
#include "SpriteCanvasU.h"
#include "WaitCursorU.h"

namespace {
constexpr int DefaultAnimationSpeed = 67;
}  // namespace

TFramePlayer::TFramePlayer(TSettingsModel* settings, TFrameCursor* cursor, TSpriteCanvas* canvas,
                           TFrameInfoPanel* panel, QObject* parent)
    : QObject(parent), FSettings(settings), FCursor(cursor), FCanvas(canvas), FPanel(panel) {
  FTimer = new QTimer(this);
  SetTimerInterval(FSettings->AnimationSpeed());
  connect(FTimer, &QTimer::timeout, this, &TFramePlayer::TimerTimer);
  connect(FPanel, &TFrameInfoPanel::frameTrackMoved, this,
          [this] { Guarded([this] { FrameTrackBarChange(); }); });
  connect(FPanel, &TFrameInfoPanel::subFrameTrackMoved, this,
          [this] { Guarded([this] { SubFrameTrackBarChange(); }); });
  connect(FPanel, &TFrameInfoPanel::speedEdited, this,
          [this] { Guarded([this] { AnimationSpeedSelectorChange(); }); });
  connect(FPanel, &TFrameInfoPanel::stepPressed, this,
          [this](int delta) { Guarded([this, delta] { StepFrame(delta); }); });
  connect(FPanel, &TFrameInfoPanel::playPressed, this, &TFramePlayer::TogglePlaying);
  connect(FCanvas, &TSpriteCanvas::playToggleRequested, this, &TFramePlayer::TogglePlaying);
  FPanel->ShowPlaying(Playing());
}

void TFramePlayer::Guarded(const std::function<void()>& f) {
  try {
    f();
  } catch (const std::exception& error) {
    emit failed(error);
  }
}

// ---- Frames ----

void TFramePlayer::StartImage() {
  TFrontEndImage* image = FCursor->Image();
  SetAnimationSpeedSelector(FSettings->AnimationSpeed());
  FLastTrackPosition = -1;
  SetSubFrameMode(FSettings->ViewSubFrames() && FCursor->Frame()->SubFrameCount >= 1);
  FPanel->FrameTrackBar()->setMaximum(std::max(1, image->FrameCount));
  FCanvas->UpdateImageCanvas();
  FCursor->SetReady(true);

  if (FSettings->PreLoad()) PreloadFrames(true);
  FCanvas->ClearCanvas();
  ShowFrame(0);
  FTimer->start();
}

void TFramePlayer::SetSubFrameMode(bool on) {
  if (on == FCursor->SubFrameMode() || !FCursor->Image()) return;
  TFrontEndImageFrame* current = FCursor->FetchFrame(FCursor->Image()->CurrentFrame);
  if (on && current && current->SubFrameCount > 0 && !TFrameCursor::IsDamaged(current)) {
    FCursor->SetSubFrameMode(true);
    FPanel->ShowSubFrameControls(true);
    FCursor->SetFrame(current);
    if (current->CurrentSubFrame < 0 || current->CurrentSubFrame >= current->SubFrameCount)
      current->CurrentSubFrame = 0;
    FCursor->SetShown(current->GetSubFrame(current->CurrentSubFrame));
    emit subFrameModeChanged(true);
    return;
  }
  FCursor->SetSubFrameMode(false);
  emit subFrameModeChanged(false);
  FPanel->ShowSubFrameControls(false);
  FPanel->SubFrameCount()->setText(QStringLiteral("0"));
  FCursor->SetShown(current);
}

// Long: frame and sub-frame stepping share the track bar re-entry guard and the drawing.
void TFramePlayer::ShowFrame(int index) {
  TFrontEndImage* image = FCursor->Image();
  if (!FCursor->Ready() || !image) return;
  // Moving a track bar runs its handler, which may show the frame itself (or switch to the
  // frame's sub-frames); then this call has nothing left to do.
  const uint64_t serial = ++FShowSerial;
  TFrontEndImageFrame* frame = FCursor->Frame();
  QSlider* frameBar = FPanel->FrameTrackBar();
  QSlider* subFrameBar = FPanel->SubFrameTrackBar();
  if (FCursor->SubFrameMode() && frame) {
    if (index < 0 || index >= frame->SubFrameCount) index = 0;
    FPanel->CurrentSubFrame()->setText(QString::number(index + 1));
    subFrameBar->setMaximum(std::max(1, frame->SubFrameCount));
    if (subFrameBar->value() != index + 1) {
      subFrameBar->setValue(index + 1);
      if (FShowSerial != serial) return;
    }
    FCanvas->EraseFrame(FCursor->Shown());
    frame->CurrentSubFrame = index;
    FCursor->SetShown(frame->GetSubFrame(index));
    emit frameShown(image->CurrentFrame);
  } else {
    if (index < 0 || index >= image->FrameCount) index = 0;
    if (frameBar->value() != index + 1) {
      frameBar->setValue(index + 1);
      if (FShowSerial != serial) return;
    }
    FCanvas->EraseFrame(FCursor->Shown());
    image->CurrentFrame = index;
    FCursor->SetShown(FCursor->FetchFrame(index));
    emit frameShown(index);
    if (!FCursor->Shown()) {
      FCanvas->PaintBox()->SetMessage(FCursor->FrameErrorAt(image->Image, index));
      return;
    }
    FPanel->SubFrameCount()->setText(QString::number(FCursor->Shown()->SubFrameCount));
  }
  FCanvas->DrawFrame(FCursor->Shown());
  FPanel->CurrentFrame()->setText(QString::number(frameBar->value()));
  FPanel->FramePosition()->setText(
      QStringLiteral("Frame %1 / %2").arg(image->CurrentFrame + 1).arg(image->FrameCount));
  FCanvas->UpdatePixelStatus();
  if (TFrontEndImageFrame* parent = FCursor->Frame())
    subFrameBar->setMaximum(std::max(1, parent->SubFrameCount));
  FPanel->ShowFrameSize(FCursor->Shown());
}

void TFramePlayer::ShowCurrentFrame() {
  if (!FCursor->Ready() || !FCursor->Image()) return;
  if (FCursor->SubFrameMode() && FCursor->Frame())
    ShowFrame(FCursor->Frame()->CurrentSubFrame);
  else
    ShowFrame(FCursor->Image()->CurrentFrame);
}

void TFramePlayer::TimerTimer() {
  Guarded([this] {
    // The Animate setting and the view's own play state both, and no dialog holding every view.
    if (Playing() && !TAnimationPause::Active() && FCursor->Shown())
      ShowFrame(FCursor->Shown()->NextIndex);
  });
}

void TFramePlayer::FrameTrackBarChange() {
  TFrontEndImage* image = FCursor->Image();
  if (!FCursor->Ready() || !image || image->FrameCount <= 1) return;
  const int position = FPanel->FrameTrackBar()->value();
  if (position == FLastTrackPosition) return;
  FLastTrackPosition = position;
  if (FSettings->ViewSubFrames()) {
    image->CurrentFrame = position - 1;
    SetSubFrameMode(false);
    TFrontEndImageFrame* frame = FCursor->FetchFrame(position - 1);
    SetSubFrameMode(frame && frame->SubFrameCount > 1);
  }
  if (FCursor->SubFrameMode()) {
    FCanvas->ClearCanvas();
    ShowFrame(0);
  } else {
    ShowFrame(position - 1);
  }
  if (FSettings->PreLoad()) PreloadFrames(true);
}

void TFramePlayer::SubFrameTrackBarChange() {
  // Only a shown sub-frame bar steps sub-frames; its range changing in frame mode must not
  // move the frames.
  TFrontEndImageFrame* frame = FCursor->Frame();
  if (!FCursor->SubFrameMode() || !frame || frame->SubFrameCount <= 1) return;
  ShowFrame(FPanel->SubFrameTrackBar()->value() - 1);
}

void TFramePlayer::PreloadFrames(bool on) {
  TFrontEndImage* image = FCursor->Image();
  if (!on || !image) return;
  const int first = image->CurrentFrame;
  const int count = image->FrameCount;
  if (first < 0 || first >= count) return;
  const int64_t last =
      std::min<int64_t>(int64_t(first) + FSettings->PreLoadCount() - 1, int64_t(count) - 1);
  bool all = true;
  for (int64_t i = first; i <= last && all; ++i) all = image->IsFrameCreated(int32_t(i));
  if (all) return;
  TWaitCursor wait;
  for (int64_t i = first; i <= last; ++i) FCursor->FetchFrame(int(i));
}

// ---- Speed ----

void TFramePlayer::SetTimerInterval(int speed) {
  FTimer->setInterval(std::max(speed, MinimumTimerInterval));
}

void TFramePlayer::SetAnimationSpeedSelector(int speed) {
  FPanel->AnimationSpeedSelector()->setValue(speed);
  // Every view animates at the one speed the setting holds.
  if (speed >= 0) SetTimerInterval(speed);
}

void TFramePlayer::AnimationSpeedSelectorChange() {
  static const QRegularExpression number(QStringLiteral("^-?[0-9]+$"));
  QSpinBox* selector = FPanel->AnimationSpeedSelector();
  const QString text = selector->text();
  if (!number.match(text).hasMatch()) return;
  bool ok = false;
  const int value = text.toInt(&ok);
  if (!ok) return;  // beyond the integer range: not a speed
  if (value == FSettings->AnimationSpeed()) return;
  if (value < 0) {
    if (auto* edit = selector->findChild<QLineEdit*>())
      edit->setText(QString::number(DefaultAnimationSpeed));
    else
      selector->setValue(DefaultAnimationSpeed);
    return;
  }
  FSettings->SetAnimationSpeed(value);
  SetTimerInterval(value);
  TimerTimer();
}

// ---- Playback keys ----

bool TFramePlayer::Playing() const {
  return FPlaying && FSettings->Animated();
}

void TFramePlayer::SetPlaying(bool on) {
  FPlaying = on;
  FPanel->ShowPlaying(Playing());
}

void TFramePlayer::TogglePlaying() {
  if (Playing()) {
    SetPlaying(false);
    return;
  }
  SetPlaying(true);
  // Stopped by the global setting: the user's play starts it again, as its command would.
  if (!FSettings->Animated()) FSettings->SetToggle(tgAnimated, true);
}

void TFramePlayer::StepFrame(int delta) {
  TFrontEndImage* image = FCursor->Image();
  if (!FCursor->Ready() || !image) return;
  SetPlaying(false);
  TFrontEndImageFrame* frame = FCursor->Frame();
  if (FCursor->SubFrameMode() && frame && frame->SubFrameCount > 0) {
    const int count = frame->SubFrameCount;
    ShowFrame(((frame->CurrentSubFrame + delta) % count + count) % count);
    return;
  }
  const int count = std::max(1, image->FrameCount);
  ShowFrame(((image->CurrentFrame + delta) % count + count) % count);
}

void TFramePlayer::ShowEndFrame(bool last) {
  TFrontEndImage* image = FCursor->Image();
  if (image) GoToFrame(last ? image->FrameCount - 1 : 0);
}

void TFramePlayer::GoToFrame(int index) {
  TFrontEndImage* image = FCursor->Image();
  if (!FCursor->Ready() || !image) return;
  SetPlaying(false);
  ShowImageFrame(std::clamp(index, 0, std::max(0, image->FrameCount - 1)));
}

void TFramePlayer::ShowImageFrame(int index) {
  // Through the frame track bar, which also picks the frame's sub-frames when they are viewed.
  QSlider* frameBar = FPanel->FrameTrackBar();
  if (FCursor->SubFrameMode() && frameBar->value() != index + 1)
    frameBar->setValue(index + 1);
  else if (FCursor->SubFrameMode())
    ShowFrame(0);
  else
    ShowFrame(index);
}
