#include "SpriteCanvasU.h"

#include <QAction>
#include <QKeyEvent>
#include <QScopeGuard>
#include <QScrollBar>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <iterator>

#include "FrameCursorU.h"
#include "ImageExportU.h"
#include "ImageLoaderU.h"
#include "PaintBoxU.h"
#include "SettingsModelU.h"

namespace {

// The scroll range stops here however far a broken file's offsets reach: a canvas side in sprite
// pixels (the canvas holds 4 bytes per sprite pixel).
constexpr int MaxCanvasSide = 4096;
constexpr qreal OnionSkinOpacity = 0.3;
constexpr int WheelStep = 120;  // one notch of a mouse wheel

QString ZoomText(int zoom) {
  if (zoom < 0) return QStringLiteral("1/%1\u00d7").arg(-zoom);
  return QStringLiteral("%1\u00d7").arg(zoom);
}

}  // namespace

// The paint area inside the scroll area: scroll bars when the zoomed canvas is larger than the
// room, and the canvas's own handling of keys, the wheel and the pointer.
TSpriteCanvas::TSpriteCanvas(TSettingsModel* settings, TFrameCursor* cursor, QWidget* parent)
    : QScrollArea(parent),
      FSettings(settings),
      FCursor(cursor),
      FZoom(NormalizeZoom(settings->Zoom())),
      FFit(settings->Fit() || settings->FitNewViews()) {
  setFrameShape(QFrame::NoFrame);
  setWidgetResizable(false);
  setAlignment(Qt::AlignLeft | Qt::AlignTop);
  setFocusPolicy(Qt::NoFocus);
  FPaintBox = new TPaintBox;
  FPaintBox->setToolTip(QStringLiteral(
      "This is the area were the QUV image is rendered to.  Right click for a popup menu."));
  FPaintBox->setContextMenuPolicy(Qt::CustomContextMenu);
  FPaintBox->setFocusPolicy(Qt::StrongFocus);
  FPaintBox->setMouseTracking(true);
  FPaintBox->OnCanvasReset = [this] { Repaint(); };
  setWidget(FPaintBox);
  FPaintBox->setAutoFillBackground(false);  // the canvas covers every pixel
  FPaintBox->installEventFilter(this);
  viewport()->installEventFilter(this);
  CreateZoomActions();
}

void TSpriteCanvas::CreateZoomActions() {
  auto make = [this](const QString& caption, const QString& hint, const QList<QKeySequence>& keys) {
    auto* action = new QAction(caption, this);
    SetActionHint(action, hint);
    action->setShortcuts(keys);
    // Only the view with the focus answers, however many views the main window holds.
    action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    return action;
  };
  FZoomIn = make(QStringLiteral("Zoom In"), QStringLiteral("Shows the image larger"),
                 {QKeySequence(QKeySequence::ZoomIn), QKeySequence(QStringLiteral("Ctrl+="))});
  FZoomOut = make(QStringLiteral("Zoom Out"), QStringLiteral("Shows the image smaller"),
                  {QKeySequence(QKeySequence::ZoomOut)});
  FZoomReset = make(QStringLiteral("Actual Size"),
                    QStringLiteral("Shows one screen pixel for each image pixel"),
                    {QKeySequence(QStringLiteral("Ctrl+0"))});
  FFitAction =
      make(ToggleCaption(tgFit), ToggleHint(tgFit), {QKeySequence(QStringLiteral("Ctrl+9"))});
  FFitAction->setCheckable(true);
  FFitAction->setChecked(FFit);
  connect(FZoomIn, &QAction::triggered, this, [this] { StepZoom(1); });
  connect(FZoomOut, &QAction::triggered, this, [this] { StepZoom(-1); });
  connect(FZoomReset, &QAction::triggered, this, [this] { SetZoom(1); });
  connect(FFitAction, &QAction::triggered, this, [this](bool on) { SetFit(on); });
}

// ---- Placement and drawing ----

QPoint TSpriteCanvas::FramePlacement(TFrontEndImageFrame* frame) const {
  const TImageFrame* data = frame->Frame;
  // The canvas is the paint area in sprite pixels: at 1x its very size.
  const QSize area = FPaintBox->Canvas().size();
  if (FSettings->AutoCentre())
    return QPoint((area.width() - data->Width) / 2, (area.height() - data->Height) / 2);
  // A frame being dragged is drawn where the drag has taken it.
  const QPoint shift = frame == FCursor->Shown() ? FDragShift : QPoint();
  if (data->ParentFrame)
    return QPoint(data->ParentFrame->MaxSubXOffset - data->XOffset,
                  data->ParentFrame->MaxSubYOffset - data->YOffset) +
           shift;
  return QPoint(data->Image->MaxXOffset - data->XOffset, data->Image->MaxYOffset - data->YOffset) +
         shift;
}

void TSpriteCanvas::DrawFrame(TFrontEndImageFrame* frame) {
  if (!frame || !frame->Frame) return;
  // What was read of a damaged frame is not drawn: the canvas says why instead.
  const QString damage = FCursor->DamageOf(frame);
  FPaintBox->SetMessage(damage);
  if (!damage.isEmpty()) {
    FPaintBox->SetMarks({});
    return;
  }
  if (!FSettings->AutoCentre()) {
    // A sub-frame canvas may reach beyond the frames' one: the scroll range follows it.
    const QRect placed(FramePlacement(frame), QSize(frame->Frame->Width, frame->Frame->Height));
    const QSize reach = FContent.expandedTo(QSize(std::min(placed.right() + 1, MaxCanvasSide),
                                                  std::min(placed.bottom() + 1, MaxCanvasSide)));
    if (reach != FContent) {
      FContent = reach;
      UpdateCanvasLayout();
    }
  }
  FOnionRect = QRect();
  if (FSettings->OnionSkin())
    if (TFrontEndImageFrame* previous = FCursor->OnionFrame(frame)) {
      DrawBitmap(previous, true, OnionSkinOpacity);
      FOnionRect =
          QRect(FramePlacement(previous), QSize(previous->Frame->Width, previous->Frame->Height));
    }
  DrawBitmap(frame, FSettings->Transparent(), 1.0);
  UpdateMarks(frame);
}

void TSpriteCanvas::DrawBitmap(TFrontEndImageFrame* frame, bool transparent, qreal opacity) {
  const TFramePixels& pixels = frame->GetPixels();
  if (pixels.Width() <= 0 || pixels.Height() <= 0) return;
  FPaintBox->DrawImage(FramePlacement(frame),
                       transparent ? FImages.Transparent(frame) : FImages.Opaque(frame), opacity);
}

void TSpriteCanvas::UpdateMarks(TFrontEndImageFrame* frame) {
  const TImageFrame* data = frame->Frame;
  const QPoint at = FramePlacement(frame);
  const QRect placed(at, QSize(data->Width, data->Height));
  // While a frame is dragged its hot spot stays where it is and the picture moves; a centred
  // picture stays and the hot spot moves the other way.
  const QPoint dragged = frame == FCursor->Shown() ? FDragShift : QPoint();
  const QPoint hotSpot = at + QPoint(data->XOffset, data->YOffset) - dragged;
  TCanvasMarks marks;
  if (FSettings->Crosshair()) marks.HotSpot = hotSpot;
  if (FSettings->FrameBounds()) marks.Bounds = placed;
  if (FSettings->SubFrameOutline() && FCursor->SubFrameMode() && data->ParentFrame) {
    // A sub-frame column c shows the point of frame column p where p - frame XOffset equals
    // c - sub-frame XOffset: both share the hot spot.
    const TImageFrame* parent = data->ParentFrame;
    marks.SubFrame = placed;
    marks.SubFrameParent = QRect(hotSpot - QPoint(parent->XOffset, parent->YOffset),
                                 QSize(parent->Width, parent->Height));
  }
  FPaintBox->SetMarks(marks);
}

void TSpriteCanvas::EraseFrame(TFrontEndImageFrame* frame) {
  if (!FOnionRect.isEmpty()) FPaintBox->Erase(FOnionRect);
  FOnionRect = QRect();
  if (!frame || !frame->Frame) return;
  FPaintBox->Erase(QRect(FramePlacement(frame), QSize(frame->Frame->Width, frame->Frame->Height)));
}

void TSpriteCanvas::ClearCanvas() {
  UpdateBackground();
  FPaintBox->Clear();
}

void TSpriteCanvas::Repaint() {
  ClearCanvas();
  FOnionRect = QRect();
  if (FCursor->Ready() && FCursor->Shown())
    DrawFrame(FCursor->Shown());
  else
    FPaintBox->SetMarks({});
}

void TSpriteCanvas::ResetScene() {
  FOnionRect = QRect();
  FPaintBox->SetMarks({});
  FPaintBox->SetMessage(QString());
  emit pixelHovered(QString());
}

void TSpriteCanvas::UpdateBackground() {
  FPaintBox->SetBackground(ColorFromSetting(FSettings->BackGroundColor()),
                           FSettings->Checkerboard());
}

// ---- Zoom and scrolling ----

void TSpriteCanvas::UpdateImageCanvas() {
  int64_t width = 1, height = 1;
  TFrontEndImage* shown = FCursor->Image();
  if (shown && shown->Image) {
    // The frame headers are read with the file, so no frame needs decoding for this.
    const TImage& image = *shown->Image;
    const bool centred = FSettings->AutoCentre();
    for (const auto& frame : image.Frames) {
      if (!frame) continue;
      const int64_t w = std::max(0, frame->Width), h = std::max(0, frame->Height);
      width = std::max(width, centred ? w : int64_t(image.MaxXOffset) - frame->XOffset + w);
      height = std::max(height, centred ? h : int64_t(image.MaxYOffset) - frame->YOffset + h);
    }
  }
  FImageCanvas = QSize(int(std::min<int64_t>(width, MaxCanvasSide)),
                       int(std::min<int64_t>(height, MaxCanvasSide)));
  FContent = FImageCanvas;
  UpdateCanvasLayout();
}

int TSpriteCanvas::FitZoom() const {
  const QSize room = maximumViewportSize();
  const qreal dpr = FPaintBox->devicePixelRatioF();
  int best = ZoomSteps[0];
  for (int step : ZoomSteps) {
    const qreal side = PixelScale(step, dpr) / dpr;
    if (std::ceil(FImageCanvas.width() * side) <= room.width() &&
        std::ceil(FImageCanvas.height() * side) <= room.height())
      best = step;
  }
  return best;
}

void TSpriteCanvas::UpdateCanvasLayout() {
  if (FLayingOut) return;
  FLayingOut = true;
  const auto done = qScopeGuard([this] { FLayingOut = false; });
  if (FFit) FZoom = FitZoom();
  const qreal dpr = FPaintBox->devicePixelRatioF();
  const qreal scale = PixelScale(FZoom, dpr);
  const QSize zoomed(int(std::ceil(FContent.width() * scale / dpr)),
                     int(std::ceil(FContent.height() * scale / dpr)));
  FPaintBox->SetGeometry(scale, zoomed.expandedTo(viewport()->size()));
  emit zoomChanged(ZoomCaption());
}

QString TSpriteCanvas::ZoomCaption() const {
  return FFit ? ZoomText(FZoom) + QStringLiteral(" (Fit)") : ZoomText(FZoom);
}

void TSpriteCanvas::SetZoom(int step, std::optional<QPoint> anchor) {
  step = NormalizeZoom(step);
  FSettings->SetZoom(step);
  if (FFit) {
    FFit = false;
    FFitAction->setChecked(false);
    FSettings->SetToggle(tgFit, false);
  }
  ApplyZoom(step, anchor);
}

void TSpriteCanvas::StepZoom(int steps, std::optional<QPoint> anchor) {
  const auto* at = std::find(std::begin(ZoomSteps), std::end(ZoomSteps), FZoom);
  const int index =
      std::clamp(int(at - std::begin(ZoomSteps)) + steps, 0, int(std::size(ZoomSteps)) - 1);
  SetZoom(ZoomSteps[index], anchor);
}

void TSpriteCanvas::SetFit(bool on) {
  FFit = on;
  FFitAction->setChecked(on);
  FSettings->SetToggle(tgFit, on);
  ApplyZoom(on ? FitZoom() : FZoom, std::nullopt);
}

// The point under `anchor` (by default the middle of the room) stays where it is: the same pixel
// of the frame shown, wherever the new canvas places that frame.
void TSpriteCanvas::ApplyZoom(int step, std::optional<QPoint> anchor) {
  const QPoint at = anchor.value_or(viewport()->rect().center());
  const qreal dpr = FPaintBox->devicePixelRatioF();
  const QPointF canvasAt = QPointF(FPaintBox->mapFromParent(at)) * dpr / FPaintBox->Scale();
  TFrontEndImageFrame* shown = FCursor->Shown();
  const bool framed = FCursor->Ready() && shown && shown->Frame;
  const QPoint placedBefore = framed ? FramePlacement(shown) : QPoint();
  FZoom = step;
  UpdateCanvasLayout();
  const QPoint placedAfter = framed ? FramePlacement(shown) : QPoint();
  const QPointF widgetAt = FPaintBox->WidgetPoint(canvasAt + QPointF(placedAfter - placedBefore));
  horizontalScrollBar()->setValue(int(std::lround(widgetAt.x() - at.x())));
  verticalScrollBar()->setValue(int(std::lround(widgetAt.y() - at.y())));
  UpdatePixelStatus();
}

// ---- Pixel inspector ----

QString TSpriteCanvas::PixelInfo(const QPoint& pixel) {
  TFrontEndImageFrame* shown = FCursor->Shown();
  if (!FCursor->Ready() || !shown || !shown->Frame || TFrameCursor::IsDamaged(shown))
    return QString();
  const TImageFrame& frame = *shown->Frame;
  const QPoint at = pixel - FramePlacement(shown);
  if (at.x() < 0 || at.y() < 0 || at.x() >= frame.Width || at.y() >= frame.Height) return QString();
  const uint8_t index = shown->GetPixels().IndexAt(at.x(), at.y());
  QString colour = QStringLiteral("transparent");
  if (index != FCursor->TransparentIndex()) {
    const TPaletteEntry& entry = FCursor->Palette()[index];
    colour = QColor(entry[0], entry[1], entry[2]).name(QColor::HexRgb).toUpper();
  }
  return QStringLiteral("Pixel %1, %2 (hot spot %3, %4): index %5, %6")
      .arg(at.x())
      .arg(at.y())
      .arg(at.x() - frame.XOffset)
      .arg(at.y() - frame.YOffset)
      .arg(index)
      .arg(colour);
}

void TSpriteCanvas::UpdatePixelStatus() {
  emit pixelHovered(FPointer ? PixelInfo(*FPointer) : QString());
}

// ---- Input ----

bool TSpriteCanvas::eventFilter(QObject* watched, QEvent* event) {
  if (watched == viewport()) {
    if (event->type() == QEvent::Resize) UpdateCanvasLayout();
    return false;
  }
  // The scroll area watches its widget too (its size sets the scroll range).
  if (watched == FPaintBox && CanvasEvent(event)) return true;
  return QScrollArea::eventFilter(watched, event);
}

bool TSpriteCanvas::CanvasEvent(QEvent* event) {
  switch (event->type()) {
    case QEvent::ShortcutOverride:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
      return CanvasKeyEvent(static_cast<QKeyEvent*>(event));
    case QEvent::Wheel:
      return WheelEvent(static_cast<QWheelEvent*>(event));
    case QEvent::MouseButtonPress:
    case QEvent::MouseMove:
    case QEvent::MouseButtonRelease:
    case QEvent::Leave:
      return CanvasMouseEvent(event);
    default:
      return false;
  }
}

// Ctrl and the wheel zoom around the pointer, a step a notch.
bool TSpriteCanvas::WheelEvent(QWheelEvent* wheel) {
  if (!(wheel->modifiers() & Qt::ControlModifier)) return false;
  FWheelRest += wheel->angleDelta().y();
  const int steps = FWheelRest / WheelStep;
  FWheelRest -= steps * WheelStep;
  if (steps != 0) StepZoom(steps, FPaintBox->mapToParent(wheel->position().toPoint()));
  return true;
}

// Space tapped plays or pauses; held, it turns a left-button drag into panning.
bool TSpriteCanvas::CanvasKeyEvent(QKeyEvent* event) {
  if (FEditMode && EditKeyEvent(event)) return true;
  if (event->key() != Qt::Key_Space || event->modifiers() != Qt::NoModifier) return false;
  if (event->type() == QEvent::ShortcutOverride) {
    event->accept();  // the view's Space key waits: a tap or a hold decides
    return true;
  }
  if (event->isAutoRepeat()) return true;
  if (event->type() == QEvent::KeyPress) {
    FSpaceHeld = true;
    FSpacePanned = false;
  } else {
    if (FSpaceHeld && !FSpacePanned) emit playToggleRequested();
    FSpaceHeld = false;
  }
  return true;
}

bool TSpriteCanvas::CanvasMouseEvent(QEvent* event) {
  if (event->type() == QEvent::Leave) {
    FPointer.reset();
    UpdatePixelStatus();
    return false;
  }
  auto* mouse = static_cast<QMouseEvent*>(event);
  const QPoint global = mouse->globalPosition().toPoint();
  switch (event->type()) {
    case QEvent::MouseButtonPress:
      if (mouse->button() == Qt::MiddleButton ||
          (mouse->button() == Qt::LeftButton && FSpaceHeld)) {
        FPanFrom = global;
        FPaintBox->setCursor(Qt::ClosedHandCursor);
        return true;
      }
      return DragEvent(mouse);
    case QEvent::MouseMove:
      if (FDragFrom) return DragEvent(mouse);
      if (FPanFrom) {
        const QPoint delta = global - *FPanFrom;
        FPanFrom = global;
        FSpacePanned = FSpaceHeld;
        horizontalScrollBar()->setValue(horizontalScrollBar()->value() - delta.x());
        verticalScrollBar()->setValue(verticalScrollBar()->value() - delta.y());
        return true;
      }
      FPointer = FPaintBox->CanvasPixelAt(mouse->position());
      UpdatePixelStatus();
      return false;
    case QEvent::MouseButtonRelease:
      if (FPanFrom && (mouse->button() == Qt::MiddleButton || mouse->button() == Qt::LeftButton)) {
        FPanFrom.reset();
        ShowEditCursor();
        return true;
      }
      return DragEvent(mouse);
    default:
      return false;
  }
}

// ---- Edit mode ----

void TSpriteCanvas::SetEditMode(bool on) {
  if (!on && FDragFrom) {
    FDragFrom.reset();
    SetDragShift(QPoint());
  }
  FEditMode = on;
  ShowEditCursor();
}

void TSpriteCanvas::ShowEditCursor() {
  if (FEditMode)
    FPaintBox->setCursor(Qt::SizeAllCursor);
  else
    FPaintBox->unsetCursor();
}

// A sub-frame has no hot spot of its own to move: it moves with its frame.
bool TSpriteCanvas::CanMoveShownFrame() const {
  const TFrontEndImageFrame* shown = FCursor->Shown();
  return FCursor->Ready() && shown && shown->Frame && !shown->Frame->ParentFrame &&
         !FCursor->SubFrameMode() && !TFrameCursor::IsDamaged(shown);
}

// The arrows move the frame by a sprite pixel, with Shift by 8; the view's own arrow keys (frame
// steps, the list's neighbours) wait while the canvas has them.
bool TSpriteCanvas::EditKeyEvent(QKeyEvent* event) {
  constexpr int LongStep = 8;
  const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
  if (modifiers != Qt::NoModifier && modifiers != Qt::ShiftModifier) return false;
  QPoint direction;
  switch (event->key()) {
    case Qt::Key_Left:
      direction = QPoint(-1, 0);
      break;
    case Qt::Key_Right:
      direction = QPoint(1, 0);
      break;
    case Qt::Key_Up:
      direction = QPoint(0, -1);
      break;
    case Qt::Key_Down:
      direction = QPoint(0, 1);
      break;
    default:
      return false;
  }
  if (!CanMoveShownFrame()) return false;
  if (event->type() == QEvent::ShortcutOverride) {
    event->accept();
    return true;
  }
  if (event->type() == QEvent::KeyPress)
    emit frameMoved(direction * (modifiers == Qt::ShiftModifier ? LongStep : 1), true);
  return true;
}

// A left drag in edit mode: the frame follows the pointer in whole sprite pixels, drawn moved
// while the button is down; the release tells the move once.
bool TSpriteCanvas::DragEvent(QMouseEvent* mouse) {
  const QPoint global = mouse->globalPosition().toPoint();
  switch (mouse->type()) {
    case QEvent::MouseButtonPress:
      if (!FEditMode || mouse->button() != Qt::LeftButton || !CanMoveShownFrame()) return false;
      FDragFrom = global;
      SetDragShift(QPoint());
      return true;
    case QEvent::MouseMove: {
      // Widget pixels per sprite pixel at this zoom.
      const qreal side = FPaintBox->Scale() / FPaintBox->devicePixelRatioF();
      const QPoint moved = global - *FDragFrom;
      SetDragShift(QPoint(int(std::lround(moved.x() / side)), int(std::lround(moved.y() / side))));
      return true;
    }
    case QEvent::MouseButtonRelease: {
      if (!FDragFrom || mouse->button() != Qt::LeftButton) return false;
      const QPoint shift = FDragShift;
      FDragFrom.reset();
      FDragShift = QPoint();
      if (!shift.isNull()) emit frameMoved(shift, false);
      // The moved frame as the file now holds it, or back in its place when the move was refused.
      Repaint();
      return true;
    }
    default:
      return false;
  }
}

// Only the dragged frame's rectangles are drawn anew: no file is read while the pointer moves.
void TSpriteCanvas::SetDragShift(const QPoint& shift) {
  if (shift == FDragShift) return;
  TFrontEndImageFrame* shown = FCursor->Shown();
  if (!CanMoveShownFrame()) {
    FDragShift = shift;
    return;
  }
  EraseFrame(shown);
  FDragShift = shift;
  DrawFrame(shown);
}
