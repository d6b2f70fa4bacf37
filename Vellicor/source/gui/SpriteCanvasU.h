#pragma once
// The drawing area of a view: the paint area inside a scroll area, with the frame the view is at
// drawn at its hot spot (or centred), the onion skin and the canvas aids; zoom steps and fit,
// wheel zoom around the pointer, panning, and the pixel under the pointer. In edit mode a left
// drag moves the shown frame over its hot spot and the arrow keys nudge it. It draws what its
// frame cursor says is shown, and tells of the zoom, the pixel and the moves through signals.
#include <QPoint>
#include <QRect>
#include <QScrollArea>
#include <QSize>
#include <QString>
#include <optional>

#include "BitmapImageU.h"

class QAction;
class QKeyEvent;
class QWheelEvent;
class TFrameCursor;
class TFrontEndImageFrame;
class TPaintBox;
class TSettingsModel;

class TSpriteCanvas : public QScrollArea {
  Q_OBJECT
 public:
  TSpriteCanvas(TSettingsModel* settings, TFrameCursor* cursor, QWidget* parent = nullptr);

  TPaintBox* PaintBox() const { return FPaintBox; }
  // "Zoom In", "Zoom Out", "Actual Size" and "Fit"; the view puts them where their keys answer.
  QList<QAction*> ZoomActions() const { return {FZoomIn, FZoomOut, FZoomReset, FFitAction}; }
  int Zoom() const { return FZoom; }  // the step shown: one of ZoomSteps (-2 is 1/2)
  bool FitZoomOn() const { return FFit; }
  // A step chosen by the user: fit ends, and the step becomes the default of new views. With
  // `anchor` (a point of the viewport) the pixel under it stays there.
  void SetZoom(int step, std::optional<QPoint> anchor = std::nullopt);
  void StepZoom(int steps, std::optional<QPoint> anchor = std::nullopt);
  void SetFit(bool on);
  // The largest step at which every frame of the image fits the drawing area.
  int FitZoom() const;
  // The image's frames on their common hot-spot canvas (or, centred, the largest frame).
  QSize ImageCanvas() const { return FImageCanvas; }
  QString ZoomCaption() const;  // "4×", or "4× (Fit)"

  // Where a frame or sub-frame object lands in the paint area.
  QPoint FramePlacement(TFrontEndImageFrame* frame) const;
  // The canvas for the shown image: its size from the image's frames, the zoom laid out anew.
  void UpdateImageCanvas();
  void ClearCanvas();  // all background
  // Clears, and draws the shown frame when the cursor has one.
  void Repaint();
  void DrawFrame(TFrontEndImageFrame* frame);
  void EraseFrame(TFrontEndImageFrame* frame);  // and the onion skin drawn with it
  // Nothing shown: no aids, no message, no pixel readout.
  void ResetScene();
  // The drawn images share the bitmaps' memory, so they go with them.
  void ForgetImage(const TFrontEndImageFrame* frame) { FImages.Forget(frame); }
  void ForgetImages() { FImages.Clear(); }

  // What the pointer over canvas pixel `pixel` shows; empty off the frame.
  QString PixelInfo(const QPoint& pixel);
  void UpdatePixelStatus();  // tells pixelHovered what the pointer is over now

  // ---- Edit mode ----
  // Left drags and the arrow keys move the shown frame (a move cursor shows it); panning stays.
  void SetEditMode(bool on);
  bool EditMode() const { return FEditMode; }
  // Whether the shown frame can be moved: a whole frame, read without damage.
  bool CanMoveShownFrame() const;
  // How far the drag under way has moved the frame, in sprite pixels; drawn without changing
  // the file until the button is released.
  QPoint DragShift() const { return FDragShift; }

 signals:
  void zoomChanged(const QString& caption);
  void pixelHovered(const QString& text);
  void playToggleRequested();  // Space tapped on the canvas
  // Edit mode: the user moved the shown frame by `shift` sprite pixels (right and down are
  // positive): a released drag, or an arrow key (`nudge`).
  void frameMoved(const QPoint& shift, bool nudge);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void CreateZoomActions();
  // The canvas at the present zoom: scale and size of the paint area, labels, fit.
  void UpdateCanvasLayout();
  void ApplyZoom(int step, std::optional<QPoint> anchor);
  void UpdateBackground();
  void DrawBitmap(TFrontEndImageFrame* frame, bool transparent, qreal opacity);
  void UpdateMarks(TFrontEndImageFrame* frame);
  bool CanvasEvent(QEvent* event);  // true: the canvas took it
  bool WheelEvent(QWheelEvent* wheel);
  bool CanvasKeyEvent(QKeyEvent* event);
  bool CanvasMouseEvent(QEvent* event);
  bool EditKeyEvent(QKeyEvent* event);
  bool DragEvent(QMouseEvent* mouse);
  void SetDragShift(const QPoint& shift);
  void ShowEditCursor();

  TSettingsModel* FSettings;
  TFrameCursor* FCursor;
  TPaintBox* FPaintBox;
  QAction *FZoomIn, *FZoomOut, *FZoomReset, *FFitAction;
  TFrameImageCache FImages;
  int FZoom = 1;
  bool FFit = false;
  QSize FImageCanvas{1, 1};
  QSize FContent{1, 1};  // the canvas the scroll range covers: the image's, grown by what is drawn
  QRect FOnionRect;      // where the onion skin was drawn, erased with the frame
  std::optional<QPoint> FPointer;  // the pointer over the canvas, in canvas pixels
  bool FSpaceHeld = false;
  bool FSpacePanned = false;
  std::optional<QPoint> FPanFrom;  // global position while panning
  bool FEditMode = false;
  std::optional<QPoint> FDragFrom;  // global position where the frame's drag began
  QPoint FDragShift;                // sprite pixels the dragged frame is drawn away from its place
  int FWheelRest = 0;               // wheel turns short of a notch
  bool FLayingOut = false;
};
